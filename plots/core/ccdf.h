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
};

// The amplitude-modulated test tone of 1000 samples shown for an empty waveform.
dsp::CVec ccdfTestData();

CcdfData computeCcdf(const dsp::CVec& iqWave);

// The samples where the gate is high: the bursts of a frame whose RF blanking marker switches the
// carrier off between them.
dsp::CVec gatedSamples(const dsp::CVec& iqWave, const dsp::Bits& gate);

// The x tick step for a shown span of dB: every 2 dB over the whole curve, finer (1, 0.5, 0.2
// ...) when zoomed in so that about ten ticks remain.
double ccdfTickStep(double span);

}  // namespace plots
