// How the analyzer measures: through a channel filter, over the chips that carry a channel, with
// the whole frame beside; and which reference it takes when left to find it.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "analyzer/analysis.h"
#include "analyzer/measures.h"
#include "frames.h"

namespace {

// A frame with traffic and MAC channels in some slots and idle slots between them.
engine::FrameArgs busyFrame(int r) {
    std::mt19937_64 rng(19);
    engine::FrameArgs a = analyzertest::drawFrame(rng, r).args;
    a.IdleSlotGainActive = false;
    a.mirrorSpectrum = false;
    a.PilotOffsetIndex = 12;
    for (std::size_t s = 0; s < engine::kSlots; ++s) a.DATAactive[s] = s % 3 != 2;
    return a;
}

double meanPower(const dsp::CVec& x) {
    double p = 0;
    for (const auto& v : x) p += std::norm(v);
    return p / static_cast<double>(x.size());
}

// White noise of the same density relative to the signal within the channel, whatever the band
// the samples span: the in-band quality is the same, only the out-of-band noise grows with R.
TEST(Measures, SameInBandQualityReadsTheSameEvmAtAnyBandwidth) {
    dsp::Rng noise(5);
    double first = 0;
    for (int r : {2, 4, 8, 16}) {
        SCOPED_TRACE("R " + std::to_string(r));
        engine::FrameArgs a = busyFrame(r);
        const dsp::CVec wave = engine::Zuno_FwdChnFrame(a).waveform;
        analyzertest::Impairment im;
        im.snrDb = 20 - 10 * std::log10(r / 2.0);  // 20 dB over the band of R = 2
        analyzer::Options o = analyzer::optionsFor(a);
        o.pnOffset = 12;
        const analyzer::Result res = analyzer::analyze(analyzertest::impair(wave, r, im, noise), o);
        if (r == 2) first = res.evmRmsPercent;
        EXPECT_NEAR(res.evmRmsPercent, first, 0.04 * first);
        EXPECT_FALSE(res.channelFilter.empty());
    }
}

// The default frame: pilots only, and idle noise at -10 dB in every other chip. The pilots are
// clean; the idle noise is what the whole-frame figure counts.
TEST(Measures, IdleNoiseIsLeftOutOfRhoAndCountedInTheWholeFrame) {
    engine::FrameArgs a;
    a.oversamplingRate = 4;
    dsp::Rng rng(3);
    const dsp::CVec wave = engine::Zuno_FwdChnFrame(a, rng).waveform;
    const analyzer::Result res = analyzer::analyze(wave, analyzer::optionsFor(a));
    EXPECT_GT(res.rho, 0.999);
    EXPECT_GT(res.rhoPilot, 0.999);
    EXPECT_LT(res.evmRmsPercent, 0.5);
    EXPECT_LT(res.rhoWholeFrame, 0.7);
    EXPECT_GT(res.evmRmsPercentWholeFrame, 60.0);
    for (const auto& s : res.slotResults) EXPECT_GT(s.rho, 0.9999);
}

TEST(Measures, ActiveChipsFollowTheChannelsOn) {
    engine::FrameArgs a;
    a.DATAactive[0] = true;
    a.RPCchnActive[1] = true;
    const std::vector<bool> on = analyzer::activeChips(a);
    ASSERT_EQ(on.size(), 32768u);
    auto count = [&](std::size_t from, std::size_t to) {
        std::size_t n = 0;
        for (std::size_t m = from; m < to; ++m) n += on[m];
        return n;
    };
    EXPECT_EQ(count(0, 2048), 2048u - 256u);         // pilot and traffic, MAC idle
    EXPECT_EQ(count(2048, 4096), 192u + 256u);       // pilot and MAC
    EXPECT_EQ(count(4096, 32768), 14u * 192u);       // pilots alone
    EXPECT_TRUE(on[464]);
    EXPECT_FALSE(on[400]);
    EXPECT_TRUE(on[2048 + 400]);
}

// A scaled copy with noise in one slot: that slot's EVM shows it, the others stay clean.
TEST(Measures, PerSlotEvmShowsTheSlotThatIsOff) {
    engine::FrameArgs a = busyFrame(2);
    const dsp::CVec ref = engine::Zuno_FwdChnFrame(a).waveform;
    dsp::CVec z = ref;
    dsp::Rng rng(2);
    const dsp::CVec n = dsp::complexNoise(4096, meanPower(ref) * 0.01, rng);
    for (std::size_t t = 0; t < 4096; ++t) z[3 * 4096 + t] = 2.0 * z[3 * 4096 + t] + 2.0 * n[t];
    for (std::size_t t = 0; t < z.size(); ++t)
        if (t / 4096 != 3) z[t] *= 2.0;
    const analyzer::Quality q = analyzer::measureQuality(z, ref, 2, analyzer::activeChips(a));
    for (std::size_t s = 0; s < engine::kSlots; ++s) {
        if (s == 3) {
            EXPECT_GT(q.slotEvmRmsPercent[s], 3.0);
        } else {
            EXPECT_LT(q.slotEvmRmsPercent[s], 1.0) << s;
        }
    }
    EXPECT_NEAR(std::abs(q.gain), 2.0, 0.01);
    // The pilot bursts read 0 dB on average in the power against time.
    double pilot = 0;
    for (std::size_t h = 0; h < 32; ++h)
        for (std::size_t c = 464; c < 560; c += 16) pilot += std::pow(10.0, q.powerDb[(h * 1024 + c) / 16] / 10) / 192;
    EXPECT_NEAR(10 * std::log10(pilot), 0.0, 0.05);
}

// Left to find it, the analyzer tries every filter with and without the equalizer and keeps the
// one the frame was made with.
TEST(Measures, FindingTheReferenceKeepsTheFilterThatMadeTheFrame) {
    for (engine::FilterKind filter : {engine::FilterKind::Rectangular, engine::FilterKind::Is95Std, engine::FilterKind::Is95Acp}) {
        engine::FrameArgs a = busyFrame(3);
        a.filterType = filter;
        a.phaseEqActive = filter == engine::FilterKind::Is95Std;
        SCOPED_TRACE("filter " + std::to_string(static_cast<int>(filter)));
        analyzer::Options o = analyzer::optionsFor(a);
        o.filter.reset();
        o.phaseEqualizer.reset();
        o.pnOffset = 12;
        const analyzer::Result res = analyzer::analyze(engine::Zuno_FwdChnFrame(a).waveform, o);
        EXPECT_TRUE(res.referenceFound);
        EXPECT_EQ(res.referencesTried, 6);
        EXPECT_EQ(res.reference.filterType, a.filterType);
        EXPECT_EQ(res.reference.phaseEqActive, a.phaseEqActive);
        EXPECT_GT(res.rho, 0.9999);
    }
    engine::FrameArgs a = busyFrame(2);
    analyzer::Options given = analyzer::optionsFor(a);
    given.phaseEqualizer.reset();
    const analyzer::Result res = analyzer::analyze(engine::Zuno_FwdChnFrame(a).waveform, given);
    EXPECT_EQ(res.referencesTried, 2);
    EXPECT_TRUE(res.reference.phaseEqActive);
}

}  // namespace
