#pragma once
// Traffic data source.
#include <optional>

#include "dsp/types.h"

namespace engine {

// Bits of data source `type` (1 zeros, 2 ones, 3 0101.., 4 1010.., 5 PN9, 6 PN15, 7 `pattern`
// repeated); any other type yields no bits. Without `len` the result is empty.
// Type 7 without a non-empty pattern throws std::invalid_argument.
dsp::Bits GenerateBitStream(double type, std::optional<double> len = std::nullopt,
                            const std::optional<dsp::Bits>& pattern = std::nullopt);

}  // namespace engine
