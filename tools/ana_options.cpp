#include "tools/ana_options.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "engine/frame.h"
#include "host/core/number_text.h"

namespace ana {

const char* const kAnaUsage =
    "usage: zuno-ana INPUT [--format cf64|cf32|ci16be|ci16le|sigmf|mat] [--rate HZ] [--pn-offset N]\n"
    "                [--offset HZ] [--reference std|acp|rect|auto] [--no-eq] [--json] [--help] [--version]\n"
    "Finds one forward-link frame in the I/Q samples of INPUT, recovers what it carries and measures\n"
    "it against the ideal waveform. The format follows from the file name's extension when not given;\n"
    "without --rate the rate is the file's own (SigMF, MAT wave export) or, for a file of exactly one\n"
    "frame, 32768 chips at a whole number of samples per chip. Any rate from 1228800 to 200000000 Hz\n"
    "is read; one that is not a whole number of samples per chip is resampled to one. A sample clock\n"
    "that is off (to +-200 ppm) is found and removed. --reference auto tries every filter,\n"
    "with and without the equalizer (without only, with --no-eq), and keeps the best fit. --offset HZ\n"
    "reads the carrier HZ from the centre of a multi-carrier capture, the others filtered away.\n"
    "Exit status: 0 read; 3 read with doubts (the reading failed its own checks: see its warnings);\n"
    "1 no reading (bad options or input, no pilot).\n";

namespace {

double numberOf(const std::string& option, const std::string& text) {
    const auto v = host::textToNumbers(text);
    if (v.size() != 1 || !std::isfinite(v[0])) throw std::runtime_error(option + " needs a number, not \"" + text + "\"");
    return v[0];
}

}  // namespace

AnaOptions parseAnaOptions(const std::vector<std::string>& args) {
    AnaOptions o;
    bool noEq = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw std::runtime_error(a + " needs a value");
            return args[++i];
        };
        if (a == "--help" || a == "-h") o.help = true;
        else if (a == "--version") o.version = true;
        else if (a == "--json") o.json = true;
        else if (a == "--no-eq") noEq = true;
        else if (a == "--format") o.format = model::formatNamed(value());
        else if (a == "--rate") o.rate = numberOf(a, value());
        else if (a == "--offset") o.offsetHz = numberOf(a, value());
        else if (a == "--pn-offset") {
            const double n = numberOf(a, value());
            if (n < 0 || n > 511 || n != std::floor(n)) throw std::runtime_error("--pn-offset must be a whole number from 0 to 511");
            o.pnOffset = static_cast<int>(n);
        } else if (a == "--reference") {
            const std::string& f = value();
            if (f == "std") o.filter = analyzer::ReferenceFilter::Standard;
            else if (f == "acp") o.filter = analyzer::ReferenceFilter::Acp;
            else if (f == "rect") o.filter = analyzer::ReferenceFilter::Rectangular;
            else if (f == "auto") o.filter.reset();
            else throw std::runtime_error("--reference must be std, acp, rect or auto, not \"" + f + "\"");
        } else if (!a.empty() && a[0] == '-') throw std::runtime_error("unknown option " + a);
        else if (!o.input.empty()) throw std::runtime_error("one input file only (" + o.input + ", " + a + ")");
        else o.input = a;
    }
    if (noEq) o.equalizer = false;
    else if (!o.filter) o.equalizer.reset();
    if (o.input.empty() && !o.help && !o.version) throw std::runtime_error("no input file\n" + std::string(kAnaUsage));
    return o;
}

double captureRate(const AnaOptions& options, const model::CaptureSource& capture) {
    if (options.rate) return *options.rate;
    if (capture.sampleRate()) return *capture.sampleRate();
    const std::uint64_t n = capture.sampleCount();
    if (n > 0 && n % engine::kChipsPerFrame == 0 && n / engine::kChipsPerFrame <= 64)
        return static_cast<double>(n / engine::kChipsPerFrame) * engine::kChipRate;
    throw std::runtime_error(options.input + " does not say its sample rate and is not one frame long: give --rate");
}

std::size_t samplesToRead(double rate, std::uint64_t inFile) {
    // A rate the analyzer refuses still reads a bounded start, for its message. A clock up to
    // 200 ppm slow and the resampler's taps need a little more than two frames.
    const double perChip = std::isfinite(rate) ? std::clamp(rate / engine::kChipRate, 1.0, 200e6 / engine::kChipRate) : 1.0;
    const auto twoFrames = static_cast<std::uint64_t>(std::ceil(2 * engine::kChipsPerFrame * perChip * (1 + 300e-6))) + 64;
    return static_cast<std::size_t>(std::min(inFile, twoFrames));
}

}  // namespace ana
