#pragma once
// The frame layout the engine makes (engine/frame_layout.h), and the short code the chips are
// spread with, advanced in steps of kPilotOffsetChips per PN offset.
#include "dsp/types.h"
#include "engine/frame_layout.h"
#include "engine/pn_codes.h"

namespace analyzer {

using engine::kChipsPerFrame;
using engine::kDataChipsPerHalfSlot;
using engine::kDataRuns;
using engine::kHalfSlotChips;
using engine::kHalfSlots;
using engine::kMacBurstChips;
using engine::kMacStarts;
using engine::kPilotChips;
using engine::kPilotOffsetChips;
using engine::kPilotStart;

// PN offsets: 512 in all, 16 within a half-slot (the pilot bursts repeat every half-slot).
constexpr std::size_t kPilotOffsets = static_cast<std::size_t>(engine::kMaxPilotOffset) + 1;
constexpr std::size_t kOffsetsPerHalfSlot = kHalfSlotChips / kPilotOffsetChips;

// The complex short code (1 - 2 pnI) + j (1 - 2 pnQ) at offset 0, one period.
const dsp::CVec& shortCode();

}  // namespace analyzer
