#pragma once
// The headerless 16-bit waveform file: I and Q of every sample as big-endian two's complement.
#include <cstdint>
#include <vector>

#include "dsp/types.h"

namespace model {

// Scales so that the largest I or Q magnitude becomes 32766 * scale (scale clamped to
// 0.00001..1); an all-zero waveform stays zero. Values are rounded half away from zero.
std::vector<std::uint8_t> torvikBytes(const dsp::CVec& data, double scale = 1.0);

}  // namespace model
