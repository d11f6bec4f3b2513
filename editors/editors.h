#pragma once
// The editor dialogs as the application holds them, with the random source the FastEdit choices
// draw from.
#include <QWidget>
#include <functional>
#include <utility>

#include "editors/carrier_setup.h"
#include "editors/fast_edit.h"
#include "editors/rpc_setup.h"
#include "editors/slot_setup.h"

namespace editors {

class Editors {
public:
    // `rpcWindow` gives the RPC channel setup window, once start-up has loaded it.
    Editors(host::Registry& registry, host::Dialogs& dialogs, std::function<QWidget*()> rpcWindow,
            Uniform uniform = defaultUniform())
        : uniform_(std::move(uniform)), rpc(registry, dialogs, uniform_), slot(registry, rpc, std::move(rpcWindow), uniform_),
          carriers(registry, dialogs) {}

    void setUniform(Uniform uniform) { uniform_ = std::move(uniform); }

private:
    Uniform uniform_;  // before the dialogs, which hold it by reference

public:
    RpcSetup rpc;
    SlotSetup slot;
    CarrierSetup carriers;
};

}  // namespace editors
