#include "host/core/number_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

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

namespace host {

std::vector<double> textToNumbers(std::string_view text) {
    std::string s(text);
    // One pair of brackets around the whole list is allowed.
    const auto first = s.find_first_not_of(" \t");
    const auto last = s.find_last_not_of(" \t");
    if (first != std::string::npos && s[first] == '[' && s[last] == ']') {
        s[first] = ' ';
        s[last] = ' ';
    }
    for (char& ch : s)
        if (ch == ',' || ch == ';' || ch == '\t' || ch == '\n') ch = ' ';
    std::vector<double> out;
    const char* p = s.c_str();
    while (true) {
        while (*p == ' ') ++p;
        if (!*p) break;
        char* end = nullptr;
        const double v = std::strtod(p, &end);
        if (end == p || (*end && *end != ' ')) return {};
        out.push_back(v);
        p = end;
    }
    return out;
}

}  // namespace host
