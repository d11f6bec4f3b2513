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

void expectNear(cplx actual, cplx expected, const std::string& what) {
    EXPECT_NEAR(actual.real(), expected.real(), 1e-12) << what;
    EXPECT_NEAR(actual.imag(), expected.imag(), 1e-12) << what;
}

// The symbol of the k bits of `v`, first bit most significant.
cplx map(unsigned v, int k, double format) {
    Bits bits(static_cast<std::size_t>(k));
    for (int b = 0; b < k; ++b) bits[static_cast<std::size_t>(b)] = (v >> (k - 1 - b)) & 1u;
    return engine::Zuno_IQmap(bits, format);
}

TEST(Traffic, FormatsAndTheirMessage) {
    EXPECT_EQ(engine::bitsPerSymbol(1), 2);
    EXPECT_EQ(engine::bitsPerSymbol(3), 4);
    try {
        engine::bitsPerSymbol(7);
        ADD_FAILURE() << "format 7 accepted";
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "DATAformat = 7 is not a modulation format (1 QPSK, 2 8-PSK, 3 16-QAM)");
    }
    EXPECT_THROW(engine::Zuno_FwdTrfModulator(Bits{0, 0}, 2.5), std::invalid_argument);
    EXPECT_THROW(engine::Zuno_IQmap(Bits{0, 0, 0}, 1), std::invalid_argument);
}

TEST(Traffic, SymbolTables) {
    const double r2 = 1 / std::sqrt(2.0);
    const cplx qpsk[4] = {{r2, r2}, {r2, -r2}, {-r2, r2}, {-r2, -r2}};
    const double c = std::cos(std::numbers::pi / 8), s = std::sin(std::numbers::pi / 8);
    const cplx psk[8] = {{c, s}, {c, -s}, {-c, s}, {-c, -s}, {s, c}, {s, -c}, {-s, c}, {-s, -c}};
    const double level[4] = {3, -3, 1, -1};  // bit pairs 00 01 10 11
    double power[3] = {0, 0, 0};
    for (unsigned v = 0; v < 16; ++v) {
        if (v < 4) expectNear(map(v, 2, 1), qpsk[v], "QPSK " + std::to_string(v));
        if (v < 8) expectNear(map(v, 3, 2), psk[v], "8-PSK " + std::to_string(v));
        expectNear(map(v, 4, 3), cplx(level[v >> 2], level[v & 3u]) / std::sqrt(10.0), "16-QAM " + std::to_string(v));
        power[0] += v < 4 ? std::norm(map(v, 2, 1)) / 4 : 0;
        power[1] += v < 8 ? std::norm(map(v, 3, 2)) / 8 : 0;
        power[2] += std::norm(map(v, 4, 3)) / 16;
    }
    for (double p : power) EXPECT_NEAR(p, 1.0, 1e-12);

    // 8-PSK 1 0 1 is s - jc, and the cover's conjugation turns it into s + jc.
    const dsp::CVec sym = engine::Zuno_FwdTrfModulator(Bits{1, 0, 1}, 2);
    expectNear(sym.at(0), {s, -c}, "before cover");
    expectNear(engine::Zuno_WalshCover(sym, dsp::RVec{1}).at(0), {s, c}, "after cover");
}

TEST(Traffic, ModulatorPadsAndMapsWholeSlots) {
    const dsp::CVec syms = engine::Zuno_FwdTrfModulator(Bits{1, 1, 0, 1, 1}, 1);
    EXPECT_EQ(syms, (dsp::CVec{map(3, 2, 1), map(1, 2, 1), map(2, 2, 1)}));
    const dsp::CVec qam = engine::Zuno_FwdTrfModulator(Bits(6400, 1), 3);
    EXPECT_EQ(qam, dsp::CVec(1600, cplx(-1, -1) / std::sqrt(10.0)));
}

TEST(Traffic, RepetitionDemuxAndCover) {
    const cplx a{1, 0}, b{0, 1}, c{2, 2};
    EXPECT_EQ(engine::Zuno_FwdTrfRepSeq({a, b, c}, 7), (dsp::CVec{a, b, c, a, b, c, a}));
    EXPECT_EQ(engine::Zuno_FwdTrfRepSeq({a, b, c}, 2), (dsp::CVec{a, b}));
    EXPECT_THROW(engine::Zuno_FwdTrfRepSeq({}, 4), std::invalid_argument);

    dsp::CVec symbols(32);
    for (std::size_t i = 0; i < 32; ++i) symbols[i] = static_cast<double>(i + 1);
    const engine::Streams rows = engine::Zuno_FwdTrfDemux(symbols);
    ASSERT_EQ(rows.size(), 16u);
    EXPECT_EQ(rows[0], (dsp::CVec{1, 17}));
    EXPECT_EQ(rows[15], (dsp::CVec{16, 32}));
    symbols.resize(17);
    EXPECT_EQ(engine::Zuno_FwdTrfDemux(symbols)[1], (dsp::CVec{2, 0}));  // zero padding

    // Stream i is covered by Walsh function i - 1, symbols conjugated.
    const engine::Streams covered = engine::Zuno_FwdTrfWalshCover(engine::Streams(16, dsp::CVec{cplx(1, 1)}));
    const dsp::Matrix w = engine::Zuno_WalshMatrix(16);
    for (std::size_t i = 0; i < 16; ++i)
        for (std::size_t n = 0; n < 16; ++n) ASSERT_EQ(covered[i][n], cplx(1, -1) * w(i, n));
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
        std::size_t bits, len;
    };
    std::mt19937 gen(1);
    for (const Case& c : {Case{1, 3200, 1600}, Case{2, 4800, 1600}, Case{3, 6400, 1600}, Case{2, 301, 1000}}) {
        Bits data(c.bits);
        for (auto& b : data) b = gen() & 1u;
        const dsp::CVec chain = engine::Zuno_FwdTrfSummer(engine::Zuno_FwdTrfChnGain(engine::Zuno_FwdTrfWalshCover(
            engine::Zuno_FwdTrfDemux(engine::Zuno_FwdTrfRepSeq(engine::Zuno_FwdTrfModulator(data, c.format), c.len)))));
        const dsp::CVec direct = engine::Zuno_FwdTrfChn(data, c.format, c.len);
        ASSERT_EQ(direct.size(), chain.size()) << c.format;
        for (std::size_t k = 0; k < chain.size(); ++k)
            expectNear(direct[k], chain[k], "format " + std::to_string(c.format) + " chip " + std::to_string(k));
    }
}

}  // namespace
