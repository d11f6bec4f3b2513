// Analysis of one frame with the PN offset searched: traffic and MAC on in every slot,
// the ACP filter with the equalizer; and of two frames captured at R = 8 or, resampled, at 10 MHz.
#include <benchmark/benchmark.h>

#include "analyzer/analysis.h"
#include "analyzer/frames.h"
#include "bench/busy_frame.h"
#include "dsp/allocator.h"
#include "dsp/resample.h"
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

// Two frames of the repeating output at R = 8 from a third of the way in, taken at `rate`.
void analyzeCapture(benchmark::State& state, double rate) {
    engine::FrameArgs a = busyFrame(8, engine::FilterKind::Is95Acp);
    a.PilotOffsetIndex = 300;
    const dsp::CVec wave = engine::Zuno_FwdChnFrame(a).waveform;
    dsp::CVec x;
    for (int rep = 0; rep < 3; ++rep) x.insert(x.end(), wave.begin(), wave.end());
    x.erase(x.begin(), x.begin() + static_cast<std::ptrdiff_t>(wave.size() / 3));
    x.resize(2 * wave.size());
    analyzer::Options options = analyzer::optionsFor(a);
    if (rate != options.sampleRate) {
        const dsp::Resampling how{options.sampleRate / rate, 0.1};
        x = dsp::resample(x, how, dsp::resampledCount(x.size(), how.step));
        options.sampleRate = rate;
    }
    analyzer::analyze(x, options);
    for (auto _ : state) benchmark::DoNotOptimize(analyzer::analyze(x, options));
}

void analyzeCaptureAtR8(benchmark::State& state) { analyzeCapture(state, 8 * engine::kChipRate); }
void analyzeCaptureAt10MHz(benchmark::State& state) { analyzeCapture(state, 10e6); }

// Each further frame of an endless stream of the repeating output, read on the lock the frame
// before left: what following a live capture costs per frame.
void furtherFrame(benchmark::State& state) {
    const int r = static_cast<int>(state.range(0));
    engine::FrameArgs a = busyFrame(r, engine::FilterKind::Is95Acp);
    a.PilotOffsetIndex = 300;
    const dsp::CVec wave = engine::Zuno_FwdChnFrame(a).waveform;
    std::size_t at = wave.size() / 3;
    analyzer::FrameReader reader(
        [&](dsp::cplx* out, std::size_t n) {
            for (std::size_t i = 0; i < n; ++i, at = (at + 1) % wave.size()) out[i] = wave[at];
            return n;
        },
        analyzer::optionsFor(a));
    reader.next();  // the search
    reader.next();
    for (auto _ : state) {
        const auto frame = reader.next();
        if (!frame || frame->summary.lock != "kept") state.SkipWithError("the lock was lost");
        benchmark::DoNotOptimize(frame);
    }
}

BENCHMARK(furtherFrame)->Arg(2)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(analyzeFrame)->Arg(2)->Arg(5)->Arg(30)->Unit(benchmark::kMillisecond);
BENCHMARK(analyzeFindingTheReference)->Arg(5)->Unit(benchmark::kMillisecond);
BENCHMARK(analyzeCaptureAtR8)->Unit(benchmark::kMillisecond);
BENCHMARK(analyzeCaptureAt10MHz)->Unit(benchmark::kMillisecond);

}  // namespace
