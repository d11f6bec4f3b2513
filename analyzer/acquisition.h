#pragma once
// The first look at a frame's worth of samples: where the short code and the pilot bursts lie,
// whether the capture is conjugated, and the frequency error to within a few hertz.
#include <cstddef>

#include "dsp/types.h"

namespace analyzer {

struct Acquisition {
    bool conjugated = false;  // the samples are the conjugate of the unmirrored signal
    std::size_t codePhase = 0;  // frame start minus 64 x PN offset, in chips (mod 32768)
    std::size_t halfSlotStart = 0;  // frame start modulo 1024 chips
    double frequencyHz = 0;
    std::size_t sampleShift = 0;  // chip m was taken as samples m R + shift .. m R + shift + R - 1
    double detection = 0;         // the pilot's correlation over the mean of all
    double clockPpm = 0;          // the sample clock's error the bursts drift by (0 unless searched)
};

// `window` holds one frame (32768 R samples). Frequencies to +-25 kHz are searched and, when no
// clear pilot shows, sample clock errors to +-200 ppm: a clock error found comes back with the
// code phase alone (the rest is found once the capture is resampled). Throws
// std::runtime_error saying what was searched when no pilot is found (captureRate: for it).
Acquisition acquire(const dsp::CVec& window, int r, double captureRate);

}  // namespace analyzer
