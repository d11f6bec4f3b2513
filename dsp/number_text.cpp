#include "dsp/number_text.h"

#include <charconv>

namespace dsp {

std::string generalText(double v, int digits) {
    char buf[64];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, digits);
    return std::string(buf, end);
}

}  // namespace dsp
