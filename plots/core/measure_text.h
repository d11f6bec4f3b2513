#pragma once
// What the Measure window writes and draws of an analysis, without Qt: the summary lines, the
// per-slot table, the bars of the code-domain power chart and the ideal constellation points.
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "analyzer/analysis.h"
#include "dsp/types.h"

namespace plots {

// "QPSK", "8-PSK", "16-QAM", "idle".
std::string modulationName(analyzer::Modulation m);

// One line of the summary: the value's tag (for tests and tools), the label, the value and,
// where the value is cut short, the whole of it. The window shows the summary in two columns:
// how well the transmitter does (column 0) and what was read and where (column 1).
struct SummaryLine {
    std::string tag, label, value;
    std::string detail = {};
    int column = 0;
};
std::vector<SummaryLine> measureSummary(const analyzer::Result& result);

// The per-slot table: headings, and one row per slot (slot counted from 1). The RPC cell holds
// the number of channels found on; rpcChannelsText lists them, one per line.
inline constexpr std::array<const char*, 9> kSlotColumns{"Slot",         "MAC",       "RA",  "RPC on", "Traffic",
                                                        "Traffic (dB)", "Idle (dB)", "rho", "EVM (%)"};
std::vector<std::string> slotRow(const analyzer::SlotResult& slot, int slotNumber);
std::string rpcChannelsText(const analyzer::SlotResult& slot);

// The frames of a capture read frame by frame: headings, and one row per frame (counted from 1);
// a frame that could not be read shows a dash for its figures and why in its warnings.
inline constexpr std::array<const char*, 9> kFrameColumns{"Frame",    "Start (chips)", "Lock",      "Frequency (Hz)",
                                                         "Clock (ppm)", "rho",          "rho pilot", "EVM (%)",
                                                         "Warnings"};
std::vector<std::string> frameRow(const analyzer::FrameSummary& frame, std::size_t frameNumber);

// The code-domain chart of one slot, on one axis: the 64 MAC Walsh codes on I at 0..63, on Q
// at 64..127, the 16 traffic Walsh codes at 128..143.
inline constexpr int kMacQFirstBar = 64;
inline constexpr int kTrafficFirstBar = 128;
inline constexpr int kCodeBars = 144;
struct CodeBar {
    double position = 0;
    double powerDb = 0;  // relative to the pilot
    bool on = false;     // a channel found on rides on this code
};
std::vector<CodeBar> codeDomainBars(const analyzer::SlotResult& slot);
// "MAC Q, Walsh 34 (MAC index 5): -3.00 dB, on"; empty outside the bars.
std::string codeBarText(const analyzer::SlotResult& slot, int position);

// The modulation's points at unit mean power (empty for idle), as the analyzer scales the
// despread symbols.
dsp::CVec idealConstellation(analyzer::Modulation m);

}  // namespace plots

namespace plots {

// What each chip of the frame carries, for the power against time.
enum class ChipKind { Pilot, Mac, Traffic, Idle };
inline constexpr std::array<const char*, 4> kChipKindNames{"Pilot", "MAC", "Traffic", "Idle"};
ChipKind chipKind(const analyzer::Result& result, std::size_t chip);

// The time axis of the power against time: chips, slots or microseconds from the frame start.
struct TimeUnit {
    const char* name;     // as the unit list and the read-out show it
    double chipsPerUnit;
};
inline constexpr std::array<TimeUnit, 3> kTimeUnits{{{"chips", 1.0}, {"slots", 2048.0}, {"\u00b5s", 1.2288}}};
// "t = 1234 chips, slot 1, Pilot: -0.12 dB" in the unit chosen: the power of the 16 chips around.
std::string powerReadout(const analyzer::Result& result, std::size_t chip, const TimeUnit& unit);

// Where each MAC channel found on would lie in the MAC constellation: +-10^(gain/20) on its branch.
dsp::CVec idealMacPoints(const analyzer::SlotResult& slot);

// The results as a file: CSV (the frame's figures as "quantity,value" lines, a blank line, then
// the slot table) or the JSON object zuno-ana --json prints.
std::string measureCsv(const analyzer::Result& result);
std::string measureJson(const analyzer::Result& result);

}  // namespace plots
