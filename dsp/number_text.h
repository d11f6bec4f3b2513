#pragma once
// Numbers in messages: general form with up to `digits` significant digits ("-12.5", "1e+20",
// "inf", "nan"), written with "." whatever the process's locale.
#include <string>

namespace dsp {

std::string generalText(double v, int digits = 15);

}  // namespace dsp
