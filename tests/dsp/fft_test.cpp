#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <thread>
#include <vector>

#include "dsp/fft.h"

namespace {

dsp::CVec sample(std::size_t n, double seed) {
    dsp::CVec x(n);
    for (std::size_t t = 0; t < n; ++t) x[t] = {std::sin(seed * (t + 1.0)), std::cos(0.37 * seed * t * t)};
    return x;
}

dsp::CVec directDft(const dsp::CVec& x) {
    const std::size_t n = x.size();
    dsp::CVec y(n);
    for (std::size_t k = 0; k < n; ++k)
        for (std::size_t t = 0; t < n; ++t)
            y[k] += x[t] * std::polar(1.0, -2 * std::numbers::pi * static_cast<double>((k * t) % n) / static_cast<double>(n));
    return y;
}

double maxDiff(const dsp::CVec& a, const dsp::CVec& b) {
    double m = 0;
    for (std::size_t i = 0; i < a.size(); ++i) m = std::max(m, std::abs(a[i] - b[i]));
    return m;
}

}  // namespace

// Plans are reused: lengths and directions taken in turn, on fresh arrays each time, must each
// give their own transform.
TEST(Fft, ReusedPlansMatchTheDirectTransform) {
    for (int round = 0; round < 2; ++round)
        for (std::size_t n : {1u, 2u, 7u, 60u, 64u, 97u}) {
            const dsp::CVec x = sample(n, 0.3 + round + n);
            dsp::CVec y = x;
            dsp::fft(y);
            EXPECT_LT(maxDiff(y, directDft(x)), 1e-9 * n) << n;
            dsp::ifft(y);
            EXPECT_LT(maxDiff(y, x), 1e-12) << n;
        }
    dsp::CVec empty;
    dsp::fft(empty);
    EXPECT_TRUE(empty.empty());
}

TEST(Fft, ThreadsShareThePlans) {
    const dsp::CVec x = sample(4096, 0.7);
    dsp::CVec expected = x;
    dsp::fft(expected);
    std::vector<dsp::CVec> results(4, x);
    std::vector<std::thread> threads;
    for (auto& r : results)
        threads.emplace_back([&r] {
            for (int i = 0; i < 5; ++i) dsp::fft(r), dsp::ifft(r);
            dsp::fft(r);
        });
    for (auto& t : threads) t.join();
    for (const auto& r : results) EXPECT_LT(maxDiff(r, expected), 1e-9);
}
