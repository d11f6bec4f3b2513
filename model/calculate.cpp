#include "model/calculate.h"

#include <stdexcept>
#include <string>

#include "engine/bit_stream.h"
#include "host/core/number_text.h"

namespace model {

namespace {

dsp::RVec toVector(const SlotVector& v) {
    return dsp::RVec(v.begin(), v.end());
}

dsp::RVec gated(const SlotVector& v, double channelOn) {
    dsp::RVec out = toVector(v);
    for (double& x : out) x *= channelOn;
    return out;
}

double bitsPerSlot(double mod) {
    return static_cast<double>(engine::kTrafficChips) * (mod + 1);
}

}  // namespace

double trafficBitCount(const Parameters& parameters) {
    double total = 0;
    for (std::size_t i = 0; i < parameters.slot.DATAslotMod.size(); ++i) {
        const double mod = parameters.slot.DATAslotMod[i];
        if (mod != 1 && mod != 2 && mod != 3)
            throw std::invalid_argument("parameters.slot.DATAslotMod of slot " + std::to_string(i + 1) +
                                        " is " + host::numberText(mod) + "; it must be 1, 2 or 3");
        total += bitsPerSlot(mod);
    }
    return total;
}

engine::FrameArgs frameArguments(const Parameters& p, dsp::Bits DATAbits) {
    engine::FrameArgs a;
    a.Mode = p.Mode;
    a.PilotOffsetIndex = p.PilotOffsetIndex;
    a.DATAactive = gated(p.slot.DATAslotActive, p.DATAchnActive);
    a.DATAformat = toVector(p.slot.DATAslotMod);
    a.DATAbits = std::move(DATAbits);
    a.RAactive = gated(p.slot.RAslotActive, p.MACchnActive);
    a.RAbit = toVector(p.slot.RAslotValue);
    a.RAgain = toVector(p.slot.RAslotGain);
    a.RPCchnActive = gated(p.slot.RPCslotActiveChn, p.MACchnActive);
    a.RPCactive = p.slot.RPCslotActive;
    a.RPCbits = p.slot.RPCslotValue;
    a.RPCgains = p.slot.RPCslotGain;
    a.IdleSlotGainActive = p.IdleSlotGainActive;
    a.IdleSlotGain = p.IdleSlotGain;
    a.oversamplingRate = p.OverSampling;
    a.filterType = p.FilterType;
    a.phaseEqActive = p.PhaseEq;
    a.mirrorSpectrum = p.MirrorSpectrum;
    return a;
}

engine::FrameResult Calculate(const Parameters& parameters, dsp::Rng& rng) {
    const double bitsReq = trafficBitCount(parameters);
    engine::FrameArgs args =
        frameArguments(parameters, engine::GenerateBitStream(parameters.DATAsourceType, bitsReq));

    // A PN-only frame carries no traffic, so only a full frame consumes bits. Caught here, the
    // user learns which setting is at fault instead of an index error deep in the engine.
    if (args.Mode == 1) {
        double consumed = 0;
        for (std::size_t i = 0; i < args.DATAactive.size(); ++i)
            if (args.DATAactive[i] == 1) consumed += bitsPerSlot(args.DATAformat[i]);
        const double available = static_cast<double>(args.DATAbits.size());
        if (available < consumed) {
            const std::string source =
                "parameters.DATAsourceType " + host::numberText(parameters.DATAsourceType);
            throw std::invalid_argument(
                available == 0 ? source + " gives no traffic bits; the active traffic slots need " +
                                     host::numberText(consumed)
                               : source + " gives only " + host::numberText(available) +
                                     " traffic bits; the active traffic slots need " + host::numberText(consumed));
        }
    }
    return engine::Zuno_FwdChnFrame(args, rng);
}

}  // namespace model
