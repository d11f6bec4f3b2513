#pragma once
// The chips behind an aligned waveform: the transmit filter and equalizer undone in the
// frequency domain.
#include "dsp/types.h"
#include "engine/baseband_filter.h"

namespace analyzer {

struct ChainSettings {
    int r = 2;
    engine::FilterKind filter = engine::FilterKind::Is95Acp;
    bool equalizer = true;
    bool conjugated = false;  // the waveform is the conjugate of the filtered chips (mirror off)
};

// `spectrum`: the transform of 32768 R samples whose first is the first chip's instant. Each
// chip-rate frequency gathers its R images, weighted by the chain's response (least squares),
// so a waveform the chain made gives back its chips exactly.
dsp::CVec chipsFromSpectrum(const dsp::CVec& spectrum, const ChainSettings& chain);

}  // namespace analyzer
