#pragma once
// The benchmarks' frame: traffic and MAC on in every slot, the given filter, equalizer on.
#include "engine/bit_stream.h"
#include "engine/frame.h"

inline engine::FrameArgs busyFrame(int r, double filter) {
    engine::FrameArgs a;
    a.oversamplingRate = r;
    a.filterType = filter;
    a.DATAactive = dsp::RVec(16, 1.0);
    a.DATAformat = {1, 2, 3, 1, 2, 3, 1, 2, 3, 1, 2, 3, 1, 2, 3, 1};
    a.DATAbits = engine::GenerateBitStream(6, 16 * 6400);
    a.RAactive = dsp::RVec(16, 1.0);
    a.RPCchnActive = dsp::RVec(16, 1.0);
    a.RPCactive = dsp::Matrix(16, 59, 1.0);
    return a;
}
