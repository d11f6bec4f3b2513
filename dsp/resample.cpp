#include "dsp/resample.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <utility>

#include "dsp/kaiser.h"

namespace dsp {

namespace {

constexpr double kStopDb = 70;
constexpr std::size_t kPhases = 512;  // kernel values per input sample, linearly interpolated

// A Kaiser-windowed sinc low-pass tabulated at 1 / kPhases of an input sample.
struct Kernel {
    std::size_t half = 0;  // taps either side of the position
    std::vector<double> table;  // (2 half) kPhases + 1 values from -half to +half

    Kernel(double cutoff, double transition) {
        half = kaiserHalfLength(transition, kStopDb) + 1;
        const double beta = kaiserBeta(kStopDb);
        const std::size_t n = 2 * half * kPhases + 1;
        table.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            const double tau = static_cast<double>(i) / kPhases - static_cast<double>(half);
            table[i] = kaiserSinc(tau, static_cast<double>(half), cutoff, beta);
        }
    }
};

}  // namespace

std::size_t resampledCount(std::size_t inSize, double step) {
    if (inSize == 0 || !(step > 0)) return 0;
    return static_cast<std::size_t>(std::floor(static_cast<double>(inSize - 1) / step)) + 1;
}

CVec resample(const CVec& in, const Resampling& how, std::size_t count) {
    // Upsampling keeps the input's band; downsampling folds everything beyond the output's
    // Nyquist rate: the stop band begins where folding would reach the kept band.
    const double rate = std::min(1.0, 1.0 / how.step);  // the lower of the two rates
    const double pass = std::min(how.passband, 0.45 * rate);
    const double stop = std::max(rate - pass, pass + 0.05 * rate);
    // A capture read piece by piece asks for the same kernel again and again.
    thread_local std::optional<std::pair<std::pair<double, double>, Kernel>> last;
    const std::pair<double, double> design{(pass + stop) / 2, stop - pass};
    if (!last || last->first != design) last.emplace(design, Kernel(design.first, design.second));
    const Kernel& k = last->second;
    const auto half = static_cast<long long>(k.half);
    const auto size = static_cast<long long>(in.size());
    const double* h = k.table.data();
    CVec out(count);
    for (std::size_t m = 0; m < count; ++m) {
        const double x = static_cast<double>(m) * how.step;
        const auto i0 = static_cast<long long>(std::floor(x));
        const double frac = x - static_cast<double>(i0);
        // Tap i weighs h(x - i), at table position (x - i + half) kPhases.
        const double first = (frac + static_cast<double>(2 * half - 1)) * kPhases;
        cplx acc = 0;
        const long long lo = std::max(i0 - half + 1, 0LL), hi = std::min(i0 + half, size - 1);
        for (long long i = lo; i <= hi; ++i) {
            const double pos = first - static_cast<double>(i - (i0 - half + 1)) * kPhases;
            const auto at = static_cast<std::size_t>(pos);
            const double f = pos - static_cast<double>(at);
            const double w = h[at] + f * (h[std::min(at + 1, k.table.size() - 1)] - h[at]);
            acc += w * in[static_cast<std::size_t>(i)];
        }
        out[m] = acc;
    }
    return out;
}

}  // namespace dsp
