#pragma once
// Axis units, evenly spaced axes and the centring of a transform, shared by every plot.
#include <algorithm>
#include <cstddef>
#include <optional>
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
// k = floor(log10(period) / 3): 0 or more "s", -1 "ms", -2 "µs", -3 "ns", any other "ps".
UnitScale DetermineTimeUnits(double period);

// A number typed into a field, optionally followed by a unit: for frequencies "750", "750 kHz",
// "0.75MHz" (Hz, kHz, MHz, GHz, any case), the bare number counting in `unitFactor` Hz; for levels
// "-45", "-45 dBc" (dB, dBc, dBm, dBm/Hz). Nothing when the text is not one finite number with at
// most such a unit. Read with "." as the decimal mark whatever the locale.
std::optional<double> readFrequency(const std::string& text, double unitFactor);
std::optional<double> readLevel(const std::string& text);

// n values from a to b, both included; a single value is b.
dsp::RVec linspace(double a, double b, std::size_t n);

// The transform's bins in frequency order, zero frequency at position L/2 (rounded down): the
// negative frequencies (bins L - L/2 .. L - 1) first, then bins 0 .. L - L/2 - 1.
template <class T>
std::vector<T> centreSpectrum(const std::vector<T>& x) {
    std::vector<T> out(x.size());
    const auto negative = static_cast<std::ptrdiff_t>(x.size() - x.size() / 2);
    std::rotate_copy(x.begin(), x.begin() + negative, x.end(), out.begin());
    return out;
}

// The frequencies of centreSpectrum's order: (k - L/2) * rate / L, zero exactly at position L/2.
dsp::RVec centredFrequencies(std::size_t L, double rate);

// The step of 1, 2 or 5 times a power of ten that is at least `raw`.
double niceStep(double raw);

// Round tick positions (1, 2 or 5 times a power of ten) inside [lo, hi], about `target` of them.
dsp::RVec niceTicks(double lo, double hi, int target = 6);

}  // namespace plots
