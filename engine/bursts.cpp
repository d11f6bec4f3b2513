#include "engine/bursts.h"

#include <array>
#include <cmath>
#include <stdexcept>
#include <string>

#include "engine/walsh.h"

namespace engine {

namespace {

constexpr std::size_t kWalshLength = 64;
constexpr std::size_t kRaMacIndex = 4;

using WalshRow = std::array<double, kWalshLength>;

struct MacCode {
    WalshRow chips;
    bool quadrature;
};

// Codes of MAC indices 4..63: the RA channel first, then the 59 RPC channels.
const std::array<MacCode, kRpcChannels + 1>& macCodes() {
    static const auto codes = [] {
        const dsp::Matrix w = Zuno_WalshMatrix(static_cast<int>(kWalshLength));
        std::array<MacCode, kRpcChannels + 1> out{};
        for (std::size_t ch = 0; ch < out.size(); ++ch) {
            const std::size_t macIndex = kRaMacIndex + ch;
            const std::size_t function = macIndex / 2 + 32 * (macIndex % 2);
            for (std::size_t c = 0; c < kWalshLength; ++c) out[ch].chips[c] = w(function, c);
            out[ch].quadrature = macIndex % 2 == 1;
        }
        return out;
    }();
    return codes;
}

}  // namespace

dsp::RVec Zuno_FwdPilot() { return dsp::RVec(kPilotChips, 1.0); }

dsp::CVec Zuno_FwdMACslot(const dsp::RVec& RPCbits, const dsp::RVec& RPCgains, double RAbit, double RAgain) {
    if (RPCbits.size() != kRpcChannels)
        throw std::invalid_argument("RPCbits holds " + std::to_string(RPCbits.size()) + " values; the MAC slot needs " +
                                    std::to_string(kRpcChannels));
    if (RPCgains.size() != kRpcChannels)
        throw std::invalid_argument("RPCgains holds " + std::to_string(RPCgains.size()) +
                                    " values; the MAC slot needs " + std::to_string(kRpcChannels));

    const auto& codes = macCodes();
    std::array<double, kWalshLength> i{};
    std::array<double, kWalshLength> q{};
    auto add = [&](const MacCode& code, double value) {
        auto& branch = code.quadrature ? q : i;
        for (std::size_t c = 0; c < kWalshLength; ++c) branch[c] += value * code.chips[c];
    };
    add(codes[0], (1.0 - 2.0 * RAbit) * RAgain);
    for (std::size_t k = 0; k < kRpcChannels; ++k) add(codes[k + 1], (1.0 - 2.0 * RPCbits[k]) * RPCgains[k]);

    dsp::CVec row(kWalshLength);
    for (std::size_t c = 0; c < kWalshLength; ++c) row[c] = {i[c], q[c]};
    return Zuno_Repeat(row, kMacChips / kWalshLength);
}

dsp::CVec Zuno_FwdIdleSlot(double IdleSlotGainActive, double IdleSlotGain, std::size_t NumberOfChips,
                           dsp::Rng& rng) {
    if (IdleSlotGainActive == 0) return dsp::CVec(NumberOfChips);
    return dsp::complexNoise(NumberOfChips, std::pow(10.0, IdleSlotGain / 10.0), rng);
}

}  // namespace engine
