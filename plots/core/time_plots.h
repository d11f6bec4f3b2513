#pragma once
// What the time-domain windows draw: I and Q against time, eye traces, constellation points.
#include <cstddef>
#include <string>

#include "dsp/types.h"

namespace plots {

struct IqTimeData {
    dsp::RVec t;  // display units, 0..tMax
    dsp::RVec i, q;
    double iMax = 1;  // both axes show -iMax..iMax
    double tMax = 0;
    std::string tUnits;
    bool noData = false;  // the waveform was empty: two cycles of a test tone instead
};

IqTimeData computeIqTime(double sampleRate, const dsp::CVec& iqWave);

// Overlapping traces of n + 1 samples (each ends where the next begins), the first starting after
// `offset` samples, over a time axis from -period/2 to period/2. Traces follow one another in one
// row, separated by a NaN, so that one line draws them all.
struct EyeData {
    dsp::RVec t;
    dsp::RVec i, q;
    bool complex = false;  // any non-zero imaginary part: a second (quadrature) diagram
    double yLimit = 1;     // vertical range -yLimit..yLimit
    double period = 1;
    std::size_t traces = 0;
};

// Throws std::invalid_argument with "Input variable X is empty.", "PERIOD must be a positive
// number.", "N must be an integer greater than 1." or "OFFSET must be a integer in the range
// 0 <= OFFSET < N.".
EyeData eyeTraces(const dsp::CVec& x, double n, double period, double offset);

struct ScatterData {
    dsp::RVec i, q;     // every n-th sample after `offset`
    double limit = 1;   // both axes -limit..limit
};

// Throws std::invalid_argument with "Input variable X is empty.", "N must be a positive
// integer." or "OFFSET must be a nonnegative integer.".
ScatterData scatterPoints(const dsp::CVec& x, double n, double offset);

}  // namespace plots
