#pragma once
// Command line of zuno-ana.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analyzer/analysis.h"
#include "model/capture_file.h"

namespace ana {

struct AnaOptions {
    std::string input;  // "-": standard input
    std::optional<model::CaptureFormat> format;
    std::optional<double> rate;  // Hz
    std::optional<int> pnOffset;
    std::optional<double> offsetHz;  // --offset: the carrier read (filtered from the others)
    // Absent (--reference auto): found as the best fit, with the equalizer unless --no-eq.
    std::optional<analyzer::ReferenceFilter> filter = analyzer::ReferenceFilter::Acp;
    std::optional<bool> equalizer = true;
    std::optional<std::size_t> frames;  // --frames: at most this many
    bool follow = false;
    bool json = false;
    bool help = false;
    bool version = false;
};

// Throws host::UsageError naming the offending option (or what is missing).
AnaOptions parseAnaOptions(const std::vector<std::string>& args);

// The rate the capture is analysed at: --rate, else the file's own, else one frame's worth of
// samples at a whole oversampling ratio (`samples`, when known). Throws host::UsageError when none
// applies.
double captureRate(const AnaOptions& options, std::optional<double> fileRate, std::optional<std::uint64_t> samples);

// --help: the usage, every option and the exit statuses.
std::string anaHelp();

}  // namespace ana
