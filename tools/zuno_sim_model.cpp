#include "tools/zuno_sim_model.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>

#include "zuno_version.h"

namespace sim {

namespace {

constexpr std::size_t kMaxErrors = 30;
// The log keeps the latest messages, each cut to kMaxLogEntry bytes, kMaxLogBytes in all.
constexpr std::size_t kMaxLogEntry = 1024;
constexpr std::size_t kMaxLogBytes = 1 << 20;
constexpr std::size_t kMaxPathDepth = 8;
const std::string kIdentity = "Zuno,Simulated Signal Generator,SIM0001," + std::string(zuno::kVersion);

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

// Splits at `sep` outside quotes.
std::vector<std::string> splitOutsideQuotes(std::string_view s, char sep) {
    std::vector<std::string> parts(1);
    char quote = 0;
    for (char c : s) {
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == sep) {
            parts.emplace_back();
            continue;
        }
        parts.back() += c;
    }
    return parts;
}

// One node of a header pattern: its mnemonics ("FREQuency": short form in capitals).
struct Node {
    std::vector<std::string> names;
    bool optional = false;
};

std::vector<Node> parsePattern(std::string_view pattern) {
    std::vector<Node> nodes;
    std::size_t i = 0;
    while (i < pattern.size()) {
        Node n;
        if (pattern[i] == '[') {
            n.optional = true;
            ++i;
        }
        if (i < pattern.size() && pattern[i] == ':') ++i;
        std::string name;
        while (i < pattern.size() && pattern[i] != ':' && pattern[i] != '[' && pattern[i] != ']') {
            if (pattern[i] == '|') {
                n.names.push_back(name);
                name.clear();
                if (i + 1 < pattern.size() && pattern[i + 1] == ':') ++i;
            } else {
                name += pattern[i];
            }
            ++i;
        }
        n.names.push_back(name);
        if (i < pattern.size() && pattern[i] == ']') ++i;
        nodes.push_back(n);
    }
    return nodes;
}

bool mnemonicMatches(const std::string& name, std::string token) {
    std::string shortForm;
    for (char c : name)
        if (std::isupper(static_cast<unsigned char>(c)) || std::isdigit(static_cast<unsigned char>(c))) shortForm += c;
    const std::string longForm = upper(name);
    token = upper(token);
    // A numeric suffix (OUTPut1) selects the first and only channel.
    while (!token.empty() && std::isdigit(static_cast<unsigned char>(token.back())) &&
           !std::isdigit(static_cast<unsigned char>(longForm.back())))
        token.pop_back();
    return token == shortForm || token == longForm;
}

bool matchFrom(const std::vector<Node>& nodes, std::size_t n, const std::vector<std::string>& tokens, std::size_t t) {
    if (n == nodes.size()) return t == tokens.size();
    if (nodes[n].optional && matchFrom(nodes, n + 1, tokens, t)) return true;
    if (t == tokens.size()) return false;
    for (const auto& name : nodes[n].names)
        if (mnemonicMatches(name, tokens[t]) && matchFrom(nodes, n + 1, tokens, t + 1)) return true;
    return false;
}

std::vector<std::string> headerTokens(std::string_view header) {
    std::vector<std::string> tokens;
    std::string cur;
    for (char c : header) {
        if (c == ':') {
            if (!cur.empty()) tokens.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) tokens.push_back(cur);
    return tokens;
}

struct Parsed {
    std::vector<Node> nodes;
    const Instrument::Command* command;
};

const std::vector<Parsed>& parsedCommands() {
    static const std::vector<Parsed> table = [] {
        std::vector<Parsed> out;
        for (const auto& c : Instrument::commands()) out.push_back({parsePattern(c.pattern), &c});
        return out;
    }();
    return table;
}

// The first command whose pattern the header matches, or none.
const Instrument::Command* commandOf(const std::vector<std::string>& tokens) {
    for (const auto& p : parsedCommands())
        if (matchFrom(p.nodes, 0, tokens, 0)) return p.command;
    return nullptr;
}

// A number with an optional unit: "2.1MHz", "-30dbm", "95". False when it is no number.
bool parseNumber(std::string_view text, double& value, std::string& unit) {
    const std::string s(trim(text));
    if (s.empty()) return false;
    char* end = nullptr;
    value = std::strtod(s.c_str(), &end);
    if (end == s.c_str() || !std::isfinite(value)) return false;
    unit = upper(trim(std::string_view(end)));
    return true;
}

std::string numberText(double x) {
    char buf[64];
    if (x == std::trunc(x) && std::abs(x) < 1e18)
        std::snprintf(buf, sizeof buf, "%.0f", x);
    else
        std::snprintf(buf, sizeof buf, "%.15g", x);
    return buf;
}

std::string unquote(std::string_view p) {
    p = trim(p);
    if (p.size() >= 2 && (p.front() == '"' || p.front() == '\'') && p.back() == p.front())
        return std::string(p.substr(1, p.size() - 2));
    return std::string(p);
}

struct Failure {
    int code;
    const char* text;
};

[[noreturn]] void fail(int code, const char* text) { throw Failure{code, text}; }

double frequencyUnit(const std::string& unit) {
    if (unit.empty() || unit == "HZ") return 1;
    if (unit == "KHZ") return 1e3;
    if (unit == "MHZ" || unit == "MAHZ") return 1e6;
    if (unit == "GHZ") return 1e9;
    fail(-131, "Invalid suffix");
}

double number(std::string_view p, double low, double high, const std::function<double(const std::string&)>& unit) {
    double v = 0;
    std::string u;
    if (trim(p).empty()) fail(-109, "Missing parameter");
    if (!parseNumber(p, v, u)) fail(-104, "Data type error");
    v *= unit(u);
    if (v < low || v > high) fail(-222, "Data out of range");
    return v;
}

double plain(const std::string& unit, const char* allowed) {
    if (unit.empty() || unit == allowed) return 1;
    fail(-131, "Invalid suffix");
}

bool boolean(std::string_view p) {
    const std::string v = upper(trim(p));
    if (v.empty()) fail(-109, "Missing parameter");
    if (v == "ON" || v == "1") return true;
    if (v == "OFF" || v == "0") return false;
    fail(-224, "Illegal parameter value");
}

// One of the named choices ("POSitive|NEGative"), as its short form.
std::string choice(std::string_view p, std::initializer_list<const char*> names) {
    const std::string v(trim(p));
    if (v.empty()) fail(-109, "Missing parameter");
    for (const char* n : names)
        if (mnemonicMatches(n, v)) {
            std::string s;
            for (const char* c = n; *c; ++c)
                if (std::isupper(static_cast<unsigned char>(*c))) s += *c;
            return s;
        }
    fail(-224, "Illegal parameter value");
}

// A filter given as a frequency from `allowed` or THRough.
std::string filter(std::string_view p, std::initializer_list<double> allowed) {
    const std::string v = upper(trim(p));
    if (v.empty()) fail(-109, "Missing parameter");
    if (mnemonicMatches("THRough", v)) return "THR";
    double x = 0;
    std::string unit;
    if (!parseNumber(v, x, unit)) fail(-224, "Illegal parameter value");
    x *= frequencyUnit(unit);
    for (double a : allowed)
        if (std::abs(x - a) < 1e-6 * a) return numberText(a);
    fail(-224, "Illegal parameter value");
}

std::string block(const std::string& bytes) {
    const std::string n = std::to_string(bytes.size());
    std::string out = "#";
    out += std::to_string(n.size());
    out += n;
    out += bytes;
    return out;
}

}  // namespace

std::string canonicalHeader(std::string_view header) {
    const Instrument::Command* c = commandOf(headerTokens(trim(header)));
    return c ? c->key : std::string();
}

Instrument::Instrument(Faults faults, std::size_t memorySamples) : faults_(std::move(faults)), memorySamples_(memorySamples) {
    for (auto& r : faults_.reject) {
        const std::string key = canonicalHeader(r);
        if (!key.empty()) r = key;
    }
}

void Instrument::error(int code, std::string_view text) {
    // The event bit of the error's class: command, execution, device-dependent or query error.
    if (code <= -100 && code > -200) esr_ |= 0x20;
    else if (code <= -200 && code > -300) esr_ |= 0x10;
    else if (code <= -300 && code > -400) esr_ |= 0x08;
    else if (code <= -400 && code > -500) esr_ |= 0x04;
    if (errors_.size() >= kMaxErrors) {
        errors_.back() = {-350, "Queue overflow"};
        return;
    }
    errors_.emplace_back(code, std::string(text));
}

void Instrument::blockAbandoned() { error(-365, "Time out error"); }

StoredWaveform* Instrument::findWaveform(std::string_view name) {
    auto it = memory_.find(upper(name));
    return it == memory_.end() ? nullptr : &it->second;
}

std::string Instrument::execute(std::string_view message, std::string blk, bool hasBlock) {
    const std::string_view text = trim(message);
    if (text.empty()) return {};
    const std::string up = upper(text);
    const bool simulatorControl = up.starts_with("SIM") || up.starts_with(":SIM");
    if (!simulatorControl) {
        remote_ = true;
        std::string entry(message.substr(0, kMaxLogEntry));
        if (message.size() > kMaxLogEntry) entry += "...";
        if (hasBlock) entry += " <" + std::to_string(blk.size()) + " bytes>";
        for (logBytes_ += entry.size(); logBytes_ > kMaxLogBytes; log_.pop_front()) logBytes_ -= log_.front().size();
        log_.push_back(std::move(entry));
    }
    std::string reply;
    std::vector<std::string> prefix;  // where a header without a leading colon starts
    for (const std::string& raw : splitOutsideQuotes(text, ';')) {
        const std::string_view cmd = trim(raw);
        if (cmd.empty()) continue;
        std::size_t split = 0;
        while (split < cmd.size() && !std::isspace(static_cast<unsigned char>(cmd[split]))) ++split;
        std::string header(cmd.substr(0, split));
        const std::string_view params = trim(cmd.substr(split));
        const bool query = !header.empty() && header.back() == '?';
        if (query) header.pop_back();
        std::vector<std::string> path;
        if (header.starts_with("*")) {
            path = {upper(header)};
        } else {
            path = header.starts_with(":") ? std::vector<std::string>{} : prefix;
            for (auto& t : headerTokens(header)) path.push_back(t);
            // No header is this deep: a path that keeps growing from command to command would
            // make every later one slower.
            if (path.size() > kMaxPathDepth) {
                prefix.clear();
                error(-113, "Undefined header");
                continue;
            }
            prefix.assign(path.begin(), path.end() - (path.empty() ? 0 : 1));
        }
        std::string answer;
        try {
            answer = command(path, query, params, blk, hasBlock, !reply.empty());
        } catch (const Failure& f) {
            error(f.code, f.text);
            continue;
        }
        if (query) {
            if (faults_.garbage && !simulatorControl) answer = std::string("\x01\xfe\x00\x7fjunk\xff", 9);
            if (!reply.empty()) reply += ';';
            reply += answer;
            // One line of queries must not make an answer larger than memory can hold.
            if (reply.size() > maxReplyBytes()) {
                error(-430, "Query DEADLOCKED");
                break;
            }
        }
    }
    return reply.empty() ? reply : reply + "\n";
}

int Instrument::statusByte(bool messageAvailable) const {
    int stb = (errors_.empty() ? 0 : 0x04) | (messageAvailable ? 0x10 : 0) | ((esr_ & ese_) ? 0x20 : 0);
    if (stb & sre_ & ~0x40) stb |= 0x40;
    return stb;
}

// The IEEE 488.2 common commands.
std::string Instrument::common(const std::string& c, bool query, std::string_view params, bool answerWaiting) {
    auto registerValue = [&params](int mask) {
        double v = 0;
        std::string unit;
        if (trim(params).empty()) fail(-109, "Missing parameter");
        if (!parseNumber(params, v, unit) || !unit.empty()) fail(-104, "Data type error");
        if (v < 0 || v > 255) fail(-222, "Data out of range");
        return static_cast<int>(std::lround(v)) & mask;
    };
    if (query) {
        if (c == "*IDN") return kIdentity;
        if (c == "*OPC") return "1";
        if (c == "*TST") return "0";
        // The memory option the application's Configuration menu names.
        if (c == "*OPT") return memorySamples_ > (8u << 20) ? "002" : "001";
        if (c == "*ESE") return std::to_string(ese_);
        if (c == "*SRE") return std::to_string(sre_);
        if (c == "*STB") return std::to_string(statusByte(answerWaiting));
        if (c == "*ESR") {
            const int v = esr_;
            esr_ = 0;
            return std::to_string(v);
        }
    } else {
        if (c == "*RST") {
            s_ = Settings{};
            return {};
        }
        if (c == "*CLS") {
            errors_.clear();
            esr_ = 0;
            return {};
        }
        if (c == "*OPC") {
            esr_ |= 0x01;  // every operation here is complete when its command returns
            return {};
        }
        if (c == "*WAI") return {};
        if (c == "*ESE") {
            ese_ = registerValue(0xff);
            return {};
        }
        if (c == "*SRE") {
            sre_ = registerValue(0xbf);
            return {};
        }
    }
    fail(-113, "Undefined header");
}

std::string Instrument::command(const std::vector<std::string>& path, bool query, std::string_view params,
                                std::string& blk, bool hasBlock, bool answerWaiting) {
    if (path.size() == 1 && path[0].starts_with("*")) return common(path[0], query, params, answerWaiting);
    const Command* c = commandOf(path);
    if (!c) fail(-113, "Undefined header");
    if (std::find(faults_.reject.begin(), faults_.reject.end(), c->key) != faults_.reject.end())
        fail(-221, "Settings conflict");
    Request r{query, params, blk, hasBlock, c->key};
    return c->run(*this, r);
}

namespace {

std::string onOff(bool b) { return b ? "1" : "0"; }

// A command that has no query form, or a query that has no command form.
void commandOnly(const Instrument::Request& r) {
    if (r.query) fail(-113, "Undefined header");
}
void queryOnly(const Instrument::Request& r) {
    if (!r.query) fail(-113, "Undefined header");
}

}  // namespace

// The numeric settings take MINimum, MAXimum and DEFault, and their queries tell those values.
std::string Instrument::numeric(const Request& r, double Settings::*value, double low, double high,
                                double (*unit)(const std::string&)) {
    const std::string word(trim(r.params));
    std::optional<double> named;
    if (mnemonicMatches("MINimum", word)) named = low;
    else if (mnemonicMatches("MAXimum", word)) named = high;
    else if (mnemonicMatches("DEFault", word)) named = Settings{}.*value;
    if (r.query) {
        if (word.empty()) return numberText(s_.*value);
        if (!named) fail(-224, "Illegal parameter value");
        return numberText(*named);
    }
    s_.*value = named ? *named : number(r.params, low, high, unit);
    return {};
}

std::string Instrument::flag(const Request& r, bool Settings::*value) {
    if (r.query) return onOff(s_.*value);
    s_.*value = boolean(r.params);
    return {};
}

std::string Instrument::word(const Request& r, std::string Settings::*value, std::string (*parse)(std::string_view)) {
    if (r.query) return s_.*value;
    s_.*value = parse(r.params);
    return {};
}

std::string Instrument::errorNext(const Request& r) {
    queryOnly(r);
    if (errors_.empty()) return "0,\"No error\"";
    auto [code, text] = errors_.front();
    errors_.pop_front();
    return std::to_string(code) + ",\"" + text + "\"";
}

std::string Instrument::errorAll(const Request& r) {
    queryOnly(r);
    if (errors_.empty()) return "0,\"No error\"";
    std::string all;
    for (const auto& [code, text] : errors_) all += (all.empty() ? "" : ",") + std::to_string(code) + ",\"" + text + "\"";
    errors_.clear();
    return all;
}

std::string Instrument::arbState(const Request& r) {
    if (r.query) return onOff(s_.arbState);
    const bool on = boolean(r.params);
    if (on && s_.waveform.empty()) fail(-221, "Settings conflict");
    s_.arbState = on;
    return {};
}

std::string Instrument::arbWaveform(const Request& r) {
    if (r.query) return "\"arbi:" + s_.waveform + "\"";
    if (trim(r.params).empty()) fail(-109, "Missing parameter");
    const std::string target = unquote(r.params);
    if (!upper(target).starts_with("ARBI:")) fail(-224, "Illegal parameter value");
    const std::string name = target.substr(5);
    if (!findWaveform(name)) fail(-256, "File name not found");
    s_.waveform = names_[upper(name)];
    return {};
}

// MEMory:DATA and MEMory:DATA:MARKer: a waveform's I/Q words, then its markers, as blocks.
std::string Instrument::memoryData(Request& r) {
    commandOnly(r);
    const auto parts = splitOutsideQuotes(r.params, ',');
    if (parts.size() != 2 || trim(parts[1]) != "#" || !r.hasBlock) fail(-161, "Invalid block data");
    const std::string target = unquote(parts[0]);
    if (!upper(target).starts_with("ARBI:") || target.size() == 5) fail(-224, "Illegal parameter value");
    const std::string name = target.substr(5);
    if (r.key == "MEM:DATA") {
        if (r.block.empty() || r.block.size() % 4 != 0) fail(-161, "Invalid block data");
        std::size_t used = r.block.size() / 4;
        for (const auto& [n, w] : memory_)
            if (n != upper(name)) used += w.iq.size() / 4;
        if (used > memorySamples_) fail(-225, "Out of memory");
        memory_[upper(name)] = StoredWaveform{std::move(r.block), {}};
        names_[upper(name)] = name;
    } else {
        StoredWaveform* w = findWaveform(name);
        if (!w) fail(-256, "File name not found");
        if (r.block.size() != w->iq.size() / 4) fail(-161, "Invalid block data");
        w->markers = std::move(r.block);
    }
    return {};
}

std::string Instrument::memoryCatalog(const Request& r) {
    queryOnly(r);
    std::string list;
    for (const auto& [n, w] : names_) list += (list.empty() ? "\"" : ",\"") + w + "\"";
    return list.empty() ? "\"\"" : list;
}

std::string Instrument::memoryDelete(const Request& r) {
    commandOnly(r);
    const std::string name = unquote(r.params);
    const std::string bare = upper(name).starts_with("ARBI:") ? name.substr(5) : name;
    if (!findWaveform(bare)) fail(-256, "File name not found");
    if (s_.arbState && upper(s_.waveform) == upper(bare)) fail(-221, "Settings conflict");  // it is playing
    memory_.erase(upper(bare));
    names_.erase(upper(bare));
    return {};
}

// SIMulator:DATA? and SIMulator:DATA:MARKer?: the stored bytes, for tests.
std::string Instrument::simulatorData(const Request& r) {
    queryOnly(r);
    const StoredWaveform* w = findWaveform(unquote(r.params));
    if (!w) fail(-256, "File name not found");
    return block(r.key == "SIM:DATA" ? w->iq : w->markers);
}

const std::vector<Instrument::Command>& Instrument::commands() {
    using I = Instrument;
    using R = Request;
    static const std::vector<Command> tree = {
        {"SYSTem:ERRor[:NEXT]", "SYST:ERR", [](I& i, R& r) { return i.errorNext(r); }},
        {"SYSTem:ERRor:ALL", "SYST:ERR:ALL", [](I& i, R& r) { return i.errorAll(r); }},
        {"SYSTem:ERRor:COUNt", "SYST:ERR:COUN",
         [](I& i, R& r) {
             queryOnly(r);
             return std::to_string(i.errors_.size());
         }},
        {"SYSTem:VERSion", "SYST:VERS",
         [](I&, R& r) {
             queryOnly(r);
             return std::string("1999.0");
         }},
        {"SYSTem:LOCal", "SYST:LOC",
         [](I& i, R& r) {
             commandOnly(r);
             i.remote_ = false;
             return std::string();
         }},
        {"SYSTem:REMote", "SYST:REM",
         [](I&, R& r) {
             commandOnly(r);
             return std::string();
         }},
        {"[SOURce]:FREQuency[:CW|:FIXed]", "SOUR:FREQ:FIX",
         [](I& i, R& r) { return i.numeric(r, &Settings::frequency, 100e3, 6e9, frequencyUnit); }},
        {"[SOURce]:POWer[:LEVel][:IMMediate][:AMPLitude]", "SOUR:POW:LEV:IMM:AMPL",
         [](I& i, R& r) {
             return i.numeric(r, &Settings::power, -136, 20, [](const std::string& u) { return plain(u, "DBM"); });
         }},
        {"[SOURce]:POWer:ALC[:STATe]", "SOUR:POW:ALC:STAT", [](I& i, R& r) { return i.flag(r, &Settings::alc); }},
        {"[SOURce]:RADio:ARB[:STATe]", "SOUR:RAD:ARB:STAT", [](I& i, R& r) { return i.arbState(r); }},
        {"[SOURce]:RADio:ARB:WAVeform", "SOUR:RAD:ARB:WAV", [](I& i, R& r) { return i.arbWaveform(r); }},
        {"[SOURce]:RADio:ARB:CLOCk:SRATe", "SOUR:RAD:ARB:CLOC:SRAT",
         [](I& i, R& r) { return i.numeric(r, &Settings::sampleRate, 1, 100e6, frequencyUnit); }},
        {"[SOURce]:RADio:ARB:CLOCk:REFerence", "SOUR:RAD:ARB:CLOC:REF",
         [](I& i, R& r) {
             return i.word(r, &Settings::clockRef, [](std::string_view p) { return choice(p, {"INTernal", "EXTernal"}); });
         }},
        {"[SOURce]:RADio:ARB:RSCaling", "SOUR:RAD:ARB:RSC",
         [](I& i, R& r) {
             return i.numeric(r, &Settings::scaling, 1, 100, [](const std::string& u) { return plain(u, "PCT"); });
         }},
        {"[SOURce]:RADio:ARB:RFILter", "SOUR:RAD:ARB:RFIL",
         [](I& i, R& r) {
             return i.word(r, &Settings::rfilter, [](std::string_view p) { return filter(p, {250e3, 2.5e6, 8e6}); });
         }},
        {"[SOURce]:RADio:ARB:MARKer:RFBLank", "SOUR:RAD:ARB:MARK:RFBL",
         [](I& i, R& r) { return i.flag(r, &Settings::rfBlank); }},
        {"[SOURce]:RADio:ARB:MARKer:POLarity", "SOUR:RAD:ARB:MARK:POL",
         [](I& i, R& r) {
             return i.word(r, &Settings::polarity, [](std::string_view p) { return choice(p, {"POSitive", "NEGative"}); });
         }},
        {"[SOURce]:DM:BBFilter", "SOUR:DM:BBF",
         [](I& i, R& r) {
             return i.word(r, &Settings::bbFilter, [](std::string_view p) { return filter(p, {2.1e6, 40e6}); });
         }},
        {"[SOURce]:DM:IQATtenuation:AUTO", "SOUR:DM:IQAT:AUTO", [](I& i, R& r) { return i.flag(r, &Settings::iqAttAuto); }},
        {"[SOURce]:DM:IQATtenuation", "SOUR:DM:IQAT",
         [](I& i, R& r) {
             return i.numeric(r, &Settings::iqAtt, 0, 40, [](const std::string& u) { return plain(u, "DB"); });
         }},
        {"OUTPut[:STATe]", "OUTP:STAT", [](I& i, R& r) { return i.flag(r, &Settings::output); }},
        {"MEMory:DATA", "MEM:DATA", [](I& i, R& r) { return i.memoryData(r); }},
        {"MEMory:DATA:MARKer", "MEM:DATA:MARK", [](I& i, R& r) { return i.memoryData(r); }},
        {"MEMory:CATalog", "MEM:CAT", [](I& i, R& r) { return i.memoryCatalog(r); }},
        {"MEMory:DELete", "MEM:DEL", [](I& i, R& r) { return i.memoryDelete(r); }},
        {"SIMulator:STATe", "SIM:STAT",
         [](I& i, R& r) {
             queryOnly(r);
             return i.stateJson();
         }},
        {"SIMulator:DATA", "SIM:DATA", [](I& i, R& r) { return i.simulatorData(r); }},
        {"SIMulator:DATA:MARKer", "SIM:DATA:MARK", [](I& i, R& r) { return i.simulatorData(r); }},
        {"SIMulator:LOG:CLEar", "SIM:LOG:CLE",
         [](I& i, R& r) {
             commandOnly(r);
             i.log_.clear();
             i.logBytes_ = 0;
             return std::string();
         }},
    };
    return tree;
}

std::string Instrument::stateJson() const {
    using nlohmann::json;
    json memory = json::object();
    for (const auto& [key, w] : memory_)
        memory[names_.at(key)] = {{"samples", w.iq.size() / 4}, {"markers", !w.markers.empty()}};
    json errors = json::array();
    for (const auto& [code, text] : errors_) errors.push_back(std::to_string(code) + ",\"" + text + "\"");
    const json state = {
        {"identity", kIdentity},
        {"remote", remote_},
        {"frequency", s_.frequency},
        {"power", s_.power},
        {"alc", s_.alc},
        {"output", s_.output},
        {"arb",
         {{"state", s_.arbState},
          {"waveform", s_.waveform},
          {"sampleRate", s_.sampleRate},
          {"scaling", s_.scaling},
          {"reconstructionFilter", s_.rfilter},
          {"markerRfBlank", s_.rfBlank},
          {"markerPolarity", s_.polarity},
          {"clockReference", s_.clockRef}}},
        {"dm", {{"basebandFilter", s_.bbFilter}, {"iqAttenuationAuto", s_.iqAttAuto}, {"iqAttenuation", s_.iqAtt}}},
        {"errors", errors},
        {"memory", memory},
        {"log", log_},
        {"connections", connections},
    };
    return state.dump(-1, ' ', true, json::error_handler_t::replace);
}

}  // namespace sim
