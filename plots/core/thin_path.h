#pragma once
// A path through many close points drawn from fewer: the scatter diagram's trajectory passes
// through every sample, thirty to a chip at the highest oversampling, most of them on what is
// a straight line at the scale of a pixel.
#include <cstddef>
#include <vector>

#include "dsp/types.h"

namespace plots {

// The indices of the points to keep, the first and the last among them: every point left out
// lies within `tolerance` of the straight line between the kept points on either side of it.
std::vector<std::size_t> thinPath(const dsp::RVec& x, const dsp::RVec& y, double tolerance);

}  // namespace plots
