#include "analyzer/measures.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <numbers>

#include "analyzer/frame_layout.h"
#include "dsp/fft.h"
#include "engine/baseband_filter.h"

namespace analyzer {

namespace {

constexpr std::size_t kIdleGuardChips = 6;

struct Sums {
    dsp::cplx cross = 0;
    double zz = 0, rr = 0;
    void add(dsp::cplx z, dsp::cplx r) { cross += z * std::conj(r), zz += std::norm(z), rr += std::norm(r); }
    void add(const Sums& o) { cross += o.cross, zz += o.zz, rr += o.rr; }
    // At most 1 in exact arithmetic (Cauchy-Schwarz); rounding must not push it over.
    double rho() const { return zz > 0 && rr > 0 ? std::min(1.0, std::norm(cross) / (zz * rr)) : 0.0; }
    // |z - g r| over |g r| for the best g: sqrt(1 / rho - 1).
    double evmPercent() const {
        const double q = rho();
        return q > 0 ? 100.0 * std::sqrt(std::max(0.0, 1.0 - q) / q) : 0.0;
    }
};

// The standard filter's zero-phase response on a frame's bins: it delays neither signal, so
// peaks stay at the chip instants.
std::shared_ptr<const dsp::RVec> channelResponse(int r) {
    static std::mutex mutex;
    static std::map<int, std::shared_ptr<const dsp::RVec>> cache;
    std::lock_guard lock(mutex);
    auto& slot = cache[r];
    if (!slot) {
        const std::vector<double>& h = engine::cachedCoefficients(engine::FilterKind::Is95Std, r);
        const std::size_t n = kChipsPerFrame * static_cast<std::size_t>(r);
        const double centre = (static_cast<double>(h.size()) - 1) / 2;
        const auto d = static_cast<std::size_t>(std::floor(centre));
        dsp::CVec x(n);
        for (std::size_t t = 0; t < h.size(); ++t) x[(t + n - d) % n] = h[t];
        dsp::fft(x);
        auto response = std::make_shared<dsp::RVec>(n);
        for (std::size_t k = 0; k < n; ++k) {
            const double bin = k < (n + 1) / 2 ? double(k) : double(k) - double(n);
            (*response)[k] = (x[k] * std::polar(1.0, 2 * std::numbers::pi * bin * (centre - double(d)) / double(n))).real();
        }
        slot = std::move(response);
    }
    return slot;
}

}  // namespace

std::vector<bool> activeChips(const engine::FrameArgs& a) {
    std::vector<bool> on(kChipsPerFrame, false);
    for (std::size_t h = 0; h < kHalfSlots; ++h) {
        const std::size_t slot = h / 2, base = h * kHalfSlotChips;
        auto mark = [&](std::size_t from, std::size_t to) { std::fill(on.begin() + long(base + from), on.begin() + long(base + to), true); };
        mark(kPilotStart, kPilotStart + kPilotChips);
        if (a.macActive(slot))
            for (std::size_t m : kMacStarts) mark(m, m + kMacBurstChips);
        if (a.DATAactive[slot])
            for (const auto& run : kDataRuns) mark(run[0], run[1]);
    }
    return on;
}

std::string channelFilterName(int r) {
    // At one sample per chip the samples hold nothing beyond the channel.
    if (r < 2) return "none (one sample per chip)";
    return "IS-95 standard baseband filter (pass 590 kHz, stop 740 kHz)";
}

dsp::CVec channelFiltered(dsp::CVec x, int r) {
    if (r < 2) return x;
    const auto held = channelResponse(r);
    dsp::fft(x);
    for (std::size_t k = 0; k < x.size(); ++k) x[k] *= (*held)[k];
    dsp::ifft(x);
    return x;
}

Quality measureQuality(const dsp::CVec& captured, const dsp::CVec& reference, int r, const std::vector<bool>& channels) {
    const auto ratio = static_cast<std::size_t>(r);
    // The filters spread what fills an idle position (idle noise) over a few chips either side,
    // which the reference does not hold: the chips next to idle positions are left out too.
    std::vector<bool> active = channels;
    for (std::size_t m = 0; m < kChipsPerFrame; ++m)
        if (!channels[m])
            for (std::size_t d = 1; d <= kIdleGuardChips; ++d)
                active[(m + d) % kChipsPerFrame] = false, active[(m + kChipsPerFrame - d) % kChipsPerFrame] = false;
    const dsp::CVec z = channelFiltered(captured, r), ref = channelFiltered(reference, r);
    Quality q;
    Sums whole, pilot;
    std::size_t pilotChips = 0;
    std::array<Sums, engine::kSlots> slots;
    for (std::size_t m = 0; m < kChipsPerFrame; ++m) {
        Sums chip;
        for (std::size_t t = m * ratio; t < (m + 1) * ratio; ++t) chip.add(z[t], ref[t]);
        whole.add(chip);
        if (active[m]) slots[m / engine::kChipsPerSlot].add(chip);
        if (const std::size_t c = m % kHalfSlotChips; active[m] && c >= kPilotStart && c < kPilotStart + kPilotChips)
            pilot.add(chip), pilotChips += 1;
    }
    Sums all;
    for (std::size_t s = 0; s < engine::kSlots; ++s) q.slotRho[s] = slots[s].rho(), all.add(slots[s]);
    q.rho = all.rho();
    q.rhoPilot = pilot.rho();
    q.evmRmsPercent = all.evmPercent();
    q.rhoWholeFrame = whole.rho();
    q.evmRmsPercentWholeFrame = whole.evmPercent();
    q.gain = all.rr > 0 ? all.cross / all.rr : 0.0;
    const dsp::cplx g = q.gain;
    // Per slot against the frame's gain, so that a slot sent at another level shows.
    for (std::size_t s = 0; s < engine::kSlots; ++s) {
        double error = 0;
        for (std::size_t m = s * engine::kChipsPerSlot; m < (s + 1) * engine::kChipsPerSlot; ++m)
            if (active[m])
                for (std::size_t t = m * ratio; t < (m + 1) * ratio; ++t) error += std::norm(z[t] - g * ref[t]);
        const double scaled = std::norm(g) * slots[s].rr;
        q.slotEvmRmsPercent[s] = scaled > 0 ? 100.0 * std::sqrt(error / scaled) : 0.0;
    }
    // Peak error at the chip instants, over the RMS of the scaled reference.
    std::size_t activeSamples = 0;
    double peak = 0;
    for (std::size_t m = 0; m < kChipsPerFrame; ++m)
        if (active[m]) {
            activeSamples += ratio;
            peak = std::max(peak, std::abs(z[m * ratio] - g * ref[m * ratio]));
        }
    const double refRms = std::abs(g) * std::sqrt(all.rr / static_cast<double>(std::max<std::size_t>(activeSamples, 1)));
    q.evmPeakPercent = refRms > 0 ? 100.0 * peak / refRms : 0.0;
    const double pilotPower = std::norm(g) * pilot.rr / static_cast<double>(std::max<std::size_t>(pilotChips, 1) * ratio);
    const std::size_t step = kPowerStepChips * ratio;
    q.powerDb.resize(kChipsPerFrame / kPowerStepChips);
    for (std::size_t g = 0; g < q.powerDb.size(); ++g) {
        double p = 0;
        for (std::size_t t = g * step; t < (g + 1) * step; ++t) p += std::norm(z[t]);
        q.powerDb[g] = 10.0 * std::log10(std::max(p / static_cast<double>(step) / pilotPower, 1e-30));
    }
    return q;
}

}  // namespace analyzer
