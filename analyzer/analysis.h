#pragma once
// The forward-link analyzer: finds one frame in complex baseband samples, recovers what it
// carries and measures it against the ideal waveform rebuilt by the engine from that content.
#include <optional>

#include "analyzer/result.h"
#include "dsp/types.h"
#include "engine/frame.h"

namespace analyzer {

// The reference transmitter's baseband filter.
enum class ReferenceFilter { Standard, Acp, Rectangular };

inline constexpr ReferenceFilter kReferenceFilters[] = {ReferenceFilter::Acp, ReferenceFilter::Standard,
                                                       ReferenceFilter::Rectangular};

struct Options {
    double sampleRate = 5 * engine::kChipRate;  // Hz: R x 1228800 with R a whole number 1..64
    std::optional<int> pnOffset;                 // 0..511; searched when absent
    // Absent: each is tried and the reference that fits the capture best is kept.
    std::optional<ReferenceFilter> filter = ReferenceFilter::Acp;
    std::optional<bool> phaseEqualizer = true;
    // The carrier read, in Hz from the capture's centre: moved to zero and the others filtered
    // away (at 0 Hz too, the centre carrier of several). Absent: the capture is read as it is.
    std::optional<double> carrierOffsetHz;
};

// The reference settings a frame was calculated with (rate, filter, equalizer); PN offset searched.
Options optionsFor(const engine::FrameArgs& args);

// Throws std::runtime_error with a message a user can act on: a rate that is not R x 1228800
// (naming it), fewer samples than one frame, no pilot found. With the filter or equalizer left
// open, the reading with the highest rho among the references tried.
Result analyze(const dsp::CVec& samples, const Options& options);

}  // namespace analyzer
