#include "analyzer/measures.h"

#include <algorithm>
#include <cmath>

#include "analyzer/frame_layout.h"

namespace analyzer {

namespace {

struct Sums {
    dsp::cplx cross = 0;
    double zz = 0, rr = 0;
    void add(dsp::cplx z, dsp::cplx r) { cross += z * std::conj(r), zz += std::norm(z), rr += std::norm(r); }
    // At most 1 in exact arithmetic (Cauchy-Schwarz); rounding must not push it over.
    double rho() const { return zz > 0 && rr > 0 ? std::min(1.0, std::norm(cross) / (zz * rr)) : 0.0; }
};

}  // namespace

Quality measureQuality(const dsp::CVec& z, const dsp::CVec& ref, int r) {
    const auto ratio = static_cast<std::size_t>(r);
    const std::size_t slotSamples = engine::kChipsPerSlot * ratio;
    Quality q;
    Sums all, pilot;
    for (std::size_t s = 0; s < engine::kSlots; ++s) {
        Sums slot;
        for (std::size_t t = s * slotSamples; t < (s + 1) * slotSamples; ++t) slot.add(z[t], ref[t]);
        q.slotRho[s] = slot.rho();
        all.cross += slot.cross, all.zz += slot.zz, all.rr += slot.rr;
    }
    for (std::size_t h = 0; h < kHalfSlots; ++h) {
        const std::size_t from = (h * kHalfSlotChips + kPilotStart) * ratio;
        for (std::size_t t = from; t < from + kPilotLength * ratio; ++t) pilot.add(z[t], ref[t]);
    }
    q.rho = all.rho();
    q.rhoPilot = pilot.rho();
    q.evmRmsPercent = q.rho > 0 ? 100.0 * std::sqrt(std::max(0.0, 1.0 - q.rho) / q.rho) : 0.0;
    // Peak error at the chip instants, over the RMS of the scaled reference.
    q.gain = all.rr > 0 ? all.cross / all.rr : 0.0;
    const dsp::cplx g = q.gain;
    const double refRms = std::abs(g) * std::sqrt(all.rr / static_cast<double>(z.size()));
    double peak = 0;
    for (std::size_t t = 0; t < z.size(); t += ratio) peak = std::max(peak, std::abs(z[t] - g * ref[t]));
    q.evmPeakPercent = refRms > 0 ? 100.0 * peak / refRms : 0.0;
    return q;
}

}  // namespace analyzer
