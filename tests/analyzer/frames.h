#pragma once
// Frames the engine makes, drawn from a seeded generator, and captures of them with the
// impairments of a real receiver.
#include <cmath>
#include <numbers>
#include <random>

#include "analyzer/analysis.h"
#include "dsp/db.h"
#include "dsp/fft.h"
#include "dsp/noise.h"
#include "engine/bit_stream.h"
#include "engine/frame.h"

namespace analyzertest {

struct Drawn {
    engine::FrameArgs args;
    int source = 0;  // data source 1..6 of the traffic bits
};

// Every setting drawn at random; gains of the MAC channels in -20..+10 dB.
inline Drawn drawFrame(std::mt19937_64& rng, int r) {
    auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    Drawn d;
    engine::FrameArgs& a = d.args;
    a.oversamplingRate = r;
    a.filterType = static_cast<engine::FilterKind>(pick(1, 3));
    a.phaseEqActive = pick(0, 1) == 1;
    a.mirrorSpectrum = pick(0, 1) == 1;
    a.PilotOffsetIndex = pick(0, 511);
    a.IdleSlotGainActive = pick(0, 1) == 1;
    a.IdleSlotGain = uniform(-20, -5);
    const double trafficShare = uniform(0, 1), macShare = uniform(0, 1), rpcDensity = uniform(0, 0.5);
    for (std::size_t s = 0; s < engine::kSlots; ++s) {
        a.DATAactive[s] = uniform(0, 1) < trafficShare;
        a.DATAformat[s] = static_cast<engine::Modulation>(pick(1, 3));
        const bool mac = uniform(0, 1) < macShare;
        a.RAactive[s] = mac && pick(0, 1);
        a.RAbit[s] = pick(0, 1) == 1;
        a.RAgain[s] = uniform(-20, 10);
        a.RPCchnActive[s] = mac;
        for (std::size_t k = 0; k < engine::kRpcChannels; ++k) {
            a.RPCactive[s][k] = uniform(0, 1) < rpcDensity;
            a.RPCbits[s][k] = pick(0, 1) == 1;
            a.RPCgains[s][k] = uniform(-20, 10);
        }
    }
    d.source = pick(1, 6);
    a.DATAbits = engine::GenerateBitStream(d.source, 16 * 6400);
    return d;
}

// The same settings with every channel off and no idle noise: the pilot alone.
inline engine::FrameArgs pilotOnly(engine::FrameArgs a) {
    a.DATAactive.fill(false);
    a.RAactive.fill(false);
    a.RPCchnActive.fill(false);
    a.IdleSlotGainActive = false;
    return a;
}

struct Impairment {
    double delaySamples = 0;  // cyclic, may hold a fraction
    double frequencyHz = 0;
    double phase = 0;
    double scale = 1;
    double snrDb = INFINITY;  // over the whole frame
};

// The waveform delayed cyclically (band-limited), then rotated, scaled and given white noise.
inline dsp::CVec impair(const dsp::CVec& w, int r, const Impairment& im, dsp::Rng& rng) {
    const std::size_t n = w.size();
    dsp::CVec x(w);
    dsp::fft(x);
    for (std::size_t k = 0; k < n; ++k) {
        const double bin = k < (n + 1) / 2 ? double(k) : double(k) - double(n);
        const double phase = -2 * std::numbers::pi * bin * im.delaySamples / double(n);
        x[k] *= (k == n / 2) ? dsp::cplx(std::cos(phase)) : std::polar(1.0, phase);
    }
    dsp::ifft(x);
    double power = 0;
    for (std::size_t t = 0; t < n; ++t) {
        x[t] *= im.scale * std::polar(1.0, im.phase + 2 * std::numbers::pi * im.frequencyHz * double(t) /
                                                           (r * engine::kChipRate));
        power += std::norm(x[t]) / double(n);
    }
    if (std::isfinite(im.snrDb)) {
        const dsp::CVec noise = dsp::complexNoise(n, power / std::pow(10.0, im.snrDb / 10), rng);
        for (std::size_t t = 0; t < n; ++t) x[t] += noise[t];
    }
    return x;
}

}  // namespace analyzertest
