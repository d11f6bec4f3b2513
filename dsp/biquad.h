#pragma once
// Second-order sections: bilinear transform of an analog biquad and filtering of complex samples.
#include <array>
#include <cstddef>

#include "dsp/types.h"

namespace dsp {

struct Biquad {
    std::array<double, 3> b{};  // numerator, z^0 z^-1 z^-2
    std::array<double, 3> a{};  // denominator, a[0] == 1
};

// Bilinear transform of H(s) = (n0 s^2 + n1 s + n2) / (d0 s^2 + d1 s + d2) with the frequency
// axis prewarped so that analog and digital responses agree at prewarpHz.
Biquad bilinear(const std::array<double, 3>& num, const std::array<double, 3>& den, double fs, double prewarpHz);

// Direct form II transposed, starting from zero state; the state carries over between calls.
// Real and imaginary parts are filtered independently (real coefficients).
class BiquadFilter {
public:
    BiquadFilter() = default;
    explicit BiquadFilter(const Biquad& q) : q_(q) {}
    // Filters n samples; y may be null to advance the state only. x and y may be the same.
    void run(const cplx* x, std::size_t n, cplx* y);
    void state(double& z1r, double& z2r, double& z1i, double& z2i) const {
        z1r = z1r_, z2r = z2r_, z1i = z1i_, z2i = z2i_;
    }
    void setState(double z1r, double z2r, double z1i, double z2i) { z1r_ = z1r, z2r_ = z2r, z1i_ = z1i, z2i_ = z2i; }

private:
    Biquad q_;
    double z1r_ = 0, z2r_ = 0, z1i_ = 0, z2i_ = 0;
};

// Filters x with zero initial state.
CVec filter(const Biquad& q, const CVec& x);

}  // namespace dsp
