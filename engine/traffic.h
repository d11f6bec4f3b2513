#pragma once
// Traffic channel of one active slot: modulation, repetition, demultiplexing into 16 streams,
// 16-chip Walsh cover, gain and sum.
#include <cstddef>
#include <span>
#include <vector>

#include "dsp/types.h"
#include "engine/frame_layout.h"

namespace engine {

using Streams = std::vector<dsp::CVec>;  // one row per Walsh stream

constexpr std::size_t kTrafficStreams = 16;

// Traffic modulation; the value is the format code the stages below take (bits per symbol - 1).
enum class Modulation { Qpsk = 1, Psk8 = 2, Qam16 = 3 };
constexpr double formatCode(Modulation m) { return static_cast<double>(m); }
// The bits one slot of traffic consumes: (format + 1) x 1600.
constexpr std::size_t trafficBits(Modulation m) { return (static_cast<std::size_t>(m) + 1) * kTrafficChips; }

// Bits per symbol of a modulation format (1 QPSK, 2 8-PSK, 3 16-QAM); throws
// std::invalid_argument naming DATAformat for anything else.
int bitsPerSymbol(double format);

// One symbol from exactly bitsPerSymbol(format) bits, first bit first; a non-zero bit counts as 1.
dsp::cplx Zuno_IQmap(std::span<const std::uint8_t> data, double format);
dsp::CVec Zuno_FwdTrfModulator(std::span<const std::uint8_t> input, double format);
dsp::CVec Zuno_FwdTrfRepSeq(const dsp::CVec& data, std::size_t reqLength);
Streams Zuno_FwdTrfDemux(const dsp::CVec& data);
Streams Zuno_FwdTrfWalshCover(const Streams& rows);
Streams Zuno_FwdTrfChnGain(const Streams& input);
dsp::CVec Zuno_FwdTrfSummer(const Streams& rows);

// Same chips as the chain of stages above; the result is len rounded up to a multiple of 16 long.
dsp::CVec Zuno_FwdTrfChn(std::span<const std::uint8_t> data, double format, std::size_t len);

}  // namespace engine
