#pragma once
// Command line of zuno-gen.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/sample_output.h"

namespace gen {

// The outputs (--out, --format, --markers, --save-params) are the model's; the rest is the program's.
struct GenOptions : model::SampleOutputs {
    std::optional<std::string> paramsFile;  // a parameter file (.mat) or JSON fields
    std::vector<std::string> settings;  // NAME=VALUE, in command-line order
    std::optional<std::uint64_t> seed;
    std::vector<std::string> carriers;  // OFFSET_HZ[,GAIN_DB[,PARAMS]], in command-line order
    std::optional<double> noiseCnDb;
    std::optional<double> crestDb;
    bool quantizeOffsets = false;
    int bench = 0;
    std::optional<std::string> download;  // TCP/IP address of the signal generator
    std::optional<std::string> title;     // waveform name on the instrument
    std::optional<std::uint16_t> portmapper;  // VXI-11 portmapper port when the address names none
    bool listSettings = false;  // print the settings reference
    bool help = false;
    bool version = false;
};

// Throws host::UsageError with a message naming the offending option.
GenOptions parseGenOptions(const std::vector<std::string>& args);

// What --help prints: every option of the table parseGenOptions reads.
std::string genUsage();

}  // namespace gen
