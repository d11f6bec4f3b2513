// The analyzer on captures as real receivers take them (tests/analyzer/receiver.h): any rate,
// carrier offsets to 25 kHz, sample clocks off by up to 200 ppm, I/Q errors, phase noise, and
// all of these at once. The reading must be right and the figures close to what was put in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "analyzer/analysis.h"
#include "analyzer/resample.h"
#include "frames.h"
#include "receiver.h"

namespace {

using analyzer::Result;
using analyzertest::Receiver;

double cyclicMiss(double a, double b) {
    const double d = std::fmod(std::abs(a - b), 32768.0);
    return std::min(d, 32768.0 - d);
}

// A drawn frame with traffic in most slots and no idle noise, at r samples per chip.
analyzertest::Drawn busyDrawn(std::mt19937_64& rng, int r) {
    auto d = analyzertest::drawFrame(rng, r);
    d.args.IdleSlotGainActive = 0;
    for (std::size_t s = 0; s < engine::kSlots; ++s) d.args.DATAactive[s] = s % 5 != 3;
    return d;
}

// PN offset, frame start, every slot's traffic and MAC channels, the data source.
void expectReading(const Result& r, const analyzertest::Drawn& d, double startChips, double startTol = 0.02) {
    const auto& a = d.args;
    EXPECT_EQ(r.pnOffset, a.PilotOffsetIndex);
    EXPECT_LT(cyclicMiss(r.frameStartChips, startChips), startTol) << "frame start " << r.frameStartChips;
    EXPECT_EQ(r.mirrorSpectrum, a.mirrorSpectrum);
    for (std::size_t s = 0; s < engine::kSlots; ++s) {
        SCOPED_TRACE("slot " + std::to_string(s + 1));
        const auto& got = r.slotResults[s];
        const auto expected = a.DATAactive[s] ? static_cast<analyzer::Modulation>(a.DATAformat[s]) : analyzer::Modulation::Idle;
        EXPECT_EQ(got.traffic, expected);
        EXPECT_EQ(got.ra.has_value(), a.RAactive[s]);
        for (std::size_t k = 0; k < engine::kRpcChannels; ++k)
            EXPECT_EQ(got.rpc[k].has_value(), a.RPCchnActive[s] && a.RPCactive[s][k]) << "RPC " << k + 1;
    }
    EXPECT_EQ(r.dataSource, d.source);
}

// The frame start the analyzer reports for a capture whose first sample lies `startChips` into
// the repeating frame: the next frame begins that much before the end.
double expectedStart(const Receiver& rx) { return std::fmod(32768.0 - rx.startChips, 32768.0); }

struct Case {
    const char* what;
    Receiver rx;
};

// Reads each case's capture of a freshly drawn frame; returns the results for the figures.
std::vector<Result> readCases(std::vector<Case> cases, std::uint64_t seed, double startTol = 0.02) {
    std::mt19937_64 rng(seed);
    dsp::Rng noise(seed + 1);
    std::vector<Result> out;
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Made at the rate the analyzer reads at: the filters are designed for each, and differ.
        const int ratio = c.rx.rate > 0 ? analyzer::workingRatio(c.rx.rate) : 2;
        const auto d = busyDrawn(rng, ratio);
        c.rx.startChips = std::uniform_real_distribution<double>(0, 32768)(rng);
        const dsp::CVec wave = engine::Zuno_FwdChnFrame(d.args).waveform;
        analyzer::Options o = analyzer::optionsFor(d.args);
        o.sampleRate = c.rx.rate > 0 ? c.rx.rate : o.sampleRate;
        const dsp::CVec x = analyzertest::receive(wave, ratio, c.rx, noise);
        Result r = analyzer::analyze(x, o);
        // A frame whose content repeats reads the same from several starts: the true one must be
        // among them, and is asked for.
        if (r.pnOffset != d.args.PilotOffsetIndex) {
            EXPECT_TRUE(std::any_of(r.alternatives.begin(), r.alternatives.end(),
                                    [&](const analyzer::Reading& q) { return q.pnOffset == d.args.PilotOffsetIndex; }))
                << "PN offset " << d.args.PilotOffsetIndex << " is not among the readings (chose " << r.pnOffset << ")";
            o.pnOffset = static_cast<int>(d.args.PilotOffsetIndex);
            r = analyzer::analyze(x, o);
        }
        std::printf("%s: rate %.0f, PN %d, start miss %.4g chip, frequency %.2f Hz, clock %.3f ppm, rho %.6f, IQ %.2f dBc %.3f dB %.3f deg\n",
                    c.what, o.sampleRate, r.pnOffset, cyclicMiss(r.frameStartChips, expectedStart(c.rx)), r.frequencyErrorHz,
                    r.clockErrorPpm, r.rho, r.iqOffsetDbc, r.iqGainImbalanceDb, r.iqQuadratureErrorDeg);
        expectReading(r, d, expectedStart(c.rx), startTol);
        EXPECT_EQ(r.sampleRate, o.sampleRate);
        out.push_back(r);
    }
    return out;
}

TEST(RealCaptures, EveryRateSdrsAndAnalyzersRecordAtIsRead) {
    std::vector<Case> cases;
    for (double rate : {2e6, 2.5e6, 5e6, 7.68e6, 10e6, 15.36e6, 1.5e6}) {
        Receiver rx;
        rx.rate = rate, rx.frequencyHz = 300, rx.phase = 1;
        cases.push_back({"rate", rx});
    }
    const auto results = readCases(cases, 31);
    for (const Result& r : results) {
        SCOPED_TRACE("rate " + std::to_string(r.sampleRate));
        EXPECT_NEAR(r.frequencyErrorHz, 300, 0.5);
        // Nothing but the two interpolations between the frame and the reading: both well below
        // -50 dB in the channel.
        EXPECT_GT(r.rho, 0.99999);
        EXPECT_NEAR(r.clockErrorPpm, 0, 0.05);
    }
}

TEST(RealCaptures, CarrierOffsetsTo25kHzAreFoundAndRead) {
    std::vector<Case> cases;
    for (double f : {8e3, -12.5e3, 19e3, 24.9e3, -24.9e3}) {
        Receiver rx;
        rx.frequencyHz = f, rx.snrDb = 25;
        cases.push_back({"offset", rx});
    }
    const auto results = readCases(cases, 32);
    for (std::size_t i = 0; i < results.size(); ++i) EXPECT_NEAR(results[i].frequencyErrorHz, cases[i].rx.frequencyHz, 2);
}

TEST(RealCaptures, SampleClockErrorsAreEstimatedAndRemoved) {
    std::vector<Case> cases;
    for (double ppm : {3.0, -20.0, 50.0, -100.0, 200.0}) {
        Receiver rx;
        rx.clockPpm = ppm, rx.frequencyHz = -500, rx.snrDb = 30;
        rx.rate = ppm == 50.0 ? 5e6 : 0;
        cases.push_back({"clock", rx});
    }
    const auto results = readCases(cases, 33);
    for (std::size_t i = 0; i < results.size(); ++i) {
        EXPECT_NEAR(results[i].clockErrorPpm, cases[i].rx.clockPpm, 0.3);
        EXPECT_NEAR(results[i].frequencyErrorHz, -500, 2);
        // 30 dB in the channel: rho near 0.999 once the drift is gone.
        EXPECT_GT(results[i].rho, 0.99);
    }
    // One frame's worth alone, read as repeating: a fast clock leaves it short of a frame once
    // resampled. Its end does not join its start, which costs some accuracy.
    Receiver one;
    one.clockPpm = 30, one.frequencyHz = -500, one.snrDb = 30, one.frames = 1;
    const auto alone = readCases({{"one frame", one}}, 36, 0.05);
    EXPECT_NEAR(alone[0].clockErrorPpm, 30, 1.5);
}

TEST(RealCaptures, IqErrorsAreReportedAndLeftInRho) {
    Receiver clean;
    clean.frequencyHz = 700;
    Receiver skewed = clean;
    skewed.dcDbc = -30, skewed.gainImbalanceDb = 0.5, skewed.quadratureErrorDeg = 2;
    Receiver other = clean;
    other.dcDbc = -20, other.gainImbalanceDb = -1, other.quadratureErrorDeg = -3.5, other.rate = 10e6;
    const auto results = readCases({{"clean", clean}, {"skewed", skewed}, {"other", other}}, 34);
    EXPECT_LT(results[0].iqOffsetDbc, -70);
    EXPECT_NEAR(results[0].iqGainImbalanceDb, 0, 0.005);
    EXPECT_NEAR(results[0].iqQuadratureErrorDeg, 0, 0.02);
    EXPECT_NEAR(results[1].iqOffsetDbc, -30, 0.2);
    EXPECT_NEAR(results[1].iqGainImbalanceDb, 0.5, 0.01);
    EXPECT_NEAR(results[1].iqQuadratureErrorDeg, 2, 0.05);
    EXPECT_NEAR(results[2].iqOffsetDbc, -20, 0.2);
    EXPECT_NEAR(results[2].iqGainImbalanceDb, -1, 0.01);
    EXPECT_NEAR(results[2].iqQuadratureErrorDeg, -3.5, 0.05);
    // The errors count against the transmitter: rho is as measured.
    EXPECT_GT(results[0].rho, 0.99999);
    EXPECT_LT(results[1].rho, 0.999);
}

// The field-like capture the analyzer once read wrongly, and more of the same at once.
TEST(RealCaptures, CombinedImpairmentsAreReadRight) {
    Receiver field;
    field.frequencyHz = 2000, field.clockPpm = 10, field.snrDb = 25;
    Receiver sdr = field;
    sdr.rate = 2.5e6, sdr.frequencyHz = -17e3, sdr.clockPpm = -60, sdr.dcDbc = -25, sdr.gainImbalanceDb = 0.3,
    sdr.quadratureErrorDeg = 1.5, sdr.phaseNoiseDegRms = 1;
    const auto results = readCases({{"field", field}, {"sdr", sdr}}, 35);
    EXPECT_NEAR(results[0].frequencyErrorHz, 2000, 2);
    EXPECT_NEAR(results[0].clockErrorPpm, 10, 0.3);
    EXPECT_NEAR(results[1].frequencyErrorHz, -17e3, 2);
    EXPECT_NEAR(results[1].clockErrorPpm, -60, 0.3);
    EXPECT_NEAR(results[1].iqOffsetDbc, -25, 0.5);
    EXPECT_NEAR(results[1].iqGainImbalanceDb, 0.3, 0.05);
    EXPECT_NEAR(results[1].iqQuadratureErrorDeg, 1.5, 0.3);
}

std::string refusal(const dsp::CVec& x, const analyzer::Options& o) {
    try {
        analyzer::analyze(x, o);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "read";
}

TEST(RealCaptures, WhatCannotBeReadIsRefusedSayingWhatWasSearched) {
    dsp::Rng rng(4);
    analyzer::Options o;
    o.sampleRate = 2.5e6;
    EXPECT_EQ(refusal(dsp::complexNoise(140000, 1, rng), o),
              "no pilot within +-25 kHz at 2500000 Hz (every PN offset, sample clocks within +-200 ppm)");
    o.sampleRate = 1e6;
    EXPECT_EQ(refusal(dsp::CVec(140000), o), "the sample rate 1000000 Hz is outside what the analyzer reads, 1228800 to 200000000 Hz");
    o.sampleRate = 250e6;
    EXPECT_EQ(refusal(dsp::CVec(140000), o), "the sample rate 250000000 Hz is outside what the analyzer reads, 1228800 to 200000000 Hz");
}

}  // namespace
