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
#include "plots/core/thin_path.h"
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
    EXPECT_EQ(t(1.5).text, "s");
    EXPECT_EQ(t(163840 / 6144000.0).text, "ms");
    EXPECT_EQ(t(163840 / 6144000.0).factor, 1e3);
    EXPECT_EQ(t(2e-6).text, "\u00b5s");
    EXPECT_EQ(t(5e-9).text, "ns");
    EXPECT_EQ(t(5e-9).factor, 1e9);
    EXPECT_EQ(t(1e-13).text, "ps");
    EXPECT_EQ(t(5000).text, "s");  // longer than a second: still seconds, never "ps"
}

TEST(PlotUnits, CentringPutsZeroFrequencyExactlyInTheMiddle) {
    using V = std::vector<int>;
    // Bin 0 at position L/2, the bin at -rate/2 (even L) first.
    EXPECT_EQ(plots::centreSpectrum(V{0, 1, 2, 3}), (V{2, 3, 0, 1}));
    EXPECT_EQ(plots::centreSpectrum(V{0, 1, 2, 3, 4}), (V{3, 4, 0, 1, 2}));
    EXPECT_EQ(plots::centreSpectrum(V{7}), (V{7}));
    EXPECT_TRUE(plots::centreSpectrum(V{}).empty());
    EXPECT_THAT(plots::centredFrequencies(4, 800), ElementsAre(-400, -200, 0, 200));
    EXPECT_THAT(plots::centredFrequencies(5, 5), ElementsAre(-2, -1, 0, 1, 2));

    EXPECT_THAT(plots::linspace(3, 4, 1), ElementsAre(4));
    EXPECT_THAT(plots::niceTicks(-3.072, 3.072), ElementsAre(-2, 0, 2));
    EXPECT_EQ(plots::niceStep(0.8), 1);
    EXPECT_EQ(plots::niceStep(2.5), 5);
    EXPECT_DOUBLE_EQ(plots::niceStep(0.03), 0.05);
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
    EXPECT_THAT(s.freq, ElementsAreArray(plots::centredFrequencies(10, 1)));
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
    // Steps of 6.144 MHz / 64 from -3.072 MHz: zero frequency at position 32, the tone three
    // bins above it, exactly at 3 x 96 kHz.
    EXPECT_DOUBLE_EQ(s.freq.front(), -3.072);
    EXPECT_DOUBLE_EQ(s.freq.back(), 3.072 - 0.096);
    EXPECT_EQ(s.freq[32], 0);
    const auto peak = std::max_element(s.magSignal.begin(), s.magSignal.end()) - s.magSignal.begin();
    EXPECT_EQ(peak, 32 + 3);
    EXPECT_DOUBLE_EQ(s.freq[peak], 0.288);
    EXPECT_EQ(s.magSignal[peak], 0);
    // The leakage of an exact tone lies far below: the view keeps 100 dB.
    EXPECT_EQ(s.mMax, 0);
    EXPECT_EQ(s.mMin, -100);

    // A constant has exactly zero power off its bin: the floor 1e-20 x peak gives -200 dB there.
    const plots::SpectrumData dc = plots::computeSpectrum(1, constant(8));
    EXPECT_EQ(dc.magSignal[4], 0);
    EXPECT_NEAR(dc.magSignal[0], -200, 1e-9);
    EXPECT_EQ(dc.mMin, -100);

    // Silence: every bin at the absolute floor, so all of them at 0 dB.
    const plots::SpectrumData silent = plots::computeSpectrum(1, constant(6, 0.0));
    EXPECT_THAT(silent.magSignal, testing::Each(0.0));
    EXPECT_EQ(silent.mMin, 0);
    EXPECT_EQ(silent.mMax, 0);
}

TEST(WaterfallData, SlicesPaddingAndLimits) {
    // Slice duration 0: ten samples per slice; 25 samples make 3 slices, the last half zeros. The
    // middle slice is silent.
    dsp::CVec x = constant(25);
    std::fill(x.begin() + 10, x.begin() + 20, 0.0);
    const plots::WaterfallData w = plots::computeWaterfall(800, 0, x);
    EXPECT_EQ(w.n, 10u);
    EXPECT_EQ(w.m, 3u);
    ASSERT_EQ(w.magSignal.size(), 30u);
    // A constant lands on zero frequency (position 5 of 10) and, windowed, on the bins either
    // side; together they hold n times the slice's energy, no normalisation to the peak.
    auto energy = [&](std::size_t i) {
        double e = 0;
        for (std::size_t k = 0; k < w.n; ++k) e += std::pow(10.0, w.at(i, k) / 10);
        return e;
    };
    EXPECT_NEAR(energy(0), 10 * 10, 1e-9);
    EXPECT_EQ(std::max_element(w.magSignal.begin(), w.magSignal.begin() + 10) - w.magSignal.begin(), 5);
    EXPECT_NEAR(w.at(0, 4), w.at(0, 6), 1e-9);
    EXPECT_LT(energy(2), energy(0));
    EXPECT_TRUE(std::isinf(w.at(1, 3)));  // no floor in the waterfall
    EXPECT_EQ(w.mMax, 20);
    EXPECT_EQ(w.mMin, -80);
    EXPECT_EQ(w.fUnits, "Hz");
    EXPECT_EQ(w.fMax, 400);
    EXPECT_THAT(w.freq, ElementsAreArray(plots::centredFrequencies(10, 800)));
    // 30 samples at 800 Hz: milliseconds, one slice every 12.5 ms.
    EXPECT_EQ(w.tUnits, "ms");
    EXPECT_THAT(w.time, ElementsAre(0, 12.5, 25));
    EXPECT_EQ(w.tMax, 25);

    // Shorter slices than ten samples are lengthened; a negative rate counts as 1 Hz.
    EXPECT_EQ(plots::computeWaterfall(1000, 0.002, constant(25)).n, 10u);
    EXPECT_EQ(plots::computeWaterfall(-5, 3, constant(25)).n, 10u);
}

TEST(WaterfallData, WindowedSlicesKeepToneAndFloorLevelsWithoutLeakageSkirts) {
    // A tone between two bins (slices of 256 samples, 40.5 cycles each) of power 1; the last
    // slice is a little over half full.
    const std::size_t n = 256, m = 40;
    dsp::CVec tone(n * m - 100);
    for (std::size_t k = 0; k < tone.size(); ++k) tone[k] = std::polar(1.0, 2 * std::numbers::pi * 40.5 * double(k) / n);
    const plots::WaterfallData w = plots::computeWaterfall(n, 1, tone);
    ASSERT_EQ(w.n, n);
    const std::size_t bin = n / 2 + 40;
    // The tone's power stays where it is: its bins together hold n^2, as without a window.
    double near = 0;
    for (std::size_t k = bin - 3; k <= bin + 4; ++k) near += std::pow(10.0, w.at(7, k) / 10);
    EXPECT_NEAR(10 * std::log10(near), 20 * std::log10(double(n)), 0.05);
    // A quarter of the band away the skirt is 90 dB down (unwindowed about 43).
    const double peak = *std::max_element(w.magSignal.begin() + 7 * n, w.magSignal.begin() + 8 * n);
    EXPECT_LT(w.at(7, bin - 64), peak - 90);
    EXPECT_LT(w.at(7, bin + 64), peak - 90);
    // Where the samples end inside the last slice there is no edge to leak from either.
    const double lastPeak = *std::max_element(w.magSignal.begin() + (m - 1) * n, w.magSignal.end());
    EXPECT_LT(w.at(m - 1, bin - 64), lastPeak - 80);

    // White noise of power 1 per sample: every bin averages n, as without a window.
    const dsp::CVec noise = gaussian(n * 200, true, 4);
    const plots::WaterfallData f = plots::computeWaterfall(n, 1, noise);
    double mean = 0;
    for (double v : f.magSignal) mean += std::pow(10.0, v / 10) / double(f.magSignal.size());
    EXPECT_NEAR(mean / (2.0 * n), 1, 0.02);  // the gaussian helper gives power 2 per complex sample
}

TEST(WaterfallData, TheMenusSliceDurationGivesTwoHundredSlices) {
    // Oversampling 5: 163840 samples at 6144000 Hz, 819.2 samples per slice.
    const double rate5 = 6144000;
    const plots::WaterfallData w5 = plots::computeWaterfall(rate5, (163840 / rate5) / 200, constant(163840));
    EXPECT_EQ(w5.n, 820u);
    EXPECT_EQ(w5.m, 200u);
    EXPECT_EQ(w5.tUnits, "ms");
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
}

TEST(CcdfData, TwentyFiveDecibelPeak) {
    // 999 samples of power 1 and one whose power is 10^2.5 times the average.
    const double r = std::pow(10.0, 2.5);
    const double spike = r * 999 / (1000 - r);
    dsp::CVec x = constant(1000);
    x[400] = std::sqrt(spike);
    const plots::CcdfData c = plots::computeCcdf(x);
    EXPECT_NEAR(c.maxX, 25.25, 1e-9);
    // Ticks every 2 dB over the whole curve, finer once zoomed in.
    EXPECT_EQ(plots::ccdfTickStep(c.maxX), 2);
    EXPECT_EQ(plots::ccdfTickStep(20), 2);
    EXPECT_EQ(plots::ccdfTickStep(8), 1);
    EXPECT_EQ(plots::ccdfTickStep(4), 0.5);
    EXPECT_DOUBLE_EQ(plots::ccdfTickStep(0.3), 0.05);
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

TEST(CcdfData, ReadOutsMeanPeakCrestAndPercentiles) {
    // Powers 1, 2, ..., 10000 in random order: the mean is 5000.5, and p % of the samples reach
    // the power 10001 - 100 p.
    std::vector<double> powers(10000);
    for (std::size_t k = 0; k < powers.size(); ++k) powers[k] = double(k + 1);
    std::shuffle(powers.begin(), powers.end(), std::mt19937(4));
    dsp::CVec x;
    for (double p : powers) x.push_back(std::polar(std::sqrt(p), p));
    const plots::CcdfData c = plots::computeCcdf(x);
    EXPECT_NEAR(c.meanPower, 5000.5, 1e-6);
    auto dBAbove = [](double p) { return 10 * std::log10(p / 5000.5); };
    EXPECT_NEAR(c.crestDb, dBAbove(10000), 1e-9);
    EXPECT_NEAR(c.aboveMean[0], dBAbove(9001), 1e-9);  // 10 %: the 1000 largest
    EXPECT_NEAR(c.aboveMean[1], dBAbove(9901), 1e-9);
    EXPECT_NEAR(c.aboveMean[2], dBAbove(9991), 1e-9);
    EXPECT_NEAR(c.aboveMean[3], dBAbove(10000), 1e-9);  // 0.01 %: the one largest

    // Below the mean too (most samples of a constant envelope sit at 0 dB), and NaN where too few
    // samples are there to tell 0.01 % from nothing.
    dsp::CVec quiet = constant(2000);
    quiet[5] = quiet[7] = 2;
    quiet[6] = 0.5;
    const plots::CcdfData q = plots::computeCcdf(quiet);
    EXPECT_NEAR(q.crestDb, 10 * std::log10(4 / q.meanPower), 1e-9);
    EXPECT_NEAR(q.aboveMean[0], 10 * std::log10(1 / q.meanPower), 1e-9);
    EXPECT_NEAR(q.aboveMean[2], 10 * std::log10(4 / q.meanPower), 1e-9);  // 0.1 % of 2000: 2 samples
    EXPECT_TRUE(std::isnan(q.aboveMean[3]));
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

TEST(CcdfData, GatedByTheBlankingMarker) {
    // Bursts of constant power with the carrier off between them: ungated, the off samples pull
    // the average down and half of the samples lie 3 dB above it; gated, the bursts alone show a
    // constant envelope.
    dsp::CVec x(1000, 0.0);
    dsp::Bits gate(1000, 0);
    for (std::size_t k = 0; k < 500; ++k) x[k] = 1.0, gate[k] = 1;
    const dsp::CVec kept = plots::gatedSamples(x, gate);
    ASSERT_EQ(kept.size(), 500u);
    EXPECT_NEAR(plots::computeCcdf(x).Y[0], 50, 1e-9);
    const plots::CcdfData gated = plots::computeCcdf(kept);
    EXPECT_EQ(gated.Y[0], 100);
    EXPECT_EQ(gated.Y[1], 1e-300);
    EXPECT_TRUE(plots::gatedSamples(x, dsp::Bits(1000, 0)).empty());
    EXPECT_EQ(plots::gatedSamples(x, dsp::Bits(10, 1)).size(), 10u);  // a short gate ends the samples
}

TEST(IqTimeData, TimeAxisAmplitudeRangeAndTestSignal) {
    dsp::CVec x(163840, {0.25, -0.5});
    x[7] = {-0.3, 0.75};
    const plots::IqTimeData d = plots::computeIqTime(6144000, x);
    EXPECT_EQ(d.tUnits, "ms");
    EXPECT_NEAR(d.tMax, 26.6666666666, 1e-9);
    EXPECT_EQ(d.t.size(), x.size());
    EXPECT_EQ(d.t.front(), 0);
    EXPECT_EQ(d.t.back(), d.tMax);
    // Relative to the converters' full scale, which the largest component (here Q's) reaches;
    // both axes use that range.
    EXPECT_EQ(d.iMax, 1);
    EXPECT_NEAR(d.i[7], -0.4, 1e-15);
    EXPECT_EQ(d.q[7], 1);
    EXPECT_NEAR(d.i[0], 1 / 3.0, 1e-15);
    // The computed level falls as the oversampling rises; what the instrument plays does not.
    dsp::CVec quieter = x;
    for (auto& v : quieter) v /= 8.0;
    EXPECT_EQ(plots::computeIqTime(6144000, quieter).q, d.q);
    EXPECT_FALSE(d.noData);

    const plots::IqTimeData none = plots::computeIqTime(-1, {});
    EXPECT_TRUE(none.noData);
    ASSERT_EQ(none.i.size(), 100u);
    EXPECT_NEAR(none.i.front(), 1, 1e-12);
    EXPECT_NEAR(none.q.front(), 0, 1e-12);
    EXPECT_NEAR(none.q[12], std::sin(-2 * std::numbers::pi + 12 * 4 * std::numbers::pi / 99), 1e-12);
    EXPECT_NEAR(none.iMax, 1, 1e-3);
    // 100 samples at 1 Hz: seconds.
    EXPECT_EQ(none.tUnits, "s");
    EXPECT_EQ(none.tMax, 100);
}

TEST(EyeData, RefusedInputs) {
    const dsp::CVec x = constant(10);
    auto eye = [&](const dsp::CVec& v, double n, double period, double offset) {
        return errorOf([&] { plots::eyeDensity(v, n, period, offset, 10, 10); });
    };
    EXPECT_EQ(eye({}, 4, 1, 0), "Input variable X is empty.");
    EXPECT_EQ(eye(x, 4, 0, 0), "PERIOD must be a positive number.");
    EXPECT_EQ(eye(x, 4, -2, 0), "PERIOD must be a positive number.");
    EXPECT_EQ(eye(x, 1, 1, 0), "N must be an integer greater than 1.");
    EXPECT_EQ(eye(x, 2.5, 1, 0), "N must be an integer greater than 1.");
    for (double offset : {-1.0, 4.0, 1.5})
        EXPECT_EQ(eye(x, 4, 1, offset), "OFFSET must be a integer in the range 0 <= OFFSET < N.") << offset;
}

TEST(EyeData, DensityCountsEveryCellATraceCrosses) {
    // A constant: every trace runs along one row, once through each column.
    const plots::EyeDensity flat = plots::eyeDensity(constant(41, 0.5), 4, 2, 0, 8, 20);
    EXPECT_EQ(flat.traces, 10u);
    EXPECT_FALSE(flat.complex);
    EXPECT_TRUE(flat.q.empty());
    EXPECT_DOUBLE_EQ(flat.yLimit, 1.05 * 0.5);
    const std::size_t row = std::size_t((0.5 + flat.yLimit) / (2 * flat.yLimit) * 20);  // 19 of 0..19
    for (std::size_t c = 0; c < 8; ++c) {
        EXPECT_EQ(flat.count(flat.i, c, row), 10) << c;
        EXPECT_EQ(flat.count(flat.i, c, row - 1), 0) << c;
    }

    // A square wave that jumps from -1 to +1 between samples 2 and 3 of each 4-sample trace: the
    // jump is one unbroken vertical stroke through every row in its column, the flat parts one
    // row each.
    dsp::CVec square(33);
    for (std::size_t k = 0; k < square.size(); ++k) square[k] = k % 4 < 3 ? -1.0 : 1.0;
    square[2] = {-1, 0.5};  // and a quadrature part
    const plots::EyeDensity e = plots::eyeDensity(square, 4, 1, 0, 8, 10);
    EXPECT_EQ(e.traces, 8u);
    EXPECT_TRUE(e.complex);
    EXPECT_EQ(e.q.size(), e.i.size());
    // Columns 4 and 5 lie between samples 2 and 3 (columns of half a sample).
    for (std::size_t r = 0; r < 10; ++r) {
        EXPECT_GT(e.count(e.i, 4, r) + e.count(e.i, 5, r), 0) << r;
        EXPECT_EQ(e.count(e.i, 1, r), r == 0 ? 8 : 0) << r;
    }
    double total = 0;
    for (double v : e.q) total += v;
    EXPECT_GT(total, 0);

    // The offset moves where traces start; a last trace shorter than n still counts.
    const plots::EyeDensity late = plots::eyeDensity(constant(10), 4, 1, 3, 4, 4);
    EXPECT_EQ(late.traces, 2u);  // samples 3..7 and 7..9
}

TEST(ScatterData, RefusedInputsAndPoints) {
    const dsp::CVec x{{1, 0}, {0, 2}, {-3, 0}, {0, -1}, {0.5, 0.5}};
    EXPECT_EQ(errorOf([&] { plots::scatterPoints({}, 1, 0); }), "Input variable X is empty.");
    EXPECT_EQ(errorOf([&] { plots::scatterPoints(x, 0, 0); }), "N must be a positive integer.");
    EXPECT_EQ(errorOf([&] { plots::scatterPoints(x, 1.5, 0); }), "N must be a positive integer.");
    EXPECT_EQ(errorOf([&] { plots::scatterPoints(x, 1, -1); }), "OFFSET must be a nonnegative integer.");
    EXPECT_EQ(errorOf([&] { plots::scatterPoints(x, 1, 0.5); }), "OFFSET must be a nonnegative integer.");

    // Against the full scale the largest component (-3) reaches.
    const plots::ScatterData s = plots::scatterPoints(x, 2, 1);
    EXPECT_THAT(s.i, ElementsAre(0, 0));
    EXPECT_THAT(s.q, ElementsAre(2 / 3.0, -1 / 3.0));
    EXPECT_DOUBLE_EQ(s.limit, 1.07);
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

TEST(PlotPlacement, WindowsFitInsideTheAvailableArea) {
    using R = plots::ScreenRect;
    const R screen{0, 0, 1024, 700};
    const plots::FrameMargins frame{2, 28, 2, 2};
    // The Measure window as it opened: 1000 x 720 at y = 0. Its title bar comes down on the
    // screen and it loses the height it cannot have.
    EXPECT_EQ(plots::fitInside({10, 0, 1000, 720}, frame, screen), (R{10, 28, 1000, 670}));
    // Beyond the right and bottom edges: moved back in, size kept.
    EXPECT_EQ(plots::fitInside({600, 500, 500, 300}, frame, screen), (R{522, 398, 500, 300}));
    // Inside already: unchanged, also in an area that does not start at 0 (a panel on top).
    const R below{0, 32, 1024, 668};
    EXPECT_EQ(plots::fitInside({100, 100, 400, 300}, frame, below), (R{100, 100, 400, 300}));
    EXPECT_EQ(plots::fitInside({100, 10, 400, 300}, frame, below), (R{100, 60, 400, 300}));
    // Wider than the screen: as wide as it can be; a minimum size wins, the title bar still shows.
    EXPECT_EQ(plots::fitInside({-50, 40, 1400, 300}, frame, screen), (R{2, 40, 1020, 300}));
    EXPECT_EQ(plots::fitInside({500, 300, 900, 900}, frame, screen, 1200, 800), (R{2, 28, 1200, 800}));
}

TEST(PlotPath, ThinnedWithinTheToleranceKeepingCornersAndEnds) {
    // A straight line needs its ends only; a corner stays.
    dsp::RVec x, y;
    for (int k = 0; k < 100; ++k) x.push_back(k * 0.01), y.push_back(k * 0.02);
    EXPECT_THAT(plots::thinPath(x, y, 1e-3), ElementsAre(0, 99));
    for (int k = 1; k < 50; ++k) x.push_back(x[99]), y.push_back(y[99] - k * 0.01);
    const auto corner = plots::thinPath(x, y, 1e-3);
    EXPECT_THAT(corner, ElementsAre(0, 99, 148));

    // A smooth path with a little noise, turning and coming back on itself: every point left out
    // lies within the tolerance of the segment between the kept points around it.
    std::mt19937 rng(9);
    std::normal_distribution<double> jitter(0, 1e-4);
    dsp::RVec px, py;
    for (int k = 0; k < 20000; ++k) {
        const double t = k * 0.002;
        px.push_back(std::cos(t) * (0.5 + 0.3 * std::sin(3.1 * t)) + jitter(rng));
        py.push_back(std::sin(1.7 * t) * 0.6 + jitter(rng));
    }
    const double tol = 1e-3;
    const auto kept = plots::thinPath(px, py, tol);
    EXPECT_EQ(kept.front(), 0u);
    EXPECT_EQ(kept.back(), px.size() - 1);
    EXPECT_LT(kept.size(), px.size() / 3);
    for (std::size_t j = 0; j + 1 < kept.size(); ++j) {
        const double ax = px[kept[j]], ay = py[kept[j]], bx = px[kept[j + 1]], by = py[kept[j + 1]];
        const double len2 = (bx - ax) * (bx - ax) + (by - ay) * (by - ay);
        for (std::size_t i = kept[j] + 1; i < kept[j + 1]; ++i) {
            const double t = len2 > 0 ? std::clamp(((px[i] - ax) * (bx - ax) + (py[i] - ay) * (by - ay)) / len2, 0.0, 1.0) : 0;
            ASSERT_LE(std::hypot(px[i] - ax - t * (bx - ax), py[i] - ay - t * (by - ay)), tol * (1 + 1e-9)) << i;
        }
    }
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
