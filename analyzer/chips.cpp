#include "analyzer/chips.h"

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
        dsp::CVec impulse(kFrameChips);
        impulse[0] = 1.0;
        resp->h = engine::filterChips(impulse, c.r, c.filter);
        if (c.equalizer) resp->h = engine::equalizePhase(resp->h, c.r, false);
        dsp::fft(resp->h);
        resp->energy.assign(kFrameChips, 0.0);
        for (std::size_t k = 0; k < resp->h.size(); ++k) resp->energy[k % kFrameChips] += std::norm(resp->h[k]);
        slot = std::move(resp);
    }
    return *slot;
}

}  // namespace

dsp::CVec chipsFromSpectrum(const dsp::CVec& spectrum, const ChainSettings& chain) {
    const Response& resp = response(chain);
    const std::size_t n = spectrum.size();
    double peak = 0;
    for (double e : resp.energy) peak = std::max(peak, e);
    dsp::CVec c(kFrameChips);
    for (std::size_t k = 0; k < n; ++k) {
        // The conjugate's transform at k is the conjugate of the transform at -k.
        const dsp::cplx w = chain.conjugated ? std::conj(spectrum[(n - k) % n]) : spectrum[k];
        c[k % kFrameChips] += std::conj(resp.h[k]) * w;
    }
    for (std::size_t k = 0; k < kFrameChips; ++k) c[k] /= resp.energy[k] + 1e-15 * peak;
    dsp::ifft(c);
    return c;
}

}  // namespace analyzer
