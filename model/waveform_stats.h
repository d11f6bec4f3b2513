#pragma once
// The figures a test engineer reads first off a waveform: peak, RMS and crest factor.
#include "dsp/types.h"

namespace model {

struct WaveformStats {
    double peak = 0;     // largest magnitude
    double rms = 0;      // root of the mean power
    double crestDb = 0;  // 20 log10(peak / rms); 0 for silence
};

WaveformStats waveformStats(const dsp::CVec& waveform);

}  // namespace model
