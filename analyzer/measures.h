#pragma once
// Waveform quality of aligned samples against the reference, measured as a bench analyzer does:
// both through the same channel filter, over the chips that carry a channel.
#include <array>
#include <string>
#include <vector>

#include "dsp/types.h"
#include "engine/frame.h"

namespace analyzer {

// Pilot, MAC and traffic runs all start and end on multiples of 16 chips.
constexpr std::size_t kPowerStepChips = 16;

struct Quality {
    // Over the active chips: the pilot, the MAC bursts of slots whose MAC is on, the traffic
    // chips of slots with traffic. Idle positions (idle noise, when on) are left out, with the
    // chips either side into which the filters spread them; rhoPilot counts the pilot among these.
    double rho = 0;
    double rhoPilot = 0;
    double evmRmsPercent = 0;
    double evmPeakPercent = 0;
    // Over every sample of the frame, idle positions included.
    double rhoWholeFrame = 0;
    double evmRmsPercentWholeFrame = 0;
    // Per slot over its active chips; the EVM against the frame's gain.
    std::array<double, engine::kSlots> slotRho{};
    std::array<double, engine::kSlots> slotEvmRmsPercent{};
    dsp::cplx gain = 0;  // z = gain x ref, best fit over the active chips
    // Mean power of z (after the channel filter) over each kPowerStepChips chips, in dB relative
    // to the pilot.
    dsp::RVec powerDb;
};

// Chip by chip (32768), whether the frame the arguments make carries a channel there.
std::vector<bool> activeChips(const engine::FrameArgs& frame);

// What the capture and the reference pass through before they are compared, at R samples per
// chip.
std::string channelFilterName(int r);
dsp::CVec channelFiltered(dsp::CVec x, int r);

// z and ref: one frame of 32768 R samples each, slot 1 first, as captured (the channel filter is
// applied here).
Quality measureQuality(const dsp::CVec& z, const dsp::CVec& ref, int r, const std::vector<bool>& active);

}  // namespace analyzer
