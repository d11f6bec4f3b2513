#include "plots/core/units.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <utility>

namespace plots {

UnitScale DetermineFrequencyUnits(double sampleRate) {
    switch (static_cast<int>(std::floor(std::log10(sampleRate) / 3.0))) {
    case 0: return {1, "Hz"};
    case 1: return {1e3, "kHz"};
    case 2: return {1e6, "MHz"};
    default: return {1e9, "GHz"};
    }
}

UnitScale DetermineTimeUnits(double period) {
    const int k = static_cast<int>(std::floor(std::log10(period) / 3.0));
    // Longer than a second stays in seconds.
    if (k >= 0) return {1, "s"};
    switch (k) {
    case -1: return {1e3, "ms"};
    case -2: return {1e6, "\u00b5s"};
    case -3: return {1e9, "ns"};
    default: return {1e12, "ps"};
    }
}

namespace {

// The number at the start of the text and what follows it, in lower case without blanks.
std::optional<std::pair<double, std::string>> numberAndUnit(const std::string& text) {
    std::size_t at = text.find_first_not_of(" \t");
    if (at == std::string::npos) return std::nullopt;
    if (text[at] == '+') ++at;
    double v = 0;
    const char* end = text.data() + text.size();
    const auto [next, error] = std::from_chars(text.data() + at, end, v);
    if (error != std::errc() || !std::isfinite(v)) return std::nullopt;
    std::string unit;
    for (const char* c = next; c != end; ++c)
        if (*c != ' ' && *c != '\t') unit += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    return std::pair{v, unit};
}

}  // namespace

std::optional<double> readFrequency(const std::string& text, double unitFactor) {
    const auto n = numberAndUnit(text);
    if (!n) return std::nullopt;
    const auto& [v, unit] = *n;
    if (unit.empty()) return v * unitFactor;
    for (const auto& [name, factor] : {std::pair{"hz", 1.0}, {"khz", 1e3}, {"mhz", 1e6}, {"ghz", 1e9}})
        if (unit == name) return v * factor;
    return std::nullopt;
}

std::optional<double> readLevel(const std::string& text) {
    const auto n = numberAndUnit(text);
    if (!n) return std::nullopt;
    for (const char* unit : {"", "db", "dbc", "dbm", "dbm/hz"})
        if (n->second == unit) return n->first;
    return std::nullopt;
}

dsp::RVec linspace(double a, double b, std::size_t n) {
    if (n == 0) return {};
    if (n == 1) return {b};
    dsp::RVec out(n);
    const double step = (b - a) / static_cast<double>(n - 1);
    for (std::size_t i = 0; i < n; ++i) out[i] = a + static_cast<double>(i) * step;
    out.back() = b;
    return out;
}

dsp::RVec centredFrequencies(std::size_t L, double rate) {
    dsp::RVec f(L);
    const double half = static_cast<double>(L / 2);
    for (std::size_t k = 0; k < L; ++k) f[k] = (static_cast<double>(k) - half) * rate / static_cast<double>(L);
    return f;
}

double niceStep(double raw) {
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0})
        if (m * power >= raw) return m * power;
    return 10 * power;
}

dsp::RVec niceTicks(double lo, double hi, int target) {
    if (!(hi > lo) || !std::isfinite(lo) || !std::isfinite(hi)) return {lo};
    const double step = niceStep((hi - lo) / std::max(1, target));
    dsp::RVec ticks;
    // A little slack so that limits which are themselves round numbers get their tick.
    const double eps = step * 1e-9;
    for (double t = std::ceil((lo - eps) / step) * step; t <= hi + eps; t += step)
        ticks.push_back(std::abs(t) < eps ? 0.0 : t);
    return ticks;
}

}  // namespace plots
