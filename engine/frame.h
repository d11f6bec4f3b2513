#pragma once
// Entry of the waveform engine: one forward-link frame of 16 slots, oversampled and filtered.
#include <array>
#include <cstddef>

#include "dsp/noise.h"
#include "dsp/types.h"
#include "engine/baseband_filter.h"
#include "engine/frame_layout.h"

namespace engine {

constexpr double kChipRate = 1228800.0;
constexpr int kMaxOversampling = 256;  // 8.4 M samples; stored files may exceed the window's 30

// The engine's 18 arguments, in their order. Per-slot vectors hold 16 values (slot 1 first);
// the RPC matrices are 16 x 59 (row = slot, column k = MAC index k + 4).
struct FrameArgs {
    double Mode = 1;
    double PilotOffsetIndex = 0;
    dsp::RVec DATAactive = dsp::RVec(16, 0.0);
    dsp::RVec DATAformat = dsp::RVec(16, 1.0);
    dsp::Bits DATAbits;
    dsp::RVec RAactive = dsp::RVec(16, 0.0);
    dsp::RVec RAbit = dsp::RVec(16, 1.0);
    dsp::RVec RAgain = dsp::RVec(16, -3.0);
    dsp::RVec RPCchnActive = dsp::RVec(16, 0.0);
    dsp::Matrix RPCactive = dsp::Matrix(16, 59, 0.0);
    dsp::Matrix RPCbits = dsp::Matrix(16, 59, 1.0);
    dsp::Matrix RPCgains = dsp::Matrix(16, 59, -3.0);
    double IdleSlotGainActive = 1;
    double IdleSlotGain = -10;
    double oversamplingRate = 5;
    FilterType filterType = 3.0;
    double phaseEqActive = 1;
    double mirrorSpectrum = 0;
};

struct FrameResult {
    dsp::CVec waveform;           // 32768 * R samples
    std::array<dsp::Bits, 2> events;  // marker 1 (half-slot timing), marker 2 (RF blanking)
};

// Throws std::invalid_argument, naming the argument and its value, for input it cannot compute
// with, and for gains so large that the samples overflow (naming the largest gain in use).
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
