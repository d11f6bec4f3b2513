#include "plots/core/measure_text.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "analyzer/channel.h"
#include "analyzer/json.h"
#include "engine/traffic.h"

namespace plots {

namespace {

std::string fixed(double v, int decimals) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, v);
    std::string text = buffer;
    // A tiny negative value reads as zero, not as "-0.00".
    if (text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
    return text;
}

std::string dB(double v) { return fixed(v, 2) + " dB"; }

std::string orDash(const std::optional<double>& v) { return v ? fixed(*v, 2) : "\u2014"; }

// The names the main window's pop-ups give them.
std::string dataSourceName(int source) {
    static const char* const names[] = {"All zeros",        "All ones",     "Alternating 0101",
                                        "Alternating 1010", "PN9 sequence", "PN15 sequence"};
    return source >= 1 && source <= 6 ? names[source - 1] : "source " + std::to_string(source);
}

std::string filterName(engine::FilterKind kind) {
    switch (kind) {
    case engine::FilterKind::Rectangular: return "Rectangular";
    case engine::FilterKind::Is95Std: return "IS-95 standard";
    case engine::FilterKind::Is95Acp: return "IS-95 ACP-optimised";
    }
    return {};
}

double formatOf(analyzer::Modulation m) {
    switch (m) {
    case analyzer::Modulation::Qpsk: return 1;
    case analyzer::Modulation::Psk8: return 2;
    case analyzer::Modulation::Qam16: return 3;
    case analyzer::Modulation::Idle: break;
    }
    return 0;
}

// The MAC index riding on Walsh function `code` of one branch, or -1.
int macIndexAt(int code, bool quadrature) {
    for (int index = 0; index < int(analyzer::kMacCodes); ++index)
        if (analyzer::macWalshFunction(index) == code && analyzer::macOnQuadrature(index) == quadrature) return index;
    return -1;
}

std::optional<analyzer::ChannelReading> channelAt(const analyzer::SlotResult& slot, int macIndex) {
    if (macIndex == analyzer::kRaMacIndex) return slot.ra;
    const int k = macIndex - analyzer::kFirstRpcMacIndex;
    if (k >= 0 && k < int(slot.rpc.size())) return slot.rpc[std::size_t(k)];
    return std::nullopt;
}

// One text per line.
std::string lines(const std::vector<std::string>& texts) {
    std::string all = texts.front();
    for (std::size_t k = 1; k < texts.size(); ++k) all.append("\n").append(texts[k]);
    return all;
}

std::string reading(const analyzer::ChannelReading& r) { return "bit " + std::to_string(r.bit) + ", " + dB(r.gainDb); }

}  // namespace

std::string modulationName(analyzer::Modulation m) {
    switch (m) {
    case analyzer::Modulation::Qpsk: return "QPSK";
    case analyzer::Modulation::Psk8: return "8-PSK";
    case analyzer::Modulation::Qam16: return "16-QAM";
    case analyzer::Modulation::Idle: break;
    }
    return "idle";
}

std::vector<SummaryLine> measureSummary(const analyzer::Result& r) {
    // A frame of pilots only fits 32 readings: a few in the line, all in the detail.
    std::string pn = std::to_string(r.pnOffset), pnDetail;
    if (!r.alternatives.empty()) {
        constexpr std::size_t kShown = 3;
        pn += " (also fits";
        for (std::size_t k = 0; k < r.alternatives.size(); ++k) {
            const analyzer::Reading& a = r.alternatives[k];
            if (k < kShown) pn += (k ? ", " : " ") + std::to_string(a.pnOffset);
            if (k) pnDetail += '\n';
            pnDetail += "PN offset " + std::to_string(a.pnOffset) + ", frame start " + fixed(a.frameStartChips, 3) + " chips";
        }
        if (r.alternatives.size() > kShown) pn += ", ... " + std::to_string(r.alternatives.size()) + " in all";
        pn += ")";
    }
    std::string data = "none (no traffic)";
    if (r.dataSource) {
        data = dataSourceName(*r.dataSource);
        if (r.dataBitErrors)
            data += ", " + std::to_string(*r.dataBitErrors) + " bit errors in " + std::to_string(r.dataBits);
    }
    std::vector<std::string> others;
    for (const analyzer::OtherPilot& p : r.otherPilots)
        others.push_back("PN " + std::to_string(p.pnOffset) + " at " + dB(p.levelDb) + ", delay " + fixed(p.delayChips, 2) +
                         " chips");
    std::vector<SummaryLine> summary = {
        {"measureRho", "rho (active channels)", fixed(r.rho, 6)},
        {"measureEvm", "EVM (active channels)",
         fixed(r.evmRmsPercent, 2) + " % rms, " + fixed(r.evmPeakPercent, 2) + " % peak"},
        {"measureRhoWholeFrame", "rho (whole frame)", fixed(r.rhoWholeFrame, 6)},
        {"measureEvmWholeFrame", "EVM (whole frame)", fixed(r.evmRmsPercentWholeFrame, 2) + " % rms"},
        {"measureRhoPilot", "rho pilot", fixed(r.rhoPilot, 6)},
        {"measureIqErrors", "IQ errors",
         "origin offset " + fixed(r.iqOffsetDbc, 1) + " dBc, gain imbalance " + dB(r.iqGainImbalanceDb) +
             ", quadrature error " + fixed(r.iqQuadratureErrorDeg, 2) + "\u00b0",
         "Found against the rebuilt reference and left in the samples: they are part of rho and EVM"},
        {"measureChannelFilter", "Measured after", r.channelFilter,
         "Capture and reference pass this channel filter before they are compared; the active channels are "
         "the pilot, the MAC bursts that are on and the traffic chips, without idle positions and the 6 chips "
         "either side of them"},
        {"measureReference", "Reference",
         filterName(r.reference.filterType) + ", equalizer " + (r.reference.phaseEqActive ? "on" : "off") +
             (r.referenceFound ? " (found: the best fit of " + std::to_string(r.referencesTried) + ")" : "")},
        {"measureFrequencyError", "Frequency error", fixed(r.frequencyErrorHz, 2) + " Hz", {}, 1},
        {"measureClockError", "Sample clock error", fixed(r.clockErrorPpm, 2) + " ppm",
         "The capture's sample clock against the chip rate; timing, rho and EVM are measured with it removed", 1},
        {"measureFrameStart", "Frame start", fixed(r.frameStartChips, 3) + " chips", {}, 1},
        {"measurePnOffset", "PN offset", pn, pnDetail, 1},
        {"measureDataSource", "Data source", data, {}, 1},
        {"measureFrameRead", "Frame read", r.cyclic ? "as one repeating frame" : "whole, within the capture", {}, 1},
        {"measureMirror", "Mirrored spectrum", r.mirrorSpectrum ? "yes" : "no", {}, 1},
        {"measureSampleRate", "Sample rate",
         fixed(r.sampleRate / 1e6, 4) + " MHz (" +
             (std::abs(r.sampleRate - r.oversampling * engine::kChipRate) > 1e-6 * r.sampleRate ? "read at " : "") +
             std::to_string(r.oversampling) + " x chip rate)",
         {}, 1},
    };
    // Only what there is: a clean reading of one sector at the centre keeps the summary short.
    // Doubts come first: a reading that failed its own checks says so before its figures.
    const auto after = [&summary](const char* tag) {
        return std::find_if(summary.begin(), summary.end(), [tag](const SummaryLine& l) { return l.tag == tag; }) + 1;
    };
    if (!others.empty())
        summary.insert(after("measureDataSource"),
                       {"measureOtherPilots", "Other pilots", lines(others),
                        "Pilots of other sectors at most 20 dB below the one read, relative to it; part of the reading's "
                        "error",
                        1});
    // Echoes: rho as measured counts them, as a transmitter test does; rho through the channel
    // beside it tells the transmitter from the path.
    if (const auto echoes = analyzer::echoesOf(r.channel); !echoes.empty()) {
        std::vector<std::string> rays;
        for (const analyzer::Echo& e : echoes)
            rays.push_back((e.delayChips > 0 ? "+" : "") + fixed(e.delayChips, 1) + " chips: " + dB(e.levelDb) + ", " +
                           fixed(e.phaseDeg, 1) + "\u00b0");
        summary.insert(after("measureRhoPilot"),
                       {"measureRhoEqualized", "rho (echoes removed)", fixed(r.rhoEqualized, 6),
                        "rho against the reference passed through the channel found: the transmitter without the echoes "
                        "between it and the capture, which rho above counts"});
        summary.insert(after("measureFrameStart"),
                       {"measureChannel", "Echoes", lines(rays),
                        "Taps at chip/2 relative to the main ray, at -30 dB or stronger; the content was read through them",
                        1});
    }
    if (r.frames.size() > 1)
        summary.insert(after("measureFrameRead"),
                       {"measureFrames", "Frames read",
                        std::to_string(r.frames.size()) + ", the figures averaged over them (the slots are the first's)",
                        "Each frame's figures are in the Frames view", 1});
    if (r.carrierOffsetHz != 0)
        summary.insert(after("measureSampleRate"), {"measureCarrierOffset", "Carrier read",
                                                    fixed(r.carrierOffsetHz / 1e3, 3) + " kHz from the centre",
                                                    "The others were filtered away before the reading", 1});
    if (!r.warnings.empty()) summary.insert(summary.begin(), {"measureWarnings", "Warnings", lines(r.warnings)});
    return summary;
}

std::vector<std::string> slotRow(const analyzer::SlotResult& s, int slotNumber) {
    int rpcOn = 0;
    for (const auto& c : s.rpc) rpcOn += c.has_value();
    return {std::to_string(slotNumber),
            s.macActive ? "active" : "idle",
            s.ra ? reading(*s.ra) : "off",
            std::to_string(rpcOn),
            plots::modulationName(s.traffic),
            orDash(s.trafficPowerDb),
            orDash(s.idlePowerDb),
            fixed(s.rho, 6),
            fixed(s.evmRmsPercent, 2)};
}

std::vector<std::string> frameRow(const analyzer::FrameSummary& f, std::size_t frameNumber) {
    const bool read = f.lock != "none";
    const auto figure = [read](const std::string& text) { return read ? text : std::string("\u2014"); };
    std::string notes;
    for (const std::string& w : f.warnings) notes += (notes.empty() ? "" : "; ") + w;
    return {std::to_string(frameNumber),
            fixed(f.startChips, 3),
            f.lock,
            figure(fixed(f.frequencyErrorHz, 2)),
            figure(fixed(f.clockErrorPpm, 2)),
            figure(fixed(f.rho, 6)),
            figure(fixed(f.rhoPilot, 6)),
            figure(fixed(f.evmRmsPercent, 2)),
            notes};
}

std::string rpcChannelsText(const analyzer::SlotResult& s) {
    std::string text;
    for (std::size_t k = 0; k < s.rpc.size(); ++k)
        if (s.rpc[k]) {
            if (!text.empty()) text += '\n';
            text += "MAC index " + std::to_string(int(k) + analyzer::kFirstRpcMacIndex) + ": " + reading(*s.rpc[k]);
        }
    return text.empty() ? "No RPC channel on" : text;
}

std::vector<CodeBar> codeDomainBars(const analyzer::SlotResult& s) {
    std::vector<CodeBar> bars;
    bars.reserve(kCodeBars);
    for (std::size_t c = 0; c < analyzer::kMacCodes; ++c) bars.push_back({double(c), s.macCodePowerI[c], s.macCodeOnI[c]});
    for (std::size_t c = 0; c < analyzer::kMacCodes; ++c)
        bars.push_back({double(kMacQFirstBar + int(c)), s.macCodePowerQ[c], s.macCodeOnQ[c]});
    // The 16 traffic codes carry the slot's data together, or nothing.
    for (std::size_t c = 0; c < analyzer::kTrafficCodes; ++c)
        bars.push_back({double(kTrafficFirstBar + int(c)), s.trafficCodePower[c], s.traffic != analyzer::Modulation::Idle});
    return bars;
}

std::string codeBarText(const analyzer::SlotResult& s, int position) {
    if (position < 0 || position >= kCodeBars) return {};
    const CodeBar bar = codeDomainBars(s)[std::size_t(position)];
    const std::string level = ": " + (std::isfinite(bar.powerDb) ? dB(bar.powerDb) : std::string("no power")) +
                              (bar.on ? ", on" : ", off");
    if (position >= kTrafficFirstBar) return "Traffic, Walsh " + std::to_string(position - kTrafficFirstBar) + level;
    const bool q = position >= kMacQFirstBar;
    const int code = q ? position - kMacQFirstBar : position;
    std::string text = std::string(q ? "MAC Q" : "MAC I") + ", Walsh " + std::to_string(code);
    if (const int index = macIndexAt(code, q); index >= 0) {
        text += " (MAC index " + std::to_string(index);
        if (index == analyzer::kRaMacIndex) text += ", RA";
        text += ")";
        if (const auto r = channelAt(s, index)) return text + level + ", bit " + std::to_string(r->bit);
    }
    return text + level;
}

dsp::CVec idealConstellation(analyzer::Modulation m) {
    const double format = formatOf(m);
    if (format == 0) return {};
    const int k = engine::bitsPerSymbol(format);
    dsp::CVec points;
    double power = 0;
    for (unsigned v = 0; v < (1u << k); ++v) {
        std::vector<std::uint8_t> bits(static_cast<std::size_t>(k));
        for (int b = 0; b < k; ++b) bits[std::size_t(b)] = (v >> (k - 1 - b)) & 1;
        points.push_back(engine::Zuno_IQmap(bits, format));
        power += std::norm(points.back());
    }
    const double scale = 1 / std::sqrt(power / double(points.size()));
    for (auto& p : points) p *= scale;
    return points;
}

}  // namespace plots

namespace plots {

ChipKind chipKind(const analyzer::Result& r, std::size_t chip) {
    const std::size_t slot = (chip / engine::kChipsPerSlot) % engine::kSlots, c = chip % 1024;
    if (c >= 464 && c < 560) return ChipKind::Pilot;
    const analyzer::SlotResult& s = r.slotResults[slot];
    if (c >= 400 && c < 624) return s.macActive ? ChipKind::Mac : ChipKind::Idle;
    return s.traffic != analyzer::Modulation::Idle ? ChipKind::Traffic : ChipKind::Idle;
}

std::string powerReadout(const analyzer::Result& r, std::size_t chip, const TimeUnit& unit) {
    const double t = double(chip) / unit.chipsPerUnit;
    const std::size_t group = chip / 16;
    const double db = group < r.powerDb.size() ? r.powerDb[group] : NAN;
    std::string text = "t = ";
    text += fixed(t, unit.chipsPerUnit == 1.0 ? 0 : 3);
    text += ' ';
    text += unit.name;
    text += ", slot ";
    text += std::to_string(chip / engine::kChipsPerSlot + 1);
    text += ", ";
    text += kChipKindNames[std::size_t(chipKind(r, chip))];
    text += ": ";
    text += dB(db);
    return text;
}

namespace {

// One CSV field, quoted: commas and quotes stay inside it.
void appendField(std::string& csv, const std::string& text, bool first) {
    if (!first) csv.push_back(',');
    csv.push_back('"');
    for (char ch : text) {
        if (ch == '"') csv.push_back('"');
        csv.push_back(ch);
    }
    csv.push_back('"');
}

}  // namespace

dsp::CVec idealMacPoints(const analyzer::SlotResult& s) {
    dsp::CVec points;
    for (int index = analyzer::kRaMacIndex; index < int(analyzer::kMacCodes); ++index)
        if (const auto c = channelAt(s, index)) {
            const double a = std::pow(10.0, c->gainDb / 20) * (c->bit ? -1.0 : 1.0);
            points.push_back(analyzer::macOnQuadrature(index) ? dsp::cplx(0, a) : dsp::cplx(a, 0));
        }
    return points;
}

std::string measureCsv(const analyzer::Result& r) {
    std::string csv = "quantity,value\n";
    for (const SummaryLine& line : measureSummary(r)) {
        appendField(csv, line.label, true);
        appendField(csv, line.value, false);
        csv.push_back('\n');
    }
    csv.push_back('\n');
    for (std::size_t c = 0; c < kSlotColumns.size(); ++c) appendField(csv, kSlotColumns[c], c == 0);
    csv.push_back('\n');
    for (std::size_t s = 0; s < r.slotResults.size(); ++s) {
        const std::vector<std::string> row = slotRow(r.slotResults[s], int(s) + 1);
        for (std::size_t c = 0; c < row.size(); ++c) appendField(csv, row[c], c == 0);
        csv.push_back('\n');
    }
    return csv;
}

std::string measureJson(const analyzer::Result& r) { return analyzer::toJson(r).dump(1) + "\n"; }

}  // namespace plots
