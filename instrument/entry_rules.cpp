#include "instrument/entry_rules.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

#include "host/core/number_text.h"

namespace instrument {

std::optional<double> entryNumber(std::string_view text) {
    const auto numbers = host::textToNumbers(text);
    if (numbers.size() != 1) return std::nullopt;
    return numbers.front();
}

double limitEntry(std::optional<double> x, double low, double high) {
    if (!x || std::isnan(*x)) return high;
    return std::max(std::min(*x, high), low);
}

std::optional<double> roundWhole(std::optional<double> x) {
    if (x) x = std::round(*x);
    return x;
}

std::optional<double> roundHundredths(std::optional<double> x) {
    if (x) x = std::round(*x * 100) / 100;
    return x;
}

double unitFactor(double unitItem) { return std::pow(10.0, 3 * (unitItem - 1)); }

Scaled withUnit(double hz, int units) {
    int item = 1;
    while (item < units && hz >= unitFactor(item + 1)) ++item;
    return {static_cast<double>(item), hz / unitFactor(item)};
}

}  // namespace instrument
