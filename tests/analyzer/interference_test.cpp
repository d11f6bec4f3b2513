// The analyzer's decisions on captures with noise, echoes and other sectors: traffic on or idle
// in each slot, the data source, the other pilots found, and a doubt for every reading it gets
// wrong.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "analyzer/analysis.h"
#include "frames.h"
#include "interference.h"

namespace {

using analyzer::Result;
using analyzertest::Drawn;
using analyzertest::Echo;

int sweepCount() {
    if (const char* n = std::getenv("ZUNO_ANALYZER_FRAMES")) return std::max(1, std::atoi(n));
    return ZUNO_ANALYZER_SWEEP;
}

dsp::CVec waveOf(const Drawn& d, dsp::Rng& rng) { return engine::Zuno_FwdChnFrame(d.args, rng).waveform; }

// White noise snrDb below the power of a slot with traffic (the pilot's chip power, which traffic
// keeps): the SNR in the channel a traffic slot sees, whatever the frame's other slots hold.
dsp::CVec withNoise(const dsp::CVec& x, const Drawn& d, double snrDb, dsp::Rng& rng) {
    const dsp::CVec pilot = engine::Zuno_FwdChnFrame(analyzertest::pilotOnly(d.args)).waveform;
    double full = 0;
    for (const auto& v : pilot) full += std::norm(v) / double(pilot.size());
    full *= double(engine::kHalfSlotChips) / double(engine::kPilotChips);
    const dsp::CVec noise = dsp::complexNoise(x.size(), full / std::pow(10.0, snrDb / 10), rng);
    dsp::CVec y(x);
    for (std::size_t t = 0; t < y.size(); ++t) y[t] += noise[t];
    return y;
}

analyzer::Modulation expectedTraffic(const engine::FrameArgs& a, std::size_t s) {
    return a.DATAactive[s] ? static_cast<analyzer::Modulation>(a.DATAformat[s]) : analyzer::Modulation::Idle;
}

bool anyTraffic(const engine::FrameArgs& a) {
    return std::any_of(a.DATAactive.begin(), a.DATAactive.end(), [](bool v) { return v; });
}

// Whether the reading is the frame's: its PN offset, or one of the readings the samples allow
// equally with every slot's traffic as made when the slots are counted from that reading's
// start; and the data source.
bool readRight(const Result& r, const Drawn& d) {
    const int pn = static_cast<int>(d.args.PilotOffsetIndex);
    const bool listed = r.pnOffset == pn || std::any_of(r.alternatives.begin(), r.alternatives.end(),
                                                        [&](const analyzer::Reading& q) { return q.pnOffset == pn; });
    if (!listed || r.mirrorSpectrum != d.args.mirrorSpectrum) return false;
    // Slot s of the frame made is slot s + shift of the reading (32 of PN offset per slot).
    const int moved = (pn - r.pnOffset + 512) % 512;
    if (moved % 32 != 0) return !anyTraffic(d.args);  // half-slots paired otherwise: nothing to compare
    const std::size_t shift = static_cast<std::size_t>(moved / 32);
    for (std::size_t s = 0; s < engine::kSlots; ++s)
        if (r.slotResults[(s + shift) % engine::kSlots].traffic != expectedTraffic(d.args, s)) return false;
    return anyTraffic(d.args) ? r.dataSource == d.source : !r.dataSource.has_value();
}

// Every slot's traffic as made, the source found, and nothing in doubt.
void expectReadRight(const Result& r, const Drawn& d) {
    EXPECT_EQ(r.pnOffset, d.args.PilotOffsetIndex);
    for (std::size_t s = 0; s < engine::kSlots; ++s)
        EXPECT_EQ(r.slotResults[s].traffic, expectedTraffic(d.args, s)) << "slot " << s + 1;
    EXPECT_EQ(r.dataSource, d.source);
    for (const auto& a : r.alternatives) ADD_FAILURE() << "alternative: PN " << a.pnOffset << " at " << a.frameStartChips;
    for (const auto& w : r.warnings) ADD_FAILURE() << "warning: " << w;
}

// A frame with traffic in about half of its slots from a source without repeats (every other
// start reads other bits), quiet MAC bursts and no idle noise: an idle slot's data positions
// then hold only what the capture adds to them.
Drawn halfTraffic(std::mt19937_64& rng, int r) {
    Drawn d = analyzertest::drawFrame(rng, r);
    analyzertest::quietMac(d, rng);
    for (std::size_t s = 0; s < engine::kSlots; ++s) d.args.DATAactive[s] = (s * 7 + rng() % 3) % 2 == 0;
    d.args.DATAactive[0] = d.args.DATAactive[15] = 1;  // an idle first or last slot allows other starts
    d.args.IdleSlotGainActive = 0;
    d.source = 5 + int(rng() % 2);
    d.args.DATAbits = engine::GenerateBitStream(d.source, 16 * 6400);
    return d;
}

TEST(AnalyzerDecisions, TrafficIsDecidedRightAtTenDbSnr) {
    std::mt19937_64 rng(22);
    dsp::Rng noise(3);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE("frame " + std::to_string(i));
        const Drawn d = halfTraffic(rng, 2);
        const Result r = analyzer::analyze(withNoise(waveOf(d, noise), d, 10, noise), analyzer::optionsFor(d.args));
        expectReadRight(r, d);
    }
}

TEST(AnalyzerDecisions, TrafficIsDecidedRightThroughAnEchoAtMinusTenDb) {
    std::mt19937_64 rng(23);
    dsp::Rng noise(4);
    const Echo echoes[] = {{3, -10, 1.0}, {-5, -10, 2.0}, {16, -10, 0.3}, {-16, -10, 4.0}, {1, -10, 0.0}};
    for (const Echo& e : echoes) {
        SCOPED_TRACE("echo at " + std::to_string(e.halfChips) + " half-chips");
        const Drawn d = halfTraffic(rng, 2);
        const dsp::CVec x = withNoise(analyzertest::multipath(waveOf(d, noise), 2, {e}), d, 30, noise);
        expectReadRight(analyzer::analyze(x, analyzer::optionsFor(d.args)), d);
    }
}

TEST(AnalyzerDecisions, TrafficIsDecidedRightBesideAnotherSectorAtMinusTenDb) {
    std::mt19937_64 rng(24);
    dsp::Rng noise(5);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE("frame " + std::to_string(i));
        const Drawn d = halfTraffic(rng, 2);
        const Drawn other = analyzertest::sectorBeside(d, int(d.args.PilotOffsetIndex + 1 + double(rng() % 510)) % 512, rng);
        const dsp::CVec x = analyzertest::withSector(waveOf(d, noise), waveOf(other, noise), 2, 0.37 + i, -10, 1.0 + i, noise);
        expectReadRight(analyzer::analyze(withNoise(x, d, 30, noise), analyzer::optionsFor(d.args)), d);
    }
}

// A second and a third sector: each found with its PN offset, level and delay, the strongest read.
TEST(AnalyzerOtherPilots, AreFoundWithTheirOffsetLevelAndDelay) {
    std::mt19937_64 rng(25);
    dsp::Rng noise(6);
    Drawn d = halfTraffic(rng, 2);
    d.args.PilotOffsetIndex = 100;
    const Drawn second = analyzertest::sectorBeside(d, 37, rng), third = analyzertest::sectorBeside(d, 101, rng);
    const dsp::CVec main = waveOf(d, noise);
    dsp::CVec x = analyzertest::withSector(main, waveOf(second, noise), 2, 2.3, -6, 0.5, noise);
    x = analyzertest::withSector(x, waveOf(third, noise), 2, -7.6, -15, 2.5, noise);
    x = withNoise(x, d, 25, noise);
    const Result r = analyzer::analyze(x, analyzer::optionsFor(d.args));
    EXPECT_EQ(r.pnOffset, 100);
    ASSERT_EQ(r.otherPilots.size(), 2u);
    EXPECT_EQ(r.otherPilots[0].pnOffset, 37);
    EXPECT_NEAR(r.otherPilots[0].delayChips, 2.3, 0.05);
    EXPECT_EQ(r.otherPilots[1].pnOffset, 101);
    EXPECT_NEAR(r.otherPilots[1].delayChips, -7.6, 0.05);
    EXPECT_NEAR(r.otherPilots[0].levelDb, -6, 1);
    EXPECT_NEAR(r.otherPilots[1].levelDb, -15, 1);
}

// Drawn frames through random echoes, other sectors and noise, some too much to read: a reading
// that is wrong always carries a warning, and a refusal is as good.
TEST(AnalyzerDoubts, AWrongReadingIsNeverCalledASuccess) {
    std::mt19937_64 rng(26);
    dsp::Rng noise(8);
    auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
    int right = 0, rightDoubted = 0, doubted = 0, refused = 0;
    for (int i = 0; i < 2 * sweepCount(); ++i) {
        const Drawn d = analyzertest::drawFrame(rng, 2);
        dsp::CVec x = waveOf(d, noise);
        std::string what = "frame " + std::to_string(i);
        if (uniform(0, 1) < 0.5) {
            const Echo e{int(uniform(-16, 17)), uniform(-12, -1), uniform(0, 6.3)};
            if (e.halfChips != 0) x = analyzertest::multipath(x, 2, {e});
            what += ", echo " + std::to_string(e.halfChips) + " half-chips at " + std::to_string(e.levelDb) + " dB";
        }
        if (uniform(0, 1) < 0.5) {
            const int pn = (int(d.args.PilotOffsetIndex) + 1 + int(rng() % 510)) % 512;
            const double level = uniform(-15, -2);  // the frame's own pilot the strongest
            x = analyzertest::withSector(x, waveOf(analyzertest::sectorBeside(d, pn, rng), noise), 2, uniform(-20, 20), level,
                                         uniform(0, 6.3), noise);
            what += ", sector at " + std::to_string(level) + " dB";
        }
        analyzertest::Impairment im;
        im.snrDb = uniform(-8, 25);
        im.frequencyHz = uniform(-3000, 3000);
        im.delaySamples = std::floor(uniform(0, double(x.size())));
        what += ", SNR " + std::to_string(im.snrDb) + " dB";
        SCOPED_TRACE(what);
        try {
            const Result r = analyzer::analyze(analyzertest::impair(x, 2, im, noise), analyzer::optionsFor(d.args));
            if (readRight(r, d)) ++right, rightDoubted += !r.warnings.empty();
            else if (!r.warnings.empty()) ++doubted;
            else {
                std::string slots, made;
                for (std::size_t s = 0; s < engine::kSlots; ++s) {
                    slots += std::to_string(int(r.slotResults[s].traffic));
                    made += std::to_string(int(expectedTraffic(d.args, s)));
                }
                std::string alts;
                for (const auto& a : r.alternatives) alts += " " + std::to_string(a.pnOffset);
                ADD_FAILURE() << "read wrong without a warning: PN " << r.pnOffset << " (made " << d.args.PilotOffsetIndex
                              << "), source " << r.dataSource.value_or(0) << " (made " << d.source << "), traffic " << slots
                              << " (made " << made << "), alternatives" << alts;
            }
        } catch (const std::runtime_error&) {
            ++refused;
        }
    }
    std::printf("%d read right (%d of them with doubts), %d wrong with doubts, %d refused\n", right, rightDoubted, doubted,
                refused);
}

}  // namespace
