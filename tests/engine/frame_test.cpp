#include "engine/frame.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "engine/bit_stream.h"
#include "engine/pn_codes.h"
#include "engine/traffic.h"
#include "engine/walsh.h"

using namespace engine;
using dsp::cplx;
using dsp::CVec;

namespace {

// Arguments whose waveform shows the chips themselves: rectangular filter, no equalizer, no
// conjugation.
FrameArgs plainArgs() {
    FrameArgs a;
    a.oversamplingRate = 2;
    a.filterType = FilterKind::Rectangular;
    a.phaseEqActive = false;
    a.mirrorSpectrum = true;
    return a;
}

cplx pnChip(std::size_t t, int offset) {
    const std::size_t i = (t + 64 * static_cast<std::size_t>(offset)) % kChipsPerFrame;
    return {1.0 - 2 * shortCodeI()[i], 1.0 - 2 * shortCodeQ()[i]};
}

// Chips of the frame before spreading, recovered from a waveform made with plainArgs().
CVec despread(const FrameResult& f, const FrameArgs& a) {
    const auto r = static_cast<std::size_t>(a.oversamplingRate);
    CVec chips(kChipsPerFrame);
    for (std::size_t t = 0; t < kChipsPerFrame; ++t) chips[t] = f.waveform[t * r] * std::conj(pnChip(t, a.PilotOffsetIndex)) / 2.0;
    return chips;
}

CVec slice(const CVec& v, std::size_t from, std::size_t n) { return CVec(v.begin() + from, v.begin() + from + n); }

void expectNear(const CVec& a, const CVec& b, double tol, const char* what) {
    ASSERT_EQ(a.size(), b.size()) << what;
    for (std::size_t i = 0; i < a.size(); ++i) ASSERT_LT(std::abs(a[i] - b[i]), tol) << what << " at " << i;
}

// Marker 2 of every slot, at chip rate.
std::vector<dsp::Bits> marker2Slots(const FrameResult& f, std::size_t r) {
    std::vector<dsp::Bits> slots(kSlots, dsp::Bits(kChipsPerSlot));
    for (std::size_t t = 0; t < kChipsPerFrame; ++t) slots[t / kChipsPerSlot][t % kChipsPerSlot] = f.events[1][t * r];
    return slots;
}

}  // namespace

TEST(FrameAssembly, BlankingMasksCoverTheirBurstsWithTheMargin) {
    const auto count = [](const dsp::Bits& b) { return std::count(b.begin(), b.end(), 1); };
    const auto mac = idleMACmask(), data = idleDATAmask(), both = bothIdleMask();
    for (const auto* m : {&mac, &data, &both}) EXPECT_EQ(m->size(), kChipsPerSlot);
    EXPECT_EQ(count(mac), 2048 - 4 * 56);
    EXPECT_EQ(count(data), 2 * 232);
    EXPECT_EQ(count(both), 2 * 104);
    // MAC bursts at chips 401-464, 561-624, 1425-1488, 1585-1648 (1-based), 4 chips of margin.
    EXPECT_EQ(mac[403], 1);
    EXPECT_EQ(mac[404], 0);
    EXPECT_EQ(mac[459], 0);
    EXPECT_EQ(mac[460], 1);
    EXPECT_EQ(data[395], 0);
    EXPECT_EQ(data[396], 1);
    EXPECT_EQ(data[627], 1);
    EXPECT_EQ(data[628], 0);
    EXPECT_EQ(both[459], 0);
    EXPECT_EQ(both[460], 1);
    EXPECT_EQ(both[563], 1);
    EXPECT_EQ(both[564], 0);
}

TEST(FrameAssembly, DefaultFrameHoldsPilotsAndNoise) {
    FrameArgs a;  // the application's defaults: MAC and traffic off, noise at -10 dB, R = 5, ACP, equalizer
    dsp::Rng rng(1);
    const auto f = Zuno_FwdChnFrame(a, rng);
    ASSERT_EQ(f.waveform.size(), 163840u);
    ASSERT_EQ(f.events[0].size(), 163840u);
    ASSERT_EQ(f.events[1].size(), 163840u);
    const auto both = bothIdleMask();
    for (const auto& slot : marker2Slots(f, 5)) ASSERT_EQ(slot, both);
    // Marker 1: R samples high at the start of every half slot, 32 pulses.
    std::size_t high = 0;
    for (std::size_t i = 0; i < f.events[0].size(); ++i) {
        const bool expected = (i % (1024 * 5)) < 5;
        ASSERT_EQ(f.events[0][i], expected ? 1 : 0) << "sample " << i;
        high += f.events[0][i];
    }
    EXPECT_EQ(high, 32u * 5);
    // The same seed gives the same noise.
    dsp::Rng again(1);
    EXPECT_EQ(Zuno_FwdChnFrame(a, again).waveform, f.waveform);
}

TEST(FrameAssembly, SlotLayoutPlacesTrafficMacAndPilot) {
    auto a = plainArgs();
    a.IdleSlotGainActive = false;
    a.DATAactive.fill(true);
    a.DATAbits = GenerateBitStream(6, 16 * 3200);
    a.RAactive.fill(true);
    a.RAbit.fill(false);
    a.RAgain.fill(0.0);
    const auto f = Zuno_FwdChnFrame(a);
    const auto chips = despread(f, a);
    const auto traffic = Zuno_FwdTrfChn(std::span(a.DATAbits).first(3200), 1, 1600);
    const auto walsh2 = Zuno_WalshMatrix(64).row(2);
    const CVec mac(walsh2.begin(), walsh2.end());
    const auto slot = slice(chips, 0, 2048);
    expectNear(slice(slot, 0, 400), slice(traffic, 0, 400), 1e-12, "D(1:400)");
    expectNear(slice(slot, 400, 64), mac, 1e-12, "M(1:64)");
    expectNear(slice(slot, 464, 96), CVec(96, 1.0), 1e-12, "P");
    expectNear(slice(slot, 560, 64), mac, 1e-12, "M(65:128)");
    expectNear(slice(slot, 624, 400), slice(traffic, 400, 400), 1e-12, "D(401:800)");
    expectNear(slice(slot, 1024, 400), slice(traffic, 800, 400), 1e-12, "D(801:1200)");
    expectNear(slice(slot, 1424, 64), mac, 1e-12, "M(129:192)");
    expectNear(slice(slot, 1488, 96), CVec(96, 1.0), 1e-12, "P");
    expectNear(slice(slot, 1584, 64), mac, 1e-12, "M(193:256)");
    expectNear(slice(slot, 1648, 400), slice(traffic, 1200, 400), 1e-12, "D(1201:1600)");
    // Everything active: marker 2 high throughout.
    EXPECT_TRUE(std::all_of(f.events[1].begin(), f.events[1].end(), [](auto v) { return v == 1; }));
}

TEST(FrameAssembly, InactiveSlotsConsumeNoBits) {
    auto a = plainArgs();
    a.IdleSlotGainActive = false;
    a.DATAactive[0] = true;
    a.DATAactive[2] = true;
    a.DATAformat[0] = Modulation::Psk8;   // 4800 bits
    a.DATAformat[2] = Modulation::Qam16;  // 6400 bits
    a.DATAbits = GenerateBitStream(5, 4800 + 6400);
    const auto chips = despread(Zuno_FwdChnFrame(a), a);
    const auto bits = std::span(a.DATAbits);
    const auto slot1 = Zuno_FwdTrfChn(bits.first(4800), 2, 1600);
    const auto slot3 = Zuno_FwdTrfChn(bits.subspan(4800, 6400), 3, 1600);
    expectNear(slice(chips, 0, 400), slice(slot1, 0, 400), 1e-12, "slot 1");
    expectNear(slice(chips, 2 * 2048, 400), slice(slot3, 0, 400), 1e-12, "slot 3");
    expectNear(slice(chips, 2 * 2048 + 1648, 400), slice(slot3, 1200, 400), 1e-12, "slot 3 end");
    // Slot 2 is idle without noise: zeros outside the pilot.
    expectNear(slice(chips, 2048, 400), CVec(400), 1e-12, "slot 2 traffic");
    expectNear(slice(chips, 2048 + 400, 64), CVec(64), 1e-12, "slot 2 MAC");
    // One bit short of what the active slots need.
    a.DATAbits.pop_back();
    EXPECT_THAT([&] { Zuno_FwdChnFrame(a); },
                testing::ThrowsMessage<std::invalid_argument>(testing::HasSubstr("need 11200")));
}

TEST(FrameAssembly, MacDecisionAndMarker2PerSlot) {
    auto a = plainArgs();
    a.IdleSlotGainActive = false;
    a.RAactive[0] = true;      // slot 1: RA only, traffic idle
    a.RPCchnActive[1] = true;  // slot 2: RPC only, traffic idle
    a.RPCactive[1][0] = true;
    a.RPCbits[1][0] = false;
    a.RPCgains[1][0] = 0;
    a.RPCactive[0][0] = true;  // inactive RPC channels of slot 1 carry nothing
    a.RPCgains[0][0] = 0;
    a.DATAactive[2] = true;  // slot 3: traffic only, MAC idle
    a.DATAbits = GenerateBitStream(1, 3200);
    a.RAgain[0] = 0;
    const auto f = Zuno_FwdChnFrame(a);
    const auto chips = despread(f, a);
    const auto w = Zuno_WalshMatrix(64);
    // Slot 1: the RA channel alone (bit 1 maps to -1), RPC amplitudes all zero.
    for (std::size_t c = 0; c < 64; ++c) ASSERT_NEAR(std::abs(chips[400 + c] - cplx(-w(2, c), 0)), 0, 1e-12);
    // Slot 2: j times Walsh function 34.
    for (std::size_t c = 0; c < 64; ++c) ASSERT_NEAR(std::abs(chips[2048 + 400 + c] - cplx(0, w(34, c))), 0, 1e-12);
    const auto m2 = marker2Slots(f, 2);
    EXPECT_EQ(m2[0], idleDATAmask());
    EXPECT_EQ(m2[1], idleDATAmask());
    EXPECT_EQ(m2[2], idleMACmask());
    EXPECT_EQ(m2[3], bothIdleMask());
}

TEST(FrameAssembly, IdlePositionsCarryNoiseOrZeros) {
    auto a = plainArgs();
    a.IdleSlotGain = -10;
    dsp::Rng rng(7);
    const auto chips = despread(Zuno_FwdChnFrame(a, rng), a);
    double power = 0;
    std::size_t n = 0;
    for (std::size_t s = 0; s < kSlots; ++s)
        for (std::size_t c : {0u, 624u, 1100u, 1700u})
            for (std::size_t k = 0; k < 300; ++k, ++n) power += std::norm(chips[s * 2048 + c + k]);
    EXPECT_NEAR(power / n, 0.1, 0.01);
    a.IdleSlotGainActive = false;
    const auto quiet = despread(Zuno_FwdChnFrame(a), a);
    for (std::size_t t = 0; t < kChipsPerFrame; ++t) {
        const std::size_t c = t % 2048;
        const bool pilot = (c >= 464 && c < 560) || (c >= 1488 && c < 1584);
        ASSERT_NEAR(std::abs(quiet[t] - cplx(pilot ? 1.0 : 0.0)), 0, 1e-12) << "chip " << t;
    }
}

TEST(FrameAssembly, PnOnlyFrameIsTheCodeAtTheOffset) {
    auto a = plainArgs();
    a.Mode = FrameMode::PnOnly;
    a.DATAactive.fill(true);  // ignored in a PN-only frame, like the bits it would need
    for (int offset : {0, 1, 511}) {
        a.PilotOffsetIndex = offset;
        const auto f = Zuno_FwdChnFrame(a);
        for (std::size_t t = 0; t < kChipsPerFrame; ++t) ASSERT_EQ(f.waveform[2 * t], pnChip(t, offset)) << "chip " << t;
        EXPECT_TRUE(std::all_of(f.events[1].begin(), f.events[1].end(), [](auto v) { return v == 1; }));
        EXPECT_EQ(std::count(f.events[0].begin(), f.events[0].end(), 1), 64);
    }
    a.PilotOffsetIndex = 0;
    const auto f = Zuno_FwdChnFrame(a);
    for (std::size_t t = 0; t < 15; ++t) EXPECT_EQ(f.waveform[2 * t], cplx(1, 1));
}

TEST(FrameAssembly, MirroringConjugatesAndLengthsFollowR) {
    FrameArgs a;
    a.IdleSlotGainActive = false;
    a.mirrorSpectrum = false;
    const auto conjugated = Zuno_FwdChnFrame(a).waveform;
    a.mirrorSpectrum = true;
    const auto plain = Zuno_FwdChnFrame(a).waveform;
    ASSERT_EQ(plain.size(), conjugated.size());
    for (std::size_t i = 0; i < plain.size(); ++i) ASSERT_EQ(conjugated[i], std::conj(plain[i]));
    for (int r : {2, 30}) {
        a.oversamplingRate = r;
        a.filterType = FilterKind::Is95Std;
        const auto f = Zuno_FwdChnFrame(a);
        EXPECT_EQ(f.waveform.size(), 32768 * static_cast<std::size_t>(r));
        EXPECT_EQ(f.events[0].size(), f.waveform.size());
        EXPECT_EQ(f.events[1].size(), f.waveform.size());
    }
}

TEST(FrameAssembly, RefusesWhatItCannotComputeWith) {
    const auto refuses = [](FrameArgs a, const char* text) {
        EXPECT_THAT([&] { Zuno_FwdChnFrame(a); }, testing::ThrowsMessage<std::invalid_argument>(testing::HasSubstr(text)))
            << text;
    };
    FrameArgs a;
    for (int r : {1, -3, 31, 257}) {
        a.oversamplingRate = r;
        refuses(a, "OverSampling");
    }
    a = FrameArgs{};
    a.oversamplingRate = 30;
    a.filterType = FilterKind::Rectangular;
    EXPECT_EQ(Zuno_FwdChnFrame(a).waveform.size(), 32768u * 30);
    a = FrameArgs{};
    a.PilotOffsetIndex = 512;
    refuses(a, "PilotOffsetIndex = 512");
    a = FrameArgs{};
    a.DATAactive[0] = true;
    refuses(a, "DATAbits holds 0 bits");
    a = FrameArgs{};
    a.RAgain[2] = std::nan("");
    refuses(a, "RAgain of slot 3");
    a = FrameArgs{};
    a.RPCgains[3][7] = std::nan("");
    refuses(a, "RPCgains of slot 4, channel 8");
    a = FrameArgs{};
    a.IdleSlotGain = INFINITY;
    refuses(a, "IdleSlotGain");
}

// Gains so large that the samples overflow give no frame: the error names the gain.
TEST(FrameAssembly, OverflowingGainsAreRefusedByName) {
    const auto refused = [](const FrameArgs& a, const std::string& text) {
        EXPECT_THAT([&] { Zuno_FwdChnFrame(a); }, testing::ThrowsMessage<std::invalid_argument>(testing::HasSubstr(text)))
            << text;
    };
    FrameArgs a = plainArgs();
    a.IdleSlotGain = 7000;  // noise power 10^700
    refused(a, "IdleSlotGain (IdleSlotGain) = 7000 dB is too large: the frame's samples overflow");
    a = FrameArgs{};
    a.oversamplingRate = 2;
    a.RAactive.fill(true);
    a.RAgain[2] = 6000;  // an amplitude of 10^300, finite, whose filtered sums are not
    refused(a, "RAgain (slot.RAslotGain) of slot 3 = 6000 dB is too large");
    a = plainArgs();
    a.RPCchnActive.fill(true);
    a.RPCactive = filledRpc(true);
    a.RPCgains[4][9] = 7000;
    refused(a, "RPCgains (slot.RPCslotGain) of slot 5, channel 10 = 7000 dB");
}
