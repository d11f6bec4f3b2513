#pragma once
// What the time-domain windows draw: I and Q against time, eye traces, constellation points.
#include <cstddef>
#include <string>

#include "dsp/types.h"

namespace plots {

struct IqTimeData {
    dsp::RVec t;  // display units, 0..tMax
    dsp::RVec i, q;   // relative to the DAC's full scale: the largest component is 1
    double iMax = 1;  // both axes show -iMax..iMax
    double tMax = 0;
    std::string tUnits;
    bool noData = false;  // the waveform was empty: two cycles of a test tone instead
};

IqTimeData computeIqTime(double sampleRate, const dsp::CVec& iqWave);

// The eye as a persistence display shows it: how often the traces pass through each cell of a
// grid of `columns` across one trace's time span (-period/2..period/2) and `rows` across the
// vertical range (-yLimit..yLimit, row 0 at the bottom). Traces are n + 1 samples long (each ends
// where the next begins), the first starts after `offset` samples, and run as straight lines
// from sample to sample, so that a steep edge fills every cell it crosses.
struct EyeDensity {
    std::size_t columns = 0, rows = 0;
    dsp::RVec i, q;        // rows x columns counts, row by row; q only for a complex waveform
    bool complex = false;  // any non-zero imaginary part: a second (quadrature) diagram
    double yLimit = 1;
    double fullScale = 1;  // the largest component, which the instrument plays at its converters' full scale
    double period = 1;
    std::size_t traces = 0;

    double count(const dsp::RVec& grid, std::size_t column, std::size_t row) const { return grid[row * columns + column]; }
};

// Throws std::invalid_argument with "Input variable X is empty.", "PERIOD must be a positive
// number.", "N must be an integer greater than 1." or "OFFSET must be a integer in the range
// 0 <= OFFSET < N.".
EyeDensity eyeDensity(const dsp::CVec& x, double n, double period, double offset, std::size_t columns,
                      std::size_t rows);

struct ScatterData {
    dsp::RVec i, q;     // every n-th sample after `offset`, relative to the DAC's full scale
    double limit = 1;   // both axes -limit..limit: 1.07 x the full scale
};

// Throws std::invalid_argument with "Input variable X is empty.", "N must be a positive
// integer." or "OFFSET must be a nonnegative integer.".
ScatterData scatterPoints(const dsp::CVec& x, double n, double offset);

}  // namespace plots
