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
};

// `window` holds one frame (32768 R samples). Throws std::runtime_error when no pilot is found.
Acquisition acquire(const dsp::CVec& window, int r);

}  // namespace analyzer
