#include "instrument/core/front_panel.h"

#include <cctype>

#include "instrument/core/link_ops.h"

namespace instrument {

namespace {

constexpr std::string_view kReported = "The instrument reported: ";

hwio::Result sendAndLocal(const host::Value& config, const std::string& line, const hwio::Options& options) {
    const hwio::Result r = hwSend(config, line, options);
    if (r.status != hwio::kCancelled) hwReturnLocal(config, options);
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

hwio::Result switchOutput(const host::Value& config, bool on, const hwio::Options& options) {
    return sendAndLocal(config, std::string(" :output:state ") + (on ? "on" : "off"), options);
}

hwio::Result switchPlayer(const host::Value& config, bool on, const hwio::Options& options) {
    return sendAndLocal(config, std::string(" :source:rad:arb:state ") + (on ? "on" : "off"), options);
}

hwio::Result readBack(const host::Value& config, ReadBack& out, const hwio::Options& options) {
    out = {};
    // A harmless question with the queue kept: the component's own check then reads every entry.
    hwio::Options keep = options;
    keep.clearErrors = false;
    hwio::Result r = hwQuery(config, "*OPC?", keep);
    if (r.status == hwio::kInstrumentError && r.response.starts_with(kReported))
        out.errors = splitErrors(std::string_view(r.response).substr(kReported.size()));
    else if (r.status != hwio::kOk)
        return r;
    r = hwQuery(config, ":MEMory:CATalog?", options);
    if (r.status != hwio::kOk) return r;
    out.waveforms = splitNames(r.response);
    hwReturnLocal(config, options);
    return {hwio::kOk, ""};
}

}  // namespace instrument
