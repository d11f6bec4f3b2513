#pragma once
// Numbers as the user sees them in fields, labels and instrument commands.
#include <string>

namespace host {

// An integral value as a plain integer (2200000000, -30); any other value in general decimal
// form with up to 15 significant digits (-12.5, 0.1); "NaN", "Inf", "-Inf".
std::string numberText(double x);

}  // namespace host
