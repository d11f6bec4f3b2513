#pragma once
// Command line of zuno-ana.
#include <optional>
#include <string>
#include <vector>

#include "analyzer/analysis.h"
#include "model/capture_file.h"

namespace ana {

struct AnaOptions {
    std::string input;
    std::optional<model::CaptureFormat> format;
    std::optional<double> rate;  // Hz
    std::optional<int> pnOffset;
    double offsetHz = 0;  // --offset: the carrier read
    // Absent (--reference auto): found as the best fit, with the equalizer unless --no-eq.
    std::optional<analyzer::ReferenceFilter> filter = analyzer::ReferenceFilter::Acp;
    std::optional<bool> equalizer = true;
    bool json = false;
    bool help = false;
    bool version = false;
};

// Throws std::runtime_error naming the offending option.
AnaOptions parseAnaOptions(const std::vector<std::string>& args);

// The rate the capture is analysed at: --rate, else the file's own, else one frame's worth of
// samples at a whole oversampling ratio. Throws std::runtime_error when none applies.
double captureRate(const AnaOptions& options, const model::CaptureSource& capture);

// How many samples from the start the analysis reads: two frames at `rate` and a little more,
// enough for a frame to follow wherever in the first one it starts; all of a shorter file.
std::size_t samplesToRead(double rate, std::uint64_t inFile);

extern const char* const kAnaUsage;

}  // namespace ana
