#pragma once
// The chips behind an aligned waveform, and the waveform behind chips: the transmit filter and
// equalizer undone or applied in the frequency domain.
#include "dsp/types.h"
#include "engine/baseband_filter.h"

namespace analyzer {

// At R = 1 the chain is the one at R = 2 advanced by `phase` chips, with every second sample
// kept: a capture at one sample per chip taken `phase` chips after the chip instants.
struct ChainSettings {
    int r = 2;
    engine::FilterKind filter = engine::FilterKind::Is95Acp;
    bool equalizer = true;
    bool conjugated = false;  // the waveform is the conjugate of the filtered chips (mirror off)
    double phase = 0;         // R = 1 only
};

// `spectrum`: the transform of 32768 R samples whose first is the first chip's instant, or its
// lowest 32768 x 2 (or more) frequencies alone. Each chip-rate frequency gathers its images,
// weighted by the chain's response (least squares), so a waveform the chain made gives back its
// chips exactly.
dsp::CVec chipsFromSpectrum(const dsp::CVec& spectrum, const ChainSettings& chain);

struct Waveform {
    dsp::CVec samples;   // the first at the first chip's instant
    dsp::CVec spectrum;  // their transform
};

// What the chain makes of 32768 chips, as the engine's frame would be, kept to its `bins`
// lowest frequencies (32768 R for all of it).
Waveform chainWaveform(const dsp::CVec& chips, const ChainSettings& chain, std::size_t bins);

}  // namespace analyzer
