#include "model/calculate.h"

#include <gtest/gtest.h>

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
        EXPECT_STREQ(e.what(), "parameters.slot.DATAslotMod of slot 12 is 4; it must be 1, 2 or 3");
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
        EXPECT_EQ(a.DATAactive[i], 0);
        EXPECT_EQ(a.RAactive[i], 0);
        EXPECT_EQ(a.RPCchnActive[i], 0);
    }

    p.DATAchnActive = 1;
    p.MACchnActive = 1;
    a = model::frameArguments(p, {1, 0, 1});
    for (std::size_t i = 0; i < 16; ++i) {
        EXPECT_EQ(a.DATAactive[i], i == 2 ? 0 : 1) << "slot " << i + 1;
        EXPECT_EQ(a.RAactive[i], i == 4 ? 0 : 1) << "slot " << i + 1;
        EXPECT_EQ(a.RPCchnActive[i], i == 6 ? 0 : 1) << "slot " << i + 1;
    }
    // The rest passes through unchanged.
    EXPECT_EQ(a.DATAformat[1], 3);
    EXPECT_EQ(a.RAgain[3], -7);
    EXPECT_EQ(a.RPCgains(15, 58), 2.5);
    EXPECT_EQ(a.RPCactive, p.slot.RPCslotActive);
    EXPECT_EQ(a.DATAbits, (dsp::Bits{1, 0, 1}));
    EXPECT_EQ(a.oversamplingRate, 7);
    ASSERT_TRUE(std::holds_alternative<double>(a.filterType));
    EXPECT_EQ(std::get<double>(a.filterType), 2);
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

TEST(Calculate, DataSourceWithoutBitsNamesTheSetting) {
    Parameters p = model::InitializeParameters();
    p.DATAsourceType = 9;  // no such source: no bits
    p.DATAchnActive = 1;
    p.slot.DATAslotActive.fill(0);
    p.slot.DATAslotActive[5] = 1;
    try {
        model::Calculate(p);
        FAIL() << "no error";
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(),
                     "parameters.DATAsourceType 9 gives no traffic bits; the active traffic slots need 3200");
    }
    // Without active traffic, or in a PN-only frame, no bits are needed.
    p.OverSampling = 2;
    p.Mode = 2;
    EXPECT_NO_THROW(model::Calculate(p));
    p.Mode = 1;
    p.DATAchnActive = 0;
    EXPECT_NO_THROW(model::Calculate(p));
}
