#include "host/core/number_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace host {

std::string numberText(double x) {
    if (std::isnan(x)) return "NaN";
    if (std::isinf(x)) return x > 0 ? "Inf" : "-Inf";
    char buf[64];
    if (x == std::trunc(x) && std::abs(x) <= 1e15) {
        // -0 would otherwise print as "-0".
        std::snprintf(buf, sizeof buf, "%.0f", x == 0.0 ? 0.0 : x);
        return buf;
    }
    std::snprintf(buf, sizeof buf, "%.15g", x);
    // Huge and tiny values compactly: 1e308, 1e-5, not 1e+308 or 1e-05.
    std::string s = buf;
    const auto e = s.find('e');
    if (e == std::string::npos) return s;
    std::size_t digits = e + 1;
    if (s[digits] == '+') s.erase(digits, 1);
    else if (s[digits] == '-') ++digits;
    while (digits + 1 < s.size() && s[digits] == '0') s.erase(digits, 1);
    return s;
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
