#include "plots/core/ccdf.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>

#include "plots/core/units.h"

namespace plots {

dsp::CVec ccdfTestData() {
    constexpr std::size_t points = 1000;
    const dsp::RVec theta = linspace(-std::numbers::pi, std::numbers::pi, points);
    const dsp::RVec phi = linspace(-10 * std::numbers::pi, 10 * std::numbers::pi, points);
    dsp::CVec x(points);
    for (std::size_t k = 0; k < points; ++k) {
        const double a = 1.5 + std::cos(theta[k]);
        x[k] = {a * std::cos(phi[k]), a * std::sin(phi[k])};
    }
    return x;
}

CcdfData computeCcdf(const dsp::CVec& input) {
    const dsp::CVec testData = input.empty() ? ccdfTestData() : dsp::CVec{};
    const dsp::CVec& x = input.empty() ? testData : input;
    const std::size_t points = x.size();

    CcdfData c;
    c.realWave = std::all_of(x.begin(), x.end(), [](const dsp::cplx& v) { return v.imag() == 0; });

    dsp::RVec p(points);
    for (std::size_t k = 0; k < points; ++k) p[k] = std::norm(x[k]);
    if (*std::min_element(p.begin(), p.end()) == 0)
        for (double& v : p) v += 1e-300;

    const double RMSdB = 10.0 * std::log10(std::accumulate(p.begin(), p.end(), 0.0) / static_cast<double>(points));
    dsp::RVec RelPwr(points);
    for (std::size_t k = 0; k < points; ++k) RelPwr[k] = 10.0 * std::log10(p[k]) - RMSdB;

    c.maxX = std::max(*std::max_element(RelPwr.begin(), RelPwr.end()), 20.0);
    if (c.maxX > 20) c.maxX *= 1.01;
    const double stepX = c.maxX / 200.0;
    c.X.resize(201);
    for (std::size_t k = 0; k < c.X.size(); ++k) c.X[k] = static_cast<double>(k) * stepX;
    c.X.back() = c.maxX;

    // Thresholds rise, so each one only has to look at the samples that passed the one before;
    // only those at or above the first threshold need sorting at all.
    const auto tail = std::partition(RelPwr.begin(), RelPwr.end(), [&](double r) { return r < c.X[0]; });
    std::sort(tail, RelPwr.end());
    c.Y.resize(c.X.size());
    auto below = static_cast<std::size_t>(tail - RelPwr.begin());
    for (std::size_t k = 0; k < c.X.size(); ++k) {
        while (below < points && RelPwr[below] < c.X[k]) ++below;
        c.Y[k] = static_cast<double>(points - below) * 100.0 / static_cast<double>(points);
    }

    c.Y1.resize(c.X.size());
    for (std::size_t k = 0; k < c.X.size(); ++k)
        c.Y1[k] = c.realWave ? 100.0 * std::erfc(std::pow(10.0, c.X[k] / 20.0) / std::numbers::sqrt2)
                             : 100.0 * std::exp(-std::pow(10.0, c.X[k] / 10.0));

    c.yMin = *std::min_element(c.Y.begin(), c.Y.end());
    if (c.yMin == 0) {
        const auto positive = static_cast<std::size_t>(std::count_if(c.Y.begin(), c.Y.end(), [](double v) { return v > 0; }));
        // Y never rises, so the positive values come first and the last of them is the smallest.
        c.yMin = positive > 0 ? c.Y[positive - 1] : 0.0;
        for (double& v : c.Y) v += 1e-300;
    }
    if (c.yMin > 0.001 || c.yMin == 0) c.yMin = 0.001;
    return c;
}

dsp::CVec gatedSamples(const dsp::CVec& iqWave, const dsp::Bits& gate) {
    dsp::CVec kept;
    kept.reserve(iqWave.size());
    for (std::size_t k = 0; k < iqWave.size() && k < gate.size(); ++k)
        if (gate[k]) kept.push_back(iqWave[k]);
    return kept;
}

double ccdfTickStep(double span) { return span > 0 ? std::min(2.0, niceStep(span / 10)) : 2.0; }

}  // namespace plots
