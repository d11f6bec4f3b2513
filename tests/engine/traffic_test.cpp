#include "engine/traffic.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <string>

#include "engine/walsh.h"

namespace {

using dsp::Bits;
using dsp::cplx;

constexpr double kTol = 1e-12;

void expectNear(cplx actual, cplx expected, const std::string& what) {
    EXPECT_NEAR(actual.real(), expected.real(), kTol) << what;
    EXPECT_NEAR(actual.imag(), expected.imag(), kTol) << what;
}

cplx map(Bits bits, double format) { return engine::Zuno_IQmap(bits, format); }

Bits randomBits(std::size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    Bits out(n);
    for (auto& b : out) b = static_cast<std::uint8_t>(gen() & 1u);
    return out;
}

// Mean power of every 16-point symbol set of a format.
double averagePower(double format) {
    const int k = engine::bitsPerSymbol(format);
    double p = 0;
    for (unsigned v = 0; v < (1u << k); ++v) {
        Bits bits(static_cast<std::size_t>(k));
        for (int b = 0; b < k; ++b) bits[static_cast<std::size_t>(b)] = (v >> (k - 1 - b)) & 1u;
        p += std::norm(map(bits, format));
    }
    return p / (1u << k);
}

TEST(Traffic, FormatsAndTheirMessage) {
    EXPECT_EQ(engine::bitsPerSymbol(1), 2);
    EXPECT_EQ(engine::bitsPerSymbol(2), 3);
    EXPECT_EQ(engine::bitsPerSymbol(3), 4);
    try {
        engine::bitsPerSymbol(7);
        ADD_FAILURE() << "format 7 accepted";
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "DATAformat = 7 is not a modulation format (1 QPSK, 2 8-PSK, 3 16-QAM)");
    }
    EXPECT_THROW(engine::bitsPerSymbol(2.5), std::invalid_argument);
    EXPECT_THROW(engine::Zuno_FwdTrfModulator(Bits{0, 0}, 0), std::invalid_argument);
    EXPECT_THROW(map({0, 0, 0}, 1), std::invalid_argument);  // QPSK takes two bits
}

TEST(Traffic, SymbolTables) {
    const double r2 = 1 / std::sqrt(2.0);
    expectNear(map({0, 0}, 1), {r2, r2}, "QPSK 00");
    expectNear(map({0, 1}, 1), {r2, -r2}, "QPSK 01");
    expectNear(map({1, 0}, 1), {-r2, r2}, "QPSK 10");
    expectNear(map({1, 1}, 1), {-r2, -r2}, "QPSK 11");

    const double c = std::cos(std::numbers::pi / 8), s = std::sin(std::numbers::pi / 8);
    const cplx psk[8] = {{c, s}, {c, -s}, {-c, s}, {-c, -s}, {s, c}, {s, -c}, {-s, c}, {-s, -c}};
    const double phase[8] = {22.5, -22.5, 157.5, -157.5, 67.5, -67.5, 112.5, -112.5};
    for (unsigned v = 0; v < 8; ++v) {
        const cplx sym = map({static_cast<std::uint8_t>(v >> 2), static_cast<std::uint8_t>((v >> 1) & 1u),
                              static_cast<std::uint8_t>(v & 1u)},
                             2);
        expectNear(sym, psk[v], "8-PSK " + std::to_string(v));
        EXPECT_NEAR(std::arg(sym) * 180 / std::numbers::pi, phase[v], 1e-9);
    }

    const double level[4] = {3, -3, 1, -1};  // bit pairs 00 01 10 11
    for (unsigned v = 0; v < 16; ++v) {
        const Bits bits{static_cast<std::uint8_t>(v >> 3), static_cast<std::uint8_t>((v >> 2) & 1u),
                        static_cast<std::uint8_t>((v >> 1) & 1u), static_cast<std::uint8_t>(v & 1u)};
        expectNear(map(bits, 3), cplx(level[v >> 2], level[v & 3u]) / std::sqrt(10.0), "16-QAM " + std::to_string(v));
    }

    for (double format : {1.0, 2.0, 3.0}) EXPECT_NEAR(averagePower(format), 1.0, kTol) << format;
}

TEST(Traffic, ModulatorPadsTheLastSymbol) {
    const dsp::CVec syms = engine::Zuno_FwdTrfModulator(Bits{1, 1, 0, 1, 1}, 1);
    ASSERT_EQ(syms.size(), 3u);
    EXPECT_EQ(syms[0], map({1, 1}, 1));
    EXPECT_EQ(syms[1], map({0, 1}, 1));
    EXPECT_EQ(syms[2], map({1, 0}, 1));

    const dsp::CVec qam = engine::Zuno_FwdTrfModulator(Bits(6400, 1), 3);
    ASSERT_EQ(qam.size(), 1600u);
    for (const auto& v : qam) ASSERT_EQ(v, cplx(-1, -1) / std::sqrt(10.0));
}

TEST(Traffic, EightPskOneZeroOneIsConjugatedByTheCover) {
    const double c = std::cos(std::numbers::pi / 8), s = std::sin(std::numbers::pi / 8);
    const dsp::CVec sym = engine::Zuno_FwdTrfModulator(Bits{1, 0, 1}, 2);
    ASSERT_EQ(sym.size(), 1u);
    expectNear(sym[0], {s, -c}, "before cover");
    expectNear(engine::Zuno_WalshCover(sym, dsp::RVec{1})[0], {s, c}, "after cover");
}

TEST(Traffic, RepetitionAndDemux) {
    const cplx a{1, 0}, b{0, 1}, c{2, 2};
    EXPECT_EQ(engine::Zuno_FwdTrfRepSeq({a, b, c}, 7), (dsp::CVec{a, b, c, a, b, c, a}));
    EXPECT_EQ(engine::Zuno_FwdTrfRepSeq({a, b, c}, 2), (dsp::CVec{a, b}));
    EXPECT_EQ(engine::Zuno_FwdTrfRepSeq({a, b, c}, 3), (dsp::CVec{a, b, c}));
    EXPECT_TRUE(engine::Zuno_FwdTrfRepSeq({a, b, c}, 0).empty());
    EXPECT_THROW(engine::Zuno_FwdTrfRepSeq({}, 4), std::invalid_argument);

    dsp::CVec symbols(32);
    for (std::size_t i = 0; i < 32; ++i) symbols[i] = static_cast<double>(i + 1);
    const engine::Streams rows = engine::Zuno_FwdTrfDemux(symbols);
    ASSERT_EQ(rows.size(), 16u);
    EXPECT_EQ(rows[0], (dsp::CVec{1, 17}));
    EXPECT_EQ(rows[15], (dsp::CVec{16, 32}));

    symbols.resize(17);  // padded with zeros to 32
    const engine::Streams padded = engine::Zuno_FwdTrfDemux(symbols);
    EXPECT_EQ(padded[0], (dsp::CVec{1, 17}));
    EXPECT_EQ(padded[1], (dsp::CVec{2, 0}));
}

TEST(Traffic, CoverGainAndSum) {
    engine::Streams rows(16, dsp::CVec{cplx(1, 1)});
    const engine::Streams covered = engine::Zuno_FwdTrfWalshCover(rows);
    const dsp::Matrix w = engine::Zuno_WalshMatrix(16);
    for (std::size_t i = 0; i < 16; ++i)
        for (std::size_t n = 0; n < 16; ++n) ASSERT_EQ(covered[i][n], cplx(1, -1) * w(i, n));
    EXPECT_THROW(engine::Zuno_FwdTrfWalshCover(engine::Streams(15)), std::invalid_argument);

    const engine::Streams gained = engine::Zuno_FwdTrfChnGain({{cplx(4, -8)}, {cplx(2, 0)}});
    EXPECT_EQ(gained, (engine::Streams{{cplx(1, -2)}, {cplx(0.5, 0)}}));
    EXPECT_EQ(engine::Zuno_FwdTrfSummer({{1, 2}, {10, 20}, {100, 200}}), (dsp::CVec{111, 222}));
    EXPECT_THROW(engine::Zuno_FwdTrfSummer({{1, 2}, {1}}), std::invalid_argument);
}

TEST(Traffic, AllZeroQpskSlot) {
    const dsp::CVec chips = engine::Zuno_FwdTrfChn(Bits(3200, 0), 1, 1600);
    ASSERT_EQ(chips.size(), 1600u);
    const cplx first = 4.0 * cplx(1, -1) / std::sqrt(2.0);
    for (std::size_t k = 0; k < chips.size(); ++k)
        expectNear(chips[k], k % 16 == 0 ? first : cplx(0, 0), "chip " + std::to_string(k));
}

TEST(Traffic, DirectSlotEqualsTheChainOfStages) {
    struct Case {
        double format;
        std::size_t bits;
        std::size_t len;
    };
    const Case cases[] = {{1, 3200, 1600}, {2, 4800, 1600}, {3, 6400, 1600}, {2, 301, 1000}, {3, 64, 37}};
    unsigned seed = 1;
    for (const Case& c : cases) {
        const Bits data = randomBits(c.bits, seed++);
        dsp::CVec chain = engine::Zuno_FwdTrfModulator(data, c.format);
        chain = engine::Zuno_FwdTrfRepSeq(chain, c.len);
        chain = engine::Zuno_FwdTrfSummer(
            engine::Zuno_FwdTrfChnGain(engine::Zuno_FwdTrfWalshCover(engine::Zuno_FwdTrfDemux(chain))));

        const dsp::CVec direct = engine::Zuno_FwdTrfChn(data, c.format, c.len);
        ASSERT_EQ(direct.size(), chain.size()) << c.format << "/" << c.len;
        for (std::size_t k = 0; k < chain.size(); ++k)
            expectNear(direct[k], chain[k], "format " + std::to_string(c.format) + " chip " + std::to_string(k));
    }
}

TEST(Traffic, PskSlotHasUnitPower) {
    // The gain brings 16 unit-power streams back to the pilot's power.
    for (double format : {1.0, 2.0}) {
        const dsp::CVec chips =
            engine::Zuno_FwdTrfChn(randomBits(1600 * static_cast<std::size_t>(engine::bitsPerSymbol(format)), 9),
                                   format, 1600);
        double p = 0;
        for (const auto& v : chips) p += std::norm(v);
        EXPECT_NEAR(p / 1600.0, 1.0, 1e-12) << format;
    }
}

}  // namespace
