#include "engine/dac.h"

#include <gtest/gtest.h>

#include <cmath>

using engine::applyDacRes;
using dsp::cplx;
using dsp::CVec;

TEST(DacResolution, QuantisesToTheGridOfTheLargestComponent) {
    const CVec w{{2.0, 0.3}, {-0.123456, 1.999}, {0.5, -2.0}};
    const auto q = applyDacRes(w, 14);
    const double step = 2.0 / 8191.0;
    for (std::size_t i = 0; i < w.size(); ++i) {
        for (double part : {q[i].real(), q[i].imag()}) EXPECT_NEAR(part / step, std::round(part / step), 1e-9);
        EXPECT_LE(std::abs(q[i].real() - w[i].real()), step / 2 + 1e-15);
        EXPECT_LE(std::abs(q[i].imag() - w[i].imag()), step / 2 + 1e-15);
    }
    EXPECT_EQ(q[0].real(), 2.0);
    EXPECT_EQ(q[2].imag(), -2.0);
}

TEST(DacResolution, HalvesRoundAwayFromZero) {
    // Peak 3 with 3 bits: scale 1, so 0.5 -> 1 and -1.5 -> -2.
    const auto q = applyDacRes({{3.0, 0.5}, {-1.5, 0.0}}, 3);
    EXPECT_EQ(q[0], cplx(3.0, 1.0));
    EXPECT_EQ(q[1], cplx(-2.0, 0.0));
}

TEST(DacResolution, SmallWordsLargeWordsAndSilence) {
    const CVec w{{0.1234567, -0.7654321}, {1.0, 0.25}};
    EXPECT_EQ(applyDacRes(w, 2), w);
    EXPECT_EQ(applyDacRes(w, 0), w);
    EXPECT_EQ(applyDacRes(w, 40), applyDacRes(w, 32));
    EXPECT_NE(applyDacRes(w, 31), applyDacRes(w, 32));
    const CVec silence(8);
    EXPECT_EQ(applyDacRes(silence, 14), silence);
    EXPECT_TRUE(applyDacRes({}, 14).empty());
}
