#pragma once
// How the signal generator fields take what the user typed (through the one numeric reading,
// then brought into range), and how a frequency or sample rate is shown with its unit.
#include <QObject>
#include <optional>
#include <string>

#include "instrument/core/waveform_title.h"

namespace instrument {

// Halves away from zero.
double roundWhole(double x);
double roundHundredths(double x);
// 10^(3 (unit - 1)): item 1 Hz, 2 kHz, 3 MHz, 4 GHz.
double unitFactor(double unitItem);

struct Scaled {
    double unitItem;  // 1-based item of the unit pop-up
    double shown;     // the number in that unit
};
// The largest unit (at most `units` items) that keeps the number at 1 or more.
Scaled withUnit(double hz, int units);

// A rate or frequency typed into `field` in any unit of `unitPopup` (a bare number in the unit
// it shows), limited to low ... high; nothing when the text is no number, and then the status
// names `label` and the value kept, `hz`, as the field shows it ("2.2 GHz").
std::optional<double> readScaled(QObject* field, QObject* unitPopup, const std::string& label, double hz, double low,
                                 double high);

}  // namespace instrument
