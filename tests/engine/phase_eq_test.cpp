#include "engine/phase_eq.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

using namespace engine;
using dsp::cplx;
using dsp::CVec;

namespace {

cplx response(const dsp::Biquad& q, double f, double fs) {
    const cplx z1 = std::polar(1.0, -2 * std::numbers::pi * f / fs);
    return (q.b[0] + q.b[1] * z1 + q.b[2] * z1 * z1) / (q.a[0] + q.a[1] * z1 + q.a[2] * z1 * z1);
}

}  // namespace

TEST(PhaseEqualizer, CoefficientsAreTheCheckValuesOfAnAllPass) {
    struct Case {
        int r;
        double a1, a2;
    };
    for (const Case c : {Case{2, -0.8413033901, 0.3138070377}, Case{5, -1.5552818447, 0.6419811477},
                         Case{30, -1.9267798767, 0.9295622629}}) {
        const double fs = c.r * 1228800.0;
        const auto q = eqlrfilt(fs);
        EXPECT_DOUBLE_EQ(q.a[0], 1.0);
        EXPECT_NEAR(q.a[1], c.a1, 1e-10) << "R = " << c.r;
        EXPECT_NEAR(q.a[2], c.a2, 1e-10) << "R = " << c.r;
        // b is a reversed.
        EXPECT_NEAR(q.b[0], q.a[2], 1e-15);
        EXPECT_NEAR(q.b[1], q.a[1], 1e-15);
        EXPECT_NEAR(q.b[2], 1.0, 1e-15);
        EXPECT_GT(q.a[2], 0.0);
        EXPECT_LT(q.a[2], 1.0);
        for (double f : {0.0, 1e5, 315e3, 5e5, 1.2e6, fs / 2 * 0.99}) EXPECT_NEAR(std::abs(response(q, f, fs)), 1.0, 1e-12);
    }
}

TEST(PhaseEqualizer, ImpulseComesOutAsTheResponseRotatedBy2RMinus1) {
    const int r = 5;
    const std::size_t n = 4096;
    CVec impulse(n);
    impulse[0] = 1.0;
    const auto g = dsp::filter(eqlrfilt(r * 1228800.0), impulse);
    const auto out = Zuno_FwdPhaseEq(impulse, r);
    const std::size_t shift = 2 * r - 1;
    for (std::size_t i = 0; i < n; ++i) ASSERT_NEAR(std::abs(out[i] - g[(i + shift) % n]), 0.0, 1e-15) << "sample " << i;
}

TEST(PhaseEqualizer, HistoryComesFromTheEndOfTheFrame) {
    // With the last 25R - 1 samples in front, a frame and its rotation give rotated outputs up to
    // the response that has decayed over that history.
    const int r = 2;
    std::mt19937 gen(3);
    std::normal_distribution<double> nd;
    CVec x(2000);
    for (auto& v : x) v = {nd(gen), nd(gen)};
    const auto y = Zuno_FwdPhaseEq(x, r);
    CVec rotated(x.size());
    const std::size_t k = 700;
    for (std::size_t i = 0; i < x.size(); ++i) rotated[(i + k) % x.size()] = x[i];
    const auto yr = Zuno_FwdPhaseEq(rotated, r);
    for (std::size_t i = 200; i < x.size(); ++i) ASSERT_NEAR(std::abs(yr[(i + k) % x.size()] - y[i]), 0.0, 1e-9);
    EXPECT_THROW(Zuno_FwdPhaseEq(CVec(48), 2), std::invalid_argument);
    EXPECT_NO_THROW(Zuno_FwdPhaseEq(CVec(49), 2));
}

TEST(PhaseEqualizer, SideBySideStretchesEqualOneRecursion) {
    std::mt19937 gen(5);
    std::normal_distribution<double> nd;
    for (int r : {2, 5, 30}) {
        const std::size_t n = 32768 * static_cast<std::size_t>(r) + 3;  // not a multiple of the stretches
        CVec x(n);
        for (auto& v : x) v = {nd(gen), nd(gen)};
        // The definition: the last 25R - 1 samples in front, zero state, keep the last n outputs,
        // rotate left by 2R - 1.
        const std::size_t prefix = 25 * r - 1;
        CVec extended(x.end() - static_cast<std::ptrdiff_t>(prefix), x.end());
        extended.insert(extended.end(), x.begin(), x.end());
        const auto full = dsp::filter(eqlrfilt(r * 1228800.0), extended);
        const auto y = Zuno_FwdPhaseEq(x, r);
        const auto yc = equalizePhase(x, r, true);
        double worst = 0, peak = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const cplx expected = full[prefix + (i + 2 * r - 1) % n];
            worst = std::max(worst, std::abs(y[i] - expected));
            peak = std::max(peak, std::abs(expected));
            ASSERT_EQ(yc[i], std::conj(y[i]));
        }
        EXPECT_LT(worst, 1e-13 * peak) << "R = " << r;
    }
}
