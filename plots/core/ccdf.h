#pragma once
// What the CCDF window draws: how often the instantaneous power exceeds the average by X dB.
#include <cstddef>

#include "dsp/types.h"

namespace plots {

struct CcdfData {
    dsp::RVec X;   // 201 thresholds in dB above the average, 0..maxX
    dsp::RVec Y;   // percent of samples at or above each threshold
    dsp::RVec Y1;  // the Gaussian noise reference, percent
    double maxX = 20;
    double yMin = 0.001;
    bool realWave = false;
    dsp::RVec xTicks;  // 0, 2, 4, ... up to maxX
};

// The amplitude-modulated test tone of 1000 samples shown for an empty waveform.
dsp::CVec ccdfTestData();

CcdfData computeCcdf(const dsp::CVec& iqWave);

}  // namespace plots
