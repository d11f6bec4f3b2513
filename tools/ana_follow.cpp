#include "tools/ana_follow.h"

#include <cmath>

#include "analyzer/json.h"

namespace ana {

namespace {

// A reading that rounds to zero at the digits shown prints as 0, not -0.
double shown(double v, double unit) { return std::abs(v) < unit / 2 ? 0.0 : v; }

std::string printed(const char* format, auto... values) {
    char buf[256];
    std::snprintf(buf, sizeof buf, format, values...);
    return buf;
}

}  // namespace

std::string followLine(const analyzer::FrameOutcome& frame, bool json) {
    const analyzer::FrameSummary& s = frame.summary;
    if (json) {
        nlohmann::ordered_json j{{"frame", frame.number}};
        if (!frame.failure.empty()) {
            j["frame_start_chips"] = s.startChips;
            j["lock"] = s.lock;
            j["error"] = frame.failure;
        } else {
            j.update(analyzer::toJson(s));
        }
        return j.dump();
    }
    std::string line = printed("frame %zu at %.3f chips: ", frame.number, shown(s.startChips, 1e-3));
    if (!frame.failure.empty()) return line + "no frame read: " + frame.failure;
    line += printed("PN %d, frequency %.2f Hz, clock %.2f ppm, rho %.6f, EVM %.3f %%", s.pnOffset,
                    shown(s.frequencyErrorHz, 1e-2), shown(s.clockErrorPpm, 1e-2), s.rho, s.evmRmsPercent);
    if (s.lock == "reacquired") line += " (the lock was lost: searched for again)";
    for (const std::string& w : s.warnings) line += "; warning: " + w;
    return line;
}

void printFrameTable(std::FILE* out, const std::vector<analyzer::FrameSummary>& frames) {
    std::fprintf(out, "frame  start chips  PN   frequency Hz  clock ppm  rho       EVM %%   lock        warnings\n");
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const auto& f = frames[i];
        std::fprintf(out, "%5zu  %11.3f  %3d  %12.2f  %9.2f  %.6f  %6.3f  %-10s  %zu\n", i + 1, shown(f.startChips, 1e-3),
                     f.pnOffset, shown(f.frequencyErrorHz, 1e-2), shown(f.clockErrorPpm, 1e-2), f.rho, f.evmRmsPercent,
                     f.lock.c_str(), f.warnings.size());
    }
}

}  // namespace ana
