#pragma once
// Where pilot, MAC and traffic chips lie. Both half-slots of a slot have the same layout, so
// positions are given within a half-slot of 1024 chips.
#include <cstddef>

#include "dsp/types.h"

namespace analyzer {

constexpr std::size_t kFrameChips = 32768;
constexpr std::size_t kHalfSlotChips = 1024;
constexpr std::size_t kHalfSlots = 32;
constexpr std::size_t kPilotStart = 464;  // 96 pilot chips
constexpr std::size_t kPilotLength = 96;
constexpr std::size_t kMacStarts[2] = {400, 560};  // 64 chips each
constexpr std::size_t kMacLength = 64;
constexpr std::size_t kDataRuns[2][2] = {{0, 400}, {624, 1024}};  // [start, end)
constexpr std::size_t kDataChipsPerHalfSlot = 800;

// The complex short code (1 - 2 pnI) + j (1 - 2 pnQ) at offset 0, one period.
const dsp::CVec& shortCode();

}  // namespace analyzer
