#pragma once
// Second-order sections: bilinear transform of an analog biquad and zero-state filtering.
#include <array>

#include "dsp/types.h"

namespace dsp {

struct Biquad {
    std::array<double, 3> b{};  // numerator, z^0 z^-1 z^-2
    std::array<double, 3> a{};  // denominator, a[0] == 1
};

// Bilinear transform of H(s) = (n0 s^2 + n1 s + n2) / (d0 s^2 + d1 s + d2) with the frequency
// axis prewarped so that analog and digital responses agree at prewarpHz.
Biquad bilinear(const std::array<double, 3>& num, const std::array<double, 3>& den, double fs, double prewarpHz);

// Filters x with zero initial state (direct form II transposed).
CVec filter(const Biquad& q, const CVec& x);

}  // namespace dsp
