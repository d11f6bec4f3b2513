#include "plots/core/time_plots.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <vector>

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

namespace {

// Adds one trace to the grid: per column, every row between the lowest and the highest value the
// line takes within the column (at its two edges and at any sample inside it).
void addTrace(const double* y, std::size_t samples, double n, double yLimit, EyeDensity& d, dsp::RVec& grid,
              std::vector<double>& edges) {
    const double span = static_cast<double>(samples - 1);  // in samples; n for a whole trace
    const double perColumn = n / static_cast<double>(d.columns);
    const double rowScale = static_cast<double>(d.rows) / (2 * yLimit);
    auto rowOf = [&](double v) {
        const double r = std::floor((v + yLimit) * rowScale);
        return static_cast<std::size_t>(std::clamp(r, 0.0, static_cast<double>(d.rows - 1)));
    };
    auto valueAt = [&](double s) {
        const auto k = std::min(static_cast<std::size_t>(s), samples - 2);
        return y[k] + (y[k + 1] - y[k]) * (s - static_cast<double>(k));
    };
    const auto used = std::min(d.columns, static_cast<std::size_t>(std::ceil(span / perColumn)));
    edges.resize(used + 1);
    for (std::size_t c = 0; c <= used; ++c) edges[c] = valueAt(std::min(span, static_cast<double>(c) * perColumn));
    std::size_t next = 1;  // the first sample not yet passed
    for (std::size_t c = 0; c < used; ++c) {
        double lo = std::min(edges[c], edges[c + 1]), hi = std::max(edges[c], edges[c + 1]);
        const double right = static_cast<double>(c + 1) * perColumn;
        for (; next < samples - 1 && static_cast<double>(next) < right; ++next) {
            lo = std::min(lo, y[next]);
            hi = std::max(hi, y[next]);
        }
        double* cell = grid.data() + c;
        for (std::size_t r = rowOf(lo), top = rowOf(hi); r <= top; ++r) cell[r * d.columns] += 1;
    }
}

}  // namespace

EyeDensity eyeDensity(const dsp::CVec& x, double n, double period, double offset, std::size_t columns,
                      std::size_t rows) {
    if (x.empty()) throw std::invalid_argument("Input variable X is empty.");
    if (!(period > 0) || !std::isfinite(period)) throw std::invalid_argument("PERIOD must be a positive number.");
    if (!isInteger(n) || n <= 1) throw std::invalid_argument("N must be an integer greater than 1.");
    if (!isInteger(offset) || offset < 0 || offset >= n)
        throw std::invalid_argument("OFFSET must be a integer in the range 0 <= OFFSET < N.");

    EyeDensity d;
    d.columns = std::max<std::size_t>(columns, 1);
    d.rows = std::max<std::size_t>(rows, 1);
    d.period = period;
    d.complex = std::any_of(x.begin(), x.end(), [](const dsp::cplx& v) { return v.imag() != 0; });
    double peak = 0;
    for (const dsp::cplx& v : x) peak = std::max(peak, std::abs(v));
    d.yLimit = peak > 0 ? 1.05 * peak : 1;
    d.i.assign(d.columns * d.rows, 0.0);
    if (d.complex) d.q.assign(d.columns * d.rows, 0.0);

    const auto step = static_cast<std::size_t>(n);
    std::vector<double> yi(step + 1), yq(step + 1), edges;
    for (auto first = static_cast<std::size_t>(offset); first + 1 < x.size(); first += step) {
        const std::size_t samples = std::min(step + 1, x.size() - first);
        for (std::size_t k = 0; k < samples; ++k) {
            yi[k] = x[first + k].real();
            yq[k] = x[first + k].imag();
        }
        addTrace(yi.data(), samples, n, d.yLimit, d, d.i, edges);
        if (d.complex) addTrace(yq.data(), samples, n, d.yLimit, d, d.q, edges);
        ++d.traces;
    }
    return d;
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
