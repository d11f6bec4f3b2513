// Analysis of one frame with the PN offset searched: the busiest content, every filter.
#include <benchmark/benchmark.h>

#include "analyzer/analysis.h"
#include "dsp/allocator.h"
#include "engine/bit_stream.h"
#include "engine/frame.h"

namespace {

const bool tuned = (dsp::keepLargeBuffers(), true);

void analyzeFrame(benchmark::State& state) {
    engine::FrameArgs a;
    a.oversamplingRate = static_cast<double>(state.range(0));
    a.PilotOffsetIndex = 300;
    a.DATAactive = dsp::RVec(16, 1.0);
    a.DATAformat = {1, 2, 3, 1, 2, 3, 1, 2, 3, 1, 2, 3, 1, 2, 3, 1};
    a.DATAbits = engine::GenerateBitStream(6, 16 * 6400);
    a.RAactive = dsp::RVec(16, 1.0);
    a.RPCchnActive = dsp::RVec(16, 1.0);
    a.RPCactive = dsp::Matrix(16, 59, 1.0);
    const dsp::CVec wave = engine::Zuno_FwdChnFrame(a).waveform;
    const analyzer::Options options = analyzer::optionsFor(a);
    analyzer::analyze(wave, options);  // designs the filters and responses once
    for (auto _ : state) benchmark::DoNotOptimize(analyzer::analyze(wave, options));
}

BENCHMARK(analyzeFrame)->Arg(2)->Arg(5)->Arg(30)->Unit(benchmark::kMillisecond);

}  // namespace
