#include "tools/gen_options.h"

#include <charconv>
#include <stdexcept>

namespace gen {

const char* const kUsage =
    "usage: zuno-gen [--params FILE.json] [--set NAME=VALUE]... [--seed N]\n"
    "                [--out PATH [--format cf64|cf32|ci16be]] [--markers PATH] [--bench N]\n"
    "\n"
    "Computes one forward-link frame from the default settings, changed by a JSON file of\n"
    "parameter fields (--params) and single fields (--set OverSampling=8, --set slot.RAslotGain=-6),\n"
    "and prints samples, sample rate, peak and RMS magnitude and crest factor.\n"
    "  --out PATH      write the samples: cf64 (default) and cf32 are interleaved little-endian I,Q;\n"
    "                  ci16be is big-endian signed 16-bit I,Q at full scale 32766\n"
    "  --markers PATH  write marker 1 then marker 2, one 0/1 byte per sample\n"
    "  --seed N        seed of the idle-slot noise (default: a fresh seed every run)\n"
    "  --bench N       compute the frame N times and print the median and minimum time\n";

namespace {

template <class T>
T parseCount(const std::string& option, const std::string& text) {
    T value{};
    const auto* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc{} || ptr != end || text.empty())
        throw std::invalid_argument(option + " expects a non-negative whole number, not '" + text + "'");
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
        } else if (a == "--params") {
            o.paramsFile = value();
        } else if (a == "--set") {
            const auto& s = value();
            if (s.find('=') == std::string::npos) throw std::invalid_argument("--set expects NAME=VALUE, not '" + s + "'");
            o.settings.push_back(s);
        } else if (a == "--seed") {
            o.seed = parseCount<std::uint64_t>(a, value());
        } else if (a == "--out") {
            o.out = value();
        } else if (a == "--format") {
            const auto& f = value();
            if (f == "cf64") o.format = SampleFormat::Cf64;
            else if (f == "cf32") o.format = SampleFormat::Cf32;
            else if (f == "ci16be") o.format = SampleFormat::Ci16be;
            else throw std::invalid_argument("--format must be cf64, cf32 or ci16be, not '" + f + "'");
        } else if (a == "--markers") {
            o.markers = value();
        } else if (a == "--bench") {
            o.bench = parseCount<int>(a, value());
            if (o.bench < 1) throw std::invalid_argument("--bench expects at least 1 run");
        } else {
            throw std::invalid_argument("unknown option '" + a + "' (see --help)");
        }
    }
    return o;
}

}  // namespace gen
