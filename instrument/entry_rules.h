#pragma once
// How the signal generator fields take what the user typed: never refused, always brought into
// range; and how a frequency or sample rate is shown with its unit.
#include <optional>
#include <string>
#include <string_view>

#include "instrument/core/waveform_title.h"

namespace instrument {

// The number the text holds; nothing when it is not exactly one number.
std::optional<double> entryNumber(std::string_view text);
// Limited to low ... high; nothing (or NaN) ends at the upper limit.
double limitEntry(std::optional<double> x, double low, double high);
// Halves away from zero.
std::optional<double> roundWhole(std::optional<double> x);
std::optional<double> roundHundredths(std::optional<double> x);
// 10^(3 (unit - 1)): item 1 Hz, 2 kHz, 3 MHz, 4 GHz.
double unitFactor(double unitItem);

struct Scaled {
    double unitItem;  // 1-based item of the unit pop-up
    double shown;     // the number in that unit
};
// The largest unit (at most `units` items) that keeps the number at 1 or more.
Scaled withUnit(double hz, int units);

}  // namespace instrument
