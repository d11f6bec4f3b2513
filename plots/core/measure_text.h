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
// where the value is cut short, the whole of it.
struct SummaryLine {
    std::string tag, label, value;
    std::string detail = {};
};
std::vector<SummaryLine> measureSummary(const analyzer::Result& result);

// The per-slot table: headings, and one row per slot (slot counted from 1). The RPC cell holds
// the number of channels found on; rpcChannelsText lists them, one per line.
inline constexpr std::array<const char*, 9> kSlotColumns{"Slot",         "MAC",       "RA",  "RPC on", "Traffic",
                                                        "Traffic (dB)", "Idle (dB)", "rho", "EVM (%)"};
std::vector<std::string> slotRow(const analyzer::SlotResult& slot, int slotNumber);
std::string rpcChannelsText(const analyzer::SlotResult& slot);

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
