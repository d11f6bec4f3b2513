#include "editors/fast_edit.h"

#include <cmath>
#include <random>

#include "dsp/noise.h"
#include "host/core/number_text.h"

namespace editors {

Uniform defaultUniform() {
    return [] {
        std::uniform_real_distribution<double> d(0.0, 1.0);
        double u = 0;
        while (u == 0) u = d(dsp::defaultRng());  // the open interval
        return u;
    };
}

namespace {

template <class F>
std::vector<double> fill(std::size_t n, F f) {
    std::vector<double> out(n);
    for (std::size_t k = 1; k <= n; ++k) out[k - 1] = f(k);
    return out;
}

}  // namespace

std::optional<std::vector<double>> activityPattern(std::size_t n, int p, const Uniform& uniform) {
    switch (p) {
    case 1: return fill(n, [](std::size_t) { return 1.0; });
    case 2: return fill(n, [](std::size_t k) { return k % 4 == 0 ? 0.0 : 1.0; });
    case 3: return fill(n, [](std::size_t k) { return k % 2 == 1 ? 1.0 : 0.0; });
    case 4: return fill(n, [](std::size_t k) { return k % 4 == 0 ? 1.0 : 0.0; });
    case 5: return fill(n, [](std::size_t) { return 0.0; });
    case 6: return fill(n, [&](std::size_t) { return std::round(uniform()); });
    default: return std::nullopt;
    }
}

std::optional<std::vector<double>> alternatingPattern(std::size_t n, int p, const Uniform& uniform) {
    switch (p) {
    case 1: return fill(n, [](std::size_t) { return 0.0; });
    case 2: return fill(n, [](std::size_t) { return 1.0; });
    case 3: return fill(n, [](std::size_t k) { return k % 2 == 1 ? 0.0 : 1.0; });
    case 4: return fill(n, [](std::size_t k) { return k % 2 == 0 ? 0.0 : 1.0; });
    case 5: return fill(n, [&](std::size_t) { return std::round(uniform()); });
    default: return std::nullopt;
    }
}

std::optional<std::vector<double>> gainPattern(std::size_t n, int p, const Uniform& uniform) {
    static constexpr double fixed[] = {3, 0, -3, -6, -10};
    if (p >= 1 && p <= 5) return std::vector<double>(n, fixed[p - 1]);
    if (p == 6) return fill(n, [&](std::size_t) { return std::round(13 * uniform()) - 10; });
    return std::nullopt;
}

std::optional<std::vector<double>> modulationPattern(std::size_t n, int p, const Uniform& uniform) {
    if (p >= 1 && p <= 3) return std::vector<double>(n, p);
    if (p >= 4) return fill(n, [&](std::size_t) { return std::round(2 * uniform()) + 1; });
    return std::nullopt;
}

bool normalizeGains(const std::vector<double>& active, std::vector<double>& gain, double level) {
    double total = 0;
    for (std::size_t j = 0; j < gain.size(); ++j) total += std::pow(10.0, gain[j] / 20) * active[j];
    if (!(total > 0)) return false;
    const double shift = level - 20 * std::log10(total);
    for (double& g : gain) g += shift;
    return true;
}

}  // namespace editors
