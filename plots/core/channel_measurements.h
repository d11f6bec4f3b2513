#pragma once
// What a transmitter test reads off a forward-link spectrum: the channel power, the occupied
// bandwidth and the leakage into the bands the emission limits name.
#include <array>

#include "plots/core/welch.h"

namespace plots {

inline constexpr double kChannelBandwidth = 1.2288e6;
inline constexpr double kLeakageBandwidth = 30e3;
inline constexpr std::array<double, 4> kLeakageOffsets{-1.98e6, -750e3, 750e3, 1.98e6};

// The power between lo and hi Hz, each bin standing for its band f +- binWidth/2. NaN when the
// band reaches beyond the spectrum.
double bandPower(const PowerSpectrum& s, double lo, double hi);

// The band that holds `fraction` of the power, with half of the rest below it and half above.
struct OccupiedBand {
    double lo = 0, hi = 0;
    double width() const { return hi - lo; }
};
OccupiedBand occupiedBand(const PowerSpectrum& s, double fraction);

struct Leakage {
    double offset = 0;  // Hz from the carrier
    double dBc = 0;     // power in kLeakageBandwidth there relative to the channel power; NaN beyond the spectrum
    double limit = 0;
    bool pass = false;  // at or below the limit
};

struct ChannelMeasurements {
    double channelPower = 0;  // over kChannelBandwidth, |x|^2 units
    OccupiedBand occupied;    // 99 %
    std::array<Leakage, 4> leakage;
};

// nearLimit applies at +-750 kHz, farLimit at +-1.98 MHz, both in dBc.
ChannelMeasurements measureChannel(const PowerSpectrum& s, double nearLimit, double farLimit);

}  // namespace plots
