#include "dsp/gaussian.h"

#include <gtest/gtest.h>

#include <cmath>

// The ziggurat's numbers have the normal law's moments and tails, and follow their seed.
TEST(GaussianSource, MomentsTailsAndSeed) {
    dsp::GaussianSource g(42);
    const int n = 4'000'000;
    double m1 = 0, m2 = 0, m4 = 0;
    int beyond2 = 0, beyond3 = 0, beyond4 = 0;
    for (int i = 0; i < n; ++i) {
        const double x = g();
        m1 += x, m2 += x * x, m4 += x * x * x * x;
        beyond2 += std::abs(x) > 2, beyond3 += std::abs(x) > 3, beyond4 += std::abs(x) > 4;
    }
    EXPECT_NEAR(m1 / n, 0, 0.002);
    EXPECT_NEAR(m2 / n, 1, 0.003);
    EXPECT_NEAR(m4 / n, 3, 0.03);
    // P(|x| > 2, 3, 4) = 0.0455, 0.0027, 6.33e-5, within a few standard errors.
    EXPECT_NEAR(beyond2 / double(n), 0.045500, 0.0005);
    EXPECT_NEAR(beyond3 / double(n), 0.002700, 0.00013);
    EXPECT_NEAR(beyond4 / double(n), 6.334e-5, 2.5e-5);

    dsp::GaussianSource a(7), b(7), c(8);
    const auto x = a.complexNoise(1000, 2.0), y = b.complexNoise(1000, 2.0), z = c.complexNoise(1000, 2.0);
    EXPECT_EQ(x, y);
    EXPECT_NE(x, z);
    double p = 0;
    for (const auto& v : a.complexNoise(1'000'000, 2.0)) p += std::norm(v);
    EXPECT_NEAR(p / 1e6, 2.0, 0.01);
}
