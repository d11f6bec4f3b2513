#include "tools/gen_options.h"

#include <charconv>
#include <cmath>
#include <stdexcept>

namespace gen {

const char* const kUsage =
    "usage: zuno-gen [--params FILE.mat|FILE.json] [--set NAME=VALUE]... [--seed N] [--save-params FILE.mat]\n"
    "                [--carrier OFFSET_HZ[,GAIN_DB[,PARAMS]]]... [--quantize-offsets] [--noise-cn DB] [--crest DB]\n"
    "                [--out PATH [--format cf64|cf32|ci16be|torvik|mat|ascii|sigmf]] [--markers PATH] [--bench N]\n"
    "                [--download ADDRESS [--title NAME] [--portmapper PORT]] [--list-settings] [--help] [--version]\n"
    "\n"
    "Computes one forward-link frame from the default settings, changed by a parameter file the\n"
    "application saved (--params FILE.mat) or a JSON file of parameter fields (--params FILE.json),\n"
    "then by single fields (--set OverSampling=8, --set slot.RAslotGain=-6), and prints samples,\n"
    "sample rate, peak and RMS magnitude and crest factor.\n"
    "  --save-params FILE.mat  write the settings as a parameter file the application opens\n"
    "  --out PATH      write the samples: cf64 (default) and cf32 are interleaved little-endian I,Q;\n"
    "                  ci16be (or torvik) is big-endian signed 16-bit I,Q at full scale 32766;\n"
    "                  mat and ascii are the application's record files (samples as a complex\n"
    "                  column, or as N x 2 [I Q]); sigmf writes PATH.sigmf-data and PATH.sigmf-meta\n"
    "  --markers PATH  write marker 1 then marker 2, one 0/1 byte per sample\n"
    "  --seed N        seed of the idle-slot noise and of --noise-cn (default: a fresh seed every run)\n"
    "  --carrier OFFSET_HZ[,GAIN_DB[,PARAMS]]  a carrier at OFFSET_HZ from the centre, GAIN_DB (default 0)\n"
    "                  relative to the others, with the settings of the parameter file PARAMS, or with\n"
    "                  the main settings and PN offset PARAMS when it is a whole number (default: the\n"
    "                  main settings). Repeat for up to four carriers; none is one carrier at 0 Hz.\n"
    "                  The waveform repeats the frame the fewest times (at most 75) after which every\n"
    "                  carrier has turned whole cycles, so that it loops seamlessly\n"
    "  --quantize-offsets  move each offset to the nearest multiple of 37.5 Hz (one frame loops)\n"
    "  --noise-cn DB   add white Gaussian noise over the whole band, DB (-20 to 60) below the first\n"
    "                  carrier's power within 1.2288 MHz; the total power stays as without noise\n"
    "  --crest DB      reduce the crest factor (peak over RMS) to DB (3 to 20) by clipping and\n"
    "                  filtering the clipping noise into the carriers' channels\n"
    "  --bench N       compute the frame N times (at most 1000) and print the median and minimum time\n"
    "  --download ADDRESS  download the frame to the signal generator at ADDRESS over TCP/IP (host,\n"
    "                  host:port or TCPIP0::host::port::SOCKET) or VXI-11 (TCPIP0::host::INSTR) and\n"
    "                  start playback with the default signal generator settings, changed by\n"
    "                  --set SigGenSettings.NAME=VALUE (for example --set SigGenSettings.Frequency=1e9);\n"
    "                  prints the title used and the instrument's answers\n"
    "  --title NAME    the waveform's name on the instrument (default Zuno-Fwd), taken as the settings\n"
    "                  panel takes it: capitals, only A-Z, 0-9 and _ $ & # + - [ ], at most 20\n"
    "                  characters, BLANK when none remain\n"
    "  --portmapper PORT  the VXI-11 portmapper's port when ADDRESS names none (default 111)\n"
    "  --list-settings print every settings field with its meaning, unit, range, codes and default\n"
    "  --version       print the program's version\n";

namespace {

constexpr std::uint64_t kMaxBenchRuns = 1000;

template <class T>
T parseCount(const std::string& option, const std::string& text) {
    T value{};
    const auto* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc{} || ptr != end || text.empty())
        throw std::invalid_argument(option + " expects a non-negative whole number, not '" + text + "'");
    return value;
}

double parseDecibels(const std::string& option, const std::string& text) {
    double value = 0;
    const auto* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc{} || ptr != end || text.empty() || !std::isfinite(value))
        throw std::invalid_argument(option + " expects a number of dB, not '" + text + "'");
    return value;
}

}  // namespace

GenOptions parseGenOptions(const std::vector<std::string>& args) {
    GenOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw std::invalid_argument(a + " needs a value");
            return args[++i];
        };
        if (a == "-h" || a == "--help") {
            o.help = true;
        } else if (a == "--version") {
            o.version = true;
        } else if (a == "--list-settings") {
            o.listSettings = true;
        } else if (a == "--params") {
            o.paramsFile = value();
        } else if (a == "--save-params") {
            o.saveParams = value();
        } else if (a == "--set") {
            const auto& s = value();
            if (s.find('=') == std::string::npos) throw std::invalid_argument("--set expects NAME=VALUE, not '" + s + "'");
            o.settings.push_back(s);
        } else if (a == "--seed") {
            o.seed = parseCount<std::uint64_t>(a, value());
        } else if (a == "--carrier") {
            o.carriers.push_back(value());
        } else if (a == "--noise-cn") {
            o.noiseCnDb = parseDecibels(a, value());
        } else if (a == "--crest") {
            o.crestDb = parseDecibels(a, value());
        } else if (a == "--quantize-offsets") {
            o.quantizeOffsets = true;
        } else if (a == "--out") {
            o.out = value();
        } else if (a == "--format") {
            const auto& f = value();
            const auto format = model::sampleFormat(f);
            if (!format) throw std::invalid_argument(std::string("--format must be ") + model::kSampleFormatNames + ", not '" + f + "'");
            o.format = *format;
        } else if (a == "--markers") {
            o.markers = value();
        } else if (a == "--download") {
            o.download = value();
        } else if (a == "--title") {
            o.title = value();
        } else if (a == "--portmapper") {
            const auto port = parseCount<std::uint64_t>(a, value());
            if (port < 1 || port > 65535) throw std::invalid_argument("--portmapper expects a port from 1 to 65535");
            o.portmapper = static_cast<std::uint16_t>(port);
        } else if (a == "--bench") {
            // A bound a test bench reaches in minutes, not days.
            const auto runs = parseCount<std::uint64_t>(a, value());
            if (runs < 1 || runs > kMaxBenchRuns)
                throw std::invalid_argument("--bench expects 1 to " + std::to_string(kMaxBenchRuns) + " runs");
            o.bench = static_cast<int>(runs);
        } else {
            throw std::invalid_argument("unknown option '" + a + "' (see --help)");
        }
    }
    if (o.title && !o.download) throw std::invalid_argument("--title names the waveform of --download, which is missing");
    if (o.portmapper && !o.download)
        throw std::invalid_argument("--portmapper is for the VXI-11 address of --download, which is missing");
    return o;
}

}  // namespace gen
