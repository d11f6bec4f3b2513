#include "editors/slot_setup.h"

#include <algorithm>
#include <stdexcept>

#include "editors/dialog_window.h"
#include "host/core/number_text.h"
#include "host/qt/control.h"
#include "host/qt/layout.h"
#include "model/settings_table.h"

namespace editors {

namespace {
const model::SettingRow& kRaGain = model::settingRow("parameters", "slot.RAslotGain");
}  // namespace

using host::Call;
using host::ctl;
using host::Handles;

namespace {

constexpr std::size_t kChannels = engine::kRpcChannels;
constexpr std::size_t kSlots = kSlotCount;

std::string tag(const char* stem, int i) { return stem + std::to_string(i); }
std::size_t at(int i) { return static_cast<std::size_t>(i - 1); }

void assign(model::SlotVector& to, const std::vector<double>& from) { std::copy(from.begin(), from.end(), to.begin()); }

void requireRpcMatrix(const dsp::Matrix& m, const char* field) {
    if (m.rows != kSlots || m.cols != kChannels)
        throw std::invalid_argument(std::string("slot record: ") + field + " is " + std::to_string(m.rows) + "x" +
                                    std::to_string(m.cols) + " instead of 16x59");
}

}  // namespace

Slot defaultSlotStruct() {
    Slot s;
    s.DATAslotActive = model::slotFill(1);
    s.DATAslotMod = model::slotFill(1);
    s.RAslotActive = model::slotFill(1);
    s.RAslotValue = model::slotFill(1);
    s.RAslotGain = model::slotFill(0);
    s.RPCslotActiveChn = model::slotFill(1);
    s.RPCslotActive = dsp::Matrix(kSlots, kChannels, 1.0);
    s.RPCslotValue = dsp::Matrix(kSlots, kChannels, 1.0);
    s.RPCslotGain = dsp::Matrix(kSlots, kChannels, 0.0);
    return s;
}

SlotSetup::SlotSetup(host::Registry& registry, RpcSetup& rpc, std::function<QWidget*()> rpcWindow,
                     const Uniform& uniform)
    : registry_(registry), rpc_(rpc), rpcWindow_(std::move(rpcWindow)), uniform_(uniform) {
    registerOperations();
}

SlotSetup::~SlotSetup() { registry_.remove(kSlotSetupModule); }

void SlotSetup::registerOperations() {
    host::Module& m = registry_.add(kSlotSetupModule);
    m.add("InitializeFigure", [this](const Call& c) { InitializeFigure(c.handles); });
    m.add("defaultSlotStruct", [this](const Call&) { slot_ = defaultSlotStruct(); });
    m.add("redrawDATA", [this](const Call& c) { redrawDATA(c.handles); });
    m.add("redrawRA", [this](const Call& c) { redrawRA(c.handles); });
    m.add("redrawRPC", [this](const Call& c) { redrawRPC(c.handles); });
    m.add("redrawAll", [this](const Call& c) { redrawAll(c.handles); });

    // Per-row controls: the slot is the number at the end of the control's tag.
    auto row = [&m](const char* name, auto f) {
        m.add(name, [f](const Call& c) { f(c.source, c.handles, rowOf(c.source, kSlotCount)); });
    };
    row("DATAactive_Callback", [this](QObject* h, const Handles& hs, int i) {
        slot_.DATAslotActive[at(i)] = ctl(h).value();
        redrawDATAslot(hs, i);
    });
    row("DATAmod_Callback", [this](QObject* h, const Handles& hs, int i) {
        slot_.DATAslotMod[at(i)] = ctl(h).value();
        redrawDATAslot(hs, i);
    });
    row("RAactive_Callback", [this](QObject* h, const Handles& hs, int i) {
        slot_.RAslotActive[at(i)] = ctl(h).value();
        redrawRAslot(hs, i);
    });
    row("RAvalue_Callback", [this](QObject* h, const Handles& hs, int i) {
        slot_.RAslotValue[at(i)] =
            readRowEntry(h, "Slot " + std::to_string(i) + " RA value", "", slot_.RAslotValue[at(i)], 0, 1);
        redrawRAslot(hs, i);
    });
    row("RAgain_Callback", [this](QObject* h, const Handles& hs, int i) {
        slot_.RAslotGain[at(i)] =
            readRowEntry(h, "Slot " + std::to_string(i) + " RA gain", "dB", slot_.RAslotGain[at(i)], kRaGain.lo, kRaGain.hi);
        redrawRAslot(hs, i);
    });
    row("RPCactive_Callback", [this](QObject* h, const Handles& hs, int i) {
        slot_.RPCslotActiveChn[at(i)] = ctl(h).value();
        redrawRPCslot(hs, i);
    });
    row("RPCsetup_Callback", [this](QObject*, const Handles&, int i) { editRpcChannels(i); });

    // The pop-ups act like menus: read the choice, then show "FastEdit" again. Positions that
    // are not listed change nothing, but the column is redrawn all the same.
    auto fastEdit = [this, &m](const char* name, auto apply, void (SlotSetup::*redrawColumn)(const Handles&) const) {
        m.add(name, [this, apply, redrawColumn](const Call& c) {
            const int p = static_cast<int>(ctl(c.source).value());
            ctl(c.source).setValue(0);
            apply(p);
            (this->*redrawColumn)(c.handles);
        });
    };
    fastEdit("fasteditDATAactive_Callback", [this](int p) {
        if (auto v = activityPattern(kSlotCount, p, uniform_)) assign(slot_.DATAslotActive, *v);
    }, &SlotSetup::redrawDATA);
    fastEdit("fasteditDATAmod_Callback", [this](int p) {
        if (auto v = modulationPattern(kSlotCount, p, uniform_)) assign(slot_.DATAslotMod, *v);
    }, &SlotSetup::redrawDATA);
    fastEdit("fasteditRAactive_Callback", [this](int p) {
        if (auto v = activityPattern(kSlotCount, p, uniform_)) assign(slot_.RAslotActive, *v);
    }, &SlotSetup::redrawRA);
    fastEdit("fasteditRAvalue_Callback", [this](int p) {
        if (auto v = alternatingPattern(kSlotCount, p, uniform_)) assign(slot_.RAslotValue, *v);
    }, &SlotSetup::redrawRA);
    fastEdit("fasteditRAgain_Callback", [this](int p) {
        if (auto v = gainPattern(kSlotCount, p, uniform_)) assign(slot_.RAslotGain, *v);
    }, &SlotSetup::redrawRA);
    fastEdit("fasteditRPCactive_Callback", [this](int p) {
        if (auto v = activityPattern(kSlotCount, p, uniform_)) assign(slot_.RPCslotActiveChn, *v);
    }, &SlotSetup::redrawRPC);
    fastEdit("fasteditRPCsetup_Callback", [this](int p) {
        if (p == 1) {
            for (std::size_t s = 1; s < kSlots; ++s) cloneRpc(0, s);
        } else if (p == 2) {
            for (std::size_t s = 2; s < kSlots; s += 2) {
                cloneRpc(0, s);
                cloneRpc(1, s + 1);
            }
        } else if (p == 3) {
            defaultRpc();
        }
    }, &SlotSetup::redrawRPC);

    m.add("pbOK_Callback", [](const Call& c) { finish(c.handles, "OK"); });
    m.add("pbCancel_Callback", [](const Call& c) { finish(c.handles, "Cancel"); });
    m.add("close_Callback", [](const Call& c) { finish(c.handles, "Cancel"); });
}

std::pair<std::string, Slot> SlotSetup::open(QWidget* fig, std::optional<Slot> slot) {
    if (slot) {
        requireRpcMatrix(slot->RPCslotActive, "RPCslotActive");
        requireRpcMatrix(slot->RPCslotValue, "RPCslotValue");
        requireRpcMatrix(slot->RPCslotGain, "RPCslotGain");
    }
    slot_ = slot ? std::move(*slot) : defaultSlotStruct();
    if (fig) redrawAll(Handles(fig));
    const std::string answer = runModal(fig);
    return {answer, slot_};
}

void SlotSetup::InitializeFigure(const Handles& h) {
    host::resizeAllFonts(h);
    for (int i = 1; i <= kSlotCount; ++i) {
        const std::string n = std::to_string(i);
        ctl(h[tag("chkDATAslotActive", i)]).setTooltip("Enables/disables the\ntraffic channel for slot " + n + ".");
        ctl(h[tag("lstDATAslotMod", i)]).setTooltip("Sets the modulation format\nof the Traffic burst for slot " + n + ".");
        ctl(h[tag("chkRAslotActive", i)]).setTooltip("Enables/disables the\nRA channel for slot " + n + ".");
        ctl(h[tag("txtRAslotValue", i)])
            .setTooltip("Sets the value of the\nRA burst for slot " + n + ".\nValid Range: 0 or 1");
        ctl(h[tag("txtRAslotGain", i)])
            .setTooltip("Sets the gain of the\nRA burst for slot " + n +
                        "\nrelative to the pilot channel power.\nValid Range: -30dB to +30dB");
        ctl(h[tag("chkRPCslotActive", i)]).setTooltip("Enables/disables the\nRPC channel for slot " + n + ".");
        ctl(h[tag("pbPRCslotSetup", i)]).setTooltip("Configures the\nRPC channel for slot " + n + ".");
    }
    for (const char* popup : {"pldDATAactive", "pldDATAmod", "pldRAactive", "pldRAvalue", "pldRAgain", "pldRPCactive",
                              "pldRPCsetup"})
        fastEditPopup(h[popup]);
    ctl(h["pldDATAactive"]).setTooltip("FastEdit:\nAdjusts the activity status\nfor all traffic slots.");
    ctl(h["pldRAactive"]).setTooltip("FastEdit:\nAdjusts the activity status\nfor all RA slots.");
    ctl(h["pldRPCactive"]).setTooltip("FastEdit:\nAdjusts the activity status\nfor all RPC slots.");
    ctl(h["pldDATAmod"]).setTooltip("FastEdit:\nAdjusts the Modulation\nformat for all traffic slots.");
    ctl(h["pldRAvalue"]).setTooltip("FastEdit:\nAdjusts the data\nfor all RA slots.");
    ctl(h["pldRAgain"]).setTooltip("FastEdit:\nAdjusts the gain\nfor all RA slots.");
    ctl(h["pldRPCsetup"])
        .setTooltip("FastEdit\nConfigures all RCP slots\nClone 1 - Copies the configuration of Slot 1\n"
                    "          to all other slots.\nClone 1,2 - Copies the configuration of Slot 1\n"
                    "            to all odd slots, and the configuration\n            of Slot 2 to all even slots.\n"
                    "Default - Restore the default values\n          to all slots.");
}

void SlotSetup::redrawDATAslot(const Handles& h, int i) const {
    const bool on = slot_.DATAslotActive[at(i)] != 0;
    ctl(h[tag("chkDATAslotActive", i)]).setValue(on ? 1 : 0);
    QObject* list = h[tag("lstDATAslotMod", i)];
    ctl(list).setEnabled(on);
    ctl(list).setValue(slot_.DATAslotMod[at(i)]);
}

void SlotSetup::redrawRAslot(const Handles& h, int i) const {
    const bool on = slot_.RAslotActive[at(i)] != 0;
    ctl(h[tag("chkRAslotActive", i)]).setValue(on ? 1 : 0);
    QObject* value = h[tag("txtRAslotValue", i)];
    QObject* gain = h[tag("txtRAslotGain", i)];
    ctl(value).setEnabled(on);
    ctl(gain).setEnabled(on);
    ctl(value).setString(host::numberText(slot_.RAslotValue[at(i)]));
    ctl(gain).setString(host::numberText(slot_.RAslotGain[at(i)]));
}

void SlotSetup::redrawRPCslot(const Handles& h, int i) const {
    const bool on = slot_.RPCslotActiveChn[at(i)] != 0;
    ctl(h[tag("chkRPCslotActive", i)]).setValue(on ? 1 : 0);
    ctl(h[tag("pbPRCslotSetup", i)]).setEnabled(on);
}

void SlotSetup::redrawDATA(const Handles& h) const {
    for (int i = 1; i <= kSlotCount; ++i) redrawDATAslot(h, i);
}
void SlotSetup::redrawRA(const Handles& h) const {
    for (int i = 1; i <= kSlotCount; ++i) redrawRAslot(h, i);
}
void SlotSetup::redrawRPC(const Handles& h) const {
    for (int i = 1; i <= kSlotCount; ++i) redrawRPCslot(h, i);
}
void SlotSetup::redrawAll(const Handles& h) const {
    redrawDATA(h);
    redrawRA(h);
    redrawRPC(h);
}

// Runs inside this dialog's own wait; returns once the RPC window has been left.
void SlotSetup::editRpcChannels(int i) {
    const std::size_t s = at(i);
    RpcChannels chn{slot_.RPCslotActive.row(s), slot_.RPCslotValue.row(s), slot_.RPCslotGain.row(s)};
    auto [answer, edited] = rpc_.open(rpcWindow_ ? rpcWindow_() : nullptr, std::move(chn), i);
    if (answer != "OK") return;
    for (std::size_t j = 0; j < kChannels; ++j) {
        slot_.RPCslotActive(s, j) = edited.Active[j];
        slot_.RPCslotValue(s, j) = edited.Value[j];
        slot_.RPCslotGain(s, j) = edited.Gain[j];
    }
}

void SlotSetup::cloneRpc(std::size_t from, std::size_t to) {
    slot_.RPCslotActiveChn[to] = slot_.RPCslotActiveChn[from];
    for (dsp::Matrix* m : {&slot_.RPCslotActive, &slot_.RPCslotValue, &slot_.RPCslotGain})
        for (std::size_t j = 0; j < kChannels; ++j) (*m)(to, j) = (*m)(from, j);
}

void SlotSetup::defaultRpc() {
    slot_.RPCslotActiveChn = model::slotFill(0);
    slot_.RPCslotActiveChn[0] = 1;
    slot_.RPCslotActive = dsp::Matrix(kSlots, kChannels, 0.0);
    slot_.RPCslotValue = dsp::Matrix(kSlots, kChannels, 0.0);
    slot_.RPCslotGain = dsp::Matrix(kSlots, kChannels, 0.0);
    for (std::size_t s = 0; s < kSlots; ++s) {
        slot_.RPCslotActive(s, 0) = 1;
        slot_.RPCslotValue(s, 0) = 1;
    }
}

}  // namespace editors
