#pragma once
// The instrument connection dialog (module KV_SigGen): the kind of link and its addresses and
// serial settings, with a check of the link on the spot. Built on every opening from the main
// layout and three partial layouts, one per kind of link, and deleted when closed.
#include <QComboBox>
#include <QPointer>
#include <QWidget>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/core/value.h"
#include "host/qt/handles.h"
#include "host/qt/registry.h"
#include "hwio/link.h"

namespace instrument {

inline constexpr const char* kConnectionModule = "KV_SigGen";

class ConnectionDialog {
public:
    // `linkOptions` (time-outs, devices) are used by the hardware check; OK stores the dialog's
    // time-out in them. A check that runs `progressDelayMs` shows its progress.
    ConnectionDialog(host::Registry& registry, hwio::Options& linkOptions, const int& progressDelayMs);
    ~ConnectionDialog();
    ConnectionDialog(const ConnectionDialog&) = delete;
    ConnectionDialog& operator=(const ConnectionDialog&) = delete;

    // KV_SigGen(parent, config, model): "OK" or "Cancel" and the record, whose link fields are
    // the dialog's on "OK" and otherwise as passed in after range forcing.
    std::pair<std::string, host::Value> KV_SigGen(QWidget* parent = nullptr, std::optional<host::Value> config = {},
                                                  std::optional<std::string> model = {});

    // The dialog window while it is open.
    QWidget* window() const { return window_; }
    int model() const { return model_; }
    int lastConnection() const { return lastConnection_; }

    static host::Value initConfig();
    // A record of the earlier flat form (with `Connection`) in the current form; others unchanged.
    static host::Value reStructureConfig(host::Value oldConfig, const host::Handles& handles);
    static int ConvertStringToIndex(QComboBox* control, std::string text);
    static std::string ConvertIndexToString(QComboBox* control, double index);

    std::vector<QObject*> addControls(QWidget* parent, const char* name);
    void showControls(const host::Handles& handles);
    void UpdateConnectionSelections(const host::Handles& handles, const host::Value& config);
    void UpdateGuiObjects(const host::Handles& handles, const host::Value& config);
    host::Value UpdateConfig(const host::Handles& handles);
    void UpdateRS232HandShakingToolTip(const host::Handles& handles);
    void pbCheckHardware(const host::Handles& handles);
    // Reads the time-out field: a number of seconds, limited to 0.1 ... 3600; anything else
    // keeps the time-out it had. The field shows what is kept.
    void editTimeout(const host::Handles& handles);

    // The time-out the dialog shows, in seconds.
    double timeout() const { return timeout_; }

private:
    void forceRanges(host::Value& config, const host::Handles& handles) const;
    // A status text of any length: it wraps, and the window grows to show all of it.
    void showStatus(const host::Handles& handles, const std::string& text);

    host::Registry& registry_;
    hwio::Options& linkOptions_;
    const int& progressDelayMs_;
    double timeout_ = 10;
    QPointer<QWidget> window_;
    std::vector<QObject*> handlesGPIB_, handlesRS232_, handlesTCPIP_;
    int lastConnection_ = 2;
    int model_ = 0;
};

}  // namespace instrument
