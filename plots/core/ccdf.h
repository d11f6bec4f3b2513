#pragma once
// What the CCDF window draws: how often the instantaneous power exceeds the average by X dB.
#include <array>
#include <cstddef>
#include <string>

#include "dsp/types.h"

namespace plots {

// The probabilities a CCDF is read at, in percent.
inline constexpr std::array<double, 4> kCcdfPercents{10, 1, 0.1, 0.01};

struct CcdfData {
    dsp::RVec X;   // 201 thresholds in dB above the average, 0..maxX
    dsp::RVec Y;   // percent of samples at or above each threshold
    dsp::RVec Y1;  // the Gaussian noise reference, percent
    double maxX = 20;
    double yMin = 0.001;
    bool realWave = false;
    double meanPower = 0;  // mean |x|^2
    double crestDb = 0;    // the peak power above the mean
    // dB above the mean that kCcdfPercents of the samples reach or exceed; NaN where the waveform
    // has too few samples to tell (fewer than one sample in that fraction).
    std::array<double, 4> aboveMean{};
};

// The amplitude-modulated test tone of 1000 samples shown for an empty waveform.
dsp::CVec ccdfTestData();

CcdfData computeCcdf(const dsp::CVec& iqWave);

// A curve kept to compare later ones against, with the name it was stored under.
struct CcdfReference {
    std::string name;
    CcdfData data;
    double meanDbm = 0;  // NaN when no output power was known
};

// The samples where the gate is high: the bursts of a frame whose RF blanking marker switches the
// carrier off between them.
dsp::CVec gatedSamples(const dsp::CVec& iqWave, const dsp::Bits& gate);

// The x tick step for a shown span of dB: every 2 dB over the whole curve, finer (1, 0.5, 0.2
// ...) when zoomed in so that about ten ticks remain.
double ccdfTickStep(double span);

}  // namespace plots
