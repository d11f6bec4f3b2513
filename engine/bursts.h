#pragma once
// Pilot, MAC and idle-slot chip vectors of one slot.
#include <cstddef>

#include "dsp/noise.h"
#include "dsp/types.h"
#include "engine/frame_layout.h"

namespace engine {

// 96 chips of +1.
dsp::RVec Zuno_FwdPilot();

// RPCbits and RPCgains: 59 values each (column k is MAC index k + 4); gains are linear amplitudes,
// already gated by the activity flags. Returns the 64-chip MAC row repeated four times.
dsp::CVec Zuno_FwdMACslot(const dsp::RVec& RPCbits, const dsp::RVec& RPCgains, double RAbit, double RAgain);

// Complex white Gaussian noise of power 10^(IdleSlotGain/10) when IdleSlotGainActive is non-zero,
// zeros otherwise.
dsp::CVec Zuno_FwdIdleSlot(double IdleSlotGainActive, double IdleSlotGain, std::size_t NumberOfChips,
                           dsp::Rng& rng = dsp::defaultRng());

}  // namespace engine
