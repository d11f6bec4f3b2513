// What the plot windows draw, computed without windows.
#include <algorithm>
#include <cmath>
#include <gmock/gmock.h>
#include <numbers>
#include <random>

#include "plots/core/ccdf.h"
#include "plots/core/envelope.h"
#include "plots/core/placement.h"
#include "plots/core/spectrum.h"
#include "plots/core/time_plots.h"
#include "plots/core/units.h"
#include "tests/support/error_text.h"

using testing::ElementsAre;
using testing::ElementsAreArray;
using testsupport::errorOf;

namespace {

dsp::CVec constant(std::size_t n, dsp::cplx v = 1.0) { return dsp::CVec(n, v); }

dsp::CVec gaussian(std::size_t n, bool complex, unsigned seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> g;
    dsp::CVec x(n);
    for (auto& v : x) v = {g(rng), complex ? g(rng) : 0.0};
    return x;
}

}  // namespace

TEST(PlotUnits, FrequencyAndTimeUnitsFollowThePowerOfAThousand) {
    auto f = [](double rate) { return plots::DetermineFrequencyUnits(rate); };
    EXPECT_EQ(f(999).text, "Hz");
    EXPECT_EQ(f(1).factor, 1);
    EXPECT_EQ(f(1500).text, "kHz");
    EXPECT_EQ(f(6144000).text, "MHz");
    EXPECT_EQ(f(6144000).factor, 1e6);
    EXPECT_EQ(f(2.5e9).text, "GHz");
    EXPECT_EQ(f(2.5e13).text, "GHz");

    auto t = [](double period) { return plots::DetermineTimeUnits(period); };
    EXPECT_EQ(t(1.5).text, "S");
    EXPECT_EQ(t(163840 / 6144000.0).text, "mS");
    EXPECT_EQ(t(163840 / 6144000.0).factor, 1e3);
    EXPECT_EQ(t(2e-6).text, "uS");
    EXPECT_EQ(t(5e-9).text, "nS");
    EXPECT_EQ(t(5e-9).factor, 1e9);
    EXPECT_EQ(t(1e-13).text, "pS");
    EXPECT_EQ(t(5000).text, "pS");  // beyond the table: the last entry
}

TEST(PlotUnits, RotationPutsZeroFrequencyNearTheMiddle) {
    using V = std::vector<int>;
    EXPECT_EQ(plots::rotateSpectrum(V{0, 1, 2, 3}), (V{1, 2, 3, 0}));
    EXPECT_EQ(plots::rotateSpectrum(V{0, 1, 2, 3, 4}), (V{2, 3, 4, 0, 1}));
    EXPECT_EQ(plots::rotateSpectrum(V{0, 1, 2}), (V{1, 2, 0}));
    EXPECT_EQ(plots::rotateSpectrum(V{7}), (V{7}));
    EXPECT_TRUE(plots::rotateSpectrum(V{}).empty());

    EXPECT_THAT(plots::linspace(3, 4, 1), ElementsAre(4));
    EXPECT_THAT(plots::niceTicks(-3.072, 3.072), ElementsAre(-2, 0, 2));
}

TEST(SpectrumData, TestPeakForAnEmptyWaveform) {
    const plots::SpectrumData s = plots::computeSpectrum(0, {});
    ASSERT_EQ(s.magSignal.size(), 10u);
    EXPECT_NEAR(s.magSignal[0], -60, 1e-9);
    EXPECT_NEAR(s.magSignal[1], -40, 1e-9);
    EXPECT_NEAR(s.magSignal[3], 20 * std::log10(0.5), 1e-9);
    EXPECT_EQ(s.magSignal[4], 0);
    EXPECT_EQ(s.mMin, -60);
    EXPECT_EQ(s.mMax, 0);
    // Sample rate 0 counts as 1 Hz.
    EXPECT_EQ(s.fUnits, "Hz");
    EXPECT_EQ(s.fMin, -0.5);
    EXPECT_EQ(s.fMax, 0.5);
    EXPECT_EQ(s.freq.size(), 10u);
}

TEST(SpectrumData, ToneSpanFloorAndHundredDecibels) {
    // A tone three bins above zero at oversampling 5.
    const std::size_t n = 64;
    dsp::CVec tone(n);
    for (std::size_t k = 0; k < n; ++k) tone[k] = std::polar(1.0, 2 * std::numbers::pi * 3 * double(k) / n);
    const plots::SpectrumData s = plots::computeSpectrum(6144000, tone);
    EXPECT_EQ(s.fUnits, "MHz");
    EXPECT_DOUBLE_EQ(s.fMin, -3.072);
    EXPECT_DOUBLE_EQ(s.fMax, 3.072);
    EXPECT_DOUBLE_EQ(s.freq.front(), -3.072);
    EXPECT_DOUBLE_EQ(s.freq.back(), 3.072);
    // X(32..64) come first (1-based), so bin 0 sits at position 33 and bin 3 three further.
    const auto peak = std::max_element(s.magSignal.begin(), s.magSignal.end()) - s.magSignal.begin();
    EXPECT_EQ(peak, 33 + 3);
    EXPECT_EQ(s.magSignal[peak], 0);
    // The leakage of an exact tone lies far below: the view keeps 100 dB.
    EXPECT_EQ(s.mMax, 0);
    EXPECT_EQ(s.mMin, -100);

    // A constant has exactly zero power off its bin: the floor 1e-20 x peak gives -200 dB there.
    const plots::SpectrumData dc = plots::computeSpectrum(1, constant(8));
    EXPECT_EQ(dc.magSignal[5], 0);
    EXPECT_NEAR(dc.magSignal[0], -200, 1e-9);
    EXPECT_EQ(dc.mMin, -100);

    // Silence: every bin at the absolute floor, so all of them at 0 dB.
    const plots::SpectrumData silent = plots::computeSpectrum(1, constant(6, 0.0));
    EXPECT_THAT(silent.magSignal, testing::Each(0.0));
    EXPECT_EQ(silent.mMin, 0);
    EXPECT_EQ(silent.mMax, 0);
}

TEST(WaterfallData, SlicesPaddingAndLimits) {
    // Slice duration 0: ten samples per slice; 25 samples make 3 slices, the last half zeros.
    const plots::WaterfallData w = plots::computeWaterfall(800, 0, constant(25));
    EXPECT_EQ(w.n, 10u);
    EXPECT_EQ(w.m, 3u);
    ASSERT_EQ(w.magSignal.size(), 30u);
    // Zero frequency lands at position 6 of 10 (0-based); no normalisation to the peak.
    EXPECT_NEAR(w.at(0, 6), 20, 1e-9);
    EXPECT_NEAR(w.at(2, 6), 10 * std::log10(25.0), 1e-9);
    EXPECT_TRUE(std::isinf(w.at(0, 0)));  // no floor in the waterfall
    EXPECT_EQ(w.mMax, 20);
    EXPECT_EQ(w.mMin, -80);
    EXPECT_EQ(w.fUnits, "Hz");
    EXPECT_EQ(w.fMax, 400);
    EXPECT_EQ(w.freq.size(), 10u);
    // 30 samples at 800 Hz: milliseconds, one slice every 12.5 ms.
    EXPECT_EQ(w.tUnits, "mS");
    EXPECT_THAT(w.time, ElementsAre(0, 12.5, 25));
    EXPECT_EQ(w.tMax, 25);

    // Shorter slices than ten samples are lengthened; a negative rate counts as 1 Hz.
    EXPECT_EQ(plots::computeWaterfall(1000, 0.002, constant(25)).n, 10u);
    EXPECT_EQ(plots::computeWaterfall(-5, 3, constant(25)).n, 10u);
}

TEST(WaterfallData, TheMenusSliceDurationGivesTwoHundredSlices) {
    // Oversampling 5: 163840 samples at 6144000 Hz, 819.2 samples per slice.
    const double rate5 = 6144000;
    const plots::WaterfallData w5 = plots::computeWaterfall(rate5, (163840 / rate5) / 200, constant(163840));
    EXPECT_EQ(w5.n, 820u);
    EXPECT_EQ(w5.m, 200u);
    EXPECT_EQ(w5.tUnits, "mS");
    EXPECT_NEAR(w5.tMax, 199 * 820 * 1000 / rate5, 1e-9);
    // Oversampling 25 divides exactly: 4096 samples, not one more through rounding.
    const double rate25 = 30720000;
    const plots::WaterfallData w25 = plots::computeWaterfall(rate25, (819200 / rate25) / 200, constant(819200));
    EXPECT_EQ(w25.n, 4096u);
    EXPECT_EQ(w25.m, 200u);
}

TEST(WaterfallData, TestCrossForAnEmptyWaveform) {
    const plots::WaterfallData w = plots::computeWaterfall(1, 1, {});
    EXPECT_EQ(w.m, 5u);
    EXPECT_EQ(w.n, 10u);
    const double dip = 20 * std::log10(0.5);
    for (std::size_t i = 0; i < w.m; ++i)
        for (std::size_t k = 0; k < w.n; ++k)
            EXPECT_NEAR(w.at(i, k), i == 2 || k == 4 ? dip : 0.0, 1e-12) << i << "," << k;
    EXPECT_EQ(w.mMax, 0);
    EXPECT_EQ(w.mMin, -10);
}

TEST(CcdfData, ConstantEnvelope) {
    const dsp::CVec qpsk{{1, 0}, {0, 1}, {-1, 0}, {0, -1}, {1, 0}, {0, 1}};
    const plots::CcdfData c = plots::computeCcdf(qpsk);
    ASSERT_EQ(c.X.size(), 201u);
    EXPECT_EQ(c.X.front(), 0);
    EXPECT_EQ(c.maxX, 20);
    EXPECT_DOUBLE_EQ(c.X[1], 0.1);
    EXPECT_EQ(c.X.back(), 20);
    EXPECT_EQ(c.Y[0], 100);
    // Zero beyond the first threshold, kept above zero for the logarithmic axis.
    EXPECT_EQ(c.Y[1], 1e-300);
    EXPECT_EQ(c.Y.back(), 1e-300);
    EXPECT_EQ(c.yMin, 0.001);
    EXPECT_FALSE(c.realWave);
    EXPECT_DOUBLE_EQ(c.Y1[0], 100 * std::exp(-1.0));
    EXPECT_THAT(c.xTicks, ElementsAre(0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20));
}

TEST(CcdfData, TwentyFiveDecibelPeak) {
    // 999 samples of power 1 and one whose power is 10^2.5 times the average.
    const double r = std::pow(10.0, 2.5);
    const double spike = r * 999 / (1000 - r);
    dsp::CVec x = constant(1000);
    x[400] = std::sqrt(spike);
    const plots::CcdfData c = plots::computeCcdf(x);
    EXPECT_NEAR(c.maxX, 25.25, 1e-9);
    EXPECT_THAT(c.xTicks, ElementsAre(0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24));
    EXPECT_NEAR(c.Y[0], 0.1, 1e-12);  // only the spike is above the average
    EXPECT_NEAR(c.Y[198], 0.1, 1e-12);
    EXPECT_EQ(c.Y[200], 1e-300);
    EXPECT_EQ(c.yMin, 0.001);
}

TEST(CcdfData, CountsMatchDirectCountingAndGaussianReferences) {
    for (bool complex : {true, false}) {
        const dsp::CVec x = gaussian(20000, complex, complex ? 1 : 2);
        const plots::CcdfData c = plots::computeCcdf(x);
        EXPECT_EQ(c.realWave, !complex);

        double mean = 0;
        for (const auto& v : x) mean += std::norm(v) / double(x.size());
        for (std::size_t k = 0; k < c.X.size(); k += 7) {
            std::size_t above = 0;
            for (const auto& v : x) above += 10 * std::log10(std::norm(v) / mean) >= c.X[k];
            EXPECT_NEAR(c.Y[k], std::max(1e-300, 100.0 * double(above) / double(x.size())), 1e-9) << k;
        }
        // Noise follows its own reference: complex 100 exp(-1) at 0 dB, real 100 erfc(1/sqrt 2).
        const double ref0 = complex ? 100 * std::exp(-1.0) : 100 * std::erfc(1 / std::sqrt(2.0));
        EXPECT_NEAR(c.Y1[0], ref0, 1e-9);
        EXPECT_NEAR(c.Y[0], ref0, 1.5);
        EXPECT_NEAR(c.Y[30], c.Y1[30], 1.5);
        // The smallest non-zero percentage, lowered to 0.001 % when larger.
        EXPECT_LE(c.yMin, 0.001);
    }
}

TEST(CcdfData, TestToneAndZeroSamples) {
    const dsp::CVec tone = plots::ccdfTestData();
    ASSERT_EQ(tone.size(), 1000u);
    EXPECT_NEAR(std::abs(tone.front()), 0.5, 1e-12);  // 1.5 + cos(-pi)
    EXPECT_NEAR(std::abs(tone[500]), 2.5, 1e-4);
    const plots::CcdfData empty = plots::computeCcdf({});
    const plots::CcdfData direct = plots::computeCcdf(tone);
    EXPECT_EQ(empty.Y, direct.Y);
    EXPECT_EQ(empty.maxX, direct.maxX);
    EXPECT_EQ(empty.Y[0], direct.Y[0]);

    // Samples of zero power are kept off the logarithm of zero.
    dsp::CVec gaps = constant(100);
    for (std::size_t k = 0; k < 100; k += 2) gaps[k] = 0;
    const plots::CcdfData g = plots::computeCcdf(gaps);
    EXPECT_TRUE(std::all_of(g.Y.begin(), g.Y.end(), [](double v) { return std::isfinite(v) && v > 0; }));
    EXPECT_EQ(g.Y[0], 50);
    EXPECT_TRUE(g.realWave);
}

TEST(IqTimeData, TimeAxisAmplitudeRangeAndTestSignal) {
    dsp::CVec x(163840, {0.25, -0.5});
    x[7] = {-0.3, 0.75};
    const plots::IqTimeData d = plots::computeIqTime(6144000, x);
    EXPECT_EQ(d.tUnits, "mS");
    EXPECT_NEAR(d.tMax, 26.6666666666, 1e-9);
    EXPECT_EQ(d.t.size(), x.size());
    EXPECT_EQ(d.t.front(), 0);
    EXPECT_EQ(d.t.back(), d.tMax);
    // Q larger than I: both axes use the largest magnitude of either.
    EXPECT_EQ(d.iMax, 0.75);
    EXPECT_EQ(d.i[7], -0.3);
    EXPECT_EQ(d.q[7], 0.75);
    EXPECT_FALSE(d.noData);

    const plots::IqTimeData none = plots::computeIqTime(-1, {});
    EXPECT_TRUE(none.noData);
    ASSERT_EQ(none.i.size(), 100u);
    EXPECT_NEAR(none.i.front(), 1, 1e-12);
    EXPECT_NEAR(none.q.front(), 0, 1e-12);
    EXPECT_NEAR(none.q[12], std::sin(-2 * std::numbers::pi + 12 * 4 * std::numbers::pi / 99), 1e-12);
    EXPECT_NEAR(none.iMax, 1, 1e-3);
    // 100 samples at 1 Hz: seconds.
    EXPECT_EQ(none.tUnits, "S");
    EXPECT_EQ(none.tMax, 100);
}

TEST(EyeData, RefusedInputs) {
    const dsp::CVec x = constant(10);
    EXPECT_EQ(errorOf([&] { plots::eyeTraces({}, 4, 1, 0); }), "Input variable X is empty.");
    EXPECT_EQ(errorOf([&] { plots::eyeTraces(x, 4, 0, 0); }), "PERIOD must be a positive number.");
    EXPECT_EQ(errorOf([&] { plots::eyeTraces(x, 4, -2, 0); }), "PERIOD must be a positive number.");
    EXPECT_EQ(errorOf([&] { plots::eyeTraces(x, 1, 1, 0); }), "N must be an integer greater than 1.");
    EXPECT_EQ(errorOf([&] { plots::eyeTraces(x, 2.5, 1, 0); }), "N must be an integer greater than 1.");
    for (double offset : {-1.0, 4.0, 1.5})
        EXPECT_EQ(errorOf([&] { plots::eyeTraces(x, 4, 1, offset); }),
                  "OFFSET must be a integer in the range 0 <= OFFSET < N.")
            << offset;
}

TEST(EyeData, TracesStartAfterTheOffsetAndJoinUp) {
    dsp::CVec ramp(10);
    for (std::size_t k = 0; k < ramp.size(); ++k) ramp[k] = double(k);
    const plots::EyeData e = plots::eyeTraces(ramp, 4, 2, 1);
    EXPECT_FALSE(e.complex);
    EXPECT_TRUE(e.q.empty());
    EXPECT_EQ(e.traces, 2u);
    EXPECT_DOUBLE_EQ(e.yLimit, 1.05 * 9);
    // Samples 1..5 then 5..9, each across -period/2..period/2, a NaN between traces.
    ASSERT_EQ(e.i.size(), 12u);
    EXPECT_THAT(std::vector<double>(e.i.begin(), e.i.begin() + 5), ElementsAre(1, 2, 3, 4, 5));
    EXPECT_THAT(std::vector<double>(e.t.begin(), e.t.begin() + 5), ElementsAre(-1, -0.5, 0, 0.5, 1));
    EXPECT_TRUE(std::isnan(e.i[5]));
    EXPECT_THAT(std::vector<double>(e.i.begin() + 6, e.i.begin() + 11), ElementsAre(5, 6, 7, 8, 9));

    ramp[3] = {3, -4};
    const plots::EyeData c = plots::eyeTraces(ramp, 4, 2, 0);
    EXPECT_TRUE(c.complex);
    EXPECT_EQ(c.q.size(), c.i.size());
    EXPECT_EQ(c.q[3], -4);
}

TEST(ScatterData, RefusedInputsAndPoints) {
    const dsp::CVec x{{1, 0}, {0, 2}, {-3, 0}, {0, -1}, {0.5, 0.5}};
    EXPECT_EQ(errorOf([&] { plots::scatterPoints({}, 1, 0); }), "Input variable X is empty.");
    EXPECT_EQ(errorOf([&] { plots::scatterPoints(x, 0, 0); }), "N must be a positive integer.");
    EXPECT_EQ(errorOf([&] { plots::scatterPoints(x, 1.5, 0); }), "N must be a positive integer.");
    EXPECT_EQ(errorOf([&] { plots::scatterPoints(x, 1, -1); }), "OFFSET must be a nonnegative integer.");
    EXPECT_EQ(errorOf([&] { plots::scatterPoints(x, 1, 0.5); }), "OFFSET must be a nonnegative integer.");

    const plots::ScatterData s = plots::scatterPoints(x, 2, 1);
    EXPECT_THAT(s.i, ElementsAre(0, 0));
    EXPECT_THAT(s.q, ElementsAre(2, -1));
    EXPECT_DOUBLE_EQ(s.limit, 1.07 * 3);
    EXPECT_EQ(plots::scatterPoints(x, 1, 0).i.size(), 5u);
    EXPECT_TRUE(plots::scatterPoints(x, 1, 9).i.empty());
}

TEST(PlotPlacement, AxesMovedInForTheirLabels) {
    const plots::Box axes = plots::placeAxes(plots::kDefaultAxes);
    EXPECT_DOUBLE_EQ(axes.left, 0.156);
    EXPECT_DOUBLE_EQ(axes.bottom, 0.154);
    EXPECT_DOUBLE_EQ(axes.width, 0.775);
    EXPECT_DOUBLE_EQ(axes.height, 0.815 / 1.1);
    EXPECT_DOUBLE_EQ(plots::placeLowerAxes(plots::kLowerAxes).bottom, 0.132);
    EXPECT_DOUBLE_EQ(plots::placeUpperAxes(plots::kUpperAxes).bottom, 0.5838);
}

TEST(PlotEnvelope, ThinsLongRowsAndKeepsTheirPeaks) {
    std::vector<double> row(10000, -50);
    row[4321] = 0;
    row[7000] = -120;
    const auto keep = plots::envelopeIndices(row.data(), row.size(), 100);
    EXPECT_LE(keep.size(), 202u);
    EXPECT_EQ(keep.front(), 0u);
    EXPECT_EQ(keep.back(), 9999u);
    EXPECT_TRUE(std::is_sorted(keep.begin(), keep.end()));
    EXPECT_TRUE(std::adjacent_find(keep.begin(), keep.end()) == keep.end());
    EXPECT_NE(std::find(keep.begin(), keep.end(), 4321u), keep.end());
    EXPECT_NE(std::find(keep.begin(), keep.end(), 7000u), keep.end());

    const std::vector<double> shortRow(150, 1.0);
    EXPECT_EQ(plots::envelopeIndices(shortRow.data(), shortRow.size(), 100).size(), 150u);
}
