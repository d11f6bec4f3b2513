// The analyzer against frames the engine makes: exact recovery of clean frames, bounded errors
// on impaired captures, every reading of ambiguous frames, and the refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "analyzer/analysis.h"
#include "analyzer/measures.h"
#include "frames.h"
#include "engine/baseband_filter.h"

namespace {

using analyzer::Result;
using analyzertest::Impairment;

// Frames per sweep: fewer under the sanitizers; ZUNO_ANALYZER_FRAMES asks for a longer run.
int sweepCount() {
    if (const char* n = std::getenv("ZUNO_ANALYZER_FRAMES")) return std::max(1, std::atoi(n));
    return ZUNO_ANALYZER_SWEEP;
}

// The worst error of each figure over a sweep, printed for the record.
struct Worst {
    double start = 0, frequency = 0, gain = 0, rhoShortfall = 0, rhoMiss = 0;
    std::size_t bitErrors = 0;
    void print(const char* what) const {
        std::printf("%s: frame start %.4g chip, frequency %.4g Hz, gain %.4g dB, 1 - rho %.3g, rho vs noise %.3g, "
                    "traffic bit errors %zu\n", what, start, frequency, gain, rhoShortfall, rhoMiss, bitErrors);
    }
};

double cyclicMiss(double a, double b) {
    const double d = std::fmod(std::abs(a - b), 32768.0);
    return std::min(d, 32768.0 - d);
}

bool channelOn(const engine::FrameArgs& a, std::size_t s, std::size_t k) { return a.RPCchnActive[s] && a.RPCactive[s][k]; }

// The reading whose PN offset is the one the frame was made with: asked for when the analyzer
// chose another one the samples allow.
Result readingOf(const dsp::CVec& x, const engine::FrameArgs& a, analyzer::Options o) {
    Result r = analyzer::analyze(x, o);
    if (r.pnOffset == a.PilotOffsetIndex) return r;
    const bool listed = std::any_of(r.alternatives.begin(), r.alternatives.end(),
                                    [&](const analyzer::Reading& q) { return q.pnOffset == a.PilotOffsetIndex; });
    EXPECT_TRUE(listed) << "PN offset " << a.PilotOffsetIndex << " is not among the readings (chose " << r.pnOffset << ")";
    o.pnOffset = static_cast<int>(a.PilotOffsetIndex);
    return analyzer::analyze(x, o);
}

// Content against the settings that made it. Gains within gainTol(slot gain); bits of channels
// at or above bitFloor dB exact.
template <class Tol>
void expectContent(const Result& r, const analyzertest::Drawn& d, Tol gainTol, double bitFloor, Worst& w) {
    const auto& a = d.args;
    EXPECT_EQ(r.mirrorSpectrum, a.mirrorSpectrum);
    bool traffic = false;
    for (std::size_t s = 0; s < engine::kSlots; ++s) {
        SCOPED_TRACE("slot " + std::to_string(s + 1));
        const auto& got = r.slotResults[s];
        const bool raOn = a.RAactive[s];
        ASSERT_EQ(got.ra.has_value(), raOn);
        if (raOn) {
            if (a.RAgain[s] >= bitFloor) {
                EXPECT_EQ(got.ra->bit, a.RAbit[s] ? 1 : 0);
            }
            EXPECT_NEAR(got.ra->gainDb, a.RAgain[s], gainTol(a.RAgain[s]));
            w.gain = std::max(w.gain, std::abs(got.ra->gainDb - a.RAgain[s]));
        }
        bool anyOn = raOn;
        for (std::size_t k = 0; k < engine::kRpcChannels; ++k) {
            ASSERT_EQ(got.rpc[k].has_value(), channelOn(a, s, k))
                << "RPC channel " << k + 1 << " read at " << (got.rpc[k] ? got.rpc[k]->gainDb : 0.0) << " dB, idle noise "
                << a.IdleSlotGainActive << " at " << a.IdleSlotGain << " dB, slot's MAC " << a.RPCchnActive[s] << a.RAactive[s];
            if (!got.rpc[k]) continue;
            anyOn = true;
            if (a.RPCgains[s][k] >= bitFloor) {
                EXPECT_EQ(got.rpc[k]->bit, a.RPCbits[s][k] ? 1 : 0) << "RPC channel " << k + 1;
            }
            EXPECT_NEAR(got.rpc[k]->gainDb, a.RPCgains[s][k], gainTol(a.RPCgains[s][k])) << "RPC channel " << k + 1;
            w.gain = std::max(w.gain, std::abs(got.rpc[k]->gainDb - a.RPCgains[s][k]));
        }
        EXPECT_EQ(got.macActive, anyOn);
        const auto expected = a.DATAactive[s] ? static_cast<analyzer::Modulation>(a.DATAformat[s]) : analyzer::Modulation::Idle;
        EXPECT_EQ(got.traffic, expected);
        traffic = traffic || a.DATAactive[s];
    }
    if (traffic) {
        EXPECT_EQ(r.dataSource, d.source);
    } else {
        EXPECT_FALSE(r.dataSource.has_value());
    }
}

TEST(AnalyzerSweep, CleanFramesAreRecoveredExactly) {
    std::mt19937_64 rng(14);
    dsp::Rng noise(7);
    const int ratios[] = {2, 3, 5, 8, 4, 12, 30};
    Worst w;
    for (int i = 0; i < sweepCount(); ++i) {
        const int r = ratios[i % 7];
        const auto d = analyzertest::drawFrame(rng, r);
        SCOPED_TRACE("frame " + std::to_string(i) + ", R " + std::to_string(r));
        const dsp::CVec wave = engine::Zuno_FwdChnFrame(d.args, noise).waveform;
        Impairment im;
        im.delaySamples = std::floor(std::uniform_real_distribution<double>(0, double(wave.size()))(rng));
        const Result res = readingOf(analyzertest::impair(wave, r, im, noise), d.args, analyzer::optionsFor(d.args));
        // Idle noise is not in the reference: it leaves the timing a thousandth of a chip off, which
        // moves weak channels beside loud ones by a few hundredths of a dB more.
        const double gainTol = !d.args.IdleSlotGainActive ? 0.05 : 0.1;
        expectContent(res, d, [&](double) { return gainTol; }, -100, w);
        if (res.dataSource) {
            EXPECT_EQ(res.dataBitErrors, 0u);
        }
        const double start = cyclicMiss(res.frameStartChips, im.delaySamples / r);
        EXPECT_LT(start, 0.02);
        EXPECT_LT(std::abs(res.frequencyErrorHz), 0.5);
        // Nothing to doubt, and no other sector in a capture of one.
        for (const auto& doubt : res.warnings) ADD_FAILURE() << "warning: " << doubt;
        EXPECT_TRUE(res.otherPilots.empty());
        w.start = std::max(w.start, start);
        w.frequency = std::max(w.frequency, std::abs(res.frequencyErrorHz));
        if (!d.args.IdleSlotGainActive) {
            EXPECT_GE(res.rho, 0.9999);
            w.rhoShortfall = std::max(w.rhoShortfall, 1 - res.rho);
        }
    }
    w.print("clean frames, worst");
}

TEST(AnalyzerSweep, ImpairedCapturesStayWithinWhatTheNoiseAllows) {
    std::mt19937_64 rng(1414);
    dsp::Rng noise(9);
    const int ratios[] = {2, 5, 3, 8};
    Worst w;
    for (int i = 0; i < sweepCount(); ++i) {
        const int r = ratios[i % 4];
        auto d = analyzertest::drawFrame(rng, r);
        d.args.IdleSlotGainActive = false;
        SCOPED_TRACE("frame " + std::to_string(i) + ", R " + std::to_string(r));
        const dsp::CVec wave = engine::Zuno_FwdChnFrame(d.args, noise).waveform;
        auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
        Impairment im{uniform(0, double(wave.size())), uniform(-1000, 1000), uniform(-3.14, 3.14), uniform(0.01, 100),
                      uniform(15, 30)};
        const Result res = readingOf(analyzertest::impair(wave, r, im, noise), d.args, analyzer::optionsFor(d.args));
        // Noise per chip relative to the pilot chip, from the frame's power over the pilot's.
        double power = 0;
        for (const auto& v : wave) power += std::norm(v) / double(wave.size());
        engine::FrameArgs pilotOnly = analyzertest::pilotOnly(d.args);
        const dsp::CVec pw = engine::Zuno_FwdChnFrame(pilotOnly).waveform;
        double pilotPower = 0;
        for (const auto& v : pw) pilotPower += std::norm(v) / double(pw.size()) * 32768.0 / 3072.0;
        const double chipNoise = power / std::pow(10.0, im.snrDb / 10) / pilotPower;
        // A channel's amplitude is read over 256 chips on one branch: 4 standard deviations in dB.
        auto tol = [&](double gainDb) { return 0.3 + 4 * 8.69 * std::sqrt(chipNoise / 2 / 256) / dsp::dbToAmplitude(gainDb); };
        expectContent(res, d, tol, -15, w);
        if (res.dataBitErrors) {
            EXPECT_LE(*res.dataBitErrors, res.dataBits / 200);
            w.bitErrors = std::max(w.bitErrors, *res.dataBitErrors);
        }
        const double start = cyclicMiss(res.frameStartChips, im.delaySamples / r);
        EXPECT_LT(start, 0.05);
        EXPECT_NEAR(res.frequencyErrorHz, im.frequencyHz, 2.0);
        // The channel filter passes the noise's share sum(h^2) and the signal nearly whole; rho
        // counts the chips that carry a channel.
        const dsp::CVec filtered = engine::Zuno_BasebandFilter(wave, r, "IS95-STD");
        double passed = 0, signal = 0;
        for (double h : engine::FilterCoeff_IS95_Std(r)) passed += h * h;
        const std::vector<bool> active = analyzer::activeChips(d.args);
        for (std::size_t t = 0; t < filtered.size(); ++t)
            if (active[t / static_cast<std::size_t>(r)]) signal += std::norm(filtered[t]);
        signal /= static_cast<double>(std::count(active.begin(), active.end(), true) * r);
        const double expectedRho = 1 / (1 + power * passed / signal * std::pow(10.0, -im.snrDb / 10));
        EXPECT_NEAR(res.rho, expectedRho, 0.005);
        w.start = std::max(w.start, start);
        w.frequency = std::max(w.frequency, std::abs(res.frequencyErrorHz - im.frequencyHz));
        w.rhoMiss = std::max(w.rhoMiss, std::abs(res.rho - expectedRho));
    }
    w.print("impaired captures, worst");
}

TEST(Analyzer, AnotherReferenceFilterTellsHowFarTheFrameIsFromIt) {
    std::mt19937_64 rng(3);
    auto d = analyzertest::drawFrame(rng, 4);
    d.args.filterType = engine::FilterKind::Is95Acp;
    d.args.IdleSlotGainActive = false;
    const dsp::CVec wave = engine::Zuno_FwdChnFrame(d.args).waveform;
    auto o = analyzer::optionsFor(d.args);
    o.filter = analyzer::ReferenceFilter::Standard;
    o.pnOffset = static_cast<int>(d.args.PilotOffsetIndex);
    const Result r = analyzer::analyze(wave, o);
    EXPECT_GT(r.rho, 0.99);
    EXPECT_LT(r.rho, 0.9995);
    for (std::size_t s = 0; s < engine::kSlots; ++s)
        EXPECT_EQ(r.slotResults[s].traffic, d.args.DATAactive[s] ? static_cast<analyzer::Modulation>(d.args.DATAformat[s])
                                                                : analyzer::Modulation::Idle);
}

// A frame starting on a multiple of 512 chips, loud traffic in every slot: the search for the
// pilot must not lose half of each burst to where it cuts the frame into stretches.
TEST(Analyzer, FrameStartingOnAHalfHalfSlotIsFound) {
    std::mt19937_64 rng(8);
    auto d = analyzertest::drawFrame(rng, 2);
    d.args.IdleSlotGainActive = false;
    d.args.DATAactive.fill(true);
    const dsp::CVec wave = engine::Zuno_FwdChnFrame(d.args).waveform;
    dsp::Rng noise(1);
    Worst w;
    for (double delay : {0.0, 0.9999, 1024.0 + 0.5, 2 * 20000.0 + 1.25, 2 * 300.0}) {
        SCOPED_TRACE("delay " + std::to_string(delay) + " samples");
        const Result r = readingOf(analyzertest::impair(wave, 2, {delay, 300}, noise), d.args, analyzer::optionsFor(d.args));
        expectContent(r, d, [](double) { return 0.05; }, -100, w);
        EXPECT_LT(cyclicMiss(r.frameStartChips, delay / 2), 0.02);
        EXPECT_GE(r.rho, 0.9999);
    }
}

// Chip-rate captures, every second sample of a frame at R = 2 delayed by whole chips and a
// fraction: read exactly whether taken on the chip instants or between them.
TEST(Analyzer, ChipRateCapturesAreReadAtAnySamplingPhase) {
    std::mt19937_64 rng(21);
    dsp::Rng noise(22);
    Worst w;
    for (double fraction : {0.0, 0.25, 0.5, 0.75, 0.3817}) {
        auto d = analyzertest::drawFrame(rng, 2);
        d.args.IdleSlotGainActive = false;
        SCOPED_TRACE("delay fraction " + std::to_string(fraction) + " chip");
        auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
        const double delayChips = std::floor(uniform(0, 32768)) + fraction;
        const Impairment im{2 * delayChips, uniform(-1000, 1000), uniform(-3.14, 3.14), uniform(0.1, 10)};
        const dsp::CVec late = analyzertest::impair(engine::Zuno_FwdChnFrame(d.args).waveform, 2, im, noise);
        dsp::CVec chips(late.size() / 2);
        for (std::size_t m = 0; m < chips.size(); ++m) chips[m] = late[2 * m];
        analyzer::Options o = analyzer::optionsFor(d.args);
        o.sampleRate = engine::kChipRate;
        const Result res = readingOf(chips, d.args, o);
        EXPECT_EQ(res.oversampling, 1);
        expectContent(res, d, [](double) { return 0.05; }, -20, w);
        if (res.dataBitErrors) {
            EXPECT_EQ(*res.dataBitErrors, 0u);
        }
        const double start = cyclicMiss(res.frameStartChips, delayChips);
        EXPECT_LT(start, 0.05);
        EXPECT_NEAR(res.frequencyErrorHz, im.frequencyHz, 0.5);
        EXPECT_GE(res.rho, 0.9999);
        w.start = std::max(w.start, start);
        w.frequency = std::max(w.frequency, std::abs(res.frequencyErrorHz - im.frequencyHz));
        w.rhoShortfall = std::max(w.rhoShortfall, 1 - res.rho);
    }
    w.print("chip-rate captures, worst");
}

TEST(Analyzer, LongerCaptureIsReadOnItsFirstWholeFrameAfterTheStart) {
    std::mt19937_64 rng(5);
    auto d = analyzertest::drawFrame(rng, 2);
    d.args.IdleSlotGainActive = false;
    d.args.DATAactive.fill(true);
    d.source = 5;
    d.args.DATAbits = engine::GenerateBitStream(5, 16 * 6400);
    const dsp::CVec wave = engine::Zuno_FwdChnFrame(d.args).waveform;
    // 1.7 frames from sample 40001 of the repeating output: the frame starts at 2 x 32768 - 20000 chips.
    dsp::CVec x;
    for (int rep = 0; rep < 2; ++rep) x.insert(x.end(), wave.begin(), wave.end());
    x.erase(x.begin(), x.begin() + 40000);
    x.resize(wave.size() * 17 / 10);
    const Result r = analyzer::analyze(x, analyzer::optionsFor(d.args));
    EXPECT_EQ(r.pnOffset, d.args.PilotOffsetIndex);
    EXPECT_NEAR(r.frameStartChips, 32768 - 20000, 0.02);
    EXPECT_GE(r.rho, 0.9999);
    EXPECT_EQ(r.dataSource, 5);
    EXPECT_TRUE(r.alternatives.empty());
    EXPECT_FALSE(r.cyclic);
}

// A frame and a half of the repeating output, cut anywhere: read on the whole frame after the
// start where one follows, otherwise on the first frame's worth as cyclic; as cleanly either way,
// and the start reported is one that lies in the capture.
TEST(Analyzer, FrameAndAHalfCutAnywhereReadsAsCleanlyAsOneFrame) {
    std::mt19937_64 rng(8);
    dsp::Rng noise(1);
    auto d = analyzertest::drawFrame(rng, 2);
    d.args.IdleSlotGainActive = false;
    d.args.DATAactive.fill(true);
    const dsp::CVec wave = analyzertest::impair(engine::Zuno_FwdChnFrame(d.args).waveform, 2, {0.9999}, noise);
    const std::size_t frame = wave.size();
    for (std::size_t cut : {std::size_t{0}, std::size_t{5000}, frame / 4 + 1, frame / 2 + 333, frame - 7, frame - 26249}) {
        SCOPED_TRACE("cut at sample " + std::to_string(cut));
        dsp::CVec x;
        for (int rep = 0; rep < 3; ++rep) x.insert(x.end(), wave.begin(), wave.end());
        x.erase(x.begin(), x.begin() + static_cast<std::ptrdiff_t>(cut));
        x.resize(frame * 3 / 2);
        for (std::size_t t = 0; t < x.size(); ++t) x[t] *= std::polar(1.0, 2 * std::numbers::pi * 700.0 * double(t) / (2 * engine::kChipRate));
        const Result r = analyzer::analyze(x, analyzer::optionsFor(d.args));
        const double start = (double((frame - cut) % frame) + 0.9999) / 2;  // of the frame the engine made
        EXPECT_LT(std::abs(std::remainder(r.frameStartChips - start, 1024.0)), 0.02);  // any reading
        EXPECT_GE(r.frameStartChips, -0.5);
        EXPECT_EQ(r.cyclic, r.frameStartChips > 16384) << r.frameStartChips;
        EXPECT_GE(r.rho, 0.9999);
        if (r.dataBitErrors) {
            EXPECT_EQ(*r.dataBitErrors, 0u);
        }
    }
    // A start found a hair before the whole frame's first sample is reported there, not a frame later.
    const dsp::CVec shifted = analyzertest::impair(engine::Zuno_FwdChnFrame(d.args).waveform, 2, {0.9999, 700}, noise);
    dsp::CVec x(shifted.begin() + static_cast<std::ptrdiff_t>(frame / 2 + 333), shifted.end());
    x.insert(x.end(), shifted.begin(), shifted.end());
    x.resize(frame * 3 / 2);
    const Result r = analyzer::analyze(x, analyzer::optionsFor(d.args));
    EXPECT_FALSE(r.cyclic);
    EXPECT_LT(std::abs(std::remainder(r.frameStartChips - (frame / 2 - 333 + 0.9999) / 2, 1024.0)), 0.02);
    EXPECT_LT(r.frameStartChips, 16384) << "the frame read runs past the capture's end";
}

TEST(Analyzer, PilotOnlyFrameListsEveryReadingAndTakesTheOffsetAsked) {
    engine::FrameArgs a;
    a.IdleSlotGainActive = false;
    a.oversamplingRate = 2;
    a.PilotOffsetIndex = 37;
    const dsp::CVec wave = engine::Zuno_FwdChnFrame(a).waveform;
    auto o = analyzer::optionsFor(a);
    Result r = analyzer::analyze(wave, o);
    ASSERT_EQ(r.alternatives.size(), 31u);
    EXPECT_TRUE(r.cyclic);
    EXPECT_TRUE(std::is_sorted(r.alternatives.begin(), r.alternatives.end(), [](const auto& a, const auto& b) {
        return a.frameStartChips < b.frameStartChips;
    }));
    std::vector<int> offsets{r.pnOffset};
    for (const auto& q : r.alternatives) {
        offsets.push_back(q.pnOffset);
        // Each reading moves the start by 1024 chips per 16 of PN offset.
        EXPECT_NEAR(std::fmod(q.frameStartChips - r.frameStartChips + 32768 * 2, 32768.0),
                    double((q.pnOffset - r.pnOffset + 512) % 512 / 16 * 1024), 1e-6);
    }
    std::sort(offsets.begin(), offsets.end());
    for (int i = 0; i < 32; ++i) EXPECT_EQ(offsets[i], 5 + 16 * i);
    EXPECT_NEAR(r.frameStartChips, 0.0, 0.02);  // the first start after the first sample
    o.pnOffset = 69;
    r = analyzer::analyze(wave, o);
    EXPECT_EQ(r.pnOffset, 69);
    EXPECT_NEAR(r.frameStartChips, 2048, 0.02);
    EXPECT_FALSE(r.dataSource.has_value());
}

// A scaled and rotated copy of the reference fits it perfectly: rho and rho pilot are 1, never
// a rounding error above it.
TEST(Analyzer, RhoOfAScaledCopyIsOneAtMost) {
    engine::FrameArgs a;
    a.IdleSlotGainActive = false;
    a.oversamplingRate = 2;
    const dsp::CVec ref = engine::Zuno_FwdChnFrame(a).waveform;
    for (double s : {0.1, 0.7, 1.0, 7.3}) {
        dsp::CVec z(ref);
        for (auto& v : z) v *= dsp::cplx(s, s / 3);
        const analyzer::Quality q = analyzer::measureQuality(z, ref, 2, analyzer::activeChips(a));
        EXPECT_LE(q.rho, 1.0) << s;
        EXPECT_LE(q.rhoPilot, 1.0) << s;
        EXPECT_NEAR(q.rho, 1.0, 1e-12);
    }
}

std::string refusal(const dsp::CVec& x, analyzer::Options o) {
    try {
        analyzer::analyze(x, o);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "accepted";
}

TEST(Analyzer, RefusesWhatItCannotAnalyse) {
    engine::FrameArgs a;
    a.oversamplingRate = 2;
    const dsp::CVec wave = engine::Zuno_FwdChnFrame(a).waveform;
    analyzer::Options o = analyzer::optionsFor(a);
    o.sampleRate = 1e6;
    EXPECT_EQ(refusal(wave, o), "the sample rate 1000000 Hz is outside what the analyzer reads, 1228800 to 200000000 Hz");
    o.sampleRate = 65 * engine::kChipRate;
    EXPECT_NE(refusal(wave, o).find("79872000 Hz"), std::string::npos);
    o = analyzer::optionsFor(a);
    EXPECT_EQ(refusal(dsp::CVec(wave.begin(), wave.end() - 1), o),
              "the capture holds 65535 samples; one frame at 2457600 Hz takes 65536");
    dsp::CVec bad = wave;
    bad[99] = {NAN, 0};
    EXPECT_EQ(refusal(bad, o), "sample 100 is not a finite number");
    const char* none = "no pilot within +-25 kHz at 2457600 Hz (every PN offset, sample clocks within +-200 ppm)";
    EXPECT_EQ(refusal(dsp::CVec(wave.size()), o), none);
    dsp::Rng rng(1);
    EXPECT_EQ(refusal(dsp::complexNoise(wave.size(), 1, rng), o), none);
    o.pnOffset = 3;  // the frame's readings have offsets 0, 16, 32, ...
    EXPECT_EQ(refusal(wave, o), "no pilot with PN offset 3 found in the samples");
}

}  // namespace

