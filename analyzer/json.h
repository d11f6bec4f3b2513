#pragma once
// The analysis as one JSON object: the keys zuno-ana --json prints.
#include <string>

#include <nlohmann/json.hpp>

#include "analyzer/analysis.h"

namespace analyzer {

nlohmann::ordered_json toJson(const Result& result);
// One frame of a capture read frame by frame: an entry of `frames`, and zuno-ana --follow's line.
nlohmann::ordered_json toJson(const FrameSummary& frame);

// The channel's taps above -30 dB beside the main ray, and rho through the channel, as one line
// of text.
std::string channelText(const Result& result);

// "QPSK", "8-PSK", "16-QAM" or "idle".
const char* modulationName(Modulation m);

// The reference's baseband filter as zuno-ana's --reference names it: "acp", "std" or "rect".
const char* referenceFilterName(const engine::FrameArgs& reference);

}  // namespace analyzer
