#pragma once
// The window of every spectral estimate the plots make.
#include <cstddef>

#include "dsp/types.h"

namespace plots {

// The periodic Hann window of n points, 0.5 - 0.5 cos(2 pi k / n): its transform has three
// non-zero bins, so an on-bin tone spreads over exactly three. Scaled so that the mean of its
// squares is 1: windowed noise keeps its power.
dsp::RVec powerNormalisedHann(std::size_t n);

}  // namespace plots
