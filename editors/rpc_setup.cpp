#include "editors/rpc_setup.h"

#include <QAbstractSlider>
#include <QLineEdit>
#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "editors/dialog_window.h"
#include "host/core/number_text.h"
#include "host/core/text.h"
#include "host/qt/control.h"
#include "host/qt/layout.h"
#include "model/settings_table.h"

namespace editors {

namespace {
// What is typed; the normalising may store gains beyond it.
const model::SettingRow& kGain = model::settingRow("parameters", "slot.RPCslotGain");
}  // namespace

using host::Call;
using host::ctl;
using host::Handles;

namespace {

std::string tag(const char* stem, int row) { return stem + std::to_string(row); }

void requireChannels(const std::vector<double>& v, const char* field) {
    if (v.size() != engine::kRpcChannels)
        throw std::invalid_argument(std::string("RPC channel record: ") + field + " holds " + std::to_string(v.size()) +
                                    " values instead of " + std::to_string(engine::kRpcChannels));
}

}  // namespace

RpcChannels defaultChnStruct() {
    const std::vector<double> zeros(engine::kRpcChannels, 0.0);
    return {zeros, zeros, zeros};
}

RpcSetup::RpcSetup(host::Registry& registry, host::Dialogs& dialogs, const Uniform& uniform)
    : registry_(registry), dialogs_(dialogs), uniform_(uniform) {
    registerOperations();
}

RpcSetup::~RpcSetup() { registry_.remove(kRpcSetupModule); }

void RpcSetup::registerOperations() {
    host::Module& m = registry_.add(kRpcSetupModule);
    m.add("InitializeFigure", [this](const Call& c) { InitializeFigure(c.handles); });
    m.add("redraw", [this](const Call& c) { redraw(c.handles); });
    m.add("defaultChnStruct", [this](const Call&) { chn_ = defaultChnStruct(); });

    m.add("RPCactive_Callback", [this](const Call& c) {
        const int r = rowOf(c.source, kRpcVisibleRows);
        chn_.Active[column(r)] = ctl(c.source).value();
        redrawChn(c.handles, r);
    });
    m.add("RPCvalue_Callback", [this](const Call& c) {
        const int r = rowOf(c.source, kRpcVisibleRows);
        const std::size_t j = column(r);
        chn_.Value[j] = readRowEntry(c.source, "RPC channel " + std::to_string(j) + " value", "", chn_.Value[j], 0, 1);
        redrawChn(c.handles, r);
    });
    m.add("RPCgain_Callback", [this](const Call& c) {
        const int r = rowOf(c.source, kRpcVisibleRows);
        const std::size_t j = column(r);
        chn_.Gain[j] =
            readRowEntry(c.source, "RPC channel " + std::to_string(j) + " gain", "dB", chn_.Gain[j], kGain.lo, kGain.hi);
        redrawChn(c.handles, r);
    });

    // The pop-ups act like menus: read the choice, then show "FastEdit" again.
    auto fastEdit = [this, &m](const char* name, auto apply) {
        m.add(name, [this, apply](const Call& c) {
            const int p = static_cast<int>(ctl(c.source).value());
            ctl(c.source).setValue(0);
            apply(p);
            redraw(c.handles);
        });
    };
    fastEdit("fasteditRPCactive_Callback", [this](int p) {
        if (auto v = activityPattern(engine::kRpcChannels, p, uniform_)) chn_.Active = *v;
    });
    fastEdit("fasteditRPCvalue_Callback", [this](int p) {
        if (auto v = alternatingPattern(engine::kRpcChannels, p, uniform_)) chn_.Value = *v;
    });
    fastEdit("fasteditRPCgain_Callback", [this](int p) {
        if (p == 7) normalize();
        else if (auto v = gainPattern(engine::kRpcChannels, p, uniform_)) chn_.Gain = *v;
    });

    m.add("sldrScrollbar_Callback", [this](const Call& c) {
        auto* bar = qobject_cast<QAbstractSlider*>(c.source);
        if (!bar) throw std::runtime_error("the RPC channel scroll bar is not a scroll bar");
        const long index = std::lround(bar->maximum() - ctl(bar).value());
        scrollIndex_ = static_cast<int>(std::clamp<long>(index, 0, static_cast<long>(engine::kRpcChannels) - kRpcVisibleRows));
        redraw(c.handles);
    });
    m.add("pbOK_Callback", [](const Call& c) { finish(c.handles, "OK"); });
    m.add("pbCancel_Callback", [](const Call& c) { finish(c.handles, "Cancel"); });
    m.add("Close_Callback", [](const Call& c) { finish(c.handles, "Cancel"); });
}

std::pair<std::string, RpcChannels> RpcSetup::open(QWidget* fig, std::optional<RpcChannels> chn,
                                                   std::optional<int> slotNumber) {
    if (chn) {
        requireChannels(chn->Active, "Active");
        requireChannels(chn->Value, "Value");
        requireChannels(chn->Gain, "Gain");
    }
    const Handles handles(fig);
    chn_ = chn ? std::move(*chn) : defaultChnStruct();
    if (fig && slotNumber) ctl(fig).setName("RPC Setup: Slot #" + std::to_string(*slotNumber));
    if (fig) redraw(handles);
    const std::string answer = runModal(fig);
    return {answer, chn_};
}

void RpcSetup::InitializeFigure(const Handles& h) {
    scrollIndex_ = 0;
    auto* bar = h.get<QAbstractSlider>("sldrScrollbar");
    ctl(bar).setValue(bar->maximum());
    for (int r = 1; r <= kRpcVisibleRows; ++r) {
        ctl(h[tag("chkRPCchnActive", r)]).setTooltip("Enables / Disables this\nRPC Channel for the slot");
        ctl(h[tag("txtRPCchnValue", r)]).setTooltip("Sets the value of the\nRPC Channel for this slot.\nValid Range: 0 or 1");
        ctl(h[tag("txtRPCchnGain", r)])
            .setTooltip("Sets the gain of the\nRPC channel for this slot\nrelative to the Pilot Channel Power.\n"
                        "Valid Range: -30dB to +30dB");
    }
    wheelScrolls(h.window(), bar);
    for (const char* popup : {"pldRPCactive", "pldRPCvalue", "pldRPCgain"}) fastEditPopup(h[popup]);
    ctl(h["pldRPCactive"]).setTooltip("FastEdit\nAdjusts the activity status\nof all RPC channels");
    ctl(h["pldRPCvalue"]).setTooltip("FastEdit\nAdjusts the data\nof all RPC channels");
    ctl(h["pldRPCgain"])
        .setTooltip("FastEdit\nAdjusts all gains\nof all RPC channels\n(Note: Use Normalize to\nset the total power of\n"
                    "all RPC Channels");
    host::resizeAllFonts(h);
}

void RpcSetup::redraw(const Handles& h) const {
    for (int r = 1; r <= kRpcVisibleRows; ++r) redrawChn(h, r);
}

void RpcSetup::redrawChn(const Handles& h, int r) const {
    const std::size_t j = column(r);
    const bool on = chn_.Active[j] != 0;
    ctl(h[tag("chkRPCchnActive", r)]).setValue(on ? 1 : 0);
    for (const char* stem : {"txtRPCchnValue", "txtRPCchnGain"}) ctl(h[tag(stem, r)]).setEnabled(on);
    ctl(h[tag("txtRPCchnValue", r)]).setString(host::numberText(chn_.Value[j]));
    ctl(h[tag("txtRPCchnGain", r)]).setString(host::numberText(chn_.Gain[j]));
    ctl(h[tag("txtRPCchn", r)]).setString(std::to_string(j));
    ctl(h[tag("txtMACindex", r)]).setString(std::to_string(j + 5));
}

void RpcSetup::normalize() {
    const auto answer = dialogs_.input("Normalizing RPC Chn Power",
                                       {"Enter value (in dB) to Normalize to (-30db to + 30db)"}, {"0"});
    if (!answer) return;
    const auto typed = host::readTypedNumber(answer->empty() ? std::string() : answer->front());
    if (!typed || (!typed->unit.empty() && host::toLower(typed->unit) != "db")) {
        dialogs_.error("Invaild User Input", "Only numercial values between -30 and +30 are accepted");
        return;
    }
    normalizeGains(chn_.Active, chn_.Gain, std::clamp(typed->value, kGain.lo, kGain.hi));
}

}  // namespace editors
