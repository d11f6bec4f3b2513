#pragma once
// Linear-feedback shift registers, the forward-link short PN codes and quadrature spreading,
// and the general PN bit generator used as a traffic data source.
#include <optional>
#include <vector>

#include "dsp/types.h"
#include "engine/frame_layout.h"

namespace engine {

using dsp::Bits;
using dsp::CVec;

// a(i) = (taps(1) a(i-order) + ... + taps(order) a(i-1)) mod 2 from a(1..order) = seed.
// Returns max(m, order) bits. Only the first `order` taps are used.
Bits lfsr(int order, const std::vector<double>& taps, std::size_t m, const Bits& seed);

// The I and Q short codes (period 32768) tiled `reps` times.
Bits Zuno_PNiSequence(std::size_t reps);
Bits Zuno_PNqSequence(std::size_t reps);

// One period of each short code, computed once per process.
const Bits& shortCodeI();
const Bits& shortCodeQ();

// PN offsets: index 0..kMaxPilotOffset, in steps of kPilotOffsetChips.
constexpr int kMaxPilotOffset = 511;
constexpr std::size_t kPilotOffsetChips = 64;

// frame (32768 chips) times (1 - 2 pnI) + j (1 - 2 pnQ), both codes advanced by 64 * offsetIndex chips.
CVec Zuno_FwdQuadSpreading(const CVec& frame, double offsetIndex);

// Every argument is optional; a vector n or dataLength (more or fewer than one element) counts
// as absent, as in the table-driven defaults.
struct PNgeneratorArgs {
    std::optional<std::vector<double>> n = std::nullopt;
    std::optional<std::vector<double>> dataLength = std::nullopt;
    std::optional<double> userInvert = std::nullopt;
    std::optional<std::vector<double>> seed = std::nullopt;
    std::optional<double> zeroSuppresion = std::nullopt;
};
// n is rounded and limited to 3..31; dataLength is floored, at least 1 and at most 2^32 (more throws).
Bits PNgenerator(const PNgeneratorArgs& args = {});
// The common form PNgenerator(n, dataLength).
Bits PNgenerator(double n, double dataLength);

}  // namespace engine
