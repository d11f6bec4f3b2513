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

// Concatenates runs of ones and zeros: {ones, zeros, ones, ...}.
dsp::Bits mask(std::initializer_list<std::size_t> runs) {
    dsp::Bits out;
    std::uint8_t value = 1;
    for (std::size_t n : runs) {
        out.insert(out.end(), n, value);
        value ^= 1;
    }
    return out;
}

void checkFinite(const char* name, double v) {
    if (!std::isfinite(v)) fail(std::string(name) + " = " + dsp::generalText(v) + " is not a finite number");
}

void checkSlotVector(const char* name, const dsp::RVec& v) {
    if (v.size() != kSlots) fail(std::string(name) + " must hold 16 values, one per slot (got " + std::to_string(v.size()) + ")");
    for (std::size_t i = 0; i < v.size(); ++i)
        if (!std::isfinite(v[i])) fail(std::string(name) + " of slot " + std::to_string(i + 1) + " = " + dsp::generalText(v[i]) + " is not a finite number");
}

void checkRpcMatrix(const char* name, const dsp::Matrix& m) {
    if (m.rows != kSlots || m.cols != kRpcChannels)
        fail(std::string(name) + " must be a 16x59 matrix (got " + std::to_string(m.rows) + "x" + std::to_string(m.cols) + ")");
    for (std::size_t c = 0; c < m.cols; ++c)
        for (std::size_t r = 0; r < m.rows; ++r)
            if (!std::isfinite(m(r, c)))
                fail(std::string(name) + " of slot " + std::to_string(r + 1) + ", channel " + std::to_string(c + 1) + " = " +
                     dsp::generalText(m(r, c)) + " is not a finite number");
}

int checkedOversampling(double r) {
    if (!(r >= 2 && r <= kMaxOversampling) || r != std::floor(r))
        fail("oversampling (OverSampling) = " + dsp::generalText(r) + " must be a whole number from 2 to " + std::to_string(kMaxOversampling));
    return static_cast<int>(r);
}

void checkArguments(const FrameArgs& a) {
    checkFinite("PilotOffsetIndex", a.PilotOffsetIndex);
    if (a.PilotOffsetIndex < 0 || a.PilotOffsetIndex > 511 || a.PilotOffsetIndex != std::floor(a.PilotOffsetIndex))
        fail("PilotOffsetIndex = " + dsp::generalText(a.PilotOffsetIndex) + " must be a whole number from 0 to 511");
    checkSlotVector("DATAactive", a.DATAactive);
    checkSlotVector("RAactive", a.RAactive);
    checkSlotVector("RAbit", a.RAbit);
    checkSlotVector("RAgain", a.RAgain);
    checkSlotVector("RPCchnActive", a.RPCchnActive);
    if (a.DATAformat.size() != kSlots) fail("DATAformat must hold 16 values, one per slot (got " + std::to_string(a.DATAformat.size()) + ")");
    checkRpcMatrix("RPCactive", a.RPCactive);
    checkRpcMatrix("RPCbits", a.RPCbits);
    checkRpcMatrix("RPCgains", a.RPCgains);
    checkFinite("IdleSlotGainActive", a.IdleSlotGainActive);
    checkFinite("IdleSlotGain", a.IdleSlotGain);
    if (a.Mode != 1.0) return;  // a PN-only frame carries no traffic
    std::size_t bitsNeeded = 0;
    for (std::size_t i = 0; i < kSlots; ++i) {
        if (a.DATAactive[i] != 1.0) continue;
        const double f = a.DATAformat[i];
        if (f != 1.0 && f != 2.0 && f != 3.0)
            fail("DATAformat of slot " + std::to_string(i + 1) + " = " + dsp::generalText(f) +
                 " is not a modulation format (1 QPSK, 2 8-PSK, 3 16-QAM)");
        bitsNeeded += static_cast<std::size_t>(f + 1) * kTrafficChips;
    }
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
    if (a.IdleSlotGainActive != 0) consider(a.IdleSlotGain, "IdleSlotGain (IdleSlotGain)");
    for (std::size_t i = 0; i < kSlots; ++i) {
        if (!(a.RAactive[i] + a.RPCchnActive[i] >= 1)) continue;  // an idle MAC part uses no gain
        const std::string slot = " of slot " + std::to_string(i + 1);
        consider(a.RAgain[i], "RAgain (slot.RAslotGain)" + slot);
        for (std::size_t k = 0; k < kRpcChannels; ++k)
            consider(a.RPCgains(i, k), "RPCgains (slot.RPCslotGain)" + slot + ", channel " + std::to_string(k + 1));
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

dsp::Bits idleMACmask(std::size_t m) {
    return mask({400 + m, 64 - 2 * m, 96 + 2 * m, 64 - 2 * m, 800 + 2 * m, 64 - 2 * m, 96 + 2 * m, 64 - 2 * m, 400 + m});
}
dsp::Bits idleDATAmask(std::size_t m) {
    return mask({0, 400 - m, 224 + 2 * m, 800 - 2 * m, 224 + 2 * m, 400 - m});
}
dsp::Bits bothIdleMask(std::size_t m) {
    return mask({0, 464 - m, 96 + 2 * m, 928 - 2 * m, 96 + 2 * m, 464 - m});
}

namespace {

// The spread chips of a frame whose arguments were checked; marker 2 (RF blanking) at chip rate
// into `marker2` (32768 ones on entry).
dsp::CVec spreadChips(const FrameArgs& a, dsp::Rng& rng, dsp::Bits& marker2) {
    dsp::CVec frame(kChipsPerFrame);
    if (a.Mode == 1.0) {
        static const dsp::Bits macIdle = idleMACmask(kMargin), dataIdle = idleDATAmask(kMargin), bothIdle = bothIdleMask(kMargin);
        std::size_t bitCounter = 0;
        dsp::RVec rpcBits(kRpcChannels), rpcAmps(kRpcChannels);
        for (std::size_t i = 0; i < kSlots; ++i) {
            dsp::CVec mac;
            const bool macIdleSlot = !(a.RAactive[i] + a.RPCchnActive[i] >= 1);
            if (!macIdleSlot) {
                for (std::size_t k = 0; k < kRpcChannels; ++k) {
                    rpcBits[k] = a.RPCbits(i, k);
                    rpcAmps[k] = dsp::dbToAmplitude(a.RPCgains(i, k)) * a.RPCactive(i, k) * a.RPCchnActive[i];
                }
                mac = Zuno_FwdMACslot(rpcBits, rpcAmps, a.RAbit[i], dsp::dbToAmplitude(a.RAgain[i]) * a.RAactive[i]);
            } else {
                mac = Zuno_FwdIdleSlot(a.IdleSlotGainActive, a.IdleSlotGain, kMacChips, rng);
            }

            dsp::CVec data;
            const bool dataIdleSlot = a.DATAactive[i] != 1.0;
            if (!dataIdleSlot) {
                const auto need = static_cast<std::size_t>(a.DATAformat[i] + 1) * kTrafficChips;
                data = Zuno_FwdTrfChn(std::span(a.DATAbits).subspan(bitCounter, need), a.DATAformat[i], kTrafficChips);
                bitCounter += need;
            } else {
                data = Zuno_FwdIdleSlot(a.IdleSlotGainActive, a.IdleSlotGain, kTrafficChips, rng);
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
    const int r = checkedOversampling(a.oversamplingRate);
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
    out.waveform = filterChips(frame, r, filterKind(a.filterType));
    // Without mirroring the waveform is conjugated.
    const bool conjugate = a.mirrorSpectrum == 0.0;
    if (a.phaseEqActive == 1.0)
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
