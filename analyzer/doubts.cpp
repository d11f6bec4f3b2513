#include "analyzer/doubts.h"

#include <cmath>
#include <cstdio>

namespace analyzer {

namespace {

// The error the pilot shows may double in the channels (the MAC bursts run louder than the
// pilot) before the content is suspect, plus two per cent for the channels' own distortion.
constexpr double kErrorRatio = 2.0;
constexpr double kErrorExcess = 0.02;
// Another pilot this close to the one read may be the stronger: which sector is read is open.
constexpr double kRivalDb = -1.0;

std::string fixed(double v, int decimals) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, v);
    return buffer;
}

std::string slotList(const std::vector<std::size_t>& slots) {
    std::string s = slots.size() == 1 ? "slot " : "slots ";
    for (std::size_t k = 0; k < slots.size(); ++k) s += (k ? ", " : "") + std::to_string(slots[k] + 1);
    return s;
}

}  // namespace

bool fitsAsWell(std::size_t errors, std::size_t fewest) {
    // Bit errors are counts: three standard deviations of the fewest.
    return static_cast<double>(errors) <= static_cast<double>(fewest) + 3.0 * std::sqrt(static_cast<double>(fewest) + 1.0);
}

std::vector<std::string> doubtsOf(const Result& r, const std::vector<SlotReading>& slots,
                                  const std::vector<NearReading>& near) {
    std::vector<std::string> doubts;
    if (1 - r.rho > kErrorRatio * (1 - r.rhoPilot) + kErrorExcess)
        doubts.push_back("rho " + fixed(r.rho, 6) + " is far below rho pilot " + fixed(r.rhoPilot, 6) +
                         ": the channels may be misread");
    std::vector<std::size_t> unexplained, modulation;
    std::size_t traffic = 0;
    for (std::size_t s = 0; s < slots.size(); ++s) {
        if (slots[s].trafficDoubt == TrafficDoubt::UnexplainedPower) unexplained.push_back(s);
        if (slots[s].trafficDoubt == TrafficDoubt::Modulation) modulation.push_back(s);
        traffic += slots[s].format != 0;
    }
    if (!unexplained.empty())
        doubts.push_back(slotList(unexplained) + " called idle, but the data positions hold power "
                                                 "that fits no constellation");
    if (!modulation.empty())
        doubts.push_back(slotList(modulation) + ": another constellation fits the traffic almost as well");
    if (traffic > 0 && !r.dataSource)
        doubts.push_back("traffic in " + std::to_string(traffic) + (traffic == 1 ? " slot" : " slots") +
                         " but no data source found: the slot numbering and PN offset are uncertain");
    for (const OtherPilot& p : r.otherPilots)
        if (p.levelDb > kRivalDb)
            doubts.push_back("the pilot with PN offset " + std::to_string(p.pnOffset) + " is about as strong (" +
                             fixed(p.levelDb, 1) + " dB): the sector read may not be the strongest");
    for (const NearReading& n : near)
        doubts.push_back("PN offset " + std::to_string(n.reading.pnOffset) + " at frame start " +
                         fixed(n.reading.frameStartChips, 3) + " chips fits almost as well (" +
                         std::to_string(n.bitErrors) + " bit errors against " +
                         std::to_string(r.dataBitErrors.value_or(0)) + ")");
    return doubts;
}

}  // namespace analyzer
