#pragma once
// The frame layout the engine makes (engine/frame_layout.h), and the short code the chips are
// spread with.
#include "dsp/types.h"
#include "engine/frame_layout.h"

namespace analyzer {

using engine::kChipsPerFrame;
using engine::kDataChipsPerHalfSlot;
using engine::kDataRuns;
using engine::kHalfSlotChips;
using engine::kHalfSlots;
using engine::kMacBurstChips;
using engine::kMacStarts;
using engine::kPilotChips;
using engine::kPilotStart;

// The complex short code (1 - 2 pnI) + j (1 - 2 pnQ) at offset 0, one period.
const dsp::CVec& shortCode();

}  // namespace analyzer
