#include "engine/baseband_filter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "engine/circular_shift.h"

using namespace engine;
using dsp::cplx;
using dsp::CVec;

namespace {

CVec randomChips(std::size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_int_distribution<int> bit(0, 1);
    CVec out(n);
    for (auto& c : out) c = {1.0 - 2 * bit(gen), 1.0 - 2 * bit(gen)};
    return out;
}

double peakDifference(const CVec& a, const CVec& b) {
    double d = 0;
    for (std::size_t i = 0; i < a.size(); ++i) d = std::max(d, std::abs(a[i] - b[i]));
    return d;
}

double peak(const CVec& a) {
    double p = 0;
    for (const auto& v : a) p = std::max(p, std::abs(v));
    return p;
}

}  // namespace

TEST(BasebandFilter, SelectionByNumberAndName) {
    EXPECT_EQ(filterKind(1.0), FilterKind::Rectangular);
    EXPECT_EQ(filterKind(2.0), FilterKind::Is95Std);
    EXPECT_EQ(filterKind(3.0), FilterKind::Is95Acp);
    EXPECT_EQ(filterKind(7.0), FilterKind::Is95Std);
    EXPECT_EQ(filterKind(0.0), FilterKind::Is95Std);
    EXPECT_EQ(filterKind(std::string("IS95-STD")), FilterKind::Is95Std);
    EXPECT_EQ(filterKind(std::string("IS95-ACP")), FilterKind::Is95Acp);
    EXPECT_EQ(filterKind(std::string("is95-acp")), FilterKind::Rectangular);
    EXPECT_EQ(filterKind(std::string("")), FilterKind::Rectangular);
}

TEST(BasebandFilter, OversamplingByZerosAndByHolding) {
    const cplx a{1, 2}, b{-3, 4};
    EXPECT_EQ(upsample({a, b}, 3), (CVec{a, 0, 0, b, 0, 0}));
    EXPECT_EQ(upsampleMarker({1, 0}, 3), (dsp::Bits{1, 1, 1, 0, 0, 0}));
    EXPECT_TRUE(upsample({}, 4).empty());
}

TEST(BasebandFilter, RectangularHoldsEveryChip) {
    const auto chips = randomChips(64, 1);
    for (int r : {2, 5}) {
        const auto out = Zuno_BasebandFilter(upsample(chips, r), r, 1.0);
        ASSERT_EQ(out.size(), chips.size() * r);
        for (std::size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], chips[i / r]) << "sample " << i;
        EXPECT_EQ(filterChips(chips, r, FilterKind::Rectangular), out);
    }
    // Linear, not cyclic: a frame that does not start on a chip boundary loses nothing at the end.
    const CVec frame{0, 1, 0, 0, 0, 2};
    EXPECT_EQ(Zuno_BasebandFilter(frame, 2, std::string("none")), (CVec{0, 1, 1, 0, 0, 2}));
}

TEST(BasebandFilter, DesignsHaveTheirLengthsSymmetryAndGain) {
    for (int r : {2, 5, 30}) {
        const auto std_ = FilterCoeff_IS95_Std(r);
        const auto acp = FilterCoeff_IS95_Acp(r);
        ASSERT_EQ(std_.size(), 12u * r);
        ASSERT_EQ(acp.size(), 26u * r);
        for (std::size_t i = 0; i < std_.size(); ++i) EXPECT_NEAR(std_[i], std_[std_.size() - 1 - i], 1e-12);
        for (std::size_t i = 0; i < acp.size(); ++i) EXPECT_NEAR(acp[i], acp[acp.size() - 1 - i], 1e-12);
        double sumStd = 0, sumAcp = 0;
        for (double v : std_) sumStd += v;
        for (double v : acp) sumAcp += v;
        // Unit pass-band gain: the DC gain is 1 within the pass-band ripple (about 0.1 with these weights).
        EXPECT_NEAR(sumStd, 1.0, 0.15) << "R = " << r;
        EXPECT_NEAR(sumAcp, sumStd, 1e-9) << "R = " << r;
        EXPECT_EQ(&cachedCoefficients(FilterKind::Is95Acp, r), &cachedCoefficients(FilterKind::Is95Acp, r));
        EXPECT_EQ(cachedCoefficients(FilterKind::Is95Acp, r), acp);
    }
    EXPECT_TRUE(cachedCoefficients(FilterKind::Rectangular, 5).empty());
    EXPECT_THROW(FilterCoeff_IS95_Std(1), std::invalid_argument);
}

TEST(BasebandFilter, ImpulseResponseIsRotatedByHalfTheLength) {
    const int r = 5;
    const auto h = FilterCoeff_IS95_Std(r);
    CVec frame(32768 * r);
    frame[0] = 1.0;
    const auto out = Zuno_BasebandFilter(frame, r, 2.0);
    const std::size_t n = out.size();
    for (std::size_t i = 0; i < 30; ++i) {
        EXPECT_DOUBLE_EQ(out[i].real(), h[30 + i]);
        EXPECT_DOUBLE_EQ(out[n - 30 + i].real(), h[i]);
    }
    for (std::size_t i = 30; i < n - 30; ++i) ASSERT_EQ(out[i], cplx(0.0)) << "sample " << i;
}

TEST(BasebandFilter, CyclicFilteringCommutesWithRotation) {
    const int r = 2;
    const auto frame = upsample(randomChips(4096, 2), r);
    const auto filtered = Zuno_BasebandFilter(frame, r, 3.0);
    for (double k : {1.0, 77.0, 8191.0}) {
        const auto a = Zuno_BasebandFilter(CircularShiftRight(frame, k), r, 3.0);
        const auto b = CircularShiftRight(filtered, k);
        EXPECT_LT(peakDifference(a, b), 1e-12 * peak(b)) << "k = " << k;
    }
}

TEST(BasebandFilter, PolyphaseEqualsPlainCyclicConvolution) {
    for (int r : {2, 5, 30}) {
        const auto chips = randomChips(r == 30 ? 512 : 2048, static_cast<unsigned>(r));
        for (auto kind : {FilterKind::Is95Std, FilterKind::Is95Acp}) {
            const double type = kind == FilterKind::Is95Std ? 2.0 : 3.0;
            const auto reference = Zuno_BasebandFilter(upsample(chips, r), r, type);
            const auto fast = filterChips(chips, r, kind);
            ASSERT_EQ(fast.size(), reference.size());
            EXPECT_LT(peakDifference(fast, reference), 1e-12 * peak(reference)) << "R = " << r;
        }
    }
}

TEST(BasebandFilter, FrameShorterThanTheCyclicPrefixIsRefused) {
    EXPECT_THROW(Zuno_BasebandFilter(CVec(20), 2, 3.0), std::invalid_argument);
    EXPECT_THROW(filterChips(CVec(10), 2, FilterKind::Is95Acp), std::invalid_argument);
}
