#pragma once
// Axis units, evenly spaced axes and the centring of a transform, shared by every plot.
#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

#include "dsp/types.h"

namespace plots {

// A unit text with the factor that converts a value into it: frequencies are divided by it,
// durations multiplied.
struct UnitScale {
    double factor = 1;
    std::string text;
};

// k = floor(log10(sampleRate) / 3): 0 "Hz", 1 "kHz", 2 "MHz", any other "GHz".
UnitScale DetermineFrequencyUnits(double sampleRate);
// k = floor(log10(period) / 3): 0 "S", -1 "mS", -2 "uS", -3 "nS", any other "pS".
UnitScale DetermineTimeUnits(double period);

// n values from a to b, both included; a single value is b.
dsp::RVec linspace(double a, double b, std::size_t n);

// Puts the zero-frequency bin near the middle: X(h)..X(L) then X(1)..X(g) (1-based), with
// h = round(L/2) and g = round(L/2 - 1), halves away from zero.
template <class T>
std::vector<T> rotateSpectrum(const std::vector<T>& x) {
    if (x.empty()) return {};
    const double half = static_cast<double>(x.size()) / 2.0;
    const long h = std::lround(half);
    const long g = std::lround(half - 1.0);
    std::vector<T> out;
    out.reserve(x.size());
    for (long k = h; k <= static_cast<long>(x.size()); ++k) out.push_back(x[static_cast<std::size_t>(k - 1)]);
    for (long k = 1; k <= g; ++k) out.push_back(x[static_cast<std::size_t>(k - 1)]);
    return out;
}

// Round tick positions (1, 2 or 5 times a power of ten) inside [lo, hi], about `target` of them.
dsp::RVec niceTicks(double lo, double hi, int target = 6);

}  // namespace plots
