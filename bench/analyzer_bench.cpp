// Analysis of one frame with the PN offset searched: traffic and MAC on in every slot,
// the ACP filter with the equalizer.
#include <benchmark/benchmark.h>

#include "analyzer/analysis.h"
#include "bench/busy_frame.h"
#include "dsp/allocator.h"
#include "engine/frame.h"

namespace {

const bool tuned = (dsp::keepLargeBuffers(), true);

void analyze(benchmark::State& state, bool findReference) {
    engine::FrameArgs a = busyFrame(static_cast<int>(state.range(0)), engine::FilterKind::Is95Acp);
    a.PilotOffsetIndex = 300;
    const dsp::CVec wave = engine::Zuno_FwdChnFrame(a).waveform;
    analyzer::Options options = analyzer::optionsFor(a);
    if (findReference) options.filter.reset(), options.phaseEqualizer.reset();
    analyzer::analyze(wave, options);  // designs the filters and responses once
    for (auto _ : state) benchmark::DoNotOptimize(analyzer::analyze(wave, options));
}

void analyzeFrame(benchmark::State& state) { analyze(state, false); }
// The Analyze I/Q File dialog's default: every filter, with and without the equalizer.
void analyzeFindingTheReference(benchmark::State& state) { analyze(state, true); }

BENCHMARK(analyzeFrame)->Arg(2)->Arg(5)->Arg(30)->Unit(benchmark::kMillisecond);
BENCHMARK(analyzeFindingTheReference)->Arg(5)->Unit(benchmark::kMillisecond);

}  // namespace
