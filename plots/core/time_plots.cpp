#include "plots/core/time_plots.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <stdexcept>

#include "plots/core/units.h"

namespace plots {

namespace {

bool isInteger(double v) { return std::isfinite(v) && v == std::floor(v); }

}  // namespace

IqTimeData computeIqTime(double sampleRate, const dsp::CVec& iqWave) {
    if (sampleRate <= 0) sampleRate = 1;
    IqTimeData d;
    if (!iqWave.empty()) {
        d.i.resize(iqWave.size());
        d.q.resize(iqWave.size());
        for (std::size_t k = 0; k < iqWave.size(); ++k) {
            d.i[k] = iqWave[k].real();
            d.q[k] = iqWave[k].imag();
        }
    } else {
        d.noData = true;
        const dsp::RVec angle = linspace(-2 * std::numbers::pi, 2 * std::numbers::pi, 100);
        for (double a : angle) {
            d.i.push_back(std::cos(a));
            d.q.push_back(std::sin(a));
        }
    }
    const std::size_t points = d.i.size();

    double peak = 0;
    for (std::size_t k = 0; k < points; ++k) peak = std::max({peak, std::abs(d.i[k]), std::abs(d.q[k])});
    // A silent waveform still needs an amplitude range to draw its flat line in.
    d.iMax = peak > 0 ? peak : 1;

    const double period = static_cast<double>(points) / sampleRate;
    const UnitScale units = DetermineTimeUnits(period);
    d.tUnits = units.text;
    d.tMax = period * units.factor;
    d.t = linspace(0, d.tMax, points);
    return d;
}

EyeData eyeTraces(const dsp::CVec& x, double n, double period, double offset) {
    if (x.empty()) throw std::invalid_argument("Input variable X is empty.");
    if (!(period > 0) || !std::isfinite(period)) throw std::invalid_argument("PERIOD must be a positive number.");
    if (!isInteger(n) || n <= 1) throw std::invalid_argument("N must be an integer greater than 1.");
    if (!isInteger(offset) || offset < 0 || offset >= n)
        throw std::invalid_argument("OFFSET must be a integer in the range 0 <= OFFSET < N.");

    EyeData e;
    e.period = period;
    e.complex = std::any_of(x.begin(), x.end(), [](const dsp::cplx& v) { return v.imag() != 0; });
    double peak = 0;
    for (const dsp::cplx& v : x) peak = std::max(peak, std::abs(v));
    e.yLimit = peak > 0 ? 1.05 * peak : 1;

    const auto step = static_cast<std::size_t>(n);
    const auto start = static_cast<std::size_t>(offset);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::size_t expected = x.size() > start ? (x.size() - start) / step + 1 : 0;
    e.t.reserve(expected * (step + 2));
    e.i.reserve(expected * (step + 2));
    if (e.complex) e.q.reserve(expected * (step + 2));
    for (std::size_t first = start; first + 1 < x.size(); first += step) {
        const std::size_t last = std::min(first + step, x.size() - 1);
        for (std::size_t k = first; k <= last; ++k) {
            e.t.push_back(-period / 2 + static_cast<double>(k - first) * period / n);
            e.i.push_back(x[k].real());
            if (e.complex) e.q.push_back(x[k].imag());
        }
        e.t.push_back(nan);
        e.i.push_back(nan);
        if (e.complex) e.q.push_back(nan);
        ++e.traces;
    }
    return e;
}

ScatterData scatterPoints(const dsp::CVec& x, double n, double offset) {
    if (x.empty()) throw std::invalid_argument("Input variable X is empty.");
    if (!isInteger(n) || n < 1) throw std::invalid_argument("N must be a positive integer.");
    if (!isInteger(offset) || offset < 0) throw std::invalid_argument("OFFSET must be a nonnegative integer.");

    ScatterData s;
    double peak = 0;
    for (const dsp::cplx& v : x) peak = std::max({peak, std::abs(v.real()), std::abs(v.imag())});
    s.limit = peak > 0 ? 1.07 * peak : 1;
    const auto step = static_cast<std::size_t>(n);
    for (auto k = static_cast<std::size_t>(offset); k < x.size(); k += step) {
        s.i.push_back(x[k].real());
        s.q.push_back(x[k].imag());
    }
    return s;
}

}  // namespace plots
