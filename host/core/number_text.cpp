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
    char buf[400];  // the largest double has 309 integer digits
    const auto [end, ec] = x == std::trunc(x)
                               // -0 would otherwise print as "-0".
                               ? std::to_chars(buf, buf + sizeof buf, x == 0.0 ? 0.0 : x, std::chars_format::fixed, 0)
                               : std::to_chars(buf, buf + sizeof buf, x, std::chars_format::general, 15);
    return ec == std::errc() ? std::string(buf, end) : std::string();
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
