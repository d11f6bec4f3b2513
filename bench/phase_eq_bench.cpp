#include <benchmark/benchmark.h>

#include "dsp/allocator.h"
#include "engine/phase_eq.h"

namespace {

const bool tuned = (dsp::keepLargeBuffers(), true);

void PhaseEq(benchmark::State& state) {
    const int r = static_cast<int>(state.range(0));
    dsp::CVec x(32768 * static_cast<std::size_t>(r), dsp::cplx(0.5, -0.25));
    for (auto _ : state) benchmark::DoNotOptimize(engine::Zuno_FwdPhaseEq(x, r));
}
BENCHMARK(PhaseEq)->Arg(5)->Arg(30)->Unit(benchmark::kMillisecond);

}  // namespace
