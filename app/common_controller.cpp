#include "app/common_controller.h"

#include <QMenu>
#include <cctype>
#include <chrono>
#include <exception>

#include "app/config_file.h"
#include "app/file_menu.h"
#include "app/status_line.h"
#include "app/window_parts.h"
#include "host/core/compare.h"
#include "host/qt/binder.h"
#include "host/qt/control.h"
#include "host/core/text.h"

namespace app {

using host::Call;
using host::ctl;
using host::Handles;

CommonController::CommonController(AppContext& ctx) : ctx_(ctx) {
    host::Module& m = ctx_.registry.module(kCommonModule);
    m.add("InitializeFigure", [this](const Call& c) { InitializeFigure(c.handles); });
    m.add("redrawAppTitle", [this](const Call& c) { redrawAppTitle(c.handles); });
    m.add("executeCalculation", [this](const Call& c) { executeCalculation(c.handles); });
    m.add("pbCalculate_Callback", [this](const Call& c) { executeCalculation(c.handles); });
    m.add("menuConfigBBG1Opt1_Callback", [this](const Call& c) { menuConfigBBG(c.source, c.handles, "001"); });
    m.add("menuConfigBBG1Opt2_Callback", [this](const Call& c) { menuConfigBBG(c.source, c.handles, "002"); });
    m.add("menuHelpAbout_Callback", [this](const Call&) {
        KV_About(ctx_.mainWindow, &ctx_.state.appInfo, ctx_.registry);
    });
    m.add("AppShutDown", [this](const Call& c) { AppShutDown(c.handles); });
}

void CommonController::InitializeFigure(const Handles& h) {
    try {
        if (auto stored = loadConfig(ctx_.configFile)) ctx_.state.configuration = *stored;
    } catch (const std::exception& e) {
        ctx_.dialogs.error("Configuration Not Loaded",
                           ctx_.configFile + " could not be read; the instrument link and memory option start " +
                               "from their defaults.\n" + e.what());
    }
    ctl(h["pbCalculate"]).setTooltip("Calculates the waveform based\non current settings.");
    ctl(h["pbDownload"]).setTooltip("Downloads the current waveform and\nsettings to the VSK.");
    ctl(h["pbRefresh"]).setTooltip("Downloads just the current seetings\nto the VSK.");
    ctl(h["txtNumberOfSamples"]).setTooltip("The number of samples generated\nby the current settings.");
    ctl(h["txtEvent1"]).setTooltip("Description of the signal available on\nthe Event 1 Connector of the rear panel.");
    ctl(h["txtEvent2"]).setTooltip("Description of the signal available on\nthe Event 2 Connector of the rear panel.");
    if (ctx_.state.appInfo.Platform == "c") {
        ctl(h["txtNumberOfSamples"])
            .setTooltip("The number of samples generated \nby the current settings.\n(The M3921K can hold up to 8 or 32 M samples.)");
        ctl(h["txtEvent3"]).setTooltip("Description of the signal available on\nthe Event 3 Connector of the rear panel.");
        ctl(h["txtEvent4"]).setTooltip("Description of the signal available on\nthe Event 4 Connector of the rear panel.");
        const bool small = ctx_.state.configuration.BBGtype == "001";
        ctl(h["menuConfigBBG1Opt1"]).setChecked(small);
        ctl(h["menuConfigBBG1Opt2"]).setChecked(!small);
    } else {
        ctl(h["txtNumberOfSamples"])
            .setTooltip("The number of samples generated \nby the current settings.\n(An VSK can hold up to 1 M samples.)");
    }
}

void CommonController::redrawAppTitle(const Handles& h) {
    // "*" first: settings that a File New, Open or Exit would ask about.
    std::string title = std::string(unsavedChanges(ctx_) ? "*" : "") + "Brennix Lumora - " + ctx_.state.appInfo.Name;
    const std::string& file = ctx_.state.configuration.LastParameterFilename;
    if (!file.empty()) title += " : " + file;
    ctl(h.has("main") ? h["main"] : ctx_.mainWindow.data()).setName(title);
}

bool CommonController::executeCalculation(const Handles&) {
    host::Control main(ctx_.mainWindow.data());
    const std::string pointer = main.pointer();
    main.setPointer("watch");
    const auto started = std::chrono::steady_clock::now();
    const bool ok = ctx_.registry.call(ctx_.state.appInfo.ApplicationFunction, "Calculate");
    // A failed calculation keeps describing the waveform still held.
    if (ok) {
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - started;
        const host::ClockReading now = ctx_.clock.now();
        ctx_.state.appInfo.LastCalcTimeStamp.assign(now.begin(), now.end());
        ctx_.state.appInfo.LastCaluclatedParameterSet = ctx_.state.parameters;
        const AppState& s = ctx_.state;
        const std::string summary = s.waveformSummary.empty() ? std::string() : "; " + s.waveformSummary;
        showStatus(ctx_, calculatedText(s.waveform, s.waveformRate(), s.waveformFrames, took.count()) + summary);
    }
    main.setPointer(pointer);
    return ok;
}

int CommonController::checkWaveformReady(const Handles& h, const std::string& action) {
    const std::string a = host::toLower(action);
    const model::AppInfo& info = ctx_.state.appInfo;
    if (info.LastCalcTimeStamp.empty()) {
        const std::string go = "Calculate & " + action;
        const std::string answer = ctx_.dialogs.question(
            "Waveform Not Calculated",
            "The waveform has not yet been calculated. Do you wish to calculate\nthe waveform and then " + a + " ?",
            {go, "Cancel"}, go);
        if (answer == "Cancel") return 0;
        return executeCalculation(h) ? 1 : 0;
    }
    const bool unchanged = info.LastCaluclatedParameterSet &&
                           host::compareStruct(model::toValue(ctx_.state.parameters), model::toValue(*info.LastCaluclatedParameterSet)) &&
                           samePlan(ctx_.state.carrierPlan, ctx_.state.waveformPlan);
    if (unchanged) return 1;
    const std::string recalc = "Recalc & " + action;
    const std::string answer = ctx_.dialogs.question(
        "Waveform Not Recalculated",
        "Settings have changed since last calculating the waveform.\n" + action +
            " will use the last calculated waveform.\nDo you wish to " + a + " anyway?",
        {"Yes", recalc, "Cancel"}, recalc);
    if (answer == "Cancel") return 0;
    if (answer == recalc) return executeCalculation(h) ? 1 : 0;
    return 1;
}

void CommonController::menuConfigBBG(QObject* item, const Handles& h, const std::string& option) {
    if (option == "001" && ctx_.state.parameters.ProjectedLength > 8000000) {
        const std::string answer = ctx_.dialogs.question(
            "Waveform too large",
            "The waveform based on the current settings \nis too large to for Option 001. Changing to\nOption 001 will "
            "reset all settings to the defaults.\nDo you wish to change anyway?",
            {"Yes", "Cancel"}, "Cancel");
        // Closing the question resets nothing either: only "Yes" gives the settings up.
        if (answer != "Yes") return;
        const std::string& app = ctx_.state.appInfo.ApplicationFunction;
        ctx_.registry.call(app, "InitializeParameters");
        ctx_.registry.call(app, "redraw", Call{nullptr, h});
    }
    ctx_.state.configuration.BBGtype = option;
    ctl(item).setChecked(true);
    // Every other item of the same menu loses its check mark.
    if (auto* menu = item ? qobject_cast<QMenu*>(item->parent()) : nullptr)
        for (QAction* other : menu->actions())
            if (other != item && other->objectName() != item->objectName() && !other->isSeparator())
                ctl(other).setChecked(false);
}

void CommonController::AppShutDown(const Handles& h) {
    auto& windows = ctx_.state.appInfo.ClientWindows;
    while (!windows.empty()) {
        auto it = ctx_.clientWindows.find(windows.front());
        if (it != ctx_.clientWindows.end() && it->second) host::closeWindow(it->second);
        windows.erase(windows.begin());
    }
    try {
        saveConfig(ctx_.configFile, ctx_.state.configuration);
    } catch (const std::exception& e) {
        // Shutting down goes on: the user is only told what is not kept.
        ctx_.dialogs.error("Configuration Not Saved", "The instrument link and memory option could not be kept in " +
                                                          ctx_.configFile + ".\n" + e.what());
    }
    host::closeWindow(h.has("main") ? qobject_cast<QWidget*>(h["main"]) : ctx_.mainWindow.data());
}

}  // namespace app
