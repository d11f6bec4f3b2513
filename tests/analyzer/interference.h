#pragma once
// What a capture meets on its way besides noise: a static multipath channel and the signal of
// another sector.
#include <cmath>
#include <numbers>
#include <vector>

#include "dsp/fft.h"
#include "dsp/noise.h"
#include "frames.h"

namespace analyzertest {

// One echo of a static channel: taps lie at half-chip spacing relative to the main ray.
struct Echo {
    int halfChips = 0;  // delay, negative for a pre-echo
    double levelDb = -10;
    double phase = 0;
    double fraction = 0;  // of a half-chip, added to the delay: an echo between the taps
};

// The cyclic waveform (r samples per chip) through the main ray plus the echoes, band-limited.
inline dsp::CVec multipath(const dsp::CVec& w, int r, const std::vector<Echo>& echoes) {
    const std::size_t n = w.size();
    dsp::CVec x(w);
    dsp::fft(x);
    for (std::size_t k = 0; k < n; ++k) {
        const double bin = k < (n + 1) / 2 ? double(k) : double(k) - double(n);
        dsp::cplx h = 1;
        for (const Echo& e : echoes) {
            const double delaySamples = (e.halfChips + e.fraction) * r / 2.0;
            h += std::polar(std::pow(10.0, e.levelDb / 20), e.phase - 2 * std::numbers::pi * bin * delaySamples / double(n));
        }
        x[k] *= h;
    }
    dsp::ifft(x);
    return x;
}

// Another sector's frame added to `w`, delayed by `delayChips` (cyclic, band-limited), scaled by
// `levelDb` and turned by `phase`. Frames the engine makes with one filter share the pilot's
// level, so `levelDb` is the level of its pilot relative to w's.
inline dsp::CVec withSector(const dsp::CVec& w, const dsp::CVec& other, int r, double delayChips, double levelDb,
                            double phase, dsp::Rng& rng) {
    Impairment im;
    im.delaySamples = delayChips * r;
    im.phase = phase;
    im.scale = std::pow(10.0, levelDb / 20);
    dsp::CVec x = impair(other, r, im, rng);
    for (std::size_t t = 0; t < x.size(); ++t) x[t] += w[t];
    return x;
}

// MAC channels at -25..-10 dB, as a loaded sector sends them: the MAC bursts at about the pilot's
// power instead of up to 20 dB over it.
inline void quietMac(Drawn& d, std::mt19937_64& rng) {
    for (std::size_t s = 0; s < engine::kSlots; ++s) {
        d.args.RAgain[s] = std::uniform_real_distribution<double>(-25, -10)(rng);
        for (std::size_t k = 0; k < engine::kRpcChannels; ++k)
            d.args.RPCgains[s][k] = std::uniform_real_distribution<double>(-25, -10)(rng);
    }
}

// A frame of another sector beside `d`: drawn at random with quiet MAC bursts, with d's filter
// and spectrum sense.
inline Drawn sectorBeside(const Drawn& d, int pnOffset, std::mt19937_64& rng) {
    Drawn o = drawFrame(rng, static_cast<int>(d.args.oversamplingRate));
    quietMac(o, rng);
    o.args.filterType = d.args.filterType;
    o.args.phaseEqActive = d.args.phaseEqActive;
    o.args.mirrorSpectrum = d.args.mirrorSpectrum;
    o.args.PilotOffsetIndex = pnOffset;
    return o;
}

}  // namespace analyzertest
