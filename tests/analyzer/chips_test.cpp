// The transmit chain applied and undone in the frequency domain, against the engine's own frames.
#include <gtest/gtest.h>

#include <random>

#include "analyzer/chips.h"
#include "analyzer/frame_layout.h"
#include "dsp/fft.h"
#include "frames.h"

namespace {

double maxDiff(const dsp::CVec& a, const dsp::CVec& b) {
    double m = 0;
    for (std::size_t i = 0; i < a.size(); ++i) m = std::max(m, std::abs(a[i] - b[i]));
    return m;
}

analyzer::ChainSettings chainOf(const engine::FrameArgs& a, int r) {
    return {r, a.filterType, a.phaseEqActive, !a.mirrorSpectrum};
}

}  // namespace

// Every filter, equalizer on and off, mirror on and off: the chain's waveform is the engine's
// frame, the low band of it is the frame at two samples per chip, and the chips come back from
// either spectrum.
TEST(Chain, MakesTheEnginesFrameAndGivesBackItsChips) {
    std::mt19937_64 rng(14);
    const int rates[] = {3, 2, 4};
    for (int filter = 1; filter <= 3; ++filter)
        for (int eq = 0; eq <= 1; ++eq)
            for (int mirror = 0; mirror <= 1; ++mirror) {
                const int r = rates[(filter + eq + mirror) % 3];
                engine::FrameArgs a = analyzertest::drawFrame(rng, r).args;
                a.IdleSlotGainActive = false;
                a.filterType = static_cast<engine::FilterKind>(filter), a.phaseEqActive = eq == 1, a.mirrorSpectrum = mirror == 1;
                SCOPED_TRACE(testing::Message() << "filter " << filter << " eq " << eq << " mirror " << mirror << " R " << r);
                const analyzer::ChainSettings chain = chainOf(a, r);
                const dsp::CVec chips = engine::frameChips(a);
                const dsp::CVec wave = engine::Zuno_FwdChnFrame(a).waveform;

                const auto n = wave.size();
                const analyzer::Waveform full = analyzer::chainWaveform(chips, chain, n);
                EXPECT_LT(maxDiff(full.samples, wave), 1e-9);
                dsp::CVec spectrum = wave;
                dsp::fft(spectrum);
                EXPECT_LT(maxDiff(full.spectrum, spectrum), 1e-6);
                EXPECT_LT(maxDiff(analyzer::chipsFromSpectrum(spectrum, chain), chips), 1e-9);

                const std::size_t bins = 2 * engine::kChipsPerFrame;
                const analyzer::Waveform band = analyzer::chainWaveform(chips, chain, bins);
                dsp::CVec low(bins);
                for (std::size_t k = 0; k < bins; ++k) low[k] = spectrum[k < bins / 2 ? k : k + n - bins];
                EXPECT_LT(maxDiff(band.spectrum, low), 1e-6);
                EXPECT_LT(maxDiff(analyzer::chipsFromSpectrum(low, chain), chips), 1e-9);
            }
}

// At one sample per chip with a sampling phase, the chain's waveform is every second sample of
// the frame at R = 2 advanced by that phase, and the chips come back from it.
TEST(Chain, ChipRateChainSamplesAtItsPhase) {
    std::mt19937_64 rng(15);
    dsp::Rng unused(1);
    for (double phase : {0.3, -0.45}) {
        SCOPED_TRACE(testing::Message() << "phase " << phase);
        engine::FrameArgs a = analyzertest::drawFrame(rng, 2).args;
        a.IdleSlotGainActive = false;
        analyzer::ChainSettings chain = chainOf(a, 1);
        chain.phase = phase;
        const dsp::CVec chips = engine::frameChips(a);
        const dsp::CVec early = analyzertest::impair(engine::Zuno_FwdChnFrame(a).waveform, 2, {-2 * phase}, unused);
        dsp::CVec taken(chips.size());
        for (std::size_t m = 0; m < taken.size(); ++m) taken[m] = early[2 * m];
        EXPECT_LT(maxDiff(analyzer::chainWaveform(chips, chain, chips.size()).samples, taken), 1e-9);
        dsp::fft(taken);
        EXPECT_LT(maxDiff(analyzer::chipsFromSpectrum(taken, chain), chips), 1e-6);
    }
}
