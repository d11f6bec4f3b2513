#pragma once
// The slot setup dialog (module Zuno_Fwd_GUI_SlotSetup): traffic, RA and RPC settings of the 16
// slots, and the RPC channel setup of one slot at a time.
#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "model/records.h"
#include "editors/fast_edit.h"
#include "editors/rpc_setup.h"
#include "host/qt/handles.h"
#include "host/qt/registry.h"

namespace editors {

inline constexpr const char* kSlotSetupModule = "Zuno_Fwd_GUI_SlotSetup";
inline constexpr int kSlotCount = 16;

using Slot = model::Parameters::Slot;

// Every switch on, every gain 0 dB, every RPC channel on with bit 1: what the dialog edits when
// opened without a record (the application's own slot defaults differ).
Slot defaultSlotStruct();

class SlotSetup {
public:
    // `rpcWindow` gives the hidden RPC channel setup window at the time a row's button is pressed.
    SlotSetup(host::Registry& registry, RpcSetup& rpc, std::function<QWidget*()> rpcWindow, const Uniform& uniform);
    ~SlotSetup();
    SlotSetup(const SlotSetup&) = delete;
    SlotSetup& operator=(const SlotSetup&) = delete;

    // Shows the window and waits for OK, Cancel or its close box; returns the answer and the
    // edited record (whatever the answer: the caller keeps it only on "OK").
    std::pair<std::string, Slot> open(QWidget* fig, std::optional<Slot> slot = std::nullopt);

    void InitializeFigure(const host::Handles& handles);
    void redrawDATAslot(const host::Handles& handles, int i) const;
    void redrawRAslot(const host::Handles& handles, int i) const;
    void redrawRPCslot(const host::Handles& handles, int i) const;
    void redrawDATA(const host::Handles& handles) const;
    void redrawRA(const host::Handles& handles) const;
    void redrawRPC(const host::Handles& handles) const;
    void redrawAll(const host::Handles& handles) const;

    const Slot& slot() const { return slot_; }

private:
    void registerOperations();
    void editRpcChannels(int i);
    void cloneRpc(std::size_t from, std::size_t to);
    void defaultRpc();

    host::Registry& registry_;
    RpcSetup& rpc_;
    std::function<QWidget*()> rpcWindow_;
    const Uniform& uniform_;
    Slot slot_ = defaultSlotStruct();
};

}  // namespace editors
