#pragma once
// Pilots of other sectors in a capture: searched for in what the reading leaves unexplained, so
// that the sector read does not hide them.
#include <vector>

#include "analyzer/result.h"
#include "dsp/types.h"

namespace analyzer {

// `chips`: the capture's chips at the instants of the frame read (slot 1 first), `reference` the
// chips of what was read, `pnOffset` its PN offset. Every other pilot whose frame starts within
// 64 chips of the one read, at most 20 dB below its pilot, strongest first.
std::vector<OtherPilot> findOtherPilots(const dsp::CVec& chips, const dsp::CVec& reference, int pnOffset);

}  // namespace analyzer
