#pragma once
// Whether a slot's data positions carry traffic, and in which format, decided against the noise
// the slot's own pilot bursts show: echoes and other sectors land in the pilot as much as in the
// data, so they raise that noise estimate instead of passing for a constellation.
#include <array>
#include <cstddef>
#include <vector>

#include "dsp/types.h"

namespace analyzer {

struct Constellation {
    std::vector<dsp::cplx> points;  // unit mean power, indexed by the symbol's bits, first bit most significant
    int bitsPerSymbol = 0;
};

// The traffic constellations of formats 1..3 (QPSK, 8-PSK, 16-QAM), at index format - 1.
const std::array<Constellation, 3>& constellations();

// Noise power per chip in units of the pilot: the spread of the pilot chips of half-slots h and
// h + 1 (mod 32) of pilot-relative content about each half-slot's mean.
double pilotNoise(const dsp::CVec& content, std::size_t firstHalf);

enum class TrafficDoubt {
    None,
    UnexplainedPower,  // called idle, but the data positions hold power no model explains clearly
    Modulation,        // traffic, but another constellation fits about as well
};

struct TrafficDecision {
    int format = 0;  // 1 QPSK, 2 8-PSK, 3 16-QAM; 0 idle
    TrafficDoubt doubt = TrafficDoubt::None;
};

// `symbols`: despread traffic symbols scaled so that traffic lies on the unit-power constellation;
// `noise`: their noise power (pilotNoise: despreading keeps a chip's noise power in these units).
// Each model's likelihood: the three constellations (at the power found, with that noise) and
// noise alone (Gaussian, as idle noise is).
TrafficDecision decideTraffic(const dsp::CVec& symbols, double noise);

}  // namespace analyzer
