#pragma once
// Oversampling, cyclic baseband filtering and the filter designs behind it.
#include <cstddef>
#include <string>
#include <variant>
#include <vector>

#include "dsp/types.h"

namespace engine {

// The baseband filters; the value is the filter's position in the main window's list.
enum class FilterKind { Rectangular = 1, Is95Std = 2, Is95Acp = 3 };
// A selection as Zuno_BasebandFilter takes it: a list position or a design name.
using FilterType = std::variant<double, std::string>;
FilterKind filterKind(const FilterType& type);

// Zero-stuffing: n - 1 zeros after every value.
dsp::CVec upsample(const dsp::CVec& x, std::size_t n);
// Sample and hold: every value repeated `ratio` times.
dsp::Bits upsampleMarker(const dsp::Bits& in, std::size_t ratio);

std::vector<double> FilterCoeff_IS95_Std(int oversmpl);  // 12R taps
std::vector<double> FilterCoeff_IS95_Acp(int oversmpl);  // 26R taps
// Designed once per (kind, R) and kept for the life of the process; empty for Rectangular.
const std::vector<double>& cachedCoefficients(FilterKind kind, int oversmpl);

// Cyclic filtering of any frame (the reference form: direct cyclic convolution).
dsp::CVec Zuno_BasebandFilter(const dsp::CVec& frame, int oversamplingRate, const FilterType& filterType);

// The same result for the zero-stuffed frame upsample(chips, R), computed from the chips alone
// (polyphase: only every R-th tap meets a non-zero sample).
dsp::CVec filterChips(const dsp::CVec& chips, int oversamplingRate, FilterKind kind);

}  // namespace engine
