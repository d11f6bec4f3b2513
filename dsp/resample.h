#pragma once
// Band-limited resampling of complex samples by any ratio, for captures taken at a rate the
// processing does not work at, or with a sample clock that is off.
#include <cstddef>

#include "dsp/types.h"

namespace dsp {

struct Resampling {
    // Output sample m is the input's value at position m x step, in input samples (the input's
    // rate over the output's).
    double step = 1;
    // The band kept (within 1e-3.5 in amplitude), as a fraction of the input rate, either side of
    // zero; what would fold into it is stopped by 70 dB.
    double passband = 0.25;
};

// Samples beyond either end count as zero. `count` output samples.
CVec resample(const CVec& in, const Resampling& how, std::size_t count);

// How many output samples lie within the input: positions 0 .. size - 1.
std::size_t resampledCount(std::size_t inSize, double step);

}  // namespace dsp
