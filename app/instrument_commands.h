#pragma once
// The main window's instrument commands (Download, Refresh, Sig Gen I/O of module rfCommonUI)
// and the signal generator panels and connection dialog they work with. Every link operation
// runs off the window's thread (instrument/link_progress.h).
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/app_context.h"
#include "host/qt/handles.h"
#include "hwio/link.h"
#include "instrument/link_progress.h"

namespace instrument {
class AdvancedSettings;
class SigGenPanel;
class ConnectionDialog;
}  // namespace instrument

namespace app {

class CommonController;

class InstrumentCommands {
public:
    InstrumentCommands(AppContext& ctx, CommonController& common);
    ~InstrumentCommands();
    InstrumentCommands(const InstrumentCommands&) = delete;
    InstrumentCommands& operator=(const InstrumentCommands&) = delete;

    void pbDownload(const host::Handles& handles);
    void pbRefresh(const host::Handles& handles);
    void menuConfigSigGenIO(const host::Handles& handles);
    // The panel's RF output and player buttons (checked: on) and its read-back of the error
    // queue and waveform memory, without a download.
    enum class Switch { Output, Player };
    void pbSwitch(QObject* button, const host::Handles& handles, Switch which);
    void pbReadBack(const host::Handles& handles);

    // Time-outs and devices of every instrument command, the hardware check's included; the
    // connection dialog sets the time-out.
    hwio::Options linkOptions;
    // An operation that lasts longer than this shows its progress dialog.
    int progressDelayMs = 500;

    instrument::AdvancedSettings& advanced() { return *advanced_; }
    instrument::SigGenPanel& panel() { return *panel_; }
    instrument::ConnectionDialog& connection() { return *connection_; }

private:
    // The playback step's lines for this application's platform, with the sample clock at
    // `sampleRate`.
    std::vector<std::string> playLines(double sampleRate) const;
    hwio::Result run(const std::string& title, const instrument::LinkJob& job);
    // The panel's switch buttons after a playback step with this result.
    void showSwitches(const host::Handles& handles, const hwio::Result& setup);

    AppContext& ctx_;
    CommonController& common_;
    std::unique_ptr<instrument::AdvancedSettings> advanced_;
    std::unique_ptr<instrument::SigGenPanel> panel_;
    std::unique_ptr<instrument::ConnectionDialog> connection_;
    // The rate of the waveform this run downloaded last.
    std::optional<double> playingRate_;
};

}  // namespace app
