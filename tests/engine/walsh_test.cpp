#include "engine/walsh.h"

#include <gtest/gtest.h>

namespace {

using dsp::cplx;

TEST(Walsh, MatrixRowsAndOrthogonality) {
    const dsp::Matrix w = engine::Zuno_WalshMatrix(64);
    ASSERT_EQ(w.rows, 64u);
    ASSERT_EQ(w.cols, 64u);
    EXPECT_EQ(w.row(0), dsp::RVec(64, 1.0));
    const dsp::RVec row3 = w.row(2);
    for (std::size_t c = 0; c < 64; ++c) EXPECT_EQ(row3[c], c % 4 < 2 ? 1.0 : -1.0) << c;

    for (std::size_t a = 0; a < 64; ++a)
        for (std::size_t b = 0; b < 64; ++b) {
            double dot = 0;
            for (std::size_t c = 0; c < 64; ++c) dot += w(a, c) * w(b, c);
            ASSERT_EQ(dot, a == b ? 64.0 : 0.0) << a << "," << b;
        }

    EXPECT_EQ(engine::Zuno_WalshMatrix(16).rows, 16u);
    EXPECT_EQ(engine::Zuno_WalshMatrix(100), w);  // order 2^floor(log2(index))
    EXPECT_EQ(engine::Zuno_WalshMatrix(1), dsp::Matrix(1, 1, 1.0));
    EXPECT_THROW(engine::Zuno_WalshMatrix(0), std::invalid_argument);
}

TEST(Walsh, CoverConjugatesComplexSymbols) {
    const dsp::RVec code{1, 1, -1, -1};
    EXPECT_EQ(engine::Zuno_WalshCover(dsp::RVec{1, -1}, code), (dsp::RVec{1, 1, -1, -1, -1, -1, 1, 1}));

    const dsp::CVec j = engine::Zuno_WalshCover(dsp::CVec{cplx(0, 1)}, code);
    EXPECT_EQ(j, (dsp::CVec{cplx(0, -1), cplx(0, -1), cplx(0, 1), cplx(0, 1)}));

    const dsp::CVec two = engine::Zuno_WalshCover(dsp::CVec{cplx(1, 2), cplx(-3, 0.5)}, dsp::RVec{1, -1});
    EXPECT_EQ(two, (dsp::CVec{cplx(1, -2), cplx(-1, 2), cplx(-3, -0.5), cplx(3, 0.5)}));
    EXPECT_TRUE(engine::Zuno_WalshCover(dsp::RVec{}, code).empty());
}

TEST(Walsh, SignalMapAndRepeat) {
    EXPECT_EQ(engine::Zuno_SignalMap(dsp::Bits{0, 1, 1, 0}), (dsp::RVec{1, -1, -1, 1}));
    EXPECT_EQ(engine::Zuno_SignalMap(dsp::RVec{0, 1, 0.5}), (dsp::RVec{1, -1, 0}));
    EXPECT_EQ(engine::Zuno_Repeat(std::vector<int>{1, 2, 3}, 2), (std::vector<int>{1, 2, 3, 1, 2, 3}));
    EXPECT_TRUE(engine::Zuno_Repeat(std::vector<int>{1, 2, 3}, 0).empty());
}

}  // namespace
