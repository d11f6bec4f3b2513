#include "model/crest_reduction.h"

#include <cmath>
#include <complex>

#include "dsp/fft.h"
#include "model/waveform_stats.h"

namespace model {

namespace {

// The DFT bins of an n-sample period that lie inside a carrier's channel.
std::vector<char> channelBins(std::size_t n, const std::vector<double>& offsetsHz, double sampleRate) {
    std::vector<char> inside(n, 0);
    const double binHz = sampleRate / static_cast<double>(n);
    for (std::size_t k = 0; k < n; ++k) {
        const double f = (k < (n + 1) / 2 ? double(k) : double(k) - double(n)) * binHz;
        for (double offset : offsetsHz)
            if (std::abs(f - offset) <= kChannelHalfWidthHz) inside[k] = 1;
    }
    return inside;
}

constexpr double kOvershoot = 1.5;

double power(const dsp::CVec& x) {
    double p = 0;
    for (const auto& v : x) p += std::norm(v);
    return p;
}

}  // namespace

CrestReduction reduceCrest(dsp::CVec& w, double targetDb, const std::vector<double>& offsetsHz, double sampleRate) {
    CrestReduction r;
    r.targetDb = targetDb;
    r.beforeDb = r.afterDb = waveformStats(w).crestDb;
    r.reached = r.afterDb <= targetDb + kCrestToleranceDb;
    if (r.reached || w.empty()) return r;

    const std::vector<char> inside = channelBins(w.size(), offsetsHz, sampleRate);
    dsp::CVec change(w.size()), clipped(w.size());
    while (r.iterations < kMaxCrestIterations && !r.reached) {
        ++r.iterations;
        // The last pass clips what little the filtered passes left above the level, unfiltered.
        const bool last = r.iterations == kMaxCrestIterations;
        const double rms = std::sqrt(power(w) / static_cast<double>(w.size()));
        const double level = rms * std::pow(10.0, targetDb / 20);
        for (std::size_t i = 0; i < w.size(); ++i) {
            const double a = std::abs(w[i]);
            clipped[i] = a > level ? w[i] * ((a - level) / a) : dsp::cplx(0);
        }
        // Filtering gives back part of each peak it takes: taking the filtered clipping noise
        // one and a half times reaches the level in fewer passes at little cost in quality.
        double gain = 1;
        if (!last) {
            dsp::fft(clipped);
            for (std::size_t k = 0; k < clipped.size(); ++k)
                if (!inside[k]) clipped[k] = 0;
            dsp::ifft(clipped);
            gain = kOvershoot;
        }
        for (std::size_t i = 0; i < w.size(); ++i) {
            w[i] -= gain * clipped[i];
            change[i] += gain * clipped[i];
        }
        r.afterDb = waveformStats(w).crestDb;
        r.reached = r.afterDb <= targetDb + kCrestToleranceDb;
    }
    // The waveform as it came is w + change.
    std::complex<double> cross = 0;
    double original = 0;
    for (std::size_t i = 0; i < w.size(); ++i) {
        const dsp::cplx x0 = w[i] + change[i];
        cross += std::conj(x0) * w[i];
        original += std::norm(x0);
    }
    const double now = power(w);
    r.rho = original > 0 && now > 0 ? std::norm(cross) / (original * now) : 1.0;
    return r;
}

}  // namespace model
