#pragma once
// zuno-ana's lines per frame: --follow's output as frames arrive, and the table of the frames a
// capture held.
#include <cstdio>
#include <string>
#include <vector>

#include "analyzer/frames.h"

namespace ana {

// One frame as --follow prints it: a line of text, or with `json` one JSON object on one line
// (no newline at the end).
std::string followLine(const analyzer::FrameOutcome& frame, bool json);

// The frames read, one row each.
void printFrameTable(std::FILE* out, const std::vector<analyzer::FrameSummary>& frames);

}  // namespace ana
