#include "model/frame_arguments.h"

#include "model/settings_table.h"

namespace model {

namespace {

engine::PerSlot<bool> slotFlags(const SlotVector& v) {
    engine::PerSlot<bool> out{};
    for (std::size_t i = 0; i < engine::kSlots; ++i) out[i] = v[i] == 1;
    return out;
}

template <class T>
engine::PerRpc<T> perRpc(const dsp::Matrix& m) {
    engine::PerRpc<T> out{};
    for (std::size_t i = 0; i < engine::kSlots; ++i)
        for (std::size_t k = 0; k < kRpcChannels; ++k) out[i][k] = static_cast<T>(m(i, k));
    return out;
}

}  // namespace

engine::FrameArgs frameArguments(const Parameters& p, dsp::Bits DATAbits) {
    // Every value is one of its field's; the conversions below need no checks of their own.
    checkParameters(p);
    const Parameters::Slot& s = p.slot;
    engine::FrameArgs a;
    a.Mode = p.Mode == 1 ? engine::FrameMode::Full : engine::FrameMode::PnOnly;
    a.PilotOffsetIndex = static_cast<int>(p.PilotOffsetIndex);
    const bool data = p.DATAchnActive == 1;
    const bool mac = p.MACchnActive == 1;
    for (std::size_t i = 0; i < engine::kSlots; ++i) {
        a.DATAactive[i] = data && s.DATAslotActive[i] == 1;
        a.DATAformat[i] = static_cast<engine::Modulation>(static_cast<int>(s.DATAslotMod[i]));
        a.RAactive[i] = mac && s.RAslotActive[i] == 1;
        a.RPCchnActive[i] = mac && s.RPCslotActiveChn[i] == 1;
    }
    a.DATAbits = std::move(DATAbits);
    a.RAbit = slotFlags(s.RAslotValue);
    a.RAgain = s.RAslotGain;
    a.RPCactive = perRpc<bool>(s.RPCslotActive);
    a.RPCbits = perRpc<bool>(s.RPCslotValue);
    a.RPCgains = perRpc<double>(s.RPCslotGain);
    a.IdleSlotGainActive = p.IdleSlotGainActive == 1;
    a.IdleSlotGain = p.IdleSlotGain;
    a.oversamplingRate = static_cast<int>(p.OverSampling);
    a.filterType = static_cast<engine::FilterKind>(static_cast<int>(p.FilterType));
    a.phaseEqActive = p.PhaseEq == 1;
    a.mirrorSpectrum = p.MirrorSpectrum == 1;
    return a;
}

}  // namespace model
