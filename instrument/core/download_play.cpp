#include "instrument/core/download_play.h"

#include <cctype>
#include <cstdio>

#include "host/core/number_text.h"
#include "instrument/core/link_ops.h"
#include "host/core/text.h"

namespace instrument {

namespace {

std::string num(double x) { return host::numberText(x); }

bool linkFailed(std::int32_t status) { return status != hwio::kOk && status != hwio::kInstrumentError; }

}  // namespace

double rs232Minutes(std::size_t samples, double baud) {
    return static_cast<double>(samples) * 32 * 1.125 / baud / 60;
}

bool confirmDownload(std::size_t samples, const model::Configuration& config, const Question& ask) {
    if (host::toLower(config.type) != "rs232") return true;
    const double minutes = rs232Minutes(samples, config.RS232.baudrate);
    if (minutes <= 0.75) return true;
    char text[200];
    std::snprintf(text, sizeof text, "This Download will take approximately %g minutes. Do you want to continue?",
                  minutes);
    return ask("RS-232 Download", text, {"OK", "Cancel"}, "Cancel") == "OK";
}

Delivery downloadAndPlay(hwio::Link& link, const dsp::CVec& waveform, const std::array<dsp::Bits, 2>& markers,
                         const std::string& title, const std::vector<std::string>& playLines) {
    Delivery d;
    d.download = hwDownload(link, waveform, markers, title);
    if (d.download.status == hwio::kOk) d.setup = playSequence(link, playLines, &d.lines);
    return d;
}

std::vector<std::string> playLines_c(const std::string& FileName, const model::SigGenSettings& s) {
    const char* bbfilter = s.BBfilter == 1 ? "2.1MHz" : s.BBfilter == 2 ? "40MHz" : "Through";
    return {
        " :source:rad:arb:state off",
        " :source:rad:arb:wav \"arbi:" + FileName + "\" ",
        " :source:freq:fix " + num(s.Frequency) + "Hz",
        " :source:power:level:immediate:amplitude " + num(s.Amplitude) + "dbm",
        " :source:rad:arb:clock:srate " + num(s.SamplingRate) + "Hz",
        std::string(" :source:dm:bbfilter ") + bbfilter,
        " :source:rad:ARB:rscaling " + num(s.Scaling),
        ":source:DM:IQAT:AUTO off",
        ":source:DM:IQAT " + num(s.ModAtten),
        std::string(" :pow:alc:state ") + (s.ALC == 0 ? "off" : "on"),
        std::string(" :source:rad:arb:marker:rfblank ") + (s.RFblanking == 1 ? "on" : "off"),
        std::string(" :source:rad:arb:marker:polarity ") + (s.MarkerPolarity == 0 ? "Pos" : "Neg"),
        std::string(" :source:rad:arb:clock:ref ") + (s.ArbRefSource == 0 ? "int" : "ext"),
        " :source:rad:arb:state on",
        " :output:state on",
    };
}

std::vector<std::string> playLines(const std::string& FileName, const model::SigGenSettings& s,
                                   std::optional<double> ReconFilter) {
    const double code = ReconFilter.value_or(4);
    const char* rfilter = code == 1 ? "250.0khz" : code == 2 ? "2.5Mhz" : code == 3 ? "8Mhz" : "through";
    auto c = playLines_c(FileName, s);
    std::vector<std::string> lines(c.begin(), c.begin() + 5);
    lines.push_back(std::string(" :source:rad:arb:rfilter ") + rfilter);
    lines.insert(lines.end(), c.begin() + 10, c.end());
    return lines;
}

hwio::Result playSequence(hwio::Link& link, const std::vector<std::string>& lines, std::vector<hwio::Result>* sent) {
    // The last two lines start the player and switch the RF output on: only over settings the
    // instrument took in full, or a wrong signal would reach the device under test.
    const std::size_t switchOn = lines.size() >= kSwitchOnLines ? lines.size() - kSwitchOnLines : 0;
    hwio::Result last;
    std::string failures;
    std::int32_t failedStatus = hwio::kOk;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i == switchOn && failedStatus != hwio::kOk) break;
        last = hwSend(link, lines[i]);
        if (sent) sent->push_back(last);
        if (last.status == hwio::kCancelled) return last;
        if (last.status != hwio::kOk) {
            if (failedStatus == hwio::kOk) failedStatus = last.status;
            failures += (failures.empty() ? "" : "\n") + ("Line " + std::to_string(i + 1) + " (\"" + lines[i] +
                                                          "\") failed: " + last.response);
        }
        if (linkFailed(last.status)) return {failedStatus, failures};
    }
    hwReturnLocal(link);
    if (failedStatus == hwio::kOk) return last;
    return {failedStatus, failures + "\nThe player and the RF output were not switched on."};
}

}  // namespace instrument
