#include "app/main_window.h"

#include <QComboBox>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <functional>
#include <stdexcept>
#include <vector>

#include "editors/carrier_setup.h"
#include "engine/frame_layout.h"
#include "model/calculate.h"
#include "model/carriers.h"
#include "model/settings_table.h"
#include "app/status_line.h"
#include "app/window_parts.h"
#include "host/core/number_text.h"
#include "host/qt/binder.h"
#include "host/qt/control.h"
#include "host/qt/layout.h"
#include "plots/screen_fit.h"
#include "host/qt/numeric_entry.h"

namespace app {

using host::Call;
using host::ctl;
using host::Handles;

namespace {

constexpr double kMinimumSplashSeconds = 3.0;

// A frame setting typed into its field: the number, optionally truncated toward zero, limited
// to low ... high; text that is no number keeps `kept` (the status line says why).
double readSetting(QObject* field, const host::NumericField& how, double kept, double low, double high,
                   bool truncate, const std::string& unit = {}) {
    const auto x = host::readField(field, how, host::numberText(kept) + unit);
    if (!x) return kept;
    return std::clamp(truncate ? std::trunc(*x) : *x, low, high);
}

const host::NumericField kOffsetField{"Pilot PN offset index", {}};
const host::NumericField kIdleGainField{"Noise power", {{"dB", 1}}};
const host::NumericField kOversamplingField{"Oversampling", {}};

// The limits of an entry field are its settings-table row's.
const model::SettingRow& row(std::string_view name) { return model::settingRow("parameters", name); }

// A pop-up list holds its field's codes in order, so that list position k is code k.
void fillList(QObject* popup, std::string_view field) {
    auto* box = qobject_cast<QComboBox*>(popup);
    if (!box) throw std::runtime_error("the list of " + std::string(field) + " is missing");
    box->clear();
    for (const model::SettingCode& code : row(field).codes) {
        std::string name(code.name);
        name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
        box->addItem(QString::fromStdString(name));
    }
}

}  // namespace

MainWindow::MainWindow(AppContext& ctx) : ctx_(ctx) {
    host::Module& m = ctx_.registry.module(kMainModule);
    AppState& s = ctx_.state;
    m.add("InitializeAppInfo", [&s](const Call&) { s.appInfo = model::InitializeAppInfo(); });
    m.add("InitializeConfiguration", [&s](const Call&) { s.configuration = model::InitializeConfiguration(); });
    m.add("InitializeParameters", [&s](const Call&) {
        s.parameters = model::InitializeParameters();
        s.carrierPlan = {};
    });
    m.add("InitializeSigGenSettings", [&s](const Call&) { s.SigGenSettings = model::InitializeSigGenSettings(s.parameters); });
    m.add("InitializeFigures", [this](const Call&) { InitializeFigures(); });
    m.add("InitializeFigure", [this](const Call& c) { InitializeFigure(c.handles); });
    m.add("redraw", [this](const Call& c) { redraw(c.handles); });
    m.add("redrawFormatParameters", [this](const Call& c) { redrawFormatParameters(c.handles); });
    m.add("Calculate", [this](const Call&) { Calculate(); });

    model::Parameters& p = s.parameters;
    // Every setting changed here may mark the title as unsaved, or clear the mark again.
    auto callback = [this, &m](const char* name, std::function<void(QObject*, const Handles&)> f) {
        m.add(name, [this, f = std::move(f)](const Call& c) {
            f(c.source, c.handles);
            ctx_.registry.call(kCommonModule, "redrawAppTitle", Call{nullptr, c.handles});
        });
    };
    callback("pdMode_Callback", [this, &p](QObject* h, const Handles& hs) {
        p.Mode = ctl(h).value();
        redrawFormatParameters(hs);
    });
    callback("txtOffsetIndex_Callback", [this, &p](QObject* h, const Handles& hs) {
        const auto& r = row("PilotOffsetIndex");
        p.PilotOffsetIndex = readSetting(h, kOffsetField, p.PilotOffsetIndex, r.lo, r.hi, true);
        redrawFormatParameters(hs);
    });
    callback("chkMACchnActive_Callback", [&p](QObject* h, const Handles&) { p.MACchnActive = ctl(h).value(); });
    callback("chkDATAchnActive_Callback", [this, &p](QObject* h, const Handles& hs) {
        p.DATAchnActive = ctl(h).value();
        redrawFormatParameters(hs);
    });
    callback("pdDATAsourceType_Callback", [&p](QObject* h, const Handles&) { p.DATAsourceType = ctl(h).value(); });
    callback("chkIdleSlotGainActive_Callback", [this, &s](QObject* h, const Handles& hs) {
        s.parameters.IdleSlotGainActive = ctl(h).value();
        // RF blanking is on exactly when idle slots carry no noise.
        s.SigGenSettings.RFblanking = 1 - s.parameters.IdleSlotGainActive;
        redraw(hs);
    });
    callback("txtIdleSlotGain_Callback", [this, &p](QObject* h, const Handles& hs) {
        const auto& r = row("IdleSlotGain");
        p.IdleSlotGain = readSetting(h, kIdleGainField, p.IdleSlotGain, r.lo, r.hi, false, " dB");
        redrawFormatParameters(hs);
    });
    callback("txtOversampling_Callback", [this, &s](QObject* h, const Handles& hs) {
        const auto& r = row("OverSampling");
        s.parameters.OverSampling = readSetting(h, kOversamplingField, s.parameters.OverSampling, r.lo, r.hi, true);
        s.parameters.ProjectedLength = model::projectedLength(s.parameters.OverSampling);
        s.SigGenSettings.SamplingRate = model::samplingRate(s.parameters.OverSampling);
        redraw(hs);
    });
    callback("pdFilterType_Callback", [&p](QObject* h, const Handles&) { p.FilterType = ctl(h).value(); });
    callback("chkPhaseEq_Callback", [&p](QObject* h, const Handles&) { p.PhaseEq = ctl(h).value(); });
    callback("chkMirrorSpectrum_Callback", [&p](QObject* h, const Handles&) { p.MirrorSpectrum = ctl(h).value(); });
    callback("pbSlotSetup_Callback", [this, &p](QObject*, const Handles&) {
        if (!ctx_.slotSetup) throw std::runtime_error("the slot setup dialog is missing");
        auto [response, slot] = ctx_.slotSetup(ctx_.figureList.figSlotSetup, p.slot);
        if (response == "OK") p.slot = slot;
    });
    // A menu item, and so an operation of the common module; the plan is the signal's, as here.
    ctx_.registry.module(kCommonModule).add("menuConfigCarriers_Callback", [this](const Call& c) {
        if (!ctx_.carrierSetup) throw std::runtime_error("the carriers and noise dialog is missing");
        auto [response, plan] = ctx_.carrierSetup(ctx_.figureList.figCarriers, ctx_.state.parameters, ctx_.state.carrierPlan);
        if (response != "OK") return;
        ctx_.state.carrierPlan = std::move(plan);
        redrawFormatParameters(c.handles);
        ctx_.registry.call(kCommonModule, "redrawAppTitle", Call{nullptr, c.handles});
    });
}

QWidget* MainWindow::start() {
    QWidget* splash = KV_Splash(ctx_.registry);
    const double started = ctx_.clock.elapsed();
    host::Module& m = *ctx_.registry.find(kMainModule);
    for (const char* init : {"InitializeAppInfo", "InitializeConfiguration", "InitializeParameters",
                             "InitializeSigGenSettings"})
        m.invoke(init, {});
    QWidget* main = InitializeFigures();
    const Handles handles(main);
    InitializeFigure(handles);
    redraw(handles);
    // The splash stays up for at least three seconds in all.
    const double spent = ctx_.clock.elapsed() - started;
    if (spent < kMinimumSplashSeconds) ctx_.clock.pause(kMinimumSplashSeconds - spent);
    host::closeWindow(splash);
    splash->deleteLater();
    main->show();
    main->raise();
    main->activateWindow();
    return main;
}

QWidget* MainWindow::InitializeFigures() {
    QWidget* main = host::loadFigure("Zuno_Fwd_GUI_c", nullptr, ctx_.registry);
    ctx_.mainWindow = main;
    KV_AddMenu(main, ctx_.state.appInfo.Platform, ctx_.registry);
    addStatusLine(main);
    plots::fitOnScreen(main);
    ctx_.registry.module(kCommonModule).invoke("InitializeFigure", Call{nullptr, Handles(main)});

    // The dialog windows, hidden, centred on the main window; each dialog arrives with its module.
    struct Dialog {
        const char* layout;
        QPointer<QWidget> FigureList::*slot;
        const char* module;
    };
    for (const Dialog& d : {Dialog{"Zuno_Fwd_GUI_SlotSetup", &FigureList::figSlotSetup, "Zuno_Fwd_GUI_SlotSetup"},
                            Dialog{"Zuno_Fwd_GUI_RPCsetup", &FigureList::figRPCsetup, "Zuno_Fwd_GUI_RPCsetup"},
                            Dialog{"VskConfigAdv_c", &FigureList::AdvSettings, "VskConfigAdv_c"},
                            Dialog{"Zuno_Fwd_GUI_Carriers", &FigureList::figCarriers, "Zuno_Fwd_GUI_Carriers"}}) {
        // A missing layout or module fails the start-up: a window that silently never opens is worse.
        QWidget* w = host::loadFigure(d.layout, main, ctx_.registry);
        plots::fitOnScreen(w);
        ctx_.figureList.*d.slot = w;
        if (!ctx_.registry.has(d.module, "InitializeFigure"))
            throw std::runtime_error(std::string("the dialog window ") + d.layout + " has no module " + d.module +
                                     " to initialise it");
        ctx_.registry.find(d.module)->invoke("InitializeFigure", Call{nullptr, Handles(w)});
    }
    return main;
}

void MainWindow::InitializeFigure(const Handles& h) {
    using host::numberText;
    const std::pair<const char*, std::string> tooltips[] = {
        {"pdMode", "Selects the format mode."},
        {"txtOffsetIndex", "Sets the Pilot Channel offset index.\n Valid Range: " + numberText(row("PilotOffsetIndex").lo) +
                               " to " + numberText(row("PilotOffsetIndex").hi)},
        {"chkMACchnActive", "Enables/disables the MAC Channel."},
        {"chkDATAchnActive", "Enables/disables the Traffic Channel."},
        {"pdDATAsourceType", "Selects the source data for\nthe Traffic Channel."},
        {"chkIdleSlotGainActive", "Enables/disables idle slot noise signal."},
        {"txtIdleSlotGain", "Sets the power of the idle slot noise\nrelative to the pilot channel.\nValid Range: " +
                                numberText(row("IdleSlotGain").hi) + " to " + numberText(row("IdleSlotGain").lo)},
        {"pbSlotSetup", "Configures each of the\n16 time slots."},
        {"txtOversampling", "Sets the oversampling rate.\nValid Range: " + numberText(row("OverSampling").lo) + " to " +
                                numberText(row("OverSampling").hi)},
        {"pdFilterType", "Selects the baseband filter."},
        {"chkPhaseEq", "Enables/disables the\nphase equalizer stage."},
        {"chkMirrorSpectrum", "Enable/disables spectrum mirroring."},
    };
    for (const auto& [tag, text] : tooltips) ctl(h[tag]).setTooltip(text);
    fillList(h["pdMode"], "Mode");
    fillList(h["pdDATAsourceType"], "DATAsourceType");
    fillList(h["pdFilterType"], "FilterType");
    host::resizeAllFonts(h);
    ctx_.registry.call("VSKconfig_c", "InitializeSigGenScreenObjects", Call{nullptr, h});
}

void MainWindow::redraw(const Handles& h) {
    redrawFormatParameters(h);
    ctx_.registry.call(kCommonModule, "redrawAppTitle", Call{nullptr, h});
    ctx_.registry.call("VSKconfig_c", "redrawSigGenSettings", Call{nullptr, h});
}

void MainWindow::redrawFormatParameters(const Handles& h) {
    const model::Parameters& p = ctx_.state.parameters;
    ctl(h["pdMode"]).setValue(p.Mode);
    if (p.Mode == 1) {
        for (const char* tag : {"chkMACchnActive", "chkDATAchnActive", "chkIdleSlotGainActive"}) ctl(h[tag]).setEnabled(true);
        ctl(h["pdDATAsourceType"]).setEnabled(p.DATAchnActive == 1);
        ctl(h["txtIdleSlotGain"]).setEnabled(p.IdleSlotGainActive != 0);
    } else {
        for (const char* tag : {"chkMACchnActive", "chkDATAchnActive", "pdDATAsourceType", "chkIdleSlotGainActive",
                                "txtIdleSlotGain"})
            ctl(h[tag]).setEnabled(false);
    }
    ctl(h["chkMACchnActive"]).setValue(p.MACchnActive);
    ctl(h["chkDATAchnActive"]).setValue(p.DATAchnActive);
    ctl(h["chkIdleSlotGainActive"]).setValue(p.IdleSlotGainActive);
    ctl(h["txtIdleSlotGain"]).setString(host::numberText(p.IdleSlotGain));
    ctl(h["txtOffsetIndex"]).setString(host::numberText(p.PilotOffsetIndex));
    ctl(h["pdDATAsourceType"]).setValue(p.DATAsourceType);
    ctl(h["txtOversampling"]).setString(host::numberText(p.OverSampling));
    ctl(h["pdFilterType"]).setValue(p.FilterType);
    ctl(h["chkPhaseEq"]).setValue(p.PhaseEq);
    ctl(h["chkMirrorSpectrum"]).setValue(p.MirrorSpectrum);
    // Several frames when the carriers need them to loop; one when the plan cannot be made.
    int frames = 1;
    try {
        frames = editors::planFrames(p, ctx_.state.carrierPlan);
    } catch (const std::exception&) {
    }
    ctl(h["txtNumberOfSamples"]).setString(host::numberText(frames * p.ProjectedLength) + " Samples");
}

void MainWindow::Calculate() {
    AppState& s = ctx_.state;
    try {
        engine::FrameResult frame;
        int frames = 1;
        std::vector<double> offsets{0.0};
        std::string summary;
        if (s.carrierPlan.plain()) {
            frame = model::Calculate(s.parameters);
        } else {
            model::CarrierWaveform w = model::calculateCarriers(s.parameters, s.carrierPlan, std::nullopt);
            summary = model::carrierSummary(w, s.carrierPlan);
            // The status line names the length itself: the summary goes on from the carriers.
            if (const auto at = summary.find("), "); at != std::string::npos) summary.erase(0, at + 3);
            frame = std::move(w.frame);
            frames = w.frames;
            offsets = std::move(w.offsetsHz);
        }
        s.waveform = std::move(frame.waveform);
        s.markers = std::move(frame.events);
        s.waveformOverSampling = s.parameters.OverSampling;
        s.waveformPlan = s.carrierPlan;
        s.waveformFrames = frames;
        s.waveformCarriersHz = std::move(offsets);
        s.waveformSummary = std::move(summary);
    } catch (const std::exception& e) {
        showStatus(ctx_, "Calculation failed: " + firstLine(e.what()));
        ctx_.dialogs.error("Calculation Error", e.what());
        throw;
    }
}

}  // namespace app
