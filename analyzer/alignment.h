#pragma once
// Timing and frequency of a capture against a reference waveform, refined until the capture,
// shifted and derotated, lies on the reference.
#include <cstddef>

#include "dsp/types.h"

namespace analyzer {

struct Alignment {
    double delay = 0;        // samples from the window's first sample to the reference's first
    double frequencyHz = 0;  // removed with the time counted from the capture's first sample
};

struct Aligned {
    Alignment alignment;
    dsp::CVec samples;   // the window advanced by `delay` (cyclically) and derotated
    dsp::CVec spectrum;  // its transform
};

struct AlignmentInput {
    const dsp::CVec* window = nullptr;  // one frame of samples
    std::size_t offset = 0;             // the window's first sample in the capture
    double sampleRate = 0;
    const dsp::CVec* reference = nullptr;  // for align only
    const dsp::CVec* referenceSpectrum = nullptr;
};

// `iterations` passes of delay (cross-spectrum phase slope) and frequency (phase slope over
// half-slots) estimates; the last pass estimates the delay only. With lagSearch > 0 the first
// pass first takes the whole-sample delay of the largest correlation within lagSearch samples of
// the starting delay.
Alignment align(const AlignmentInput& in, Alignment start, int iterations, std::size_t lagSearch = 0);

// Advances a signal, given by its transform, by `delay` samples: z(t) = v(t + delay),
// band-limited and cyclic.
void advance(dsp::CVec& spectrum, double delay);

// The transform of the window with the alignment's delay and frequency removed.
dsp::CVec alignedSpectrum(const AlignmentInput& in, const Alignment& a);

// The window with the alignment's delay and frequency removed.
Aligned applyAlignment(const AlignmentInput& in, const Alignment& a);

// The window derotated and kept to its `bins` lowest frequencies (bins <= its size): the same
// signal at bins / size times the sample rate, where its band fits.
dsp::CVec derotatedBand(const AlignmentInput& in, double frequencyHz, std::size_t bins);

}  // namespace analyzer
