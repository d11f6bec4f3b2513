#pragma once
// The sample clock's error left in a frame: how far the capture drifts from the reference
// across it.
#include "dsp/types.h"

namespace analyzer {

// z and ref: one frame at r samples per chip, z aligned on ref on the whole. The delay of each
// sixteenth of the frame against the reference, a line through them: (true rate / stated - 1)
// x 1e6 of the clock z was taken with. Drifts to about a chip either side are seen.
double clockDriftPpm(const dsp::CVec& z, const dsp::CVec& ref, int r);

}  // namespace analyzer
