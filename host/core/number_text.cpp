#include "host/core/number_text.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <locale.h>

namespace host {

std::string numberText(double x) {
    if (std::isnan(x)) return "NaN";
    if (std::isinf(x)) return x > 0 ? "Inf" : "-Inf";
    // Written with "." whatever the process's locale: the numbers go to fields, files and SCPI
    // lines alike.
    char buf[64];
    if (x == std::trunc(x) && std::abs(x) <= 1e15) {
        // -0 would otherwise print as "-0".
        const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, x == 0.0 ? 0.0 : x, std::chars_format::fixed, 0);
        return std::string(buf, end);
    }
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::general, 15);
    // Huge and tiny values compactly: 1e308, 1e-5, not 1e+308 or 1e-05.
    std::string s(buf, end);
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

namespace {

// Numbers are read with "." whatever the process's locale (a desktop may have set a decimal comma).
locale_t cLocale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return c;
}

}  // namespace

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
        const double v = strtod_l(p, &end, cLocale());
        if (end == p || (*end && *end != ' ')) return {};
        out.push_back(v);
        p = end;
    }
    return out;
}

}  // namespace host
