#include "app/instrument_commands.h"

#include "app/common_controller.h"
#include "app/status_line.h"
#include "host/qt/control.h"
#include "instrument/advanced_settings.h"
#include "instrument/connection_dialog.h"
#include "instrument/core/download_play.h"
#include "instrument/download_progress.h"
#include "instrument/siggen_panel.h"

namespace app {

using host::Call;

InstrumentCommands::InstrumentCommands(AppContext& ctx, CommonController& common)
    : ctx_(ctx),
      common_(common),
      advanced_(std::make_unique<instrument::AdvancedSettings>(ctx.registry)),
      panel_(std::make_unique<instrument::SigGenPanel>(ctx.registry, ctx.state.SigGenSettings, *advanced_,
                                                       [&ctx] { return ctx.figureList.AdvSettings.data(); })),
      connection_(std::make_unique<instrument::ConnectionDialog>(ctx.registry, linkOptions)) {
    host::Module& m = ctx_.registry.module(kCommonModule);
    m.add("pbDownload_Callback", [this](const Call& c) { pbDownload(c.handles); });
    m.add("pbRefresh_Callback", [this](const Call& c) { pbRefresh(c.handles); });
    m.add("menuConfigSigGenIO_Callback", [this](const Call& c) { menuConfigSigGenIO(c.handles); });
}

InstrumentCommands::~InstrumentCommands() = default;

hwio::Result InstrumentCommands::play() {
    const AppState& s = ctx_.state;
    if (s.appInfo.Platform == "c")
        return instrument::VSKPlay_c(s.SigGenSettings.Title, s.SigGenSettings, s.configuration, linkOptions);
    return instrument::VSKPlay(s.SigGenSettings.Title, s.SigGenSettings, s.configuration, linkOptions);
}

void InstrumentCommands::pbDownload(const host::Handles& handles) {
    if (common_.checkWaveformReady(handles, "Download") == 0) return;
    host::Control main(ctx_.mainWindow.data());
    const std::string pointer = main.pointer();
    main.setPointer("watch");
    const AppState& s = ctx_.state;
    hwio::Result download;
    {
        instrument::DownloadProgress progress(ctx_.mainWindow, progressDelayMs);
        hwio::Options options = linkOptions;
        options.progress = progress.callback();
        auto ask = [this](const std::string& title, const std::string& text, const std::vector<std::string>& buttons,
                          const std::string& def) { return ctx_.dialogs.question(title, text, buttons, def); };
        download = instrument::VSKDownLoadWrap(s.waveform, s.markers, s.SigGenSettings.Title, s.configuration, ask,
                                               options);
    }
    // A transfer the user declined or cancelled is no success: nothing plays and nothing is reported.
    const std::string address = linkAddress(s.configuration);
    if (download.status == hwio::kCancelled) {
        main.setPointer(pointer);
        showStatus(ctx_, "Download to " + address + " cancelled");
        return;
    }
    if (download.status == 0) {
        const hwio::Result setup = play();
        main.setPointer(pointer);
        if (setup.status == 0) {
            showStatus(ctx_, "Downloaded to " + address);
            ctx_.dialogs.message("Download Completed", "Waveform has been successfully transferred to the instrument");
        } else {
            showStatus(ctx_, "Instrument setup failed: " + firstLine(setup.response));
            ctx_.dialogs.message("Error Occured During Instrument Setup", setup.response);
        }
        return;
    }
    main.setPointer(pointer);
    showStatus(ctx_, "Download to " + address + " failed: " + firstLine(download.response));
    ctx_.dialogs.message("Error Occured During Waveform Download", download.response);
}

void InstrumentCommands::pbRefresh(const host::Handles&) {
    const hwio::Result setup = play();
    if (setup.status == 0) {
        showStatus(ctx_, "Settings sent to " + linkAddress(ctx_.state.configuration));
    } else {
        showStatus(ctx_, "Instrument setup failed: " + firstLine(setup.response));
        ctx_.dialogs.message("Error Occured During Instrument Setup", setup.response);
    }
}

void InstrumentCommands::menuConfigSigGenIO(const host::Handles&) {
    auto [response, record] =
        connection_->KV_SigGen(ctx_.mainWindow, toValue(ctx_.state.configuration), ctx_.state.appInfo.Platform);
    if (response == "OK") fromValue(record, ctx_.state.configuration, UnknownFields::Ignore);
}

}  // namespace app
