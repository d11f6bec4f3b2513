#include "instrument/entry_rules.h"

#include <QComboBox>
#include <algorithm>
#include <cmath>

#include "host/core/number_text.h"
#include "host/qt/control.h"
#include "host/qt/numeric_entry.h"

namespace instrument {

double roundWhole(double x) { return std::round(x); }

double roundHundredths(double x) { return std::round(x * 100) / 100; }

double unitFactor(double unitItem) { return std::pow(10.0, 3 * (unitItem - 1)); }

Scaled withUnit(double hz, int units) {
    int item = 1;
    while (item < units && hz >= unitFactor(item + 1)) ++item;
    return {static_cast<double>(item), hz / unitFactor(item)};
}

std::optional<double> readScaled(QObject* field, QObject* unitPopup, const std::string& label, double hz, double low,
                                 double high) {
    auto* popup = qobject_cast<QComboBox*>(unitPopup);
    const Scaled kept = withUnit(hz, popup ? popup->count() : 1);
    const std::string keptText =
        host::numberText(kept.shown) + (popup ? " " + popup->itemText(static_cast<int>(kept.unitItem) - 1).toStdString() : "");
    const host::NumericField how{label, host::thousandsUnits(unitPopup), unitFactor(host::ctl(unitPopup).value())};
    const auto x = host::readField(field, how, keptText);
    if (!x) return std::nullopt;
    return std::clamp(*x, low, high);
}

}  // namespace instrument
