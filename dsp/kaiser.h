#pragma once
// Kaiser-windowed sinc low-passes: the resampler's kernel, the channel filters of crest-factor
// reduction and of carrier selection. Frequencies in cycles per sample.
#include <cstddef>

namespace dsp {

// The window's shape for a stop band `stopDb` down.
double kaiserBeta(double stopDb);
// Taps either side of the centre that reach `stopDb` over a transition band this wide.
std::size_t kaiserHalfLength(double transition, double stopDb);
// The low-pass's response `tau` samples from its centre: a sinc cut off at `cutoff`, windowed
// over +-half samples (0 beyond).
double kaiserSinc(double tau, double half, double cutoff, double beta);

}  // namespace dsp
