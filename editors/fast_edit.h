#pragma once
// What the editors' FastEdit pop-ups and edit fields compute, apart from any window.
#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace editors {

// Uniform random numbers in (0, 1). Tests put in their own.
using Uniform = std::function<double()>;
// Draws from the process-wide random source.
Uniform defaultUniform();

// The patterns over n elements (16 slots or 59 channels) for pop-up position p (1-based);
// nothing for a position that is not listed. Element k counts from 1 in the descriptions.
//   activity:    1 all on, 2 all but every 4th k, 3 odd k only, 4 every 4th k only, 5 none, 6 random
//   alternating: 1 all 0, 2 all 1, 3 odd k 0 / even k 1, 4 even k 0 / odd k 1, 5 random
//   gain (dB):   1 +3, 2 0, 3 -3, 4 -6, 5 -10, 6 random integer -10..+3
//   modulation:  1..3 that position everywhere, 4 or more random 1..3 (1 and 3 half as likely as 2)
std::optional<std::vector<double>> activityPattern(std::size_t n, int p, const Uniform& uniform);
std::optional<std::vector<double>> alternatingPattern(std::size_t n, int p, const Uniform& uniform);
std::optional<std::vector<double>> gainPattern(std::size_t n, int p, const Uniform& uniform);
std::optional<std::vector<double>> modulationPattern(std::size_t n, int p, const Uniform& uniform);

// Shifts every gain (active or not) so that the amplitude sum of the active channels is `level`
// dB. Returns false and leaves the gains alone when no channel is active.
bool normalizeGains(const std::vector<double>& active, std::vector<double>& gain, double level);

}  // namespace editors
