#pragma once
// Command line of zuno-gen.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gen {

// Ci16be and Torvik are the same headerless 16-bit file; Mat and Ascii the application's record
// forms; Sigmf a recording of two files.
enum class SampleFormat { Cf64, Cf32, Ci16be, Torvik, Mat, Ascii, Sigmf };

// The format of that name (as --format takes it), or nothing.
std::optional<SampleFormat> sampleFormat(std::string_view name);
// "cf64, cf32, ci16be, torvik, mat, ascii or sigmf", for messages.
extern const char* const kSampleFormatNames;

struct GenOptions {
    std::optional<std::string> paramsFile;  // a parameter file (.mat) or JSON fields
    std::optional<std::string> saveParams;
    std::vector<std::string> settings;  // NAME=VALUE, in command-line order
    std::optional<std::uint64_t> seed;
    std::optional<std::string> out;
    SampleFormat format = SampleFormat::Cf64;
    std::optional<std::string> markers;
    int bench = 0;
    std::optional<std::string> download;  // TCP/IP address of the signal generator
    std::optional<std::string> title;     // waveform name on the instrument
    std::optional<std::uint16_t> portmapper;  // VXI-11 portmapper port when the address names none
    bool help = false;
    bool version = false;
};

// Throws std::invalid_argument with a message naming the offending option.
GenOptions parseGenOptions(const std::vector<std::string>& args);

extern const char* const kUsage;

}  // namespace gen
