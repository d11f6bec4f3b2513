// Analysis of one frame with the PN offset searched: traffic and MAC on in every slot,
// the ACP filter with the equalizer.
#include <benchmark/benchmark.h>

#include "analyzer/analysis.h"
#include "bench/busy_frame.h"
#include "dsp/allocator.h"
#include "engine/frame.h"

namespace {

const bool tuned = (dsp::keepLargeBuffers(), true);

void analyzeFrame(benchmark::State& state) {
    engine::FrameArgs a = busyFrame(static_cast<int>(state.range(0)), 3);
    a.PilotOffsetIndex = 300;
    const dsp::CVec wave = engine::Zuno_FwdChnFrame(a).waveform;
    const analyzer::Options options = analyzer::optionsFor(a);
    analyzer::analyze(wave, options);  // designs the filters and responses once
    for (auto _ : state) benchmark::DoNotOptimize(analyzer::analyze(wave, options));
}

BENCHMARK(analyzeFrame)->Arg(2)->Arg(5)->Arg(30)->Unit(benchmark::kMillisecond);

}  // namespace
