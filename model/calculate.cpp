#include "model/calculate.h"

#include <stdexcept>
#include <string>

#include "engine/bit_stream.h"
#include "host/core/number_text.h"
#include "model/settings_table.h"

namespace model {

namespace {

double bitsPerSlot(double mod) {
    return static_cast<double>(engine::kTrafficChips) * (mod + 1);
}

}  // namespace

double trafficBitCount(const Parameters& parameters) {
    double total = 0;
    for (std::size_t i = 0; i < parameters.slot.DATAslotMod.size(); ++i) {
        const double mod = parameters.slot.DATAslotMod[i];
        checkSetting(settingRow("parameters", "slot.DATAslotMod"), mod,
                     "parameters.slot.DATAslotMod of slot " + std::to_string(i + 1));
        total += bitsPerSlot(mod);
    }
    return total;
}

engine::FrameResult Calculate(const Parameters& parameters, dsp::Rng& rng) {
    checkParameters(parameters);  // before the data source is asked for bits
    const double bitsReq = trafficBitCount(parameters);
    engine::FrameArgs args =
        frameArguments(parameters, engine::GenerateBitStream(parameters.DATAsourceType, bitsReq));

    // A PN-only frame carries no traffic, so only a full frame consumes bits. Caught here, the
    // user learns which setting is at fault instead of an index error deep in the engine.
    if (args.Mode == engine::FrameMode::Full) {
        double consumed = 0;
        for (std::size_t i = 0; i < engine::kSlots; ++i)
            if (args.DATAactive[i]) consumed += static_cast<double>(engine::trafficBits(args.DATAformat[i]));
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
