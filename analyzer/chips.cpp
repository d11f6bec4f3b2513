#include "analyzer/chips.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <tuple>

#include "analyzer/alignment.h"
#include "analyzer/frame_layout.h"
#include "dsp/fft.h"
#include "engine/phase_eq.h"

namespace analyzer {

namespace {

struct Response {
    dsp::CVec h;       // the chain's response to one chip, transformed (32768 R bins)
    dsp::RVec energy;  // sum of |h|^2 over the R images of each chip-rate bin
};

std::shared_ptr<const Response> withEnergy(dsp::CVec h) {
    auto resp = std::make_shared<Response>();
    resp->h = std::move(h);
    resp->energy.assign(kChipsPerFrame, 0.0);
    for (std::size_t k = 0; k < resp->h.size(); ++k) resp->energy[k % kChipsPerFrame] += std::norm(resp->h[k]);
    return resp;
}

// One response per chain at R >= 2, kept for the life of the process as the filter
// coefficients are.
std::shared_ptr<const Response> oversampled(int r, engine::FilterKind filter, bool equalizer) {
    static std::mutex mutex;
    static std::map<std::tuple<int, engine::FilterKind, bool>, std::shared_ptr<const Response>> cache;
    std::lock_guard lock(mutex);
    auto& slot = cache[{r, filter, equalizer}];
    if (!slot) {
        dsp::CVec impulse(kChipsPerFrame);
        impulse[0] = 1.0;
        dsp::CVec h = engine::filterChips(impulse, r, filter);
        if (equalizer) h = engine::equalizePhase(h, r, false);
        dsp::fft(h);
        slot = withEnergy(std::move(h));
    }
    return slot;
}

// At R = 1 the phase varies from capture to capture: the R = 2 response advanced and folded onto
// the chip rate (keeping every second sample adds each bin to its image, halved).
std::shared_ptr<const Response> response(const ChainSettings& c) {
    if (c.r != 1) return oversampled(c.r, c.filter, c.equalizer);
    dsp::CVec h2 = oversampled(2, c.filter, c.equalizer)->h;
    advance(h2, 2 * c.phase);
    dsp::CVec h(kChipsPerFrame);
    for (std::size_t k = 0; k < kChipsPerFrame; ++k) h[k] = 0.5 * (h2[k] + h2[k + kChipsPerFrame]);
    return withEnergy(std::move(h));
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
    const auto held = response(chain);
    const Response& resp = *held;
    const std::size_t m = spectrum.size(), n = resp.h.size();
    dsp::CVec c(kChipsPerFrame);
    dsp::RVec energy(kChipsPerFrame, 0.0);
    double peak = 0;
    for (std::size_t k = 0; k < m; ++k) {
        const std::size_t at = chainBin(k, m, n, chain.conjugated);
        const dsp::cplx w = chain.conjugated ? std::conj(spectrum[k]) : spectrum[k];
        c[at % kChipsPerFrame] += std::conj(resp.h[at]) * w;
        energy[at % kChipsPerFrame] += std::norm(resp.h[at]);
    }
    for (double e : energy) peak = std::max(peak, e);
    for (std::size_t k = 0; k < kChipsPerFrame; ++k) c[k] /= energy[k] + 1e-15 * peak;
    dsp::ifft(c);
    return c;
}

Waveform chainWaveform(const dsp::CVec& chips, const ChainSettings& chain, std::size_t bins) {
    const auto held = response(chain);
    const Response& resp = *held;
    dsp::CVec c = chips;
    dsp::fft(c);
    const std::size_t n = resp.h.size();
    Waveform w;
    w.spectrum.resize(bins);
    // Oversampling repeats the chips' spectrum R times.
    for (std::size_t k = 0; k < bins; ++k) {
        const std::size_t at = chainBin(k, bins, n, chain.conjugated);
        const dsp::cplx v = resp.h[at] * c[at % kChipsPerFrame];
        w.spectrum[k] = chain.conjugated ? std::conj(v) : v;
    }
    w.samples = w.spectrum;
    dsp::ifft(w.samples);
    return w;
}

}  // namespace analyzer
