#pragma once
// Where a forward-link frame's chips lie: the engine places them there and the analyzer reads
// them there. Both half-slots of a slot have the same layout, so positions within a slot are
// given within a half-slot.
#include <cstddef>

namespace engine {

constexpr std::size_t kSlots = 16;
constexpr std::size_t kChipsPerSlot = 2048;
constexpr std::size_t kChipsPerFrame = kSlots * kChipsPerSlot;
constexpr std::size_t kHalfSlotChips = kChipsPerSlot / 2;
constexpr std::size_t kHalfSlots = 2 * kSlots;

// Within a half-slot: traffic, MAC, pilot, MAC, traffic.
constexpr std::size_t kPilotStart = 464;
constexpr std::size_t kPilotChips = 96;
constexpr std::size_t kMacStarts[2] = {400, 560};
constexpr std::size_t kMacBurstChips = 64;
constexpr std::size_t kDataRuns[2][2] = {{0, 400}, {624, 1024}};  // [start, end)
constexpr std::size_t kDataChipsPerHalfSlot = 800;

// Per slot.
constexpr std::size_t kMacChips = 4 * kMacBurstChips;
constexpr std::size_t kTrafficChips = 2 * kDataChipsPerHalfSlot;

// RPC channels of the MAC: column k of the RPC matrices is MAC index k + 5.
constexpr std::size_t kRpcChannels = 59;

}  // namespace engine
