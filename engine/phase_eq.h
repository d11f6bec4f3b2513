#pragma once
// Transmit phase equalizer: a second-order all-pass applied cyclically.
#include "dsp/biquad.h"
#include "dsp/types.h"

namespace engine {

// Coefficients of the equalizer at sample rate Fs (Hz).
dsp::Biquad eqlrfilt(double Fs);

dsp::CVec Zuno_FwdPhaseEq(const dsp::CVec& input, int oversamplingRate);
// The same, optionally returning the complex conjugate, in one pass.
dsp::CVec equalizePhase(const dsp::CVec& input, int oversamplingRate, bool conjugate);

}  // namespace engine
