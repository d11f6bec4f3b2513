#pragma once
// Numbers as the user sees them in fields, labels and instrument commands.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace host {

// An integral value up to 1e15 as a plain integer (2200000000, -30); any other value in general
// decimal form with up to 15 significant digits and a short exponent (-12.5, 0.1, 1e308, 1e-5);
// "NaN", "Inf", "-Inf".
std::string numberText(double x);

}  // namespace host

namespace host {

// The numbers typed in a field: separated by blanks, commas or semicolons, optionally in
// brackets ("3 700", "[1, 2]", "-12.5", "1e3", "Inf"). Text that is not a list of numbers gives
// an empty list.
std::vector<double> textToNumbers(std::string_view text);

}  // namespace host

namespace host {

// What one typed number holds: its value and the unit written after it ("" for none).
struct TypedNumber {
    double value = 0;
    std::string unit;
};

// One decimal number as a person types it into a field: optional sign, digits with "." as the
// decimal mark whatever the locale, optional exponent, then optionally a unit of letters, "%"
// or "/" (a blank before it allowed): "-30", "-30 dBm", "2.2GHz", "1e3". Anything else is not
// a number: letters alone, a decimal comma, two numbers, "Inf", "NaN", hexadecimal.
std::optional<TypedNumber> readTypedNumber(std::string_view text);

// The same number one step of its last written digit up (+1) or down (-1), written with as
// many decimals as before and the unit as it was typed ("-30 dBm" -> "-29 dBm", "2.25" ->
// "2.24", "1e3" -> "2e3"). Nothing when the text is not a number.
std::optional<std::string> stepTypedNumber(std::string_view text, int direction);

}  // namespace host
