#include "plots/core/time_plots.h"

#include <algorithm>
#include <cstdint>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <vector>

#include "plots/core/units.h"
#include "plots/core/vector_state.h"

namespace plots {

namespace {

bool isInteger(double v) { return std::isfinite(v) && v == std::floor(v); }

}  // namespace

IqTimeData computeIqTime(double sampleRate, const dsp::CVec& iqWave) {
    clearVectorState();
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

    // The instrument plays the largest component at its converters' full scale, whatever the
    // oversampling makes of the computed level: that scale is the one a user can read.
    double peak = 0;
    for (std::size_t k = 0; k < points; ++k) peak = std::max({peak, std::abs(d.i[k]), std::abs(d.q[k])});
    if (peak > 0)
        for (std::size_t k = 0; k < points; ++k) {
            d.i[k] /= peak;
            d.q[k] /= peak;
        }

    const double period = static_cast<double>(points) / sampleRate;
    const UnitScale units = DetermineTimeUnits(period);
    d.tUnits = units.text;
    d.tMax = period * units.factor;
    d.t = linspace(0, d.tMax, points);
    return d;
}

namespace {

// Where the column edges fall along a trace of `samples` samples (n samples per trace width):
// the sample before each edge and how far past it, and the first sample after each column.
// Every full trace shares one plan.
struct ColumnPlan {
    std::vector<std::size_t> before;
    std::vector<double> past;
    std::vector<std::size_t> after;  // per column: samples from the previous column's value up to this one lie inside
    std::size_t used = 0;            // columns the trace reaches into
};

ColumnPlan planColumns(std::size_t samples, double n, std::size_t columns) {
    ColumnPlan p;
    const double span = static_cast<double>(samples - 1);
    const double perColumn = n / static_cast<double>(columns);
    p.used = std::min(columns, static_cast<std::size_t>(std::ceil(span / perColumn - 1e-9)));
    for (std::size_t c = 0; c <= p.used; ++c) {
        const double s = std::min(span, static_cast<double>(c) * perColumn);
        const auto k = std::min(static_cast<std::size_t>(s), samples - 2);
        p.before.push_back(k);
        p.past.push_back(s - static_cast<double>(k));
    }
    std::size_t next = 1;
    for (std::size_t c = 0; c < p.used; ++c) {
        const double right = static_cast<double>(c + 1) * perColumn;
        while (next < samples - 1 && static_cast<double>(next) < right) ++next;
        p.after.push_back(next);
    }
    return p;
}

// Adds one trace to column-major counts: per column, every row between the lowest and the
// highest value the line takes within the column (at its two edges and at any sample inside).
void addTrace(const double* y, const ColumnPlan& plan, double yLimit, std::size_t rows, std::vector<std::uint32_t>& counts,
              std::vector<std::uint32_t>& edgeRows) {
    const double rowScale = static_cast<double>(rows) / (2 * yLimit);
    const auto top = static_cast<std::uint32_t>(rows - 1);
    // Every value lies within +-yLimit, so the scaled value is never negative and truncation is
    // the floor.
    auto rowOf = [&](double v) { return std::min(static_cast<std::uint32_t>(std::max(0.0, (v + yLimit) * rowScale)), top); };
    edgeRows.resize(plan.used + 1);
    for (std::size_t e = 0; e <= plan.used; ++e) {
        const std::size_t k = plan.before[e];
        edgeRows[e] = rowOf(y[k] + (y[k + 1] - y[k]) * plan.past[e]);
    }
    std::size_t next = 1;
    for (std::size_t c = 0; c < plan.used; ++c) {
        std::uint32_t lo = std::min(edgeRows[c], edgeRows[c + 1]), hi = std::max(edgeRows[c], edgeRows[c + 1]);
        for (; next < plan.after[c]; ++next) {
            const std::uint32_t r = rowOf(y[next]);
            lo = std::min(lo, r);
            hi = std::max(hi, r);
        }
        std::uint32_t* column = counts.data() + c * rows;
        for (std::uint32_t r = lo; r <= hi; ++r) ++column[r];
    }
}

}  // namespace

EyeDensity eyeDensity(const dsp::CVec& x, double n, double period, double offset, std::size_t columns,
                      std::size_t rows) {
    clearVectorState();
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
    double peak = 0, component = 0;
    for (const dsp::cplx& v : x) {
        peak = std::max(peak, std::abs(v));
        component = std::max({component, std::abs(v.real()), std::abs(v.imag())});
    }
    d.yLimit = peak > 0 ? 1.05 * peak : 1;
    d.fullScale = component > 0 ? component : 1;

    // Counted column by column, so that the rows one trace fills in a column lie side by side;
    // one part at a time, so that its counts stay in the cache.
    std::vector<std::uint32_t> countsI(d.columns * d.rows), countsQ(d.complex ? d.columns * d.rows : 0), edgeRows;
    const auto step = static_cast<std::size_t>(n);
    const ColumnPlan whole = planColumns(step + 1, n, d.columns);
    std::vector<double> y(step + 1);
    auto count = [&](auto part, std::vector<std::uint32_t>& counts) {
        for (auto first = static_cast<std::size_t>(offset); first + 1 < x.size(); first += step) {
            const std::size_t samples = std::min(step + 1, x.size() - first);
            const ColumnPlan shorter = samples == step + 1 ? ColumnPlan{} : planColumns(samples, n, d.columns);
            for (std::size_t k = 0; k < samples; ++k) y[k] = part(x[first + k]);
            addTrace(y.data(), samples == step + 1 ? whole : shorter, d.yLimit, d.rows, counts, edgeRows);
        }
    };
    count([](const dsp::cplx& v) { return v.real(); }, countsI);
    if (d.complex) count([](const dsp::cplx& v) { return v.imag(); }, countsQ);
    // Traces start at offset, offset + n, ... while at least two samples remain.
    const auto start = static_cast<std::size_t>(offset);
    d.traces = start + 1 < x.size() ? (x.size() - start - 2) / step + 1 : 0;
    auto rowByRow = [&](const std::vector<std::uint32_t>& counts) {
        dsp::RVec grid(counts.size());
        for (std::size_t c = 0; c < d.columns; ++c)
            for (std::size_t r = 0; r < d.rows; ++r) grid[r * d.columns + c] = counts[c * d.rows + r];
        return grid;
    };
    d.i = rowByRow(countsI);
    if (d.complex) d.q = rowByRow(countsQ);
    return d;
}

ScatterData scatterPoints(const dsp::CVec& x, double n, double offset) {
    clearVectorState();
    if (x.empty()) throw std::invalid_argument("Input variable X is empty.");
    if (!isInteger(n) || n < 1) throw std::invalid_argument("N must be a positive integer.");
    if (!isInteger(offset) || offset < 0) throw std::invalid_argument("OFFSET must be a nonnegative integer.");

    ScatterData s;
    double peak = 0;
    for (const dsp::cplx& v : x) peak = std::max({peak, std::abs(v.real()), std::abs(v.imag())});
    const double scale = peak > 0 ? 1 / peak : 1;
    s.limit = 1.07;
    const auto step = static_cast<std::size_t>(n);
    const auto first = static_cast<std::size_t>(offset);
    const std::size_t count = first < x.size() ? (x.size() - first + step - 1) / step : 0;
    s.i.reserve(count);
    s.q.reserve(count);
    for (std::size_t k = first; k < x.size(); k += step) {
        s.i.push_back(x[k].real() * scale);
        s.q.push_back(x[k].imag() * scale);
    }
    return s;
}

}  // namespace plots
