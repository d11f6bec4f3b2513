// Plot windows over the largest frame (oversampling 30, 983040 samples) and over a waveform of
// several frames (4194304 samples, as several carriers make): opened and drawn, and the
// computations behind them alone. The time per sample should not grow with the length.
#include <QApplication>
#include <QPixmap>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <map>

#include "model/calculate.h"
#include "busy_frame.h"
#include "model/records.h"
#include "engine/dac.h"
#include "host/qt/dialogs.h"
#include "plots/core/ccdf.h"
#include "plots/core/spectrum.h"
#include "plots/core/time_plots.h"
#include "plots/core/welch.h"
#include "plots/plots.h"
#include "analyzer/analysis.h"

namespace {

constexpr double kRate = 1228800.0 * 30;

// At oversampling 30: the engine's arguments from the application's default settings, or the
// benchmarks' busy frame (MAC and traffic in every slot, all three modulations).
model::Parameters defaultSettings() {
    model::Parameters p = model::InitializeParameters();
    p.OverSampling = 30;
    return p;
}

engine::FrameArgs frameArgs(bool busy) { return busy ? busyFrame(30, engine::FilterKind::Is95Acp) : model::frameArguments(defaultSettings(), {}); }

const dsp::CVec& frameOf(bool busy) {
    static const dsp::CVec waves[2] = {[] {
                                           dsp::Rng rng(1);
                                           return engine::applyDacRes(model::Calculate(defaultSettings(), rng).waveform, 14);
                                       }(),
                                       engine::applyDacRes(engine::Zuno_FwdChnFrame(busyFrame(30, engine::FilterKind::Is95Acp)).waveform, 14)};
    return waves[busy];
}

const dsp::CVec& samples() { return frameOf(false); }

constexpr long kOneFrame = 983040;
constexpr long kLong = 4194304;

// The frame repeated to `length` samples.
const dsp::CVec& samples(long length) {
    static std::map<long, dsp::CVec> made;
    dsp::CVec& x = made[length];
    if (x.empty()) {
        const dsp::CVec& frame = samples();
        x.resize(static_cast<std::size_t>(length));
        for (std::size_t k = 0; k < x.size(); ++k) x[k] = frame[k % frame.size()];
    }
    return x;
}

// A main window of a usual size for the plots to open next to.
QWidget& parent() {
    static QWidget w;
    w.setGeometry(100, 100, 1000, 800);
    return w;
}

host::QtDialogs& dialogs() {
    static host::QtDialogs d;  // never shown: the benchmarks only open and draw
    return d;
}

// `length` 0: the frame itself.
template <class Open>
void window(benchmark::State& state, Open open, long length = 0) {
    const dsp::CVec& x = length > 0 ? samples(length) : samples();
    for (auto _ : state) {
        plots::PlotWindow* w = open(x);
        // Drawn: everything painted once, as the screen would show it.
        benchmark::DoNotOptimize(w->grab());
        state.PauseTiming();
        delete w;
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(x.size()));
}

void SpectrumWindow(benchmark::State& s) {
    window(s, [](const dsp::CVec& x) { return plots::KV_PlotSpectrum(&parent(), "bench", kRate, x); }, s.range(0));
}
// Three carriers, each with its channel power.
void SpectrumAnalyzerCarriersWindow(benchmark::State& s) {
    window(s, [](const dsp::CVec& x) {
        return plots::KV_PlotSpectrumAnalyzer(&parent(), "bench", kRate, -30, x, dialogs(), {-1.25e6, 0, 1.25e6});
    }, s.range(0));
}
void CcdfWindow(benchmark::State& s) {
    window(s, [](const dsp::CVec& x) { return plots::KV_PlotCCDF(&parent(), "bench", x); }, s.range(0));
}
void IqTimeWindow(benchmark::State& s) {
    window(s, [](const dsp::CVec& x) { return plots::KV_PlotIQTime(&parent(), "bench", kRate, 0, x); }, s.range(0));
}
void WaterfallWindow(benchmark::State& s) {
    window(s, [](const dsp::CVec& x) {
        return plots::KV_PlotWaterfall(&parent(), "bench", kRate, (double(x.size()) / kRate) / 200, x);
    }, s.range(0));
}
// One symbol per trace (30 samples) and one point per symbol: the busiest the menu makes them.
void EyeDiagramWindow(benchmark::State& s) {
    window(s, [](const dsp::CVec& x) {
        return plots::KV_PlotEyeDiagram(&parent(), "bench", x, 30, 30 / kRate, 0, dialogs());
    }, s.range(0));
}
void ScatterDiagramWindow(benchmark::State& s) {
    window(
        s, [](const dsp::CVec& x) { return plots::KV_PlotScatterDiagram(&parent(), "bench", x, 30, 0, 1, dialogs()); },
        s.range(0));
}
// The default 30 kHz resolution bandwidth over every segment of the frame.
void SpectrumAnalyzerWindow(benchmark::State& s) {
    window(s, [](const dsp::CVec& x) {
        return plots::KV_PlotSpectrumAnalyzer(&parent(), "bench", kRate, -30, x, dialogs());
    }, s.range(0));
}
// Plot > Measure...: the analysis against the frame's own settings (PN offset searched), the
// window opened and drawn. The default frame (pilots and idle noise) and the busy one.
void MeasureWindow(benchmark::State& s, bool busy) {
    const analyzer::Options options = analyzer::optionsFor(frameArgs(busy));
    window(s, [&](const dsp::CVec&) { return plots::KV_PlotMeasure(&parent(), "bench", analyzer::analyze(frameOf(busy), options)); });
}
// The window alone, from an analysis made beforehand.
void MeasureWindowDrawn(benchmark::State& s) {
    const analyzer::Result r = analyzer::analyze(frameOf(true), analyzer::optionsFor(frameArgs(true)));
    window(s, [&](const dsp::CVec&) { return plots::KV_PlotMeasure(&parent(), "bench", r); });
}
BENCHMARK_CAPTURE(MeasureWindow, DefaultFrame, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(MeasureWindow, BusyFrame, true)->Unit(benchmark::kMillisecond);
BENCHMARK(MeasureWindowDrawn)->Unit(benchmark::kMillisecond);
BENCHMARK(SpectrumWindow)->Arg(kOneFrame)->Arg(kLong)->Unit(benchmark::kMillisecond);
BENCHMARK(SpectrumAnalyzerWindow)->Arg(kOneFrame)->Arg(kLong)->Unit(benchmark::kMillisecond);
BENCHMARK(SpectrumAnalyzerCarriersWindow)->Arg(kLong)->Unit(benchmark::kMillisecond);
BENCHMARK(CcdfWindow)->Arg(kOneFrame)->Arg(kLong)->Unit(benchmark::kMillisecond);
BENCHMARK(IqTimeWindow)->Arg(kOneFrame)->Arg(kLong)->Unit(benchmark::kMillisecond);
BENCHMARK(WaterfallWindow)->Arg(kOneFrame)->Arg(kLong)->Unit(benchmark::kMillisecond);
BENCHMARK(EyeDiagramWindow)->Arg(kOneFrame)->Arg(kLong)->Unit(benchmark::kMillisecond);
BENCHMARK(ScatterDiagramWindow)->Arg(kOneFrame)->Arg(kLong)->Unit(benchmark::kMillisecond);

void SpectrumData(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(plots::computeSpectrum(kRate, samples()));
}
void CcdfData(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(plots::computeCcdf(samples()));
}
void WaterfallData(benchmark::State& state) {
    const double slice = (double(samples().size()) / kRate) / 200;
    for (auto _ : state) benchmark::DoNotOptimize(plots::computeWaterfall(kRate, slice, samples()));
}
void WelchData(benchmark::State& state) {
    const std::size_t length = plots::welchLength(kRate, 30e3);
    for (auto _ : state) benchmark::DoNotOptimize(plots::welch(samples(), kRate, length, 0));
}
void EyeData(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(plots::eyeDensity(samples(), 30, 30 / kRate, 0, 300, 300));
}
BENCHMARK(SpectrumData)->Unit(benchmark::kMillisecond);
BENCHMARK(WelchData)->Unit(benchmark::kMillisecond);
BENCHMARK(EyeData)->Unit(benchmark::kMillisecond);
BENCHMARK(CcdfData)->Unit(benchmark::kMillisecond);
BENCHMARK(WaterfallData)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
