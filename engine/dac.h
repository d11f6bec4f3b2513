#pragma once
#include "dsp/types.h"

namespace engine {

// Quantises real and imaginary parts to a signed numBits grid relative to the largest component.
// numBits <= 2 and an all-zero waveform return the input unchanged; numBits is capped at 32.
dsp::CVec applyDacRes(const dsp::CVec& wave, double numBits);

}  // namespace engine
