#include "engine/phase_eq.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

namespace engine {

namespace {
constexpr double kAlpha = 1.36;
constexpr double kOmega0 = 1979203.3717615698;  // 2 pi 315 kHz
constexpr double kMatchHz = 500000.0;
constexpr double kChipRate = 1228800.0;
}  // namespace

dsp::Biquad eqlrfilt(double Fs) {
    const double w2 = kOmega0 * kOmega0;
    // All-pass (s^2 - a w0 s + w0^2) / (s^2 + a w0 s + w0^2).
    return dsp::bilinear({1.0, -kAlpha * kOmega0, w2}, {1.0, kAlpha * kOmega0, w2}, Fs, kMatchHz);
}

dsp::CVec Zuno_FwdPhaseEq(const dsp::CVec& input, int oversamplingRate) {
    if (oversamplingRate < 1) throw std::invalid_argument("oversampling must be at least 1");
    const std::size_t n = input.size();
    const auto r = static_cast<std::size_t>(oversamplingRate);
    const std::size_t prefix = 25 * r - 1;
    if (n < prefix)
        throw std::invalid_argument("a waveform of " + std::to_string(n) +
                                    " samples is shorter than the phase equalizer's " + std::to_string(prefix) +
                                    "-sample cyclic prefix");
    const dsp::Biquad q = eqlrfilt(oversamplingRate * kChipRate);
    // The last 25R - 1 samples in front, then the frame; only the frame's outputs are kept.
    dsp::BiquadFilter allpass(q);
    allpass.run(input.data() + (n - prefix), prefix, nullptr);
    dsp::CVec y(n);
    allpass.run(input.data(), n, y.data());
    // Delay compensation: rotate left by 2R - 1.
    std::rotate(y.begin(), y.begin() + static_cast<std::ptrdiff_t>((2 * r - 1) % n), y.end());
    return y;
}

}  // namespace engine
