#include "tools/gen_options.h"

#include <charconv>
#include <cmath>

#include "host/core/command_line.h"

namespace gen {

namespace {

using host::UsageError;

constexpr std::uint64_t kMaxBenchRuns = 1000;

const std::vector<host::OptionSpec>& optionTable() {
    static const std::vector<host::OptionSpec> table = {
        {"params", 0, "FILE",
         "start from a parameter file the application saved (FILE.mat) or a JSON file of parameter "
         "fields (FILE.json) instead of the default settings"},
        {"set", 0, "NAME=VALUE",
         "change one field after --params (OverSampling=8, slot.RAslotGain=-6, "
         "SigGenSettings.Frequency=1e9); repeat for more",
         true},
        {"seed", 0, "N", "seed of the idle-slot noise and of --noise-cn (default: a fresh seed every run)"},
        {"save-params", 0, "FILE.mat", "write the settings as a parameter file the application opens"},
        {"carrier", 0, "OFFSET_HZ[,GAIN_DB[,PARAMS]]",
         "a carrier at OFFSET_HZ from the centre, GAIN_DB (default 0) relative to the others, with the "
         "settings of the parameter file PARAMS, or with the main settings and PN offset PARAMS when it "
         "is a whole number (default: the main settings). Repeat for up to four carriers; none is one "
         "carrier at 0 Hz. The waveform repeats the frame the fewest times (at most 75) after which "
         "every carrier has turned whole cycles, so that it loops seamlessly",
         true},
        {"quantize-offsets", 0, "", "move each offset to the nearest multiple of 37.5 Hz (one frame loops)"},
        {"noise-cn", 0, "DB",
         "add white Gaussian noise over the whole band, DB (-20 to 60) below the first carrier's power "
         "within 1.2288 MHz; the total power stays as without noise"},
        {"crest", 0, "DB",
         "reduce the crest factor (peak over RMS) to DB (3 to 20) by clipping and filtering the clipping "
         "noise into the carriers' channels"},
        {"out", 0, "PATH",
         "write the samples to PATH, or to standard output when PATH is - (the summary then goes to "
         "standard error)"},
        {"format", 0, "FORMAT",
         "the format of --out: cf64 (default) and cf32 are interleaved little-endian I,Q; ci16be (or "
         "torvik) is big-endian signed 16-bit I,Q at full scale 32766; mat and ascii are the "
         "application's record files (samples as a complex column, or as N x 2 [I Q]); sigmf writes "
         "PATH.sigmf-data and PATH.sigmf-meta"},
        {"markers", 0, "PATH", "write marker 1 then marker 2, one 0/1 byte per sample"},
        {"bench", 0, "N", "compute the frame N times (at most 1000) and print the median and minimum time"},
        {"download", 0, "ADDRESS",
         "download the frame to the signal generator at ADDRESS over TCP/IP (host, host:port or "
         "TCPIP0::host::port::SOCKET) or VXI-11 (TCPIP0::host::INSTR) and start playback with the "
         "default signal generator settings, changed by --set SigGenSettings.NAME=VALUE; prints the "
         "title used and the instrument's answers"},
        {"title", 0, "NAME",
         "the waveform's name on the instrument (default Zuno-Fwd), taken as the settings panel takes "
         "it: capitals, only A-Z, 0-9 and _ $ & # + - [ ], at most 20 characters, BLANK when none remain"},
        {"portmapper", 0, "PORT", "the VXI-11 portmapper's port when ADDRESS names none (default 111)"},
        {"list-settings", 0, "",
         "print every settings field with its meaning, unit, range, codes and default, and exit"},
        {"help", 'h', "", "print this help and exit"},
        {"version", 0, "", "print the program's version and exit"},
    };
    return table;
}

template <class T>
T parseCount(const std::string& option, const std::string& text) {
    T value{};
    const auto* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc{} || ptr != end || text.empty())
        throw UsageError(option + " expects a non-negative whole number, not '" + text + "'");
    return value;
}

double parseDecibels(const std::string& option, const std::string& text) {
    double value = 0;
    const auto* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc{} || ptr != end || text.empty() || !std::isfinite(value))
        throw UsageError(option + " expects a number of dB, not '" + text + "'");
    return value;
}

}  // namespace

std::string genUsage() {
    return "Usage: zuno-gen [OPTION]...\n"
           "Computes one forward-link frame from the default settings, changed by a parameter\n"
           "file and by single fields, and prints samples, sample rate, peak and RMS magnitude\n"
           "and crest factor; writes the samples, markers and settings, or downloads the frame\n"
           "to a signal generator.\n"
           "\n"
           "Options:\n" +
           host::optionHelp(optionTable()) +
           "\n"
           "Exit status: 0 done; 1 failed (settings, files, instrument); 2 unusable command line.\n";
}

GenOptions parseGenOptions(const std::vector<std::string>& args) {
    const auto line = host::parseCommandLine(optionTable(), args);
    if (!line.operands.empty())
        throw UsageError("unexpected operand '" + line.operands.front() + "' (options begin with --)");
    GenOptions o;
    for (const auto& [name, value] : line.options) {
        const std::string option = "--" + name;
        if (name == "help") {
            o.help = true;
        } else if (name == "version") {
            o.version = true;
        } else if (name == "list-settings") {
            o.listSettings = true;
        } else if (name == "params") {
            o.paramsFile = value;
        } else if (name == "save-params") {
            o.saveParams = value;
        } else if (name == "set") {
            if (value.find('=') == std::string::npos) throw UsageError("--set expects NAME=VALUE, not '" + value + "'");
            o.settings.push_back(value);
        } else if (name == "seed") {
            o.seed = parseCount<std::uint64_t>(option, value);
        } else if (name == "carrier") {
            o.carriers.push_back(value);
        } else if (name == "noise-cn") {
            o.noiseCnDb = parseDecibels(option, value);
        } else if (name == "crest") {
            o.crestDb = parseDecibels(option, value);
        } else if (name == "quantize-offsets") {
            o.quantizeOffsets = true;
        } else if (name == "out") {
            o.out = value;
        } else if (name == "format") {
            const auto format = model::sampleFormat(value);
            if (!format) throw UsageError(std::string("--format must be ") + model::kSampleFormatNames + ", not '" + value + "'");
            o.format = *format;
        } else if (name == "markers") {
            o.markers = value;
        } else if (name == "download") {
            o.download = value;
        } else if (name == "title") {
            o.title = value;
        } else if (name == "portmapper") {
            const auto port = parseCount<std::uint64_t>(option, value);
            if (port < 1 || port > 65535) throw UsageError("--portmapper expects a port from 1 to 65535");
            o.portmapper = static_cast<std::uint16_t>(port);
        } else if (name == "bench") {
            // A bound a test bench reaches in minutes, not days.
            const auto runs = parseCount<std::uint64_t>(option, value);
            if (runs < 1 || runs > kMaxBenchRuns)
                throw UsageError("--bench expects 1 to " + std::to_string(kMaxBenchRuns) + " runs");
            o.bench = static_cast<int>(runs);
        }
    }
    if (o.title && !o.download) throw UsageError("--title names the waveform of --download, which is missing");
    if (o.portmapper && !o.download) throw UsageError("--portmapper is for the VXI-11 address of --download, which is missing");
    // Standard output takes one stream of samples; the other outputs are files.
    if (o.out == "-" && o.format == model::SampleFormat::Sigmf)
        throw UsageError("--out - cannot take --format sigmf, a recording of two files");
    if (o.markers == "-") throw UsageError("--markers cannot be - (standard output): only --out writes there");
    if (o.saveParams == "-") throw UsageError("--save-params cannot be - (standard output): only --out writes there");
    return o;
}

}  // namespace gen
