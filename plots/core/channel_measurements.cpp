#include "plots/core/channel_measurements.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace plots {

namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

double lowEdge(const PowerSpectrum& s) { return s.freq.front() - s.binWidth / 2; }
double highEdge(const PowerSpectrum& s) { return s.freq.back() + s.binWidth / 2; }

}  // namespace

double bandPower(const PowerSpectrum& s, double lo, double hi) {
    if (s.freq.empty() || lo < lowEdge(s) || hi > highEdge(s)) return kNan;
    double power = 0;
    for (std::size_t k = 0; k < s.freq.size(); ++k) {
        const double overlap = std::min(s.freq[k] + s.binWidth / 2, hi) - std::max(s.freq[k] - s.binWidth / 2, lo);
        if (overlap > 0) power += s.density[k] * overlap;
    }
    return power;
}

OccupiedBand occupiedBand(const PowerSpectrum& s, double fraction) {
    if (s.freq.empty()) return {kNan, kNan};
    double total = 0;
    for (double d : s.density) total += d * s.binWidth;
    // The cumulative power rises linearly across each bin: find where it passes each target.
    auto crossing = [&](double target) {
        double below = 0;
        for (std::size_t k = 0; k < s.freq.size(); ++k) {
            const double inBin = s.density[k] * s.binWidth;
            if (below + inBin >= target && inBin > 0)
                return s.freq[k] - s.binWidth / 2 + (target - below) / inBin * s.binWidth;
            below += inBin;
        }
        return highEdge(s);
    };
    return {crossing((1 - fraction) / 2 * total), crossing((1 + fraction) / 2 * total)};
}

ChannelMeasurements measureChannel(const PowerSpectrum& s, double nearLimit, double farLimit) {
    ChannelMeasurements m;
    m.channelPower = bandPower(s, -kChannelBandwidth / 2, kChannelBandwidth / 2);
    m.occupied = occupiedBand(s, 0.99);
    for (std::size_t j = 0; j < kLeakageOffsets.size(); ++j) {
        Leakage& l = m.leakage[j];
        l.offset = kLeakageOffsets[j];
        l.limit = std::abs(l.offset) < 1e6 ? nearLimit : farLimit;
        const double p = bandPower(s, l.offset - kLeakageBandwidth / 2, l.offset + kLeakageBandwidth / 2);
        l.dBc = 10 * std::log10(p / m.channelPower);
        l.pass = l.dBc <= l.limit;
    }
    return m;
}

}  // namespace plots
