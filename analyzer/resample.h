#pragma once
// Captures at any rate from the chip rate to 200 MHz, and with a sample clock that is off,
// brought to a whole number of samples per chip, where the stages read them.
#include <optional>

#include "dsp/types.h"

namespace analyzer {

inline constexpr double kLowestRate = 1228800;  // the chip rate
inline constexpr double kHighestRate = 200e6;

// R when the rate is R x 1228800 with R a whole number 1..64 (read as it is).
std::optional<int> wholeRatio(double sampleRate);

// Samples per chip the stages work at. Throws std::runtime_error for a rate outside
// 1228800 .. 200e6 Hz, naming it.
int workingRatio(double sampleRate);

// The capture at r x 1228800, taken with a clock `clockPpm` fast (its true rate is the stated
// one x (1 + clockPpm 1e-6)): the channel kept, its samples at the instants of an exact clock.
dsp::CVec toWorkingRate(const dsp::CVec& samples, double sampleRate, int r, double clockPpm);

}  // namespace analyzer
