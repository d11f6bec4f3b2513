#pragma once
// What the spectrum and waterfall windows draw.
#include <cstddef>
#include <string>

#include "dsp/types.h"

namespace plots {

// Whole tens of dB around levels lo..hi, at most 100 dB deep.
void decadeLimits(double lo, double hi, double& mMin, double& mMax);

struct SpectrumData {
    dsp::RVec freq;       // display units, fMin..fMax
    dsp::RVec magSignal;  // dB, peak at 0
    double fMin = 0, fMax = 0;
    double mMin = 0, mMax = 0;
    std::string fUnits;
    double divider = 1;
};

// The magnitude spectrum of the whole waveform, one transform, centred. An empty waveform gives
// the ten-point test peak.
SpectrumData computeSpectrum(double sampleRate, const dsp::CVec& iqWave);

struct WaterfallData {
    std::size_t m = 0;    // time slices
    std::size_t n = 0;    // samples per slice = frequency bins
    dsp::RVec magSignal;  // m x n, row by row (slice i at i*n), dB, not normalised
    dsp::RVec freq;       // n values, display units
    dsp::RVec time;       // m values, display units
    double fMin = 0, fMax = 0;
    double tMin = 0, tMax = 0;
    double mMin = 0, mMax = 0;
    std::string fUnits, tUnits;

    double at(std::size_t slice, std::size_t bin) const { return magSignal[slice * n + bin]; }
};

// The spectra of successive slices of `period` seconds (at least 10 samples), the last slice
// completed with zeros. An empty waveform gives the 5 x 10 test cross.
WaterfallData computeWaterfall(double sampleRate, double period, const dsp::CVec& iqWave);

}  // namespace plots
