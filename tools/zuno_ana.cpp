// zuno-ana: finds the forward-link frames in an I/Q capture and measures them.
#include <csignal>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "analyzer/frames.h"
#include "analyzer/json.h"
#include "host/core/command_line.h"
#include "host/core/text.h"
#include "model/capture_source.h"
#include "tools/ana_follow.h"
#include "tools/ana_options.h"
#include "zuno_version.h"

namespace {

// A reading that failed its own checks: printed in full, with its warnings, but not a success.
constexpr int kReadWithDoubts = 3;

const char* const kSourceNames[] = {"all 0", "all 1", "0101...", "1010...", "PN9", "PN15"};

volatile std::sig_atomic_t stopRequested = 0;

extern "C" void requestStop(int) { stopRequested = 1; }

// SIGINT and SIGTERM end a followed capture after the frame being read: a read waiting for
// samples returns (no SA_RESTART), and the reading ends there.
void stopOnSignals() {
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

// A reading that rounds to zero at the digits shown prints as 0, not -0.
double shown(double v, double unit) { return std::abs(v) < unit / 2 ? 0.0 : v; }

std::string optionalDb(const std::optional<double>& v) {
    char buf[32];
    if (!v) return "-";
    std::snprintf(buf, sizeof buf, "%.2f", shown(*v, 1e-2));
    return buf;
}

void printSummary(const std::string& input, const analyzer::Result& r, std::uint64_t samples,
                  std::optional<std::uint64_t> inFile) {
    const std::uint64_t total = inFile.value_or(samples);
    std::printf("%s: %llu samples at %.0f Hz (R = %d%s)\n", input.c_str(), static_cast<unsigned long long>(total),
                r.sampleRate, r.oversampling, r.sampleRate != r.oversampling * engine::kChipRate ? ", resampled" : "");
    if (samples < total)
        std::printf("read the first %llu samples (%zu frames), %.1f %% of the file\n", static_cast<unsigned long long>(samples),
                    r.frames.size(), 100.0 * static_cast<double>(samples) / static_cast<double>(total));
    if (r.frames.size() > 1)
        std::printf("%zu frames read; the figures are their averages, the content and slots the first frame's\n",
                    r.frames.size());
    std::printf("PN offset %d, frame start %.3f chips, frequency error %.2f Hz, mirror spectrum %d\n", r.pnOffset,
                shown(r.frameStartChips, 1e-3), shown(r.frequencyErrorHz, 1e-2), r.mirrorSpectrum ? 1 : 0);
    std::printf("sample clock error %.2f ppm; I/Q: origin offset %.1f dBc, gain imbalance %.3f dB, quadrature error %.3f deg\n",
                shown(r.clockErrorPpm, 1e-2), r.iqOffsetDbc, shown(r.iqGainImbalanceDb, 1e-3), shown(r.iqQuadratureErrorDeg, 1e-3));
    std::printf("reference: filter %s, equalizer %s%s\n", analyzer::referenceFilterName(r.reference),
                r.reference.phaseEqActive != 0 ? "on" : "off", r.referenceFound ? " (best fit found)" : "");
    std::printf("measured after the channel filter: %s\n", r.channelFilter.c_str());
    std::printf("active channels: rho %.6f, rho pilot %.6f, EVM %.3f %% rms, %.3f %% peak\n", r.rho, r.rhoPilot,
                r.evmRmsPercent, r.evmPeakPercent);
    std::printf("whole frame: rho %.6f, EVM %.3f %% rms\n", r.rhoWholeFrame, r.evmRmsPercentWholeFrame);
    std::printf("%s\n", analyzer::channelText(r).c_str());
    if (r.dataSource)
        std::printf("data source %d (%s), %zu bit errors in %zu bits\n", *r.dataSource, kSourceNames[*r.dataSource - 1],
                    *r.dataBitErrors, r.dataBits);
    else
        std::printf("data source: %s\n", r.dataBits ? "none of the six" : "no traffic");
    const auto frame = static_cast<std::size_t>(std::llround(engine::kChipsPerFrame * r.sampleRate / engine::kChipRate));
    if (r.cyclic)
        std::printf("read as one repeating frame: the first %zu samples%s\n", frame,
                    samples > frame ? " (no whole frame follows the start found)" : "");
    if (!r.alternatives.empty()) {
        std::printf("the samples read the same way with:");
        for (const auto& a : r.alternatives) std::printf(" PN %d at %.3f chips;", a.pnOffset, shown(a.frameStartChips, 1e-3));
        std::printf("\n");
    }
    for (const auto& p : r.otherPilots)
        std::printf("other pilot: PN offset %d at %.2f dB, delay %.2f chips\n", p.pnOffset, p.levelDb, shown(p.delayChips, 1e-2));
    for (const auto& w : r.warnings) std::printf("warning: %s\n", w.c_str());
    std::printf("slot  MAC     RA           RPC on  traffic  power dB  idle dB    rho       EVM %%\n");
    for (std::size_t s = 0; s < r.slotResults.size(); ++s) {
        const auto& sl = r.slotResults[s];
        char ra[32] = "-";
        if (sl.ra) std::snprintf(ra, sizeof ra, "%d %.2f dB", sl.ra->bit, sl.ra->gainDb);
        int rpc = 0;
        for (const auto& c : sl.rpc) rpc += c.has_value();
        std::printf("%4zu  %-6s  %-11s  %6d  %-7s  %8s  %7s  %.6f  %6.3f\n", s + 1, sl.macActive ? "active" : "idle", ra,
                    rpc, analyzer::modulationName(sl.traffic), optionalDb(sl.trafficPowerDb).c_str(),
                    optionalDb(sl.idlePowerDb).c_str(), sl.rho, sl.evmRmsPercent);
    }
    if (r.frames.size() > 1) ana::printFrameTable(stdout, r.frames);
}

int run(const std::vector<std::string>& args) {
    const auto options = ana::parseAnaOptions(args);
    if (options.version) {
        std::puts(zuno::versionLine("zuno-ana").c_str());
        return 0;
    }
    if (options.help) {
        std::fputs(ana::anaHelp().c_str(), stdout);
        return 0;
    }
    const auto format = options.format ? *options.format : model::formatOfPath(options.input);
    if (format == model::CaptureFormat::Mat && options.follow)
        throw host::UsageError("a MAT file is read whole: it cannot be followed");
    if (options.follow) stopOnSignals();
    model::CaptureStream stream(options.input, format, options.follow, [] { return stopRequested != 0; });
    analyzer::Options a;
    a.sampleRate = ana::captureRate(options, stream.sampleRate(), stream.sampleCount());
    a.pnOffset = options.pnOffset;
    a.carrierOffsetHz = options.offsetHz;
    a.filter = options.filter;
    a.phaseEqualizer = options.equalizer;
    analyzer::FrameReader reader([&](dsp::cplx* out, std::size_t n) { return stream.read(out, n); }, a, options.frames,
                                 options.follow);
    if (options.follow) {
        // A live monitor: one line per frame as it arrives, kept going past frames not read.
        bool any = false;
        while (const auto frame = reader.next()) {
            std::fputs((ana::followLine(*frame, options.json) + "\n").c_str(), stdout);
            std::fflush(stdout);
            any = true;
        }
        if (!any) throw std::runtime_error("no frame in " + (options.input == "-" ? std::string("standard input") : options.input));
        return 0;
    }
    while (reader.next()) {
    }
    const auto result = reader.summary();
    const std::uint64_t read = reader.samplesRead();
    const auto inFile = stream.sampleCount();
    if (options.json) {
        auto j = analyzer::toJson(result);
        // Only a part read is worth saying: otherwise the reading is that of the samples alone.
        if (inFile && read < *inFile) {
            j["samples_in_file"] = *inFile;
            j["samples_read"] = read;
        }
        std::cout << j.dump(1) << "\n";
    } else {
        printSummary(options.input == "-" ? "standard input" : options.input, result, read, inFile);
    }
    return result.warnings.empty() ? 0 : kReadWithDoubts;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const host::UsageError& e) {
        std::fprintf(stderr, "zuno-ana: %s\n%s\n", host::printable(e.what()).c_str(), host::usageHint("zuno-ana").c_str());
        return host::kUsageStatus;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zuno-ana: %s\n", host::printable(e.what()).c_str());
        return 1;
    }
}
