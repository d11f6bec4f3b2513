#pragma once
// The engine's typed arguments from the stored settings: the one place where the numbers the
// records and files hold become the engine's kinds, switches and indices.
#include "dsp/types.h"
#include "engine/frame.h"
#include "model/records.h"

namespace model {

// The engine's arguments; the per-slot switches are gated by the channel switches. Throws
// std::invalid_argument from checkParameters, naming the field and its allowed values, for a
// setting the settings table does not allow.
engine::FrameArgs frameArguments(const Parameters& parameters, dsp::Bits DATAbits);

}  // namespace model
