#include "plots/core/ccdf.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <numeric>

#include "plots/core/units.h"
#include "plots/core/vector_state.h"

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
    clearVectorState();
    const dsp::CVec testData = input.empty() ? ccdfTestData() : dsp::CVec{};
    const dsp::CVec& x = input.empty() ? testData : input;
    const std::size_t points = x.size();

    CcdfData c;
    c.realWave = std::all_of(x.begin(), x.end(), [](const dsp::cplx& v) { return v.imag() == 0; });

    dsp::RVec p(points);
    for (std::size_t k = 0; k < points; ++k) p[k] = std::norm(x[k]);
    if (*std::min_element(p.begin(), p.end()) == 0)
        for (double& v : p) v += 1e-300;

    // Compared as powers against thresholds of mean x 10^(X/10): a logarithm per threshold and
    // per read-out instead of one per sample.
    const double mean = std::accumulate(p.begin(), p.end(), 0.0) / static_cast<double>(points);
    const double RMSdB = 10.0 * std::log10(mean);
    auto dBAboveMean = [&](double power) { return 10.0 * std::log10(power) - RMSdB; };
    c.meanPower = mean;
    c.crestDb = dBAboveMean(*std::max_element(p.begin(), p.end()));

    c.maxX = std::max(c.crestDb, 20.0);
    if (c.maxX > 20) c.maxX *= 1.01;
    const double stepX = c.maxX / 200.0;
    c.X.resize(201);
    for (std::size_t k = 0; k < c.X.size(); ++k) c.X[k] = static_cast<double>(k) * stepX;
    c.X.back() = c.maxX;
    auto threshold = [&](double x) { return mean * std::pow(10.0, x / 10.0); };

    // Thresholds rise, so each one only has to look at the samples that passed the one before;
    // only those at or above the first threshold need sorting at all.
    const auto tail = std::partition(p.begin(), p.end(), [&, first = threshold(c.X[0])](double v) { return v < first; });
    std::sort(tail, p.end());
    c.Y.resize(c.X.size());
    auto below = static_cast<std::size_t>(tail - p.begin());
    for (std::size_t k = 0; k < c.X.size(); ++k) {
        const double t = threshold(c.X[k]);
        while (below < points && p[below] < t) ++below;
        c.Y[k] = static_cast<double>(points - below) * 100.0 / static_cast<double>(points);
    }

    // The k-th largest power: in the sorted tail when it lies at or above the mean.
    const auto sortedFrom = static_cast<std::size_t>(tail - p.begin());
    for (std::size_t j = 0; j < kCcdfPercents.size(); ++j) {
        const double count = kCcdfPercents[j] / 100 * static_cast<double>(points);
        const auto k = static_cast<std::size_t>(std::ceil(count - 1e-9));
        if (count < 1) {
            c.aboveMean[j] = std::numeric_limits<double>::quiet_NaN();
        } else if (k <= points - sortedFrom) {
            c.aboveMean[j] = dBAboveMean(p[points - k]);
        } else {
            const auto nth = p.begin() + static_cast<std::ptrdiff_t>(points - k);
            std::nth_element(p.begin(), nth, tail);
            c.aboveMean[j] = dBAboveMean(*nth);
        }
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
