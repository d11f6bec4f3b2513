#pragma once
// Entry of the waveform engine: one forward-link frame of 16 slots, oversampled and filtered.
#include <array>
#include <cstddef>

#include "dsp/noise.h"
#include "dsp/types.h"
#include "engine/baseband_filter.h"
#include "engine/frame_layout.h"
#include "engine/traffic.h"

namespace engine {

constexpr double kChipRate = 1228800.0;
// Samples per chip. 30 gives 983040 samples, a band of 36.9 MHz, far beyond four carriers;
// the filter designs are checked over this range.
constexpr int kMinOversampling = 2;
constexpr int kMaxOversampling = 30;

// A full forward-link frame, or the short PN code alone (every chip +1 before spreading).
enum class FrameMode { Full, PnOnly };

template <class T>
using PerSlot = std::array<T, kSlots>;
// One row per slot, one column per RPC channel (column k is MAC index k + 5).
template <class T>
using PerRpc = std::array<std::array<T, kRpcChannels>, kSlots>;

template <class T, std::size_t N>
constexpr std::array<T, N> filled(T v) {
    std::array<T, N> a{};
    a.fill(v);
    return a;
}
template <class T>
constexpr PerRpc<T> filledRpc(T v) {
    return filled<std::array<T, kRpcChannels>, kSlots>(filled<T, kRpcChannels>(v));
}

// The engine's 18 arguments, in their order, typed: kinds as enums, switches and bits as bools,
// gains in dB. The model makes them from the stored settings and refuses what is none of these.
struct FrameArgs {
    FrameMode Mode = FrameMode::Full;
    int PilotOffsetIndex = 0;
    PerSlot<bool> DATAactive{};
    PerSlot<Modulation> DATAformat = filled<Modulation, kSlots>(Modulation::Qpsk);
    dsp::Bits DATAbits;
    PerSlot<bool> RAactive{};
    PerSlot<bool> RAbit = filled<bool, kSlots>(true);
    PerSlot<double> RAgain = filled<double, kSlots>(-3.0);
    PerSlot<bool> RPCchnActive{};
    PerRpc<bool> RPCactive{};
    PerRpc<bool> RPCbits = filledRpc(true);
    PerRpc<double> RPCgains = filledRpc(-3.0);
    bool IdleSlotGainActive = true;
    double IdleSlotGain = -10;
    int oversamplingRate = 5;
    FilterKind filterType = FilterKind::Is95Acp;
    bool phaseEqActive = true;
    bool mirrorSpectrum = false;

    // Whether slot i's MAC part carries the RA or RPC channels; otherwise it is idle.
    bool macActive(std::size_t i) const { return RAactive[i] || RPCchnActive[i]; }
};

struct FrameResult {
    dsp::CVec waveform;           // 32768 * R samples
    std::array<dsp::Bits, 2> events;  // marker 1 (half-slot timing), marker 2 (RF blanking)
};

// Throws std::invalid_argument, naming the argument and its value, for input it cannot compute
// with (a gain that is no finite number, an oversampling or PN offset out of range, too few
// traffic bits), and for gains so large that the samples overflow (naming the largest gain in use).
// Idle noise is drawn from `rng`.
FrameResult Zuno_FwdChnFrame(const FrameArgs& args, dsp::Rng& rng = dsp::defaultRng());

// The frame's 32768 spread chips, which Zuno_FwdChnFrame oversamples and filters. Checks the
// arguments as it does, except the oversampling, which the chips do not depend on.
dsp::CVec frameChips(const FrameArgs& args, dsp::Rng& rng = dsp::defaultRng());

// The RF blanking masks (2048 values each) for a margin of m chips.
dsp::Bits idleMACmask(std::size_t m = 4);
dsp::Bits idleDATAmask(std::size_t m = 4);
dsp::Bits bothIdleMask(std::size_t m = 4);

}  // namespace engine
