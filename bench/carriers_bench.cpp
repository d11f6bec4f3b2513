// Multi-carrier waveforms against the single frames they are made of: two carriers 1.25 MHz
// apart at R = 8 loop in three frames.
#include <benchmark/benchmark.h>

#include "dsp/allocator.h"
#include "dsp/gaussian.h"
#include "model/calculate.h"
#include "model/carriers.h"

namespace {

const bool tuned = (dsp::keepLargeBuffers(), true);

model::Parameters busy() {
    model::Parameters p = model::InitializeParameters();
    p.OverSampling = 8;
    p.ProjectedLength = model::projectedLength(8);
    p.DATAchnActive = 1;
    p.MACchnActive = 1;
    return p;
}

void ThreeSingleFrames(benchmark::State& state) {
    const auto p = busy();
    dsp::Rng rng(1);
    model::Calculate(p, rng);  // designs and caches the filter
    for (auto _ : state)
        for (int i = 0; i < 3; ++i) benchmark::DoNotOptimize(model::Calculate(p, rng));
}
BENCHMARK(ThreeSingleFrames)->Unit(benchmark::kMillisecond);

void TwoCarriers(benchmark::State& state, bool noise, bool crest) {
    const auto p = busy();
    model::CarrierPlan plan;
    plan.carriers = {model::Carrier{-625000, 0, {}, {}}, model::Carrier{625000, 0, {}, 12}};
    if (noise) plan.noiseCnDb = 20;
    if (crest) plan.crestDb = 7;
    model::calculateCarriers(p, plan, 1);
    int passes = 0;
    for (auto _ : state) {
        auto w = model::calculateCarriers(p, plan, 1);
        if (w.crest) passes = w.crest->iterations;
        benchmark::DoNotOptimize(w);
    }
    if (crest) state.counters["passes"] = passes;
}
void TwoCarriersPlain(benchmark::State& s) { TwoCarriers(s, false, false); }
void TwoCarriersNoise(benchmark::State& s) { TwoCarriers(s, true, false); }
void TwoCarriersCrest7(benchmark::State& s) { TwoCarriers(s, false, true); }
BENCHMARK(TwoCarriersPlain)->Unit(benchmark::kMillisecond);
BENCHMARK(TwoCarriersNoise)->Unit(benchmark::kMillisecond);
BENCHMARK(TwoCarriersCrest7)->Unit(benchmark::kMillisecond);

}  // namespace

namespace {

// The noise of three frames at R = 8 on its own.
void ComplexNoise(benchmark::State& state) {
    dsp::GaussianSource gaussian(1);
    dsp::CVec w(3 * 32768 * 8);
    for (auto _ : state) {
        gaussian.mixComplexNoise(w, 1.0, 1.0);
        benchmark::DoNotOptimize(w.data());
    }
}
BENCHMARK(ComplexNoise)->Unit(benchmark::kMillisecond);

}  // namespace
