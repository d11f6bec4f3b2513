#include "tools/ana_options.h"

#include <cmath>

#include "engine/frame.h"
#include "host/core/command_line.h"
#include "host/core/number_text.h"

namespace ana {

namespace {

const std::vector<host::OptionSpec>& optionTable() {
    static const std::vector<host::OptionSpec> table = {
        {"format", 0, "FORMAT",
         "The input's form: cf64 or cf32 (interleaved little-endian float I,Q), ci16be or torvik (16-bit "
         "big-endian), ci16le, sigmf (the .sigmf-data or .sigmf-meta file or their base name), mat or ascii (the "
         "application's MAT exports). Without it, it follows from the file name's extension; standard input "
         "needs it."},
        {"rate", 0, "HZ",
         "The sample rate, 1228800 to 200000000 Hz; one that is not a whole multiple of 1228800 Hz is resampled. "
         "Without it, the file's own (SigMF, MAT wave export) or, for a file of exactly one frame, 32768 chips "
         "at a whole number of samples per chip."},
        {"pn-offset", 0, "N", "The pilot PN offset to read (0 to 511); searched when not given."},
        {"offset", 0, "HZ",
         "Read the carrier HZ from the capture's centre, the other carriers filtered away (a capture of "
         "several carriers; 0 for the one at the centre)."},
        {"reference", 0, "NAME",
         "The reference transmitter's baseband filter: acp (the default, with the phase equalizer), std, rect, "
         "or auto to try each, with and without the equalizer, and keep the best fit."},
        {"no-eq", 0, "", "The reference transmitter without the phase equalizer."},
        {"frames", 0, "N",
         "Read at most N whole frames (default: every whole frame of the capture, each averaged into the "
         "figures)."},
        {"follow", 0, "",
         "Follow a live capture: read standard input (-) until it ends, or a file as it grows until "
         "interrupted, and print one line per frame as it arrives (with --json one JSON object per line). "
         "Needs --rate unless the input is a SigMF recording."},
        {"json", 0, "", "Print the reading as one JSON object instead of the summary."},
        {"help", 'h', "", "Print this help and exit."},
        {"version", 0, "", "Print the program's version and exit."},
    };
    return table;
}

double numberOf(const std::string& option, const std::string& text) {
    const auto v = host::textToNumbers(text);
    if (v.size() != 1 || !std::isfinite(v[0])) throw host::UsageError(option + " needs a number, not \"" + text + "\"");
    return v[0];
}

}  // namespace

std::string anaHelp() {
    return "Usage: zuno-ana [OPTION]... INPUT\n"
           "Finds the forward-link frames in the I/Q samples of INPUT (- for standard input), recovers what\n"
           "they carry and measures them against the ideal waveform. Every whole frame is read in turn, each\n"
           "further one on the lock of the one before (PN offset, frequency, timing, sample clock), and the\n"
           "figures are averaged over them; a file of any size is read in pieces. A sample clock that is off\n"
           "(to +-200 ppm) is found and removed.\n"
           "\n"
           "Options:\n" +
           host::optionHelp(optionTable()) +
           "\n"
           "Exit status: 0 read; 3 read with doubts (the reading failed its own checks: see its warnings);\n"
           "1 no reading (unreadable input, no pilot); 2 usage error (bad options).\n";
}

AnaOptions parseAnaOptions(const std::vector<std::string>& args) {
    const host::CommandLine line = host::parseCommandLine(optionTable(), args);
    AnaOptions o;
    o.help = line.has("help");
    o.version = line.has("version");
    o.json = line.has("json");
    o.follow = line.has("follow");
    if (const auto* v = line.value("format")) {
        try {
            o.format = model::formatNamed(*v);
        } catch (const std::runtime_error& e) {
            throw host::UsageError(std::string("--format: ") + e.what());
        }
    }
    if (const auto* v = line.value("rate")) o.rate = numberOf("--rate", *v);
    if (const auto* v = line.value("offset")) o.offsetHz = numberOf("--offset", *v);
    if (const auto* v = line.value("pn-offset")) {
        const double n = numberOf("--pn-offset", *v);
        if (n < 0 || n > 511 || n != std::floor(n)) throw host::UsageError("--pn-offset must be a whole number from 0 to 511");
        o.pnOffset = static_cast<int>(n);
    }
    if (const auto* v = line.value("frames")) {
        const double n = numberOf("--frames", *v);
        if (n < 1 || n != std::floor(n) || n > 1e15) throw host::UsageError("--frames must be a whole number from 1 on");
        o.frames = static_cast<std::size_t>(n);
    }
    if (const auto* v = line.value("reference")) {
        const std::string& f = *v;
        if (f == "std") o.filter = analyzer::ReferenceFilter::Standard;
        else if (f == "acp") o.filter = analyzer::ReferenceFilter::Acp;
        else if (f == "rect") o.filter = analyzer::ReferenceFilter::Rectangular;
        else if (f == "auto") o.filter.reset();
        else throw host::UsageError("--reference must be std, acp, rect or auto, not \"" + f + "\"");
    }
    if (line.has("no-eq")) o.equalizer = false;
    else if (!o.filter) o.equalizer.reset();
    if (o.help || o.version) return o;
    if (line.operands.empty()) throw host::UsageError("no input file");
    if (line.operands.size() > 1)
        throw host::UsageError("one input file only (" + line.operands[0] + ", " + line.operands[1] + ")");
    o.input = line.operands[0];
    if (o.input == "-" && !o.format) throw host::UsageError("standard input needs --format");
    if (o.format == model::CaptureFormat::Mat && (o.follow || o.input == "-"))
        throw host::UsageError("a MAT file is read whole: it cannot be followed or read from standard input");
    return o;
}

double captureRate(const AnaOptions& options, std::optional<double> fileRate, std::optional<std::uint64_t> samples) {
    if (options.rate) return *options.rate;
    if (fileRate) return *fileRate;
    if (options.follow) throw host::UsageError("--follow needs --rate, or a SigMF recording that says its rate");
    if (samples) {
        const std::uint64_t n = *samples;
        if (n > 0 && n % engine::kChipsPerFrame == 0 && n / engine::kChipsPerFrame <= 64)
            return static_cast<double>(n / engine::kChipsPerFrame) * engine::kChipRate;
        throw host::UsageError(options.input + " does not say its sample rate and is not one frame long: give --rate");
    }
    throw host::UsageError(options.input == "-" ? std::string("standard input does not say its sample rate: give --rate")
                                                : options.input + " does not say its sample rate: give --rate");
}

}  // namespace ana
