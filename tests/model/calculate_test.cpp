#include "model/calculate.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include <stdexcept>
#include <string>

using model::Parameters;

TEST(Calculate, TrafficBitCountCountsEverySlot) {
    Parameters p = model::InitializeParameters();
    EXPECT_EQ(model::trafficBitCount(p), 51200);
    p.slot.DATAslotActive.fill(0);  // inactive slots still count
    p.slot.DATAslotMod.fill(3);
    EXPECT_EQ(model::trafficBitCount(p), 102400);
    p.slot.DATAslotMod[0] = 2;
    EXPECT_EQ(model::trafficBitCount(p), 102400 - 1600);

    p.slot.DATAslotMod[11] = 4;
    try {
        model::trafficBitCount(p);
        FAIL() << "no error";
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "parameters.slot.DATAslotMod of slot 12 is 4; it must be 1 (QPSK), 2 (8-PSK) or 3 (16-QAM)");
    }
    p.slot.DATAslotMod[11] = 1.5;
    EXPECT_THROW(model::trafficBitCount(p), std::invalid_argument);
}

TEST(Calculate, FrameArgumentsGateSlotsByChannel) {
    Parameters p = model::InitializeParameters();
    p.slot.DATAslotActive[2] = 0;
    p.slot.RAslotActive[4] = 0;
    p.slot.RPCslotActiveChn[6] = 0;
    p.slot.DATAslotMod[1] = 3;
    p.slot.RAslotGain[3] = -7;
    p.slot.RPCslotGain(15, 58) = 2.5;
    p.FilterType = 2;
    p.OverSampling = 7;

    // Channels off by default: every per-slot switch is gated to 0.
    engine::FrameArgs a = model::frameArguments(p, {1, 0, 1});
    for (std::size_t i = 0; i < 16; ++i) {
        EXPECT_FALSE(a.DATAactive[i]);
        EXPECT_FALSE(a.RAactive[i]);
        EXPECT_FALSE(a.RPCchnActive[i]);
    }

    p.DATAchnActive = 1;
    p.MACchnActive = 1;
    a = model::frameArguments(p, {1, 0, 1});
    for (std::size_t i = 0; i < 16; ++i) {
        EXPECT_EQ(a.DATAactive[i], i != 2) << "slot " << i + 1;
        EXPECT_EQ(a.RAactive[i], i != 4) << "slot " << i + 1;
        EXPECT_EQ(a.RPCchnActive[i], i != 6) << "slot " << i + 1;
        for (std::size_t k = 0; k < 59; ++k) EXPECT_EQ(a.RPCactive[i][k], k == 0);
    }
    // The rest passes through, typed.
    EXPECT_EQ(a.DATAformat[1], engine::Modulation::Qam16);
    EXPECT_EQ(a.DATAformat[0], engine::Modulation::Qpsk);
    EXPECT_EQ(a.RAgain[3], -7);
    EXPECT_EQ(a.RPCgains[15][58], 2.5);
    EXPECT_EQ(a.DATAbits, (dsp::Bits{1, 0, 1}));
    EXPECT_EQ(a.oversamplingRate, 7);
    EXPECT_EQ(a.filterType, engine::FilterKind::Is95Std);
    EXPECT_EQ(a.Mode, engine::FrameMode::Full);
    EXPECT_TRUE(a.phaseEqActive);
    EXPECT_FALSE(a.mirrorSpectrum);
}

// A stored number that is none of its field's codes is refused by name, whether the slot or
// channel it belongs to is on or not: the engine would otherwise scale by a half switch, take
// an unknown filter for another one or compare a NaN.
TEST(Calculate, FrameArgumentsRefuseWhatIsNoneOfTheFieldsCodes) {
    const auto refusal = [](const std::function<void(Parameters&)>& set) -> std::string {
        Parameters p = model::InitializeParameters();
        set(p);
        try {
            model::frameArguments(p, {});
        } catch (const std::invalid_argument& e) {
            return e.what();
        }
        return "accepted";
    };
    EXPECT_EQ(refusal([](Parameters& p) { p.slot.RAslotActive[2] = 0.5; }),
              "parameters.slot.RAslotActive of slot 3 is 0.5; it must be 0 or 1");
    EXPECT_EQ(refusal([](Parameters& p) { p.slot.RPCslotActive(3, 7) = -1; }),
              "parameters.slot.RPCslotActive of slot 4, channel 8 is -1; it must be 0 or 1");
    EXPECT_EQ(refusal([](Parameters& p) { p.slot.RPCslotValue(0, 0) = 2; }),
              "parameters.slot.RPCslotValue of slot 1, channel 1 is 2; it must be 0 or 1");
    EXPECT_EQ(refusal([](Parameters& p) { p.FilterType = 9; }),
              "parameters.FilterType is 9; it must be 1 (rectangular), 2 (IS-95 standard) or 3 (IS-95 ACP-optimised)");
    EXPECT_EQ(refusal([](Parameters& p) { p.Mode = 3; }),
              "parameters.Mode is 3; it must be 1 (1xEV forward link) or 2 (PN sequence only)");
    EXPECT_EQ(refusal([](Parameters& p) { p.OverSampling = 2.5; }),
              "parameters.OverSampling is 2.5; it must be a whole number from 2 to 30");
    EXPECT_EQ(refusal([](Parameters& p) { p.PilotOffsetIndex = 512; }),
              "parameters.PilotOffsetIndex is 512; it must be a whole number from 0 to 511");
    EXPECT_EQ(refusal([](Parameters& p) { p.slot.DATAslotMod[15] = 0; }),
              "parameters.slot.DATAslotMod of slot 16 is 0; it must be 1 (QPSK), 2 (8-PSK) or 3 (16-QAM)");
    // NaN is no code: it compares unequal to every one.
    for (auto set : std::initializer_list<void (*)(Parameters&)>{
             [](Parameters& p) { p.PhaseEq = NAN; }, [](Parameters& p) { p.MirrorSpectrum = NAN; },
             [](Parameters& p) { p.IdleSlotGainActive = NAN; }, [](Parameters& p) { p.MACchnActive = NAN; },
             [](Parameters& p) { p.slot.DATAslotActive[0] = NAN; }, [](Parameters& p) { p.OverSampling = NAN; }})
        EXPECT_THAT(refusal(set), testing::MatchesRegex("parameters\\..* is NaN; it must be .*"));
    // Through the calculation every program and the window share.
    Parameters p = model::InitializeParameters();
    p.FilterType = 9;
    EXPECT_THROW(model::Calculate(p), std::invalid_argument);
}

TEST(Calculate, RunsTheEngineOnTheRecord) {
    Parameters p = model::InitializeParameters();
    p.OverSampling = 2;
    p.DATAchnActive = 1;
    p.MACchnActive = 1;
    dsp::Rng rng(7);
    const engine::FrameResult r = model::Calculate(p, rng);
    EXPECT_EQ(r.waveform.size(), 65536u);
    EXPECT_EQ(r.events[0].size(), 65536u);
    EXPECT_EQ(r.events[1].size(), 65536u);
}

// A source that is none of the list's is refused by name, also where no traffic needs its bits,
// instead of giving a frame from settings a file cannot hold.
TEST(Calculate, AnUnknownDataSourceIsRefusedEvenWithoutTraffic) {
    Parameters p = model::InitializeParameters();
    p.DATAsourceType = 9;
    const std::string refusal = "parameters.DATAsourceType is 9; it must be 1 (all zeros), 2 (all ones), 3 (alternating "
                                "0101), 4 (alternating 1010), 5 (PN9 sequence) or 6 (PN15 sequence)";
    for (double traffic : {1, 0}) {
        p.DATAchnActive = traffic;
        EXPECT_THAT([&] { model::Calculate(p); }, testing::ThrowsMessage<std::invalid_argument>(refusal));
    }
    p.Mode = 2;
    EXPECT_THAT([&] { model::Calculate(p); }, testing::ThrowsMessage<std::invalid_argument>(refusal));
}
