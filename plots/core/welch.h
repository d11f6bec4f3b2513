#pragma once
// The power spectral density a spectrum analyser shows: Welch's average of Hann-windowed,
// half-overlapping segments.
#include <cstddef>

#include "dsp/types.h"

namespace plots {

struct PowerSpectrum {
    dsp::RVec freq;     // Hz, zero in the middle: (k - L/2) * rate / L
    dsp::RVec density;  // two-sided power density, units of |x|^2 per Hz, in the order of freq
    dsp::RVec maxHold;  // per bin, the largest density any one of the averaged segments showed
    double rate = 1;
    double binWidth = 1;        // rate / L
    double noiseBandwidth = 1;  // of the window, Hz: 1.5 bins
    std::size_t length = 0;     // samples per segment, L
    std::size_t segments = 0;   // segments averaged
    double meanPower = 0;       // mean |x|^2 of the whole waveform
};

// Samples per segment for a resolution bandwidth: the Hann window's noise bandwidth of 1.5 bins
// equals `rbw`.
std::size_t welchLength(double sampleRate, double rbw);
// Half-overlapping segments of `length` that fit in `samples` (at least one).
std::size_t welchSegments(std::size_t samples, std::size_t length);

// The first `averages` segments (all that fit when 0 or more) from the start of x; a waveform
// shorter than one segment is one segment. An empty waveform gives an empty spectrum.
PowerSpectrum welch(const dsp::CVec& x, double sampleRate, std::size_t length, std::size_t averages);

// How levels are shown: as a density in dBm/Hz, the waveform's mean power being the output power
// setting, or as the power in one resolution bandwidth in dB relative to the total power.
enum class LevelUnit { DbmPerHz, DbReTotal };
double densityLevel(double density, const PowerSpectrum& s, LevelUnit unit, double outputDbm);
// A power (a band's, not a density) in dBm or in dB relative to the total.
double powerLevel(double power, const PowerSpectrum& s, LevelUnit unit, double outputDbm);

}  // namespace plots
