#include "analyzer/resample.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "dsp/number_text.h"
#include "dsp/resample.h"
#include "engine/frame.h"

namespace analyzer {

namespace {

constexpr int kMaxWholeRatio = 64;
// Above this many samples per chip nothing is gained: the channel filter and chips use 740 kHz.
constexpr int kMaxResampledRatio = 16;
// The band kept: the widest reference filter's stop band edge, and a little more.
constexpr double kChannelEdgeHz = 780e3;

}  // namespace

std::optional<int> wholeRatio(double sampleRate) {
    const double r = sampleRate / engine::kChipRate;
    const double whole = std::round(r);
    if (!std::isfinite(r) || whole < 1 || whole > kMaxWholeRatio || std::abs(r - whole) > 1e-9 * whole) return std::nullopt;
    return static_cast<int>(whole);
}

int workingRatio(double sampleRate) {
    if (const auto r = wholeRatio(sampleRate)) return *r;
    if (!std::isfinite(sampleRate) || sampleRate < kLowestRate * (1 - 1e-9) || sampleRate > kHighestRate)
        throw std::runtime_error("the sample rate " + dsp::generalText(sampleRate, 10) +
                                 " Hz is outside what the analyzer reads, 1228800 to 200000000 Hz");
    // At least two samples per chip: one per chip is read only where the capture's own clock
    // ticks at the chip rate.
    return std::clamp(static_cast<int>(std::round(sampleRate / engine::kChipRate)), 2, kMaxResampledRatio);
}

dsp::CVec toWorkingRate(const dsp::CVec& samples, double sampleRate, int r, double clockPpm) {
    const double outRate = r * engine::kChipRate;
    dsp::Resampling how;
    how.step = sampleRate / outRate * (1 + clockPpm * 1e-6);
    how.passband = kChannelEdgeHz / sampleRate;
    return dsp::resample(samples, how, dsp::resampledCount(samples.size(), how.step));
}

}  // namespace analyzer
