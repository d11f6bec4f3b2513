#include "engine/phase_eq.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>
#include <string>

#include "engine/frame.h"

namespace engine {

namespace {
constexpr double kAlpha = 1.36;
constexpr double kOmega0 = 1979203.3717615698;  // 2 pi 315 kHz
constexpr double kMatchHz = 500000.0;
constexpr std::size_t kSegments = 8;

// Samples after which the state's contribution has fallen below 1e-20 of its size, far below
// the rounding of the output: the decay of the slowest pole, plus a margin for its multiplicity.
std::size_t forgettingLength(const dsp::Biquad& q) {
    const double a1 = q.a[1], a2 = q.a[2];
    const double disc = a1 * a1 - 4 * a2;
    double radius = disc < 0 ? std::sqrt(a2) : std::max(std::abs((-a1 + std::sqrt(disc)) / 2), std::abs((-a1 - std::sqrt(disc)) / 2));
    radius = std::min(radius, 0.9999);
    return static_cast<std::size_t>(std::ceil(std::log(1e-20) / std::log(radius))) + 64;
}

typedef double V4 __attribute__((vector_size(32)));
#pragma GCC diagnostic ignored "-Wpsabi"

// Eight stretches of the frame run side by side as independent recursions, four to a vector,
// so that the processor is not held up by the latency of one. Each stretch but the first
// starts from zero state `forget` samples early, which reproduces the sequential result to far
// below rounding.
__attribute__((target_clones("arch=x86-64-v3", "default")))
void segmentedAllpass(const dsp::Biquad& q, const dsp::cplx* x, std::size_t n, std::size_t prefix,
                      std::size_t forget, std::size_t shift, bool conjugate, dsp::cplx* out) {
    const std::size_t seg = n / kSegments;
    std::array<dsp::BiquadFilter, kSegments> f;
    f.fill(dsp::BiquadFilter(q));
    f[0].run(x + (n - prefix), prefix, nullptr);
    for (std::size_t k = 1; k < kSegments; ++k) f[k].run(x + k * seg - forget, forget, nullptr);
    V4 z1r[2], z2r[2], z1i[2], z2i[2];
    for (std::size_t k = 0; k < kSegments; ++k) {
        double a, b, c, d;
        f[k].state(a, b, c, d);
        z1r[k / 4][k % 4] = a;
        z2r[k / 4][k % 4] = b;
        z1i[k / 4][k % 4] = c;
        z2i[k / 4][k % 4] = d;
    }
    const V4 b0 = V4{} + q.b[0], b1 = V4{} + q.b[1], b2 = V4{} + q.b[2], a1 = V4{} + q.a[1], a2 = V4{} + q.a[2];
    const double sign = conjugate ? -1.0 : 1.0;
    for (std::size_t i = 0; i < seg; ++i) {
        for (std::size_t h = 0; h < 2; ++h) {
            const dsp::cplx* s0 = x + 4 * h * seg + i;
            const V4 xr{s0[0].real(), s0[seg].real(), s0[2 * seg].real(), s0[3 * seg].real()};
            const V4 xi{s0[0].imag(), s0[seg].imag(), s0[2 * seg].imag(), s0[3 * seg].imag()};
            const V4 yr = b0 * xr + z1r[h];
            const V4 yi = b0 * xi + z1i[h];
            z1r[h] = b1 * xr - a1 * yr + z2r[h];
            z1i[h] = b1 * xi - a1 * yi + z2i[h];
            z2r[h] = b2 * xr - a2 * yr;
            z2i[h] = b2 * xi - a2 * yi;
            for (std::size_t k = 0; k < 4; ++k) {
                const std::size_t at = (4 * h + k) * seg + i;
                out[at >= shift ? at - shift : at + n - shift] = {yr[k], sign * yi[k]};
            }
        }
    }
    // The rest of the last stretch continues its own recursion.
    const std::size_t last = kSegments - 1;
    f[last].setState(z1r[1][3], z2r[1][3], z1i[1][3], z2i[1][3]);
    const std::size_t done = kSegments * seg;
    dsp::CVec tail(n - done);
    f[last].run(x + done, n - done, tail.data());
    for (std::size_t i = done; i < n; ++i) {
        const dsp::cplx y = tail[i - done];
        out[i >= shift ? i - shift : i + n - shift] = conjugate ? std::conj(y) : y;
    }
}

}  // namespace

dsp::Biquad eqlrfilt(double Fs) {
    const double w2 = kOmega0 * kOmega0;
    // All-pass (s^2 - a w0 s + w0^2) / (s^2 + a w0 s + w0^2).
    return dsp::bilinear({1.0, -kAlpha * kOmega0, w2}, {1.0, kAlpha * kOmega0, w2}, Fs, kMatchHz);
}

dsp::CVec equalizePhase(const dsp::CVec& input, int oversamplingRate, bool conjugate) {
    if (oversamplingRate < 1) throw std::invalid_argument("oversampling must be at least 1");
    const std::size_t n = input.size();
    const auto r = static_cast<std::size_t>(oversamplingRate);
    const std::size_t prefix = 25 * r - 1;
    if (n < prefix)
        throw std::invalid_argument("a waveform of " + std::to_string(n) +
                                    " samples is shorter than the phase equalizer's " + std::to_string(prefix) +
                                    "-sample cyclic prefix");
    const dsp::Biquad q = eqlrfilt(oversamplingRate * kChipRate);
    const std::size_t shift = (2 * r - 1) % n;  // delay compensation: rotate left by 2R - 1
    dsp::CVec y(n);
    const std::size_t forget = std::max(prefix, forgettingLength(q));
    if (n >= 4 * kSegments * forget) {
        segmentedAllpass(q, input.data(), n, prefix, forget, shift, conjugate, y.data());
        return y;
    }
    // Short frames: one recursion over the last 25R - 1 samples, then the frame.
    dsp::BiquadFilter allpass(q);
    allpass.run(input.data() + (n - prefix), prefix, nullptr);
    dsp::CVec tmp(n);
    allpass.run(input.data(), n, tmp.data());
    for (std::size_t i = 0; i < n; ++i) y[i >= shift ? i - shift : i + n - shift] = conjugate ? std::conj(tmp[i]) : tmp[i];
    return y;
}

dsp::CVec Zuno_FwdPhaseEq(const dsp::CVec& input, int oversamplingRate) {
    return equalizePhase(input, oversamplingRate, false);
}

}  // namespace engine
