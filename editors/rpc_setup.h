#pragma once
// The RPC channel setup dialog (module Zuno_Fwd_GUI_RPCsetup): the 59 RPC channels of one slot,
// 16 rows at a time under a scroll bar.
#include <QWidget>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "editors/fast_edit.h"
#include "engine/frame_layout.h"
#include "host/qt/dialogs.h"
#include "host/qt/handles.h"
#include "host/qt/registry.h"

namespace editors {

inline constexpr const char* kRpcSetupModule = "Zuno_Fwd_GUI_RPCsetup";
inline constexpr int kRpcVisibleRows = 16;

// One slot's channels; element j is RPC channel j (MAC index j + 5).
struct RpcChannels {
    std::vector<double> Active;
    std::vector<double> Value;
    std::vector<double> Gain;
    bool operator==(const RpcChannels&) const = default;
};

// All zeros: what the dialog edits when opened without a record.
RpcChannels defaultChnStruct();

class RpcSetup {
public:
    RpcSetup(host::Registry& registry, host::Dialogs& dialogs, const Uniform& uniform);
    ~RpcSetup();
    RpcSetup(const RpcSetup&) = delete;
    RpcSetup& operator=(const RpcSetup&) = delete;

    // Shows the window and waits for OK, Cancel or its close box; returns the answer and the
    // edited record (whatever the answer). With a slot number the title names the slot.
    std::pair<std::string, RpcChannels> open(QWidget* fig, std::optional<RpcChannels> chn = std::nullopt,
                                             std::optional<int> slotNumber = std::nullopt);

    void InitializeFigure(const host::Handles& handles);
    void redraw(const host::Handles& handles) const;
    void redrawChn(const host::Handles& handles, int row) const;

    const RpcChannels& chn() const { return chn_; }
    int scrollIndex() const { return scrollIndex_; }

private:
    void registerOperations();
    void normalize();
    // The record's element shown in row r (1-based) of the window.
    std::size_t column(int row) const { return static_cast<std::size_t>(scrollIndex_ + row - 1); }

    host::Registry& registry_;
    host::Dialogs& dialogs_;
    const Uniform& uniform_;
    RpcChannels chn_ = defaultChnStruct();
    int scrollIndex_ = 0;  // channels scrolled past; kept from one opening to the next
};

}  // namespace editors
