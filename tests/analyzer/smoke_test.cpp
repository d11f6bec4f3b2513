#include <gtest/gtest.h>
#include <cstdio>
#include "frames.h"
#include "analyzer/analysis.h"

TEST(Smoke, One) {
    std::mt19937_64 rng(1);
    for (int i = 0; i < 6; ++i) {
    auto d = analyzertest::drawFrame(rng, 2 + i);
    dsp::Rng nrng(2);
    auto w = engine::Zuno_FwdChnFrame(d.args, nrng).waveform;
    analyzertest::Impairment im; im.delaySamples = 1234.3; im.frequencyHz = 321.5; im.phase = 1; im.scale = 0.3;
    auto x = analyzertest::impair(w, 2+i, im, nrng);
    auto res = analyzer::analyze(x, analyzer::optionsFor(d.args));
    std::printf("pn %d/%g start %.5f freq %.4f mirror %d/%g rho %.8f src %d/%d err %zu alts %zu\n", res.pnOffset, d.args.PilotOffsetIndex, res.frameStartChips, res.frequencyErrorHz, res.mirrorSpectrum, d.args.mirrorSpectrum, res.rho, res.dataSource.value_or(0), d.source, res.dataBitErrors.value_or(0), res.alternatives.size());
    }
}
