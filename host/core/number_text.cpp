#include "host/core/number_text.h"

#include <charconv>
#include <cctype>
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

namespace host {

namespace {

struct NumberSpan {
    std::size_t begin = 0, end = 0;  // the number's characters
    std::size_t mantissaEnd = 0;     // where its exponent starts (== end without one)
    int decimals = 0;                // digits after the decimal mark
    std::string unit;                // as typed, blanks around it left out
};

bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::optional<NumberSpan> scanNumber(std::string_view t) {
    NumberSpan n;
    std::size_t i = 0;
    while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
    n.begin = i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < t.size() && isDigit(t[i])) ++i, ++digits;
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && isDigit(t[i])) ++i, ++digits, ++n.decimals;
    }
    if (digits == 0) return std::nullopt;
    n.mantissaEnd = i;
    // An exponent only when digits follow: "2e" is no number, "2 e" neither ("e" is no unit here).
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < t.size() && (t[j] == '+' || t[j] == '-')) ++j;
        if (j < t.size() && isDigit(t[j])) {
            while (j < t.size() && isDigit(t[j])) ++j;
            i = j;
        }
    }
    n.end = i;
    while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
    const std::size_t unitBegin = i;
    while (i < t.size() && (std::isalpha(static_cast<unsigned char>(t[i])) || t[i] == '%' || t[i] == '/')) ++i;
    n.unit = std::string(t.substr(unitBegin, i - unitBegin));
    while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
    if (i != t.size()) return std::nullopt;
    // A unit runs straight on from the number or after a blank, never into an exponent's "e".
    if (!n.unit.empty() && unitBegin == n.end && (n.unit[0] == 'e' || n.unit[0] == 'E')) return std::nullopt;
    return n;
}

double parse(std::string_view text) {
    const std::string s(text);
    return strtod_l(s.c_str(), nullptr, cLocale());
}

}  // namespace

std::optional<TypedNumber> readTypedNumber(std::string_view text) {
    const auto n = scanNumber(text);
    if (!n) return std::nullopt;
    return TypedNumber{parse(text.substr(n->begin, n->end - n->begin)), n->unit};
}

std::optional<std::string> stepTypedNumber(std::string_view text, int direction) {
    const auto n = scanNumber(text);
    if (!n) return std::nullopt;
    const double mantissa = parse(text.substr(n->begin, n->mantissaEnd - n->begin));
    const double stepped = mantissa + direction * std::pow(10.0, -n->decimals);
    char buf[64];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, stepped, std::chars_format::fixed, n->decimals);
    std::string out(text.substr(0, n->begin));
    // -0.0 steps to "0.0", not "-0.0".
    std::string number(buf, end);
    if (number.starts_with('-') && number.find_first_not_of("-0.") == std::string::npos) number.erase(0, 1);
    out += number;
    out += text.substr(n->mantissaEnd);
    return out;
}

}  // namespace host
