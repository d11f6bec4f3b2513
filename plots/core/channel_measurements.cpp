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

ChannelMeasurements measureChannel(const PowerSpectrum& s, double channelBandwidth, const std::vector<AclrRow>& rows,
                                   const std::vector<double>& carriersHz) {
    ChannelMeasurements m;
    const std::vector<double> carriers = carriersHz.empty() ? std::vector<double>{0.0} : carriersHz;
    for (double f : carriers) {
        m.carrierPowers.push_back(bandPower(s, f - channelBandwidth / 2, f + channelBandwidth / 2));
        m.channelPower += m.carrierPowers.back();
    }
    m.occupied = occupiedBand(s, 0.99);
    const auto [lowest, highest] = std::minmax_element(carriers.begin(), carriers.end());
    const double lowPower = m.carrierPowers[std::size_t(lowest - carriers.begin())];
    const double highPower = m.carrierPowers[std::size_t(highest - carriers.begin())];
    auto dBc = [&](double centre, double width, double reference) {
        return 10 * std::log10(bandPower(s, centre - width / 2, centre + width / 2) / reference);
    };
    for (const AclrRow& row : rows) {
        AclrResult r{row, dBc(*lowest - row.offset, row.bandwidth, lowPower),
                     dBc(*highest + row.offset, row.bandwidth, highPower)};
        r.pass = r.lower <= row.limit && r.upper <= row.limit;
        m.aclr.push_back(r);
    }
    return m;
}

}  // namespace plots
