#include "engine/bursts.h"

#include <gtest/gtest.h>

#include "engine/walsh.h"

namespace {

using dsp::cplx;

const dsp::RVec kNoRpc(engine::kRpcChannels, 0.0);

// The MAC burst of one RPC channel at amplitude 1, bit 0, everything else off.
dsp::CVec singleRpc(std::size_t column) {
    dsp::RVec gains = kNoRpc;
    gains.at(column - 1) = 1.0;
    return engine::Zuno_FwdMACslot(kNoRpc, gains, 0, 0);
}

// Walsh function `fn` of length 64 times `scale`, four times over.
dsp::CVec expectedBurst(std::size_t fn, cplx scale) {
    const dsp::RVec w = engine::Zuno_WalshMatrix(64).row(fn);
    dsp::CVec row(64);
    for (std::size_t c = 0; c < 64; ++c) row[c] = scale * w[c];
    return engine::Zuno_Repeat(row, 4);
}

TEST(Bursts, Pilot) { EXPECT_EQ(engine::Zuno_FwdPilot(), dsp::RVec(96, 1.0)); }

TEST(Bursts, MacIndexToWalshFunctionAndBranch) {
    const dsp::CVec ra = engine::Zuno_FwdMACslot(kNoRpc, kNoRpc, 0, 1);
    ASSERT_EQ(ra.size(), 256u);
    EXPECT_EQ(ra, expectedBurst(2, 1));
    EXPECT_EQ(engine::Zuno_FwdMACslot(kNoRpc, kNoRpc, 1, 0.5), expectedBurst(2, -0.5));

    EXPECT_EQ(singleRpc(1), expectedBurst(34, cplx(0, 1)));
    EXPECT_EQ(singleRpc(2), expectedBurst(3, 1));
    EXPECT_EQ(singleRpc(58), expectedBurst(31, 1));
    EXPECT_EQ(singleRpc(59), expectedBurst(63, cplx(0, 1)));

    // Bits flip the sign; channels add chip by chip.
    dsp::RVec bits = kNoRpc, gains = kNoRpc;
    bits[0] = 1;
    gains[0] = 2;
    gains[1] = 0.25;
    const dsp::CVec mixed = engine::Zuno_FwdMACslot(bits, gains, 0, 1);
    const dsp::CVec a = expectedBurst(2, 1), b = expectedBurst(34, cplx(0, -2)), c = expectedBurst(3, 0.25);
    for (std::size_t k = 0; k < 256; ++k) ASSERT_EQ(mixed[k], a[k] + b[k] + c[k]) << k;
}

TEST(Bursts, MacSlotRejectsWrongSizes) {
    EXPECT_THROW(engine::Zuno_FwdMACslot(dsp::RVec(58), kNoRpc, 0, 1), std::invalid_argument);
    EXPECT_THROW(engine::Zuno_FwdMACslot(kNoRpc, dsp::RVec(60), 0, 1), std::invalid_argument);
}

TEST(Bursts, IdleSlotNoiseOrZeros) {
    dsp::Rng rng(12345);
    EXPECT_EQ(engine::Zuno_FwdIdleSlot(0, -10, 256, rng), dsp::CVec(256));

    auto meanPower = [](const dsp::CVec& v) {
        double p = 0;
        for (const auto& x : v) p += std::norm(x);
        return p / static_cast<double>(v.size());
    };
    const dsp::CVec traffic = engine::Zuno_FwdIdleSlot(1, -10, 1600, rng);
    ASSERT_EQ(traffic.size(), 1600u);
    EXPECT_NEAR(meanPower(traffic), 0.1, 0.01);
    EXPECT_NEAR(meanPower(engine::Zuno_FwdIdleSlot(1, -30, 200000, rng)), 1e-3, 2e-5);

    dsp::Rng a(7), b(7);
    EXPECT_EQ(engine::Zuno_FwdIdleSlot(1, 0, 64, a), engine::Zuno_FwdIdleSlot(1, 0, 64, b));
}

}  // namespace
