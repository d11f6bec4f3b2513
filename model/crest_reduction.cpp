#include "model/crest_reduction.h"

#include <cmath>
#include <complex>
#include <numbers>

#include "model/waveform_stats.h"

namespace model {

namespace {

// Filtering gives back part of each peak it takes: taking the filtered clipping noise one and a
// half times reaches the level in fewer passes at little cost in quality.
constexpr double kOvershoot = 1.5;

// Zeroth-order modified Bessel function of the first kind, for the Kaiser window.
double besselI0(double x) {
    double sum = 1, term = 1;
    for (int k = 1; k < 50; ++k) {
        term *= (x / (2 * k)) * (x / (2 * k));
        sum += term;
        if (term < 1e-17 * sum) break;
    }
    return sum;
}

// The carriers' channels as one complex FIR filter: a Kaiser-windowed lowpass passing the
// channel (kChannelPassHz) and stopping from kChannelStopHz with 60 dB, moved to each offset.
// Taps from -half to +half.
dsp::CVec channelFilter(const std::vector<double>& offsetsHz, double sampleRate, std::size_t& half) {
    constexpr double attenuationDb = 60;
    const double beta = 0.1102 * (attenuationDb - 8.7);
    const double width = 2 * std::numbers::pi * (kChannelStopHz - kChannelPassHz) / sampleRate;
    half = static_cast<std::size_t>(std::ceil((attenuationDb - 8) / (2.285 * width) / 2));
    const double cutoff = (kChannelPassHz + kChannelStopHz) / 2 / sampleRate;  // cycles per sample
    dsp::CVec h(2 * half + 1);
    for (std::size_t i = 0; i < h.size(); ++i) {
        const double t = static_cast<double>(i) - static_cast<double>(half);
        const double ratio = t / static_cast<double>(half);
        const double window = besselI0(beta * std::sqrt(std::max(0.0, 1 - ratio * ratio))) / besselI0(beta);
        const double sinc = t == 0 ? 2 * cutoff : std::sin(2 * std::numbers::pi * cutoff * t) / (std::numbers::pi * t);
        for (double f : offsetsHz) h[i] += window * sinc * std::polar(1.0, 2 * std::numbers::pi * f / sampleRate * t);
    }
    return h;
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
    dsp::CVec change(n);
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
            for (const Excess& e : excess) {
                w[e.at] -= e.value;
                change[e.at] += e.value;
            }
        } else {
            // Circular: the waveform loops.
            for (const Excess& e : excess) {
                const dsp::cplx v = kOvershoot * e.value;
                std::size_t j = (e.at + n - half % n) % n;
                for (const dsp::cplx& tap : h) {
                    const dsp::cplx d = v * tap;
                    w[j] -= d;
                    change[j] += d;
                    if (++j == n) j = 0;
                }
            }
        }
        stats = waveformStats(w);
        r.afterDb = stats.crestDb;
        r.reached = r.afterDb <= targetDb + kCrestToleranceDb;
    }
    // The waveform as it came is w + change.
    std::complex<double> cross = 0;
    double original = 0, now = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const dsp::cplx x0 = w[i] + change[i];
        cross += std::conj(x0) * w[i];
        original += std::norm(x0);
        now += std::norm(w[i]);
    }
    r.rho = original > 0 && now > 0 ? std::norm(cross) / (original * now) : 1.0;
    return r;
}

}  // namespace model
