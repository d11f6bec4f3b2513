#pragma once
// The calculation: from `parameters` to the engine's waveform and markers.
#include "model/records.h"
#include "dsp/noise.h"
#include "dsp/types.h"
#include "engine/frame.h"
#include "model/frame_arguments.h"

namespace model {

// Traffic bits the frame may consume: (DATAslotMod + 1) * 1600 for every slot, active or not.
// Throws std::invalid_argument when a slot's modulation is not 1, 2 or 3.
double trafficBitCount(const Parameters& parameters);

// Counts and generates the traffic bits, then builds the frame. Throws std::invalid_argument
// when the data source gives fewer bits than the active traffic slots consume, and passes on
// the engine's errors.
engine::FrameResult Calculate(const Parameters& parameters, dsp::Rng& rng = dsp::defaultRng());

}  // namespace model
