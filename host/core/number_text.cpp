#include "host/core/number_text.h"

#include <cmath>
#include <cstdio>

namespace host {

std::string numberText(double x) {
    if (std::isnan(x)) return "NaN";
    if (std::isinf(x)) return x > 0 ? "Inf" : "-Inf";
    char buf[400];  // %.0f of the largest double has 309 digits
    if (x == std::trunc(x)) {
        // -0 would otherwise print as "-0".
        std::snprintf(buf, sizeof buf, "%.0f", x == 0.0 ? 0.0 : x);
    } else {
        std::snprintf(buf, sizeof buf, "%.15g", x);
    }
    return buf;
}

}  // namespace host
