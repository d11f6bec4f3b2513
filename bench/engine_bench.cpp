// Frame generation and filter design speed.
#include <benchmark/benchmark.h>

#include "bench/busy_frame.h"
#include "dsp/allocator.h"
#include "engine/baseband_filter.h"
#include "engine/bit_stream.h"
#include "engine/frame.h"

namespace {

const bool tuned = (dsp::keepLargeBuffers(), true);

void frame(benchmark::State& state, engine::FilterKind filter) {
    const auto args = busyFrame(static_cast<int>(state.range(0)), filter);
    dsp::Rng rng(1);
    engine::Zuno_FwdChnFrame(args, rng);  // designs and caches the coefficients
    for (auto _ : state) benchmark::DoNotOptimize(engine::Zuno_FwdChnFrame(args, rng));
    state.SetItemsProcessed(state.iterations() * 32768 * state.range(0));
}

void FrameRectangular(benchmark::State& s) { frame(s, engine::FilterKind::Rectangular); }
void FrameIs95Std(benchmark::State& s) { frame(s, engine::FilterKind::Is95Std); }
void FrameIs95Acp(benchmark::State& s) { frame(s, engine::FilterKind::Is95Acp); }
BENCHMARK(FrameRectangular)->Arg(2)->Arg(5)->Arg(30)->Unit(benchmark::kMillisecond);
BENCHMARK(FrameIs95Std)->Arg(2)->Arg(5)->Arg(30)->Unit(benchmark::kMillisecond);
BENCHMARK(FrameIs95Acp)->Arg(2)->Arg(5)->Arg(30)->Unit(benchmark::kMillisecond);

void DesignIs95Std(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(engine::FilterCoeff_IS95_Std(static_cast<int>(state.range(0))));
}
void DesignIs95Acp(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(engine::FilterCoeff_IS95_Acp(static_cast<int>(state.range(0))));
}
BENCHMARK(DesignIs95Std)->Arg(2)->Arg(5)->Arg(16)->Arg(30)->Unit(benchmark::kMillisecond);
// Every oversampling of the window's range: the number of exchange iterations varies with R.
BENCHMARK(DesignIs95Acp)->DenseRange(2, 30)->Unit(benchmark::kMillisecond);

// The stages of the R = 30 frame on their own.
void FilterChipsAcp30(benchmark::State& state) {
    dsp::CVec chips(32768, dsp::cplx(1, -1));
    engine::filterChips(chips, 30, engine::FilterKind::Is95Acp);
    for (auto _ : state) benchmark::DoNotOptimize(engine::filterChips(chips, 30, engine::FilterKind::Is95Acp));
}
BENCHMARK(FilterChipsAcp30)->Unit(benchmark::kMillisecond);

}  // namespace
