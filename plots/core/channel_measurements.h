#pragma once
// What a transmitter test reads off a forward-link spectrum: the channel power, the occupied
// bandwidth and the adjacent-channel leakage ratios against their limits.
#include <vector>

#include "plots/core/welch.h"

namespace plots {

inline constexpr double kChannelBandwidth = 1.2288e6;

// One row of the adjacent-channel table: the bands `bandwidth` Hz wide centred `offset` Hz below
// and above the carrier, each against `limit` dBc.
struct AclrRow {
    double offset = 0;
    double bandwidth = 0;
    double limit = 0;
    bool operator==(const AclrRow&) const = default;
};
// The emission limits of a forward-link transmitter test.
inline const std::vector<AclrRow> kDefaultAclrRows{{750e3, 30e3, -45}, {1.98e6, 30e3, -60}};

// The power between lo and hi Hz, each bin standing for its band f +- binWidth/2. NaN when the
// band reaches beyond the spectrum.
double bandPower(const PowerSpectrum& s, double lo, double hi);

// The band that holds `fraction` of the power, with half of the rest below it and half above.
struct OccupiedBand {
    double lo = 0, hi = 0;
    double width() const { return hi - lo; }
};
OccupiedBand occupiedBand(const PowerSpectrum& s, double fraction);

struct AclrResult {
    AclrRow row;
    double lower = 0, upper = 0;  // dBc below and above the carrier; NaN beyond the spectrum
    bool pass = false;            // both measured and both at or below the limit
};

struct ChannelMeasurements {
    double channelPower = 0;  // over each carrier's channel bandwidth, summed, |x|^2 units
    std::vector<double> carrierPowers;  // one per carrier, in the order given
    OccupiedBand occupied;    // 99 %
    std::vector<AclrResult> aclr;
};

// With several carriers, the lower bands lie below the lowest carrier and are measured against
// its channel power, the upper ones above the highest against its.
ChannelMeasurements measureChannel(const PowerSpectrum& s, double channelBandwidth, const std::vector<AclrRow>& rows,
                                   const std::vector<double>& carriersHz = {0.0});

}  // namespace plots
