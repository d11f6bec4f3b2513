#include "analyzer/chips.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <tuple>

#include "analyzer/frame_layout.h"
#include "dsp/fft.h"
#include "engine/phase_eq.h"

namespace analyzer {

namespace {

struct Response {
    dsp::CVec h;       // the chain's response to one chip, transformed (32768 R bins)
    dsp::RVec energy;  // sum of |h|^2 over the R images of each chip-rate bin
};

// One response per chain, kept for the life of the process as the filter coefficients are.
const Response& response(const ChainSettings& c) {
    static std::mutex mutex;
    static std::map<std::tuple<int, engine::FilterKind, bool>, std::unique_ptr<Response>> cache;
    std::lock_guard lock(mutex);
    auto& slot = cache[{c.r, c.filter, c.equalizer}];
    if (!slot) {
        auto resp = std::make_unique<Response>();
        const int r = std::max(c.r, 2);
        dsp::CVec impulse(kFrameChips);
        impulse[0] = 1.0;
        resp->h = engine::filterChips(impulse, r, c.filter);
        if (c.equalizer) resp->h = engine::equalizePhase(resp->h, r, false);
        if (c.r == 1)
            for (std::size_t m = 0; m < kFrameChips; ++m) resp->h[m] = resp->h[2 * m];
        resp->h.resize(kFrameChips * static_cast<std::size_t>(c.r));
        dsp::fft(resp->h);
        resp->energy.assign(kFrameChips, 0.0);
        for (std::size_t k = 0; k < resp->h.size(); ++k) resp->energy[k % kFrameChips] += std::norm(resp->h[k]);
        slot = std::move(resp);
    }
    return *slot;
}

// Bin k of a transform of m bins that keeps the lowest frequencies of one of n bins (m <= n, both
// multiples of 32768): the bin among the n of the chain's output behind it. The conjugate's
// transform at f is the conjugate of the transform at -f.
std::size_t chainBin(std::size_t k, std::size_t m, std::size_t n, bool conjugated) {
    const std::size_t at = k < m / 2 ? k : k + n - m;
    return conjugated ? (n - at) % n : at;
}

}  // namespace

dsp::CVec chipsFromSpectrum(const dsp::CVec& spectrum, const ChainSettings& chain) {
    const Response& resp = response(chain);
    const std::size_t m = spectrum.size(), n = resp.h.size();
    dsp::CVec c(kFrameChips);
    dsp::RVec energy(kFrameChips, 0.0);
    double peak = 0;
    for (std::size_t k = 0; k < m; ++k) {
        const std::size_t at = chainBin(k, m, n, chain.conjugated);
        const dsp::cplx w = chain.conjugated ? std::conj(spectrum[k]) : spectrum[k];
        c[at % kFrameChips] += std::conj(resp.h[at]) * w;
        energy[at % kFrameChips] += std::norm(resp.h[at]);
    }
    for (double e : energy) peak = std::max(peak, e);
    for (std::size_t k = 0; k < kFrameChips; ++k) c[k] /= energy[k] + 1e-15 * peak;
    dsp::ifft(c);
    return c;
}

Waveform chainWaveform(const dsp::CVec& chips, const ChainSettings& chain, std::size_t bins) {
    const Response& resp = response(chain);
    dsp::CVec c = chips;
    dsp::fft(c);
    const std::size_t n = resp.h.size();
    Waveform w;
    w.spectrum.resize(bins);
    // Oversampling repeats the chips' spectrum R times.
    for (std::size_t k = 0; k < bins; ++k) {
        const std::size_t at = chainBin(k, bins, n, chain.conjugated);
        const dsp::cplx v = resp.h[at] * c[at % kFrameChips];
        w.spectrum[k] = chain.conjugated ? std::conj(v) : v;
    }
    w.samples = w.spectrum;
    dsp::ifft(w.samples);
    return w;
}

}  // namespace analyzer
