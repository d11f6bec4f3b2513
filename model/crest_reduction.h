#pragma once
// Crest-factor reduction as a transmitter does it: the magnitude clipped, and the clipping noise
// filtered back into the carriers' channels, repeated until the crest factor holds.
#include <vector>

#include "dsp/types.h"

namespace model {

struct CrestReduction {
    double targetDb = 0;
    double beforeDb = 0;  // crest factor (peak over RMS) of the waveform as it came
    double afterDb = 0;
    int iterations = 0;
    // Waveform quality of the result against the waveform as it came: the normalised
    // correlation |<x, y>|^2 / (<x, x> <y, y>).
    double rho = 1;
    bool reached = false;  // afterDb within kCrestTolerance of the target
};

constexpr int kMaxCrestIterations = 10;
constexpr double kCrestToleranceDb = 0.05;
// The channel filter the clipping noise goes through: it passes what lies within 615 kHz of a
// carrier and stops, 60 dB down, from 735 kHz (the edge of the leakage measured at 750 kHz).
constexpr double kChannelPassHz = 615e3;
constexpr double kChannelStopHz = 735e3;

// Reduces `w` (one period of a looping waveform, sampled at `sampleRate`) to `targetDb` with
// the clipping noise kept inside the channels of the carriers at `offsetsHz`.
CrestReduction reduceCrest(dsp::CVec& w, double targetDb, const std::vector<double>& offsetsHz, double sampleRate);

}  // namespace model
