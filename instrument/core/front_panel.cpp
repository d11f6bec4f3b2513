#include "instrument/core/front_panel.h"

#include <cctype>

#include "instrument/core/link_ops.h"

namespace instrument {

namespace {

constexpr std::string_view kReported = "The instrument reported: ";

hwio::Result sendAndLocal(hwio::Link& link, const std::string& line) {
    const hwio::Result r = hwSend(link, line);
    if (r.status != hwio::kCancelled) hwReturnLocal(link);
    return r;
}

// "-221,\"a\"; -222,\"b\"": the entries, each starting with its code.
std::vector<std::string> splitErrors(std::string_view text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t i = 0; i + 2 < text.size(); ++i) {
        const char next = text[i + 2];
        if (text[i] == ';' && text[i + 1] == ' ' && (next == '-' || next == '+' || std::isdigit(static_cast<unsigned char>(next)))) {
            out.emplace_back(text.substr(start, i - start));
            start = i + 2;
        }
    }
    if (start < text.size()) out.emplace_back(text.substr(start));
    return out;
}

// The quoted names of a catalogue answer: "\"A\",\"B\"", or "\"\"" for none.
std::vector<std::string> splitNames(const std::string& text) {
    std::vector<std::string> out;
    std::string name;
    bool inside = false;
    for (char c : text) {
        if (c == '"') {
            if (inside && !name.empty()) out.push_back(name);
            name.clear();
            inside = !inside;
        } else if (inside) {
            name += c;
        }
    }
    return out;
}

}  // namespace

hwio::Result switchOutput(hwio::Link& link, bool on) {
    return sendAndLocal(link, std::string(" :output:state ") + (on ? "on" : "off"));
}

hwio::Result switchPlayer(hwio::Link& link, bool on) {
    return sendAndLocal(link, std::string(" :source:rad:arb:state ") + (on ? "on" : "off"));
}

hwio::Result readBack(hwio::Link& link, ReadBack& out) {
    out = {};
    // A harmless question with the queue kept: the component's own check then reads every entry.
    const bool clear = link.options().clearErrors;
    link.options().clearErrors = false;
    hwio::Result r = hwQuery(link, "*OPC?");
    link.options().clearErrors = clear;
    if (r.status == hwio::kInstrumentError && r.response.starts_with(kReported))
        out.errors = splitErrors(std::string_view(r.response).substr(kReported.size()));
    else if (r.status != hwio::kOk)
        return r;
    r = hwQuery(link, ":MEMory:CATalog?");
    if (r.status != hwio::kOk) return r;
    out.waveforms = splitNames(r.response);
    hwReturnLocal(link);
    return {hwio::kOk, ""};
}

}  // namespace instrument
