#include "app/instrument_commands.h"

#include "app/common_controller.h"
#include "app/status_line.h"
#include "host/qt/control.h"
#include "instrument/advanced_settings.h"
#include "instrument/connection_dialog.h"
#include "instrument/core/download_play.h"
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
}

InstrumentCommands::~InstrumentCommands() = default;

instrument::LinkJob InstrumentCommands::playJob() const {
    const AppState& s = ctx_.state;
    return [platform = s.appInfo.Platform, settings = s.SigGenSettings, config = s.configuration](const hwio::Options& o) {
        if (platform == "c") return instrument::VSKPlay_c(settings.Title, settings, config, o);
        return instrument::VSKPlay(settings.Title, settings, config, o);
    };
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
    hwio::Result download, setup;
    run("Downloading the waveform to the signal generator...",
        [&download, &setup, play = playJob(), link = toValue(s.configuration), waveform = s.waveform,
         markers = s.markers, title = s.SigGenSettings.Title](const hwio::Options& o) {
            download = instrument::hwDownload(link, waveform, markers, "norm", 1, title, o);
            if (download.status == 0) setup = play(o);
            return download.status == 0 ? setup : download;
        });
    if (download.status == hwio::kCancelled || setup.status == hwio::kCancelled) {
        showStatus(ctx_, "Download to " + address + " cancelled");
    } else if (download.status != 0) {
        showStatus(ctx_, "Download to " + address + " failed: " + firstLine(download.response));
        ctx_.dialogs.message("Error Occurred During Waveform Download", download.response);
    } else if (setup.status != 0) {
        showStatus(ctx_, "Instrument setup failed: " + firstLine(setup.response));
        ctx_.dialogs.message("Error Occurred During Instrument Setup", setup.response);
    } else {
        showStatus(ctx_, "Downloaded to " + address);
        ctx_.dialogs.message("Download Completed", "Waveform has been successfully transferred to the instrument");
    }
}

void InstrumentCommands::pbRefresh(const host::Handles&) {
    const std::string address = linkAddress(ctx_.state.configuration);
    const hwio::Result setup = run("Sending the settings to the signal generator...", playJob());
    if (setup.status == hwio::kCancelled) {
        showStatus(ctx_, "Sending the settings to " + address + " cancelled");
    } else if (setup.status == 0) {
        showStatus(ctx_, "Settings sent to " + address);
    } else {
        showStatus(ctx_, "Instrument setup failed: " + firstLine(setup.response));
        ctx_.dialogs.message("Error Occurred During Instrument Setup", setup.response);
    }
}

void InstrumentCommands::menuConfigSigGenIO(const host::Handles&) {
    auto [response, record] =
        connection_->KV_SigGen(ctx_.mainWindow, toValue(ctx_.state.configuration), ctx_.state.appInfo.Platform);
    if (response == "OK") fromValue(record, ctx_.state.configuration, UnknownFields::Ignore);
}

}  // namespace app
