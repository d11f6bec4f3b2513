#include "app/plot_menu.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "app/busy_pointer.h"
#include "app/common_controller.h"
#include "engine/dac.h"
#include "host/core/clock.h"
#include "host/core/number_text.h"
#include "host/qt/control.h"
#include "plots/plots.h"

namespace app {

namespace {

constexpr double kDacBits = 14;

double delaySamples(double delay, double overSampling) { return std::round(std::clamp(delay, 0.0, 1.0) * overSampling); }

}  // namespace

double answerNumber(const std::vector<std::string>& answers, std::size_t k, const std::string& prompt) {
    const std::string text = k < answers.size() ? answers[k] : std::string();
    const std::vector<double> numbers = host::textToNumbers(text);
    if (numbers.empty()) throw std::invalid_argument("'" + prompt + "' needs a number, not '" + text + "'");
    return numbers.front();
}

dsp::CVec playedWaveform(const AppContext& ctx) { return engine::applyDacRes(ctx.state.waveform, kDacBits); }

std::string plotLabel(AppContext& ctx) {
    host::ClockReading now = ctx.clock.now();
    now[5] = std::floor(now[5]);
    return ctx.state.appInfo.Name + " (" + host::clock2str(now) + ")";
}

EyeRequest eyeRequest(const std::vector<std::string>& answers, double samples, double overSampling) {
    const double first = answerNumber(answers, 0, "Enter number of symbols:");
    const double second = answerNumber(answers, 1, "Enter symbol delay (0-1):");
    EyeRequest r;
    r.symbols = std::min(std::round(std::max(first, 1.0)), samples / overSampling);
    r.delay = delaySamples(second, overSampling);
    return r;
}

ScatterRequest scatterRequest(const std::vector<std::string>& answers, double overSampling) {
    const double first = answerNumber(answers, 0, "Trace On (0|1):");
    const double second = answerNumber(answers, 1, "Enter symbol delay (0-1):");
    ScatterRequest r;
    r.trace = std::min(std::round(std::max(first, 0.0)), 1.0);
    r.delay = delaySamples(second, overSampling);
    return r;
}

PlotMenu::PlotMenu(AppContext& ctx, CommonController& common) : ctx_(ctx), common_(common) {
    host::Module& m = ctx_.registry.module(kCommonModule);
    m.add("menuPlotSpectrum_Callback", [this](const host::Call& c) { menuPlotSpectrum(c.handles); });
    m.add("menuPlotSpectrumAnalyzer_Callback", [this](const host::Call& c) { menuPlotSpectrumAnalyzer(c.handles); });
    m.add("menuPlotWaterfall_Callback", [this](const host::Call& c) { menuPlotWaterfall(c.handles); });
    m.add("menuPlotIQTime_Callback", [this](const host::Call& c) { menuPlotIQTime(c.handles, 0); });
    m.add("menuPlotIQTimeSameAxes_Callback", [this](const host::Call& c) { menuPlotIQTime(c.handles, 1); });
    m.add("menuPlotEyeDiagram_Callback", [this](const host::Call& c) { menuPlotEyeDiagram(c.handles); });
    m.add("menuPlotScatterDiagram_Callback", [this](const host::Call& c) { menuPlotScatterDiagram(c.handles); });
    m.add("menuPlotCCDF_Callback", [this](const host::Call& c) { menuPlotCCDF(c.handles); });
}

void PlotMenu::keep(QWidget* window) {
    if (window) ctx_.addClientWindow(window);
}

void PlotMenu::menuPlotSpectrum(const host::Handles& h) {
    if (!common_.checkWaveformReady(h, "Plot")) return;
    BusyPointer busy(ctx_.mainWindow);
    keep(plots::KV_PlotSpectrum(ctx_.mainWindow, plotLabel(ctx_), ctx_.state.waveformRate(),
                                playedWaveform(ctx_)));
}

void PlotMenu::menuPlotSpectrumAnalyzer(const host::Handles& h) {
    if (!common_.checkWaveformReady(h, "Plot")) return;
    BusyPointer busy(ctx_.mainWindow);
    keep(plots::KV_PlotSpectrumAnalyzer(ctx_.mainWindow, plotLabel(ctx_), ctx_.state.waveformRate(),
                                        ctx_.state.SigGenSettings.Amplitude,
                                        playedWaveform(ctx_), ctx_.dialogs, ctx_.state.waveformCarriersHz));
}

void PlotMenu::menuPlotWaterfall(const host::Handles& h) {
    if (!common_.checkWaveformReady(h, "Plot")) return;
    BusyPointer busy(ctx_.mainWindow);
    const double rate = ctx_.state.waveformRate();
    const double slice = (static_cast<double>(ctx_.state.waveform.size()) / rate) / 200.0;
    keep(plots::KV_PlotWaterfall(ctx_.mainWindow, plotLabel(ctx_), rate, slice,
                                 playedWaveform(ctx_)));
}

void PlotMenu::menuPlotIQTime(const host::Handles& h, double overlay) {
    if (!common_.checkWaveformReady(h, "Plot")) return;
    BusyPointer busy(ctx_.mainWindow);
    keep(plots::KV_PlotIQTime(ctx_.mainWindow, plotLabel(ctx_), ctx_.state.waveformRate(), overlay,
                              playedWaveform(ctx_)));
}

void PlotMenu::menuPlotEyeDiagram(const host::Handles& h) {
    if (!common_.checkWaveformReady(h, "Plot")) return;
    const auto answers = ctx_.dialogs.input("Eye Diagram Configuration",
                                            {"Enter number of symbols:", "Enter symbol delay (0-1):"}, {"1", "0"});
    if (!answers) return;
    const double os = ctx_.state.waveformOverSampling;
    const double samples = static_cast<double>(ctx_.state.waveform.size());
    const EyeRequest r = eyeRequest(*answers, samples, os);
    BusyPointer busy(ctx_.mainWindow);
    const double n = r.symbols * os;
    keep(plots::KV_PlotEyeDiagram(ctx_.mainWindow, plotLabel(ctx_), playedWaveform(ctx_), n,
                                  n / ctx_.state.waveformRate(), r.delay, ctx_.dialogs));
}

void PlotMenu::menuPlotScatterDiagram(const host::Handles& h) {
    if (!common_.checkWaveformReady(h, "Plot")) return;
    const auto answers = ctx_.dialogs.input("Scatter Diagram Configuration",
                                            {"Trace On (0|1):", "Enter symbol delay (0-1):"}, {"1", "0"});
    if (!answers) return;
    const double os = ctx_.state.waveformOverSampling;
    const ScatterRequest r = scatterRequest(*answers, os);
    BusyPointer busy(ctx_.mainWindow);
    keep(plots::KV_PlotScatterDiagram(ctx_.mainWindow, plotLabel(ctx_), playedWaveform(ctx_),
                                      os, r.delay, r.trace, ctx_.dialogs));
}

void PlotMenu::menuPlotCCDF(const host::Handles& h) {
    if (!common_.checkWaveformReady(h, "Plot")) return;
    BusyPointer busy(ctx_.mainWindow);
    keep(plots::KV_PlotCCDF(ctx_.mainWindow, plotLabel(ctx_), playedWaveform(ctx_), ctx_.state.markers[1],
                            ctx_.state.SigGenSettings.Amplitude, &ccdfReference_));
}

}  // namespace app
