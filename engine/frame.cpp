#include "engine/frame.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

#include "dsp/db.h"
#include "dsp/number_text.h"
#include "engine/bursts.h"
#include "engine/phase_eq.h"
#include "engine/pn_codes.h"
#include "engine/traffic.h"

namespace engine {

namespace {

constexpr std::size_t kMargin = 4;  // RF blanking margin in chips

[[noreturn]] void fail(const std::string& what) { throw std::invalid_argument(what); }

// Marker 2 of a slot that sends the pilot and the given channels: high over what is sent and
// m chips either side of it, within the slot.
dsp::Bits blankingMask(bool traffic, bool mac, std::size_t m) {
    dsp::Bits out(kChipsPerSlot, 0);
    const auto high = [&](std::size_t from, std::size_t to) {
        std::fill(out.begin() + static_cast<std::ptrdiff_t>(from > m ? from - m : 0),
                  out.begin() + static_cast<std::ptrdiff_t>(std::min(to + m, kChipsPerSlot)), 1);
    };
    for (std::size_t base = 0; base < kChipsPerSlot; base += kHalfSlotChips) {
        high(base + kPilotStart, base + kPilotStart + kPilotChips);
        if (mac)
            for (std::size_t start : kMacStarts) high(base + start, base + start + kMacBurstChips);
        if (traffic)
            for (const auto& run : kDataRuns) high(base + run[0], base + run[1]);
    }
    return out;
}

[[noreturn]] void notFinite(const std::string& name, double v) { fail(name + " = " + dsp::generalText(v) + " is not a finite number"); }

void checkArguments(const FrameArgs& a) {
    for (std::size_t i = 0; i < kSlots; ++i) {
        const auto slot = [i] { return " of slot " + std::to_string(i + 1); };
        if (!std::isfinite(a.RAgain[i])) notFinite("RAgain" + slot(), a.RAgain[i]);
        for (std::size_t k = 0; k < kRpcChannels; ++k)
            if (!std::isfinite(a.RPCgains[i][k])) notFinite("RPCgains" + slot() + ", channel " + std::to_string(k + 1), a.RPCgains[i][k]);
    }
    if (!std::isfinite(a.IdleSlotGain)) notFinite("IdleSlotGain", a.IdleSlotGain);
    if (a.Mode != FrameMode::Full) return;  // a PN-only frame carries no traffic
    std::size_t bitsNeeded = 0;
    for (std::size_t i = 0; i < kSlots; ++i)
        if (a.DATAactive[i]) bitsNeeded += trafficBits(a.DATAformat[i]);
    if (a.DATAbits.size() < bitsNeeded)
        fail("DATAbits holds " + std::to_string(a.DATAbits.size()) + " bits, but the active traffic slots need " +
             std::to_string(bitsNeeded));
}

// The setting behind samples that overflowed: the largest gain in use, since every gain scales
// its channel by 10^(dB/20) (idle noise included: power 10^(dB/10)).
std::string overflowCause(const FrameArgs& a) {
    std::string cause = "the frame's samples are not finite numbers";
    double worst = -std::numeric_limits<double>::infinity();
    auto consider = [&](double dB, const std::string& what) {
        if (dB > worst) worst = dB, cause = what + " = " + dsp::generalText(dB) + " dB is too large: the frame's samples overflow";
    };
    if (a.IdleSlotGainActive) consider(a.IdleSlotGain, "IdleSlotGain (IdleSlotGain)");
    for (std::size_t i = 0; i < kSlots; ++i) {
        if (!a.macActive(i)) continue;  // an idle MAC part uses no gain
        const std::string slot = " of slot " + std::to_string(i + 1);
        consider(a.RAgain[i], "RAgain (slot.RAslotGain)" + slot);
        for (std::size_t k = 0; k < kRpcChannels; ++k)
            consider(a.RPCgains[i][k], "RPCgains (slot.RPCslotGain)" + slot + ", channel " + std::to_string(k + 1));
    }
    return cause;
}

// Places traffic, MAC and pilot chips of one slot in time order: in each half-slot the next
// traffic and MAC chips, in the order they were made.
void fillSlot(dsp::cplx* slot, const dsp::CVec& data, const dsp::CVec& mac) {
    const dsp::cplx* d = data.data();
    const dsp::cplx* m = mac.data();
    for (std::size_t h = 0; h < 2; ++h) {
        dsp::cplx* half = slot + h * kHalfSlotChips;
        for (const auto& run : kDataRuns) {
            std::copy_n(d, run[1] - run[0], half + run[0]);
            d += run[1] - run[0];
        }
        for (std::size_t start : kMacStarts) {
            std::copy_n(m, kMacBurstChips, half + start);
            m += kMacBurstChips;
        }
        std::fill_n(half + kPilotStart, kPilotChips, dsp::cplx(1.0));
    }
}

}  // namespace

dsp::Bits idleMACmask(std::size_t m) { return blankingMask(true, false, m); }
dsp::Bits idleDATAmask(std::size_t m) { return blankingMask(false, true, m); }
dsp::Bits bothIdleMask(std::size_t m) { return blankingMask(false, false, m); }

namespace {

// The spread chips of a frame whose arguments were checked; marker 2 (RF blanking) at chip rate
// into `marker2` (32768 ones on entry).
dsp::CVec spreadChips(const FrameArgs& a, dsp::Rng& rng, dsp::Bits& marker2) {
    dsp::CVec frame(kChipsPerFrame);
    if (a.Mode == FrameMode::Full) {
        static const dsp::Bits macIdle = idleMACmask(kMargin), dataIdle = idleDATAmask(kMargin), bothIdle = bothIdleMask(kMargin);
        const double idleNoise = a.IdleSlotGainActive ? 1.0 : 0.0;
        std::size_t bitCounter = 0;
        dsp::RVec rpcBits(kRpcChannels), rpcAmps(kRpcChannels);
        for (std::size_t i = 0; i < kSlots; ++i) {
            dsp::CVec mac;
            const bool macIdleSlot = !a.macActive(i);
            if (!macIdleSlot) {
                for (std::size_t k = 0; k < kRpcChannels; ++k) {
                    rpcBits[k] = a.RPCbits[i][k] ? 1.0 : 0.0;
                    rpcAmps[k] = a.RPCactive[i][k] && a.RPCchnActive[i] ? dsp::dbToAmplitude(a.RPCgains[i][k]) : 0.0;
                }
                mac = Zuno_FwdMACslot(rpcBits, rpcAmps, a.RAbit[i] ? 1.0 : 0.0, a.RAactive[i] ? dsp::dbToAmplitude(a.RAgain[i]) : 0.0);
            } else {
                mac = Zuno_FwdIdleSlot(idleNoise, a.IdleSlotGain, kMacChips, rng);
            }

            dsp::CVec data;
            const bool dataIdleSlot = !a.DATAactive[i];
            if (!dataIdleSlot) {
                const std::size_t need = trafficBits(a.DATAformat[i]);
                data = Zuno_FwdTrfChn(std::span(a.DATAbits).subspan(bitCounter, need), formatCode(a.DATAformat[i]), kTrafficChips);
                bitCounter += need;
            } else {
                data = Zuno_FwdIdleSlot(idleNoise, a.IdleSlotGain, kTrafficChips, rng);
            }

            const dsp::Bits* m2 = nullptr;
            if (dataIdleSlot && macIdleSlot) m2 = &bothIdle;
            else if (dataIdleSlot) m2 = &dataIdle;
            else if (macIdleSlot) m2 = &macIdle;
            if (m2) std::copy(m2->begin(), m2->end(), marker2.begin() + static_cast<std::ptrdiff_t>(i * kChipsPerSlot));

            fillSlot(frame.data() + i * kChipsPerSlot, data, mac);
        }
    } else {
        // PN-only frame: every chip +1, as if the pilot filled the slot.
        std::fill(frame.begin(), frame.end(), dsp::cplx(1.0));
    }

    return Zuno_FwdQuadSpreading(frame, a.PilotOffsetIndex);
}

}  // namespace

dsp::CVec frameChips(const FrameArgs& a, dsp::Rng& rng) {
    checkArguments(a);
    dsp::Bits marker2(kChipsPerFrame, 1);
    return spreadChips(a, rng, marker2);
}

FrameResult Zuno_FwdChnFrame(const FrameArgs& a, dsp::Rng& rng) {
    const int r = a.oversamplingRate;
    if (r < kMinOversampling || r > kMaxOversampling)
        fail("oversampling (OverSampling) = " + std::to_string(r) + " must be a whole number from " +
             std::to_string(kMinOversampling) + " to " + std::to_string(kMaxOversampling));
    checkArguments(a);

    dsp::Bits marker1(kChipsPerFrame, 0), marker2(kChipsPerFrame, 1);
    for (std::size_t i = 0; i < kSlots; ++i) {
        marker1[i * kChipsPerSlot] = 1;
        marker1[i * kChipsPerSlot + kHalfSlotChips] = 1;
    }
    const dsp::CVec frame = spreadChips(a, rng, marker2);

    FrameResult out;
    const auto ratio = static_cast<std::size_t>(r);
    out.events[0] = upsampleMarker(marker1, ratio);
    out.events[1] = upsampleMarker(marker2, ratio);
    // Equivalent to Zuno_BasebandFilter(upsample(frame, R), R, filterType), without the zeros.
    out.waveform = filterChips(frame, r, a.filterType);
    // Without mirroring the waveform is conjugated.
    const bool conjugate = !a.mirrorSpectrum;
    if (a.phaseEqActive)
        out.waveform = equalizePhase(out.waveform, r, conjugate);
    else if (conjugate)
        for (auto& v : out.waveform) v = std::conj(v);
    // A waveform of infinities or NaNs, or one whose power is not finite, is no signal: refused,
    // naming what made it.
    for (const auto& v : out.waveform)
        if (!std::isfinite(std::norm(v))) fail(overflowCause(a));
    return out;
}

}  // namespace engine
