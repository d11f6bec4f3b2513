#pragma once
// Waveform quality of aligned samples against the reference.
#include <array>

#include "dsp/types.h"
#include "engine/frame.h"

namespace analyzer {

struct Quality {
    double rho = 0;
    double rhoPilot = 0;
    double evmRmsPercent = 0;
    double evmPeakPercent = 0;
    std::array<double, engine::kSlots> slotRho{};
    dsp::cplx gain = 0;  // z = gain x ref, best fit
};

// z and ref: one frame of 32768 R samples each, slot 1 first.
Quality measureQuality(const dsp::CVec& z, const dsp::CVec& ref, int r);

}  // namespace analyzer
