#include "model/crest_reduction.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

#include "dsp/kaiser.h"
#include "model/waveform_stats.h"

namespace model {

namespace {

// Filtering gives back part of each peak it takes: taking the filtered clipping noise one and a
// half times reaches the level in fewer passes at little cost in quality.
constexpr double kOvershoot = 1.5;

// The carriers' channels as one complex FIR filter: a Kaiser-windowed low-pass passing the
// channel (kChannelPassHz) and stopping from kChannelStopHz by 60 dB, moved to each offset.
// Taps from -half to +half.
dsp::CVec channelFilter(const std::vector<double>& offsetsHz, double sampleRate, std::size_t& half) {
    constexpr double kStopDb = 60;
    half = dsp::kaiserHalfLength((kChannelStopHz - kChannelPassHz) / sampleRate, kStopDb);
    const double cutoff = (kChannelPassHz + kChannelStopHz) / 2 / sampleRate;  // cycles per sample
    const double beta = dsp::kaiserBeta(kStopDb);
    dsp::CVec h(2 * half + 1);
    for (std::size_t i = 0; i < h.size(); ++i) {
        const double t = static_cast<double>(i) - static_cast<double>(half);
        const double lowpass = dsp::kaiserSinc(t, static_cast<double>(half), cutoff, beta);
        for (double f : offsetsHz) h[i] += lowpass * std::polar(1.0, 2 * std::numbers::pi * f / sampleRate * t);
    }
    return h;
}

// w[start + k] -= v h[k], circularly, in plain arithmetic: the two runs either side of the wrap
// vectorise, and the product needs none of the complex type's checks for infinities.
void subtractFiltered(dsp::CVec& w, std::size_t start, const dsp::CVec& h, dsp::cplx v) {
    const double vr = v.real(), vi = v.imag();
    const auto run = [&](std::size_t at, std::size_t from, std::size_t to) {
        auto* out = reinterpret_cast<double*>(w.data() + at);
        const auto* tap = reinterpret_cast<const double*>(h.data() + from);
        for (std::size_t k = 0; k < to - from; ++k) {
            const double hr = tap[2 * k], hi = tap[2 * k + 1];
            out[2 * k] -= vr * hr - vi * hi;
            out[2 * k + 1] -= vr * hi + vi * hr;
        }
    };
    const std::size_t first = std::min(h.size(), w.size() - start);
    run(start, 0, first);
    for (std::size_t from = first; from < h.size();) {  // a filter longer than the waveform wraps again
        const std::size_t to = std::min(h.size(), from + w.size());
        run(0, from, to);
        from = to;
    }
}

struct Excess {
    std::size_t at;
    dsp::cplx value;
};

}  // namespace

CrestReduction reduceCrest(dsp::CVec& w, double targetDb, const std::vector<double>& offsetsHz, double sampleRate) {
    CrestReduction r;
    r.targetDb = targetDb;
    WaveformStats stats = waveformStats(w);
    r.beforeDb = r.afterDb = stats.crestDb;
    r.reached = r.afterDb <= targetDb + kCrestToleranceDb;
    if (r.reached || w.empty()) return r;

    std::size_t half = 0;
    const dsp::CVec h = channelFilter(offsetsHz, sampleRate, half);
    const std::size_t n = w.size();
    const dsp::CVec before = w;
    std::vector<Excess> excess;
    while (r.iterations < kMaxCrestIterations && !r.reached) {
        ++r.iterations;
        // The part of each sample above the level: few samples, so the filter runs over them alone.
        const double level = stats.rms * std::pow(10.0, targetDb / 20), level2 = level * level;
        excess.clear();
        for (std::size_t i = 0; i < n; ++i)
            if (const double p = std::norm(w[i]); p > level2) excess.push_back({i, w[i] * (1 - level / std::sqrt(p))});
        if (r.iterations == kMaxCrestIterations) {
            // The last pass clips what little the filtered passes left above the level, unfiltered.
            for (const Excess& e : excess) w[e.at] -= e.value;
        } else {
            // Circular: the waveform loops.
            for (const Excess& e : excess) subtractFiltered(w, (e.at + n - half % n) % n, h, kOvershoot * e.value);
        }
        stats = waveformStats(w);
        r.afterDb = stats.crestDb;
        r.reached = r.afterDb <= targetDb + kCrestToleranceDb;
    }
    std::complex<double> cross = 0;
    double original = 0, now = 0;
    for (std::size_t i = 0; i < n; ++i) {
        cross += std::conj(before[i]) * w[i];
        original += std::norm(before[i]);
        now += std::norm(w[i]);
    }
    r.rho = original > 0 && now > 0 ? std::norm(cross) / (original * now) : 1.0;
    return r;
}

}  // namespace model
