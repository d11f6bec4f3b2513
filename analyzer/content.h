#pragma once
// What a frame carries, read from its chips: MAC channels, traffic symbols and bits, and the
// traffic data source.
#include <cstddef>
#include <optional>

#include "analyzer/decisions.h"
#include "analyzer/result.h"
#include "dsp/types.h"

namespace analyzer {

// Despread chips of one frame (half-slot 0 at chip 0) in units of the pilot: each half-slot's
// phase from its own pilot burst, the amplitude from all of them.
dsp::CVec pilotRelativeContent(const dsp::CVec& chips, int pnOffset);

struct SlotReading {
    SlotResult result;
    int format = 0;       // the engine's DATAformat (1 QPSK, 2 8-PSK, 3 16-QAM); 0 idle traffic
    dsp::Bits bits;       // the traffic bits decided, first symbol first
    double misfit = 0;    // chip energy the recovered content leaves unexplained
    double noise = 0;     // per chip in units of the pilot, from the slot's pilot bursts
    TrafficDoubt trafficDoubt = TrafficDoubt::None;
};

// The slot made of half-slots h and h + 1 (mod 32).
SlotReading readSlot(const dsp::CVec& content, std::size_t firstHalf);

struct SourceMatch {
    std::optional<int> source;  // 1..6; absent when no source explains the bits
    std::size_t errors = 0;
};

// The data source whose first bits differ least from `bits` (none when more than a tenth differ).
SourceMatch matchSource(const dsp::Bits& bits);

// The first `count` bits of data source 1..6.
dsp::Bits sourceBits(int source, std::size_t count);

}  // namespace analyzer
