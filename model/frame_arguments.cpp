#include "model/frame_arguments.h"

#include <stdexcept>
#include <string>

#include "engine/pn_codes.h"
#include "host/core/number_text.h"

namespace model {

namespace {

// Where a value sits, as the settings name it: "parameters.slot.RAslotActive of slot 3".
std::string slotField(const char* name, std::size_t slot) {
    return std::string("parameters.slot.") + name + " of slot " + std::to_string(slot + 1);
}

[[noreturn]] void refuse(const std::string& where, double v, const char* allowed) {
    throw std::invalid_argument(where + " is " + host::numberText(v) + "; it must be " + allowed);
}

bool isFlag(double v) { return v == 0 || v == 1; }

bool flag(const char* where, double v) {
    if (!isFlag(v)) refuse(where, v, "0 or 1");
    return v == 1;
}

int wholeNumber(const char* where, double v, int lo, int hi) {
    if (!(v >= lo && v <= hi) || v != static_cast<int>(v))
        refuse(where, v, ("a whole number from " + std::to_string(lo) + " to " + std::to_string(hi)).c_str());
    return static_cast<int>(v);
}

engine::PerSlot<bool> slotFlags(const char* name, const SlotVector& v) {
    engine::PerSlot<bool> out{};
    for (std::size_t i = 0; i < engine::kSlots; ++i) {
        if (!isFlag(v[i])) refuse(slotField(name, i), v[i], "0 or 1");
        out[i] = v[i] == 1;
    }
    return out;
}

void checkShape(const char* name, const dsp::Matrix& m) {
    if (m.rows != engine::kSlots || m.cols != kRpcChannels)
        throw std::invalid_argument(std::string("parameters.slot.") + name + " must be a 16x59 matrix (got " +
                                    std::to_string(m.rows) + "x" + std::to_string(m.cols) + ")");
}

engine::PerRpc<bool> rpcFlags(const char* name, const dsp::Matrix& m) {
    checkShape(name, m);
    engine::PerRpc<bool> out{};
    for (std::size_t i = 0; i < engine::kSlots; ++i)
        for (std::size_t k = 0; k < kRpcChannels; ++k) {
            const double v = m(i, k);
            if (!isFlag(v)) refuse(slotField(name, i) + ", channel " + std::to_string(k + 1), v, "0 or 1");
            out[i][k] = v == 1;
        }
    return out;
}

engine::PerRpc<double> rpcValues(const char* name, const dsp::Matrix& m) {
    checkShape(name, m);
    engine::PerRpc<double> out{};
    for (std::size_t i = 0; i < engine::kSlots; ++i)
        for (std::size_t k = 0; k < kRpcChannels; ++k) out[i][k] = m(i, k);
    return out;
}

engine::Modulation modulation(std::size_t slot, double v) {
    if (v != 1 && v != 2 && v != 3) refuse(slotField("DATAslotMod", slot), v, "1, 2 or 3");
    return static_cast<engine::Modulation>(static_cast<int>(v));
}

engine::FilterKind filterKind(double v) {
    if (v == 1) return engine::FilterKind::Rectangular;
    if (v == 2) return engine::FilterKind::Is95Std;
    if (v == 3) return engine::FilterKind::Is95Acp;
    refuse("parameters.FilterType", v, "1 (rectangular), 2 (IS-95 standard) or 3 (IS-95 ACP-optimised)");
}

engine::FrameMode frameMode(double v) {
    if (v == 1) return engine::FrameMode::Full;
    if (v == 2) return engine::FrameMode::PnOnly;
    refuse("parameters.Mode", v, "1 (1xEV forward link) or 2 (PN sequence only)");
}

}  // namespace

engine::FrameArgs frameArguments(const Parameters& p, dsp::Bits DATAbits) {
    const Parameters::Slot& s = p.slot;
    engine::FrameArgs a;
    a.Mode = frameMode(p.Mode);
    a.PilotOffsetIndex = wholeNumber("parameters.PilotOffsetIndex", p.PilotOffsetIndex, 0, engine::kMaxPilotOffset);
    const bool data = flag("parameters.DATAchnActive", p.DATAchnActive);
    const bool mac = flag("parameters.MACchnActive", p.MACchnActive);
    const auto dataSlots = slotFlags("DATAslotActive", s.DATAslotActive);
    const auto raSlots = slotFlags("RAslotActive", s.RAslotActive);
    const auto rpcSlots = slotFlags("RPCslotActiveChn", s.RPCslotActiveChn);
    for (std::size_t i = 0; i < engine::kSlots; ++i) {
        a.DATAactive[i] = data && dataSlots[i];
        a.DATAformat[i] = modulation(i, s.DATAslotMod[i]);
        a.RAactive[i] = mac && raSlots[i];
        a.RPCchnActive[i] = mac && rpcSlots[i];
    }
    a.DATAbits = std::move(DATAbits);
    a.RAbit = slotFlags("RAslotValue", s.RAslotValue);
    a.RAgain = s.RAslotGain;
    a.RPCactive = rpcFlags("RPCslotActive", s.RPCslotActive);
    a.RPCbits = rpcFlags("RPCslotValue", s.RPCslotValue);
    a.RPCgains = rpcValues("RPCslotGain", s.RPCslotGain);
    a.IdleSlotGainActive = flag("parameters.IdleSlotGainActive", p.IdleSlotGainActive);
    a.IdleSlotGain = p.IdleSlotGain;
    a.oversamplingRate = wholeNumber("parameters.OverSampling", p.OverSampling, 2, engine::kMaxOversampling);
    a.filterType = filterKind(p.FilterType);
    a.phaseEqActive = flag("parameters.PhaseEq", p.PhaseEq);
    a.mirrorSpectrum = flag("parameters.MirrorSpectrum", p.MirrorSpectrum);
    return a;
}

}  // namespace model
