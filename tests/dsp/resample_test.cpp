// Band-limited resampling by any ratio: tones in the band kept come out at the new instants
// with an error far below -60 dB, up or down, whatever the ratio.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "dsp/resample.h"

namespace {

// Tones at random frequencies within +-band (cycles per sample), random phases.
struct Tones {
    std::vector<double> f, phase;
    dsp::cplx at(double t) const {
        dsp::cplx v = 0;
        for (std::size_t i = 0; i < f.size(); ++i) v += std::polar(1.0, 2 * std::numbers::pi * f[i] * t + phase[i]);
        return v;
    }
};

TEST(Resample, TonesInTheBandComeOutWithinMinus60dB) {
    std::mt19937_64 rng(3);
    // step = input rate / output rate; passband as a fraction of the input rate.
    const struct {
        double step, passband;
    } cases[] = {{2.5 / 2.4576, 780e3 / 2.5e6},   {2.0 / 2.4576, 780e3 / 2e6},   {10.0 / 9.8304, 780e3 / 10e6},
                 {200.0 / 19.6608, 780e3 / 200e6}, {1.0002, 780e3 / 2.4576e6}, {0.25, 0.3}};
    for (const auto& c : cases) {
        SCOPED_TRACE("step " + std::to_string(c.step));
        Tones tones;
        std::uniform_real_distribution<double> f(-c.passband, c.passband), ph(0, 6.28);
        for (int i = 0; i < 8; ++i) tones.f.push_back(f(rng)), tones.phase.push_back(ph(rng));
        dsp::CVec in(40000);
        for (std::size_t t = 0; t < in.size(); ++t) in[t] = tones.at(double(t));
        const std::size_t count = dsp::resampledCount(in.size(), c.step);
        EXPECT_EQ(count, static_cast<std::size_t>(std::floor(double(in.size() - 1) / c.step)) + 1);
        const dsp::CVec out = dsp::resample(in, {c.step, c.passband}, count);
        // Away from the ends, where the input stops.
        double error = 0, power = 0;
        for (std::size_t m = count / 10; m < count * 9 / 10; ++m) {
            const dsp::cplx want = tones.at(double(m) * c.step);
            error += std::norm(out[m] - want), power += std::norm(want);
        }
        EXPECT_LT(10 * std::log10(error / power), -60);
    }
}

// What lies beyond the band kept and would fold into it at the lower rate is stopped.
TEST(Resample, WhatWouldFoldIntoTheBandIsStopped) {
    const double step = 4;  // to a quarter of the rate: 0.25 cycles per input sample fold onto 0
    dsp::CVec in(40000);
    for (std::size_t t = 0; t < in.size(); ++t) in[t] = std::polar(1.0, 2 * std::numbers::pi * 0.24 * double(t));
    const dsp::CVec out = dsp::resample(in, {step, 0.05}, dsp::resampledCount(in.size(), step));
    double power = 0;
    for (std::size_t m = out.size() / 10; m < out.size() * 9 / 10; ++m) power += std::norm(out[m]) / (0.8 * double(out.size()));
    EXPECT_LT(10 * std::log10(power), -60);
}

}  // namespace
