#pragma once
// Whole-vector discrete Fourier transforms in place (FFTW, estimated plans).
#include "dsp/types.h"

namespace dsp {

// X(k) = sum x(t) e^{-j 2 pi k t / n}.
void fft(CVec& x);
// The inverse, scaled by 1/n so that ifft(fft(x)) == x.
void ifft(CVec& x);

}  // namespace dsp
