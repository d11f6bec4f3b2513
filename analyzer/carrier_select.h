#pragma once
// One carrier of a multi-carrier capture: moved to zero and the others filtered away, so that the
// analyzer reads it as a capture of that carrier alone.
#include "dsp/types.h"

namespace analyzer {

// The channel kept around the carrier: what lies within 615 kHz passes, from 735 kHz on is
// stopped, where a neighbour 1.25 MHz away has fallen 60 dB below its own band.
constexpr double kSelectPassHz = 615e3;
constexpr double kSelectStopHz = 735e3;

// `x` (at `sampleRate`) moved down by `offsetHz` and low-pass filtered in the frequency domain,
// taken as one period of a repeating capture. Throws std::runtime_error when the carrier's
// 1.25 MHz does not lie inside the sampled band.
dsp::CVec selectCarrier(const dsp::CVec& x, double offsetHz, double sampleRate);

}  // namespace analyzer
