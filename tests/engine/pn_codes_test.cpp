#include "engine/pn_codes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "engine/circular_shift.h"
#include "engine/walsh.h"

namespace {

using engine::Bits;
using engine::PNgenerator;
using Args = engine::PNgeneratorArgs;
using Row = std::vector<double>;

std::string hex64(const Bits& bits) {
    unsigned long long v = 0;
    for (std::size_t i = 0; i < 64; ++i) v = (v << 1) | bits.at(i);
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llx", v);
    return buf;
}

long ones(const Bits& bits) { return std::count(bits.begin(), bits.end(), 1); }

// Chips (read cyclically) where s(n) is not the xor of s(n - lag) over `lags`.
std::vector<std::size_t> recursionMisses(const Bits& s, std::initializer_list<std::size_t> lags) {
    std::vector<std::size_t> misses;
    for (std::size_t n = 0, L = s.size(); n < L; ++n) {
        std::uint8_t v = 0;
        for (std::size_t lag : lags) v ^= s[(n + L - lag) % L];
        if (v != s[n]) misses.push_back(n);
    }
    return misses;
}

std::size_t longestZeroRun(const Bits& bits) {
    std::size_t best = 0, run = 0;
    for (auto b : bits) best = std::max(best, run = b == 0 ? run + 1 : 0);
    return best;
}

TEST(Lfsr, SeedFirstAndValidation) {
    const Bits seed{1, 0, 1};
    EXPECT_EQ(engine::lfsr(3, {1, 1, 0, 9}, 8, seed), (Bits{1, 0, 1, 1, 1, 0, 0, 1}));  // a(i-3) xor a(i-2)
    EXPECT_EQ(engine::lfsr(3, {1, 1, 0}, 1, seed), seed);
    EXPECT_THROW(engine::lfsr(3, {1, 1}, 8, seed), std::invalid_argument);
    EXPECT_THROW(engine::lfsr(3, {1, 1, 0}, 8, Bits{1, 0}), std::invalid_argument);
}

TEST(ShortCodes, CheckValuesBalanceAndRecursions) {
    const Bits& i = engine::shortCodeI();
    const Bits& q = engine::shortCodeQ();
    EXPECT_EQ(hex64(i), "00010bcd952b3252");
    EXPECT_EQ(hex64(q), "000139f1c3e57aac");
    EXPECT_EQ(ones(i), 16384);
    EXPECT_EQ(ones(q), 16384);
    EXPECT_EQ(longestZeroRun(i), 15u);
    // Only the fifteenth zero of the leading run and the chip after it break the recursions.
    const std::vector<std::size_t> expected{14, 15};
    EXPECT_EQ(recursionMisses(i, {15, 13, 9, 8, 7, 5}), expected);
    EXPECT_EQ(recursionMisses(q, {15, 12, 11, 10, 6, 5, 4, 3}), expected);
    EXPECT_EQ(engine::Zuno_PNqSequence(2), engine::Zuno_Repeat(q, 2));
}

TEST(QuadSpreading, CodesAdvanceBy64ChipsPerOffset) {
    const engine::CVec ones(32768, 1.0);
    const engine::CVec pn0 = engine::Zuno_FwdQuadSpreading(ones, 0);
    const Bits& i = engine::shortCodeI();
    const Bits& q = engine::shortCodeQ();
    for (std::size_t t = 0; t < pn0.size(); ++t)
        ASSERT_EQ(pn0[t], dsp::cplx(1.0 - 2.0 * i[t], 1.0 - 2.0 * q[t])) << t;
    EXPECT_EQ(pn0[14], dsp::cplx(1, 1));
    EXPECT_EQ(engine::Zuno_FwdQuadSpreading(ones, 1), engine::CircularShiftLeft(pn0, 64));
    EXPECT_EQ(engine::Zuno_FwdQuadSpreading(ones, 511), engine::CircularShiftLeft(pn0, 32704));

    engine::CVec frame(32768);
    frame[100] = {0.5, -2.0};
    const dsp::cplx pn = pn0[100 + 3 * 64];
    EXPECT_EQ(engine::Zuno_FwdQuadSpreading(frame, 3)[100],
              dsp::cplx(0.5 * pn.real() + 2.0 * pn.imag(), 0.5 * pn.imag() - 2.0 * pn.real()));

    for (double bad : {-1.0, 512.0, 2.5, std::nan("")}) {
        try {
            engine::Zuno_FwdQuadSpreading(ones, bad);
            ADD_FAILURE() << "offset " << bad << " accepted";
        } catch (const std::invalid_argument& e) {
            EXPECT_NE(std::string(e.what()).find("PilotOffsetIndex = "), std::string::npos) << e.what();
        }
    }
    EXPECT_THROW(engine::Zuno_FwdQuadSpreading(engine::CVec(32767), 0), std::invalid_argument);
}

TEST(PNgenerator, CheckValuesAndRecursions) {
    EXPECT_EQ(hex64(PNgenerator(9, 64)), "ff83df1732094ed1");
    EXPECT_EQ(hex64(PNgenerator(15, 64)), "0001fffbffe7ffaf");
    const Bits pn9 = PNgenerator(9, 511);
    EXPECT_EQ(ones(pn9), 256);
    EXPECT_EQ(PNgenerator(), pn9);
    EXPECT_TRUE(recursionMisses(pn9, {9, 5}).empty());

    Bits pn15 = PNgenerator(15, 32767);  // inverted by the table
    EXPECT_EQ(ones(pn15), 16383);
    for (auto& b : pn15) b ^= 1u;
    EXPECT_TRUE(recursionMisses(pn15, {15, 14}).empty());
}

TEST(PNgenerator, DefaultsAndLimits) {
    EXPECT_EQ(PNgenerator(2, 10), PNgenerator(3, 10));
    EXPECT_EQ(PNgenerator(40, 10), PNgenerator(31, 10));
    EXPECT_EQ(PNgenerator(8.6, 40), PNgenerator(9, 40));
    EXPECT_EQ(PNgenerator(9, 10.9).size(), 10u);
    EXPECT_EQ(PNgenerator(9, -5), Bits{1});
    EXPECT_EQ(PNgenerator(Args{.n = Row{5}}).size(), 31u);
    EXPECT_EQ(PNgenerator(Args{.n = Row{5, 6}}).size(), 511u);
    EXPECT_EQ(PNgenerator(Args{.n = Row{5}, .dataLength = Row{}}).size(), 31u);
    EXPECT_THROW(PNgenerator(9, 4294967297.0), std::invalid_argument);
    EXPECT_THROW(PNgenerator(9, std::nan("")), std::invalid_argument);
}

TEST(PNgenerator, SeedAndInversion) {
    auto gen = [](std::optional<Row> seed, std::optional<double> invert = std::nullopt) {
        return PNgenerator(Args{.n = Row{5}, .dataLength = Row{20}, .userInvert = invert, .seed = seed});
    };
    auto head = [](const Bits& b) { return Bits(b.begin(), b.begin() + 5); };
    const Bits plain = gen(std::nullopt);
    EXPECT_EQ(head(plain), Bits(5, 1));
    EXPECT_EQ(gen(Row{0}), plain);
    EXPECT_EQ(gen(Row{1, 1}), plain);  // shorter than n
    EXPECT_EQ(head(gen(Row{7})), (Bits{0, 0, 0, 0, 1}));
    EXPECT_EQ(gen(Row{0, 0, 0, 0, 0, 1}), gen(Row{7}));  // all-zero seed gets a final 1
    EXPECT_EQ(head(gen(Row{1, 0, 1, 1, 0, 0})), (Bits{1, 0, 1, 1, 0}));
    EXPECT_THROW(gen(Row{1, 0, 2, 1, 0}), std::invalid_argument);

    Bits inverted = plain;
    for (auto& b : inverted) b ^= 1u;
    EXPECT_EQ(gen(std::nullopt, 1), inverted);
    EXPECT_EQ(gen(std::nullopt, 2), plain);
    // A user inversion cancels the table's inversion of degree 15.
    const Bits pn15 = PNgenerator(Args{.n = Row{15}, .dataLength = Row{64}, .userInvert = 1});
    EXPECT_EQ(hex64(pn15), "fffe000400180050");
}

TEST(PNgenerator, ZeroSuppressionAtDegreeTwenty) {
    auto gen = [](double n, double suppress) {
        return PNgenerator(Args{.n = Row{n}, .seed = Row{3}, .zeroSuppresion = suppress});
    };
    const Bits raw = gen(20, 0);
    ASSERT_EQ(raw.size(), 1048575u);
    EXPECT_EQ(longestZeroRun(raw), 19u);
    EXPECT_TRUE(recursionMisses(raw, {20, 3}).empty());

    const Bits suppressed = gen(20, 1);
    EXPECT_EQ(longestZeroRun(suppressed), 14u);
    EXPECT_EQ(suppressed[14], 1);  // the seed's run of zeros is cut
    EXPECT_EQ(gen(9, 1), gen(9, 0));
}

}  // namespace
