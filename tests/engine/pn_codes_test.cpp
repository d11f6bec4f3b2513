#include "engine/pn_codes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>

#include "engine/circular_shift.h"

namespace {

using engine::Bits;
using engine::PNgenerator;
using engine::PNgeneratorArgs;

std::string hex64(const Bits& bits) {
    unsigned long long v = 0;
    for (std::size_t i = 0; i < 64; ++i) v = (v << 1) | bits.at(i);
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llx", v);
    return buf;
}

std::size_t ones(const Bits& bits) { return static_cast<std::size_t>(std::count(bits.begin(), bits.end(), 1)); }

// Chips where s(n) differs from the xor of s(n - lag) over `lags`, read cyclically.
std::vector<std::size_t> recursionMisses(const Bits& s, std::initializer_list<std::size_t> lags) {
    std::vector<std::size_t> misses;
    const std::size_t L = s.size();
    for (std::size_t n = 0; n < L; ++n) {
        std::uint8_t v = 0;
        for (std::size_t lag : lags) v ^= s[(n + L - lag) % L];
        if (v != s[n]) misses.push_back(n);
    }
    return misses;
}

std::size_t longestZeroRun(const Bits& bits) {
    std::size_t best = 0, run = 0;
    for (auto b : bits) {
        run = b == 0 ? run + 1 : 0;
        best = std::max(best, run);
    }
    return best;
}

TEST(Lfsr, SeedComesFirstAndLengthIsAtLeastOrder) {
    const Bits seed{1, 0, 1};
    const Bits a = engine::lfsr(3, {1, 1, 0, 9}, 8, seed);  // a(i) = a(i-3) xor a(i-2)
    EXPECT_EQ(a, (Bits{1, 0, 1, 1, 1, 0, 0, 1}));
    EXPECT_EQ(engine::lfsr(3, {1, 1, 0}, 1, seed), seed);
    EXPECT_THROW(engine::lfsr(3, {1, 1}, 8, seed), std::invalid_argument);
    EXPECT_THROW(engine::lfsr(3, {1, 1, 0}, 8, Bits{1, 0}), std::invalid_argument);
    EXPECT_THROW(engine::lfsr(0, {}, 8, Bits{}), std::invalid_argument);
}

TEST(ShortCodes, CheckValuesBalanceAndRecursions) {
    const Bits& i = engine::shortCodeI();
    const Bits& q = engine::shortCodeQ();
    ASSERT_EQ(i.size(), 32768u);
    ASSERT_EQ(q.size(), 32768u);
    EXPECT_EQ(hex64(i), "00010bcd952b3252");
    EXPECT_EQ(hex64(q), "000139f1c3e57aac");
    EXPECT_EQ(ones(i), 16384u);
    EXPECT_EQ(ones(q), 16384u);
    EXPECT_EQ(longestZeroRun(i), 15u);
    EXPECT_EQ(longestZeroRun(q), 15u);

    // Only the fifteenth zero of the leading run and the chip after it break the time-order recursions.
    const std::vector<std::size_t> expected{14, 15};
    EXPECT_EQ(recursionMisses(i, {15, 13, 9, 8, 7, 5}), expected);
    EXPECT_EQ(recursionMisses(q, {15, 12, 11, 10, 6, 5, 4, 3}), expected);

    EXPECT_EQ(engine::Zuno_PNiSequence(1), i);
    const Bits two = engine::Zuno_PNqSequence(2);
    ASSERT_EQ(two.size(), 65536u);
    EXPECT_TRUE(std::equal(q.begin(), q.end(), two.begin()));
    EXPECT_TRUE(std::equal(q.begin(), q.end(), two.begin() + 32768));
    EXPECT_TRUE(engine::Zuno_PNiSequence(0).empty());
}

TEST(QuadSpreading, CodesAdvanceBy64ChipsPerOffset) {
    const engine::CVec ones(32768, {1.0, 0.0});
    const engine::CVec pn0 = engine::Zuno_FwdQuadSpreading(ones, 0);
    const Bits& i = engine::shortCodeI();
    const Bits& q = engine::shortCodeQ();
    for (std::size_t t = 0; t < pn0.size(); ++t)
        ASSERT_EQ(pn0[t], dsp::cplx(1.0 - 2.0 * i[t], 1.0 - 2.0 * q[t])) << "chip " << t;
    for (std::size_t t = 0; t < 15; ++t) EXPECT_EQ(pn0[t], dsp::cplx(1, 1));

    EXPECT_EQ(engine::Zuno_FwdQuadSpreading(ones, 1), engine::CircularShiftLeft(pn0, 64));
    EXPECT_EQ(engine::Zuno_FwdQuadSpreading(ones, 511), engine::CircularShiftLeft(pn0, 32704));

    // A general chip: (I + jQ)(pnI + j pnQ).
    engine::CVec frame(32768, {0.0, 0.0});
    frame[100] = {0.5, -2.0};
    const engine::CVec spread = engine::Zuno_FwdQuadSpreading(frame, 3);
    const dsp::cplx pn = pn0[100 + 192];
    EXPECT_EQ(spread[100], dsp::cplx(0.5 * pn.real() + 2.0 * pn.imag(), 0.5 * pn.imag() - 2.0 * pn.real()));
    EXPECT_EQ(spread[101], dsp::cplx(0, 0));
}

TEST(QuadSpreading, RejectsBadFramesAndOffsets) {
    const engine::CVec frame(32768);
    for (double bad : {-1.0, 512.0, 2.5, std::nan("")}) {
        try {
            engine::Zuno_FwdQuadSpreading(frame, bad);
            ADD_FAILURE() << "offset " << bad << " accepted";
        } catch (const std::invalid_argument& e) {
            EXPECT_NE(std::string(e.what()).find("PilotOffsetIndex"), std::string::npos) << e.what();
        }
    }
    try {
        engine::Zuno_FwdQuadSpreading(frame, 512);
    } catch (const std::invalid_argument& e) {
        EXPECT_NE(std::string(e.what()).find("512"), std::string::npos) << e.what();
    }
    EXPECT_THROW(engine::Zuno_FwdQuadSpreading(engine::CVec(32767), 0), std::invalid_argument);
}

TEST(PNgenerator, CheckValuesAndRecursions) {
    EXPECT_EQ(hex64(PNgenerator(9, 64)), "ff83df1732094ed1");
    EXPECT_EQ(hex64(PNgenerator(15, 64)), "0001fffbffe7ffaf");
    const Bits full9 = PNgenerator(9, 511);
    EXPECT_EQ(ones(full9), 256u);
    EXPECT_EQ(PNgenerator(), full9);

    EXPECT_EQ(recursionMisses(full9, {9, 5}), std::vector<std::size_t>{});
    // Degree 15 comes out inverted: undo that before checking its recursion.
    Bits pn15 = PNgenerator(15, 32767);
    EXPECT_EQ(ones(pn15), 16383u);
    for (auto& b : pn15) b ^= 1u;
    EXPECT_EQ(recursionMisses(pn15, {15, 14}), std::vector<std::size_t>{});
}

TEST(PNgenerator, DefaultsAndLimits) {
    EXPECT_EQ(PNgenerator(2, 10), PNgenerator(3, 10));
    EXPECT_EQ(PNgenerator(40, 10), PNgenerator(31, 10));
    EXPECT_EQ(PNgenerator(8.6, 40), PNgenerator(9, 40));
    EXPECT_EQ(PNgenerator(9, 10.9).size(), 10u);
    EXPECT_EQ(PNgenerator(9, 0), Bits{1});
    EXPECT_EQ(PNgenerator(9, -5).size(), 1u);

    EXPECT_EQ(PNgenerator(PNgeneratorArgs{.n = std::vector<double>{5}}).size(), 31u);
    EXPECT_EQ(PNgenerator(PNgeneratorArgs{.n = std::vector<double>{5, 6}}).size(), 511u);
    EXPECT_EQ(PNgenerator(PNgeneratorArgs{.n = std::vector<double>{5}, .dataLength = std::vector<double>{}}).size(),
              31u);

    EXPECT_THROW(PNgenerator(9, 4294967297.0), std::invalid_argument);
    EXPECT_THROW(PNgenerator(9, std::numeric_limits<double>::infinity()), std::invalid_argument);
    EXPECT_THROW(PNgenerator(9, std::nan("")), std::invalid_argument);
}

TEST(PNgenerator, SeedAndInversion) {
    auto gen = [](std::optional<std::vector<double>> seed, std::optional<double> invert = std::nullopt) {
        return PNgenerator(PNgeneratorArgs{.n = std::vector<double>{5},
                                           .dataLength = std::vector<double>{20},
                                           .userInvert = invert,
                                           .seed = std::move(seed)});
    };
    const Bits plain = gen(std::nullopt);
    EXPECT_EQ(Bits(plain.begin(), plain.begin() + 5), Bits(5, 1));
    EXPECT_EQ(gen(std::vector<double>{0}), plain);
    EXPECT_EQ(gen(std::vector<double>{1, 1}), plain);  // shorter than n
    const Bits scalar = gen(std::vector<double>{7});
    EXPECT_EQ(Bits(scalar.begin(), scalar.begin() + 5), (Bits{0, 0, 0, 0, 1}));
    EXPECT_EQ(gen(std::vector<double>{0, 0, 0, 0, 0, 1}), scalar);  // all-zero first n bits
    const Bits given = gen(std::vector<double>{1, 0, 1, 1, 0, 0});
    EXPECT_EQ(Bits(given.begin(), given.begin() + 5), (Bits{1, 0, 1, 1, 0}));
    EXPECT_THROW(gen(std::vector<double>{1, 0, 2, 1, 0}), std::invalid_argument);

    Bits inverted = plain;
    for (auto& b : inverted) b ^= 1u;
    EXPECT_EQ(gen(std::nullopt, 1), inverted);
    EXPECT_EQ(gen(std::nullopt, 2), plain);

    // Degree 15 is inverted by the table; a user inversion cancels it.
    const Bits pn15 = PNgenerator(15, 64);
    const Bits doubled = PNgenerator(PNgeneratorArgs{.n = std::vector<double>{15},
                                                     .dataLength = std::vector<double>{64},
                                                     .userInvert = 1});
    for (std::size_t k = 0; k < 64; ++k) ASSERT_EQ(doubled[k], pn15[k] ^ 1u);
}

TEST(PNgenerator, ZeroSuppressionAtDegreeTwenty) {
    auto gen = [](int n, double suppress) {
        return PNgenerator(PNgeneratorArgs{.n = std::vector<double>{static_cast<double>(n)},
                                           .seed = std::vector<double>{3},
                                           .zeroSuppresion = suppress});
    };
    const Bits raw = gen(20, 0);
    ASSERT_EQ(raw.size(), 1048575u);
    EXPECT_EQ(longestZeroRun(raw), 19u);
    EXPECT_EQ(recursionMisses(raw, {20, 3}), std::vector<std::size_t>{});

    const Bits suppressed = gen(20, 1);
    ASSERT_EQ(suppressed.size(), raw.size());
    EXPECT_EQ(longestZeroRun(suppressed), 14u);
    EXPECT_EQ(suppressed[14], 1);  // the seed's leading zero run is cut
    EXPECT_EQ(gen(9, 1), gen(9, 0));
}

}  // namespace
