#pragma once
// The benchmarks' frame: traffic and MAC on in every slot, the given filter, equalizer on.
#include "engine/bit_stream.h"
#include "engine/frame.h"

inline engine::FrameArgs busyFrame(int r, engine::FilterKind filter) {
    using engine::Modulation;
    engine::FrameArgs a;
    a.oversamplingRate = r;
    a.filterType = filter;
    a.DATAactive.fill(true);
    for (std::size_t i = 0; i < engine::kSlots; ++i) a.DATAformat[i] = static_cast<Modulation>(1 + i % 3);
    a.DATAbits = engine::GenerateBitStream(6, 16 * 6400);
    a.RAactive.fill(true);
    a.RPCchnActive.fill(true);
    a.RPCactive = engine::filledRpc(true);
    return a;
}
