#include "app/instrument_commands.h"

#include "app/common_controller.h"
#include "app/status_line.h"
#include "host/core/text.h"
#include "host/qt/control.h"
#include "instrument/advanced_settings.h"
#include "instrument/connection_dialog.h"
#include "instrument/core/download_play.h"
#include "instrument/core/front_panel.h"
#include "instrument/core/link_ops.h"
#include "instrument/siggen_panel.h"

namespace app {

using host::Call;

InstrumentCommands::InstrumentCommands(AppContext& ctx, CommonController& common)
    : ctx_(ctx),
      common_(common),
      advanced_(std::make_unique<instrument::AdvancedSettings>(ctx.registry)),
      panel_(std::make_unique<instrument::SigGenPanel>(ctx.registry, ctx.state.SigGenSettings, *advanced_,
                                                       [&ctx] { return ctx.figureList.AdvSettings.data(); })),
      connection_(std::make_unique<instrument::ConnectionDialog>(ctx.registry, linkOptions, progressDelayMs)) {
    host::Module& m = ctx_.registry.module(kCommonModule);
    m.add("pbDownload_Callback", [this](const Call& c) { pbDownload(c.handles); });
    m.add("pbRefresh_Callback", [this](const Call& c) { pbRefresh(c.handles); });
    m.add("menuConfigSigGenIO_Callback", [this](const Call& c) { menuConfigSigGenIO(c.handles); });
    m.add("pbRFOutput_Callback", [this](const Call& c) { pbSwitch(c.source, c.handles, Switch::Output); });
    m.add("pbPlayer_Callback", [this](const Call& c) { pbSwitch(c.source, c.handles, Switch::Player); });
    m.add("pbReadBack_Callback", [this](const Call& c) { pbReadBack(c.handles); });
}

InstrumentCommands::~InstrumentCommands() = default;

std::vector<std::string> InstrumentCommands::playLines(double sampleRate) const {
    const AppState& s = ctx_.state;
    model::SigGenSettings settings = s.SigGenSettings;
    settings.SamplingRate = sampleRate;
    if (s.appInfo.Platform == "c") return instrument::playLines_c(settings.Title, settings);
    return instrument::playLines(settings.Title, settings);
}

hwio::Result InstrumentCommands::run(const std::string& title, const instrument::LinkJob& job) {
    host::Control main(ctx_.mainWindow.data());
    const std::string pointer = main.pointer();
    main.setPointer("watch");
    hwio::Result result;
    try {
        result = instrument::runLinkJob(ctx_.mainWindow, title, progressDelayMs, linkOptions, job);
    } catch (...) {
        main.setPointer(pointer);
        throw;
    }
    main.setPointer(pointer);
    return result;
}

void InstrumentCommands::pbDownload(const host::Handles& handles) {
    if (common_.checkWaveformReady(handles, "Download") == 0) return;
    const AppState& s = ctx_.state;
    const std::string address = linkAddress(s.configuration);
    auto ask = [this](const std::string& title, const std::string& text, const std::vector<std::string>& buttons,
                      const std::string& def) { return ctx_.dialogs.question(title, text, buttons, def); };
    // A transfer the user declined or cancelled is no success: nothing plays and nothing is reported.
    if (!instrument::confirmDownload(s.waveform.size(), s.configuration, ask)) {
        showStatus(ctx_, "Download to " + address + " cancelled");
        return;
    }
    instrument::Delivery delivery;
    run("Downloading the waveform to the signal generator...",
        [&delivery, lines = playLines(s.waveformRate()), link = instrument::linkConfig(s.configuration),
         waveform = s.waveform, markers = s.markers, title = s.SigGenSettings.Title](const hwio::Options& o) {
            hwio::Link one(link, o);
            delivery = instrument::downloadAndPlay(one, waveform, markers, title, lines);
            return delivery.download.status == 0 ? delivery.setup : delivery.download;
        });
    const hwio::Result& download = delivery.download;
    const hwio::Result& setup = delivery.setup;
    if (download.status == hwio::kCancelled || setup.status == hwio::kCancelled) {
        showStatus(ctx_, "Download to " + address + " cancelled");
    } else if (download.status != 0) {
        showStatus(ctx_, "Download to " + address + " failed: " + firstLine(download.response));
        ctx_.dialogs.error("Error Occurred During Waveform Download", download.response);
    } else if (setup.status != 0) {
        playingRate_ = s.waveformRate();
        showSwitches(handles, setup);
        showStatus(ctx_, "Instrument setup failed: " + firstLine(setup.response));
        ctx_.dialogs.error("Error Occurred During Instrument Setup", setup.response);
    } else {
        playingRate_ = s.waveformRate();
        showSwitches(handles, setup);
        showStatus(ctx_, "Downloaded to " + address);
        ctx_.dialogs.message("Download Completed", "Waveform has been successfully transferred to the instrument");
    }
}

void InstrumentCommands::pbRefresh(const host::Handles& handles) {
    const std::string address = linkAddress(ctx_.state.configuration);
    // The waveform in the instrument plays at the rate it was computed for; before any download
    // of this run that is unknown, and the settings' rate goes.
    const hwio::Result setup =
        run("Sending the settings to the signal generator...",
            [lines = playLines(playingRate_.value_or(ctx_.state.SigGenSettings.SamplingRate)),
             link = instrument::linkConfig(ctx_.state.configuration)](const hwio::Options& o) {
                hwio::Link one(link, o);
                return instrument::playSequence(one, lines);
            });
    if (setup.status == hwio::kCancelled) {
        showStatus(ctx_, "Sending the settings to " + address + " cancelled");
        return;
    }
    showSwitches(handles, setup);
    if (setup.status == 0) {
        showStatus(ctx_, "Settings sent to " + address);
    } else {
        showStatus(ctx_, "Instrument setup failed: " + firstLine(setup.response));
        ctx_.dialogs.error("Error Occurred During Instrument Setup", setup.response);
    }
}

void InstrumentCommands::showSwitches(const host::Handles& h, const hwio::Result& setup) {
    // The playback step switches the player off first and both on last, only after every
    // setting was taken; a link that failed leaves them unknown, shown as they were.
    if (setup.status != 0 && setup.status != hwio::kInstrumentError) return;
    if (h.has("pbPlayer")) host::ctl(h["pbPlayer"]).setValue(setup.status == 0);
    if (setup.status == 0 && h.has("pbRFOutput")) host::ctl(h["pbRFOutput"]).setValue(1);
}

void InstrumentCommands::pbSwitch(QObject* button, const host::Handles&, Switch which) {
    const bool on = host::ctl(button).value() != 0;
    const std::string what = which == Switch::Output ? "RF output" : "Player";
    const std::string address = linkAddress(ctx_.state.configuration);
    const hwio::Result r =
        run((which == Switch::Output ? "Switching the RF output " : "Switching the player ") + std::string(on ? "on..." : "off..."),
            [which, on, link = instrument::linkConfig(ctx_.state.configuration)](const hwio::Options& o) {
                hwio::Link one(link, o);
                return which == Switch::Output ? instrument::switchOutput(one, on) : instrument::switchPlayer(one, on);
            });
    if (r.status == 0) {
        showStatus(ctx_, what + (on ? " on" : " off") + " at " + address);
        return;
    }
    // The button shows what the instrument does, as far as it is known.
    host::ctl(button).setValue(on ? 0 : 1);
    if (r.status == hwio::kCancelled) {
        showStatus(ctx_, "Switching the " + host::toLower(what) + " cancelled");
        return;
    }
    showStatus(ctx_, what + " not switched " + (on ? "on" : "off") + ": " + firstLine(r.response));
    ctx_.dialogs.error("Signal Generator Not Switched", r.response);
}

void InstrumentCommands::pbReadBack(const host::Handles&) {
    const std::string address = linkAddress(ctx_.state.configuration);
    instrument::ReadBack seen;
    const hwio::Result r = run("Reading the signal generator's error queue and waveforms...",
                               [&seen, link = instrument::linkConfig(ctx_.state.configuration)](const hwio::Options& o) {
                                   hwio::Link one(link, o);
                                   return instrument::readBack(one, seen);
                               });
    if (r.status == hwio::kCancelled) {
        showStatus(ctx_, "Reading back from " + address + " cancelled");
        return;
    }
    if (r.status != 0) {
        showStatus(ctx_, "Reading back from " + address + " failed: " + firstLine(r.response));
        ctx_.dialogs.error("Signal Generator Not Read", r.response);
        return;
    }
    std::string text = seen.errors.empty() ? "Error queue: no errors" : "Error queue:";
    for (const auto& e : seen.errors) text += "\n    " + e;
    text += seen.waveforms.empty() ? "\n\nWaveform memory: empty" : "\n\nWaveform memory:";
    for (const auto& w : seen.waveforms) text += "\n    " + w;
    showStatus(ctx_, "Read back from " + address + ": " + std::to_string(seen.errors.size()) +
                         (seen.errors.size() == 1 ? " error, " : " errors, ") + std::to_string(seen.waveforms.size()) +
                         (seen.waveforms.size() == 1 ? " waveform" : " waveforms"));
    ctx_.dialogs.message("Signal Generator Read Back", text);
}

void InstrumentCommands::menuConfigSigGenIO(const host::Handles&) {
    auto [response, record] =
        connection_->KV_SigGen(ctx_.mainWindow, model::toValue(ctx_.state.configuration), ctx_.state.appInfo.Platform);
    if (response == "OK") model::fromValue(record, ctx_.state.configuration, model::UnknownFields::Ignore);
}

}  // namespace app
