#pragma once
// Numbers as the user sees them in fields, labels and instrument commands.
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
