#pragma once
// A simulated receiver: the repeating output of the generator taken as an SDR or a bench
// analyzer takes it, at its own rate and clock, with its carrier offset, I/Q errors, phase
// noise and noise. Independent of the analyzer's own resampling: a windowed sinc evaluated
// directly at each sample's instant.
#include <cmath>
#include <numbers>
#include <random>

#include "dsp/noise.h"
#include "dsp/types.h"
#include "engine/frame.h"

namespace analyzertest {

struct Receiver {
    double rate = 0;          // Hz; 0: the waveform's own
    double frames = 2;        // capture length
    double startChips = 0;    // where the first sample lies in the repeating waveform
    double frequencyHz = 0;   // carrier offset
    double phase = 0;
    double clockPpm = 0;      // the sampling clock fast by this much: true rate = rate (1 + ppm 1e-6)
    double dcDbc = -INFINITY; // origin offset relative to the signal's power
    double dcPhase = 0.7;
    double gainImbalanceDb = 0;     // I gain over Q gain
    double quadratureErrorDeg = 0;  // Q's angle from I minus 90 degrees
    double phaseNoiseDegRms = 0;    // low-pass (10 kHz) Gaussian phase noise
    double snrDb = INFINITY;        // in the channel (1.2288 MHz wide)
};

namespace detail {

// Blackman-windowed sinc, cutoff `fc` cycles per input sample, `half` taps either side.
inline double kernel(double tau, double fc, int half) {
    if (std::abs(tau) >= half) return 0;
    const double x = 2 * fc * tau;
    const double sinc = x == 0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
    const double u = (tau / half + 1) / 2;  // 0..1 over the window
    const double w = 0.42 - 0.5 * std::cos(2 * std::numbers::pi * u) + 0.08 * std::cos(4 * std::numbers::pi * u);
    return 2 * fc * sinc * w;
}

}  // namespace detail

// `wave`: one frame of the generator's output at r samples per chip, repeating.
inline dsp::CVec receive(const dsp::CVec& wave, int r, const Receiver& rx, dsp::Rng& rng) {
    const double inRate = r * engine::kChipRate;
    const double outRate = rx.rate > 0 ? rx.rate : inRate;
    const auto n = static_cast<std::size_t>(std::llround(rx.frames * engine::kChipsPerFrame * outRate / engine::kChipRate));
    const auto size = static_cast<long long>(wave.size());
    // Cut at half the lower rate: the channel (740 kHz) passes, and nothing folds back into it.
    const double fc = std::min(inRate, outRate) / 2 / inRate;
    constexpr int kHalf = 24;
    // A table of the kernel at 1/1024 of an input sample, interpolated linearly.
    constexpr int kSteps = 1024;
    std::vector<double> table(2 * kHalf * kSteps + 1);
    for (std::size_t i = 0; i < table.size(); ++i) table[i] = detail::kernel(double(i) / kSteps - kHalf, fc, kHalf);
    std::normal_distribution<double> gauss;
    std::mt19937_64 walk(rng());
    const double corner = std::exp(-2 * std::numbers::pi * 10e3 / outRate);
    double pn = gauss(walk) * rx.phaseNoiseDegRms;
    const double gI = std::pow(10.0, rx.gainImbalanceDb / 40), gQ = 1 / gI;
    const dsp::cplx qAxis = std::polar(gQ, std::numbers::pi / 2 + rx.quadratureErrorDeg * std::numbers::pi / 180);
    dsp::CVec x(n);
    double power = 0;
    for (std::size_t k = 0; k < n; ++k) {
        const double t = double(k) / (outRate * (1 + rx.clockPpm * 1e-6));  // the sample's true instant
        const double pos = t * inRate + rx.startChips * r;
        const auto i0 = static_cast<long long>(std::floor(pos));
        dsp::cplx v = 0;
        for (long long i = i0 - kHalf + 1; i <= i0 + kHalf; ++i) {
            const auto at = static_cast<std::size_t>(((i % size) + size) % size);
            const double p = (pos - double(i) + kHalf) * kSteps;
            const auto j = std::min(static_cast<std::size_t>(p), table.size() - 2);
            v += (table[j] + (p - double(j)) * (table[j + 1] - table[j])) * wave[at];
        }
        pn = corner * pn + std::sqrt(1 - corner * corner) * gauss(walk) * rx.phaseNoiseDegRms;
        v *= std::polar(1.0, rx.phase + 2 * std::numbers::pi * rx.frequencyHz * t + pn * std::numbers::pi / 180);
        x[k] = gI * v.real() + qAxis * v.imag();
        power += std::norm(v) / double(n);
    }
    const dsp::cplx dc = std::polar(std::sqrt(power * std::pow(10.0, rx.dcDbc / 10)), rx.dcPhase);
    // White over the whole output band; the channel holds 1228800 / rate of it.
    const double noisePower = std::isfinite(rx.snrDb) ? power / std::pow(10.0, rx.snrDb / 10) * outRate / engine::kChipRate : 0;
    const dsp::CVec noise = noisePower > 0 ? dsp::complexNoise(n, noisePower, rng) : dsp::CVec(n);
    for (std::size_t k = 0; k < n; ++k) x[k] += dc + noise[k];
    return x;
}

}  // namespace analyzertest
