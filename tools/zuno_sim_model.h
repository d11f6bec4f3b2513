#pragma once
// The simulated signal generator behind zuno-sim: its SCPI commands, settings, waveform memory,
// error queue and log (each client talks to it through a sim::Session).
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// Switches that make the instrument misbehave, for testing the link's failure paths.
struct Faults {
    bool refuse = false;                // no connection is accepted
    bool stall = false;                 // connections are accepted, then nothing is read or answered
    long long dropAfter = -1;           // a connection is closed after this many bytes
    std::vector<std::string> reject;    // headers answered with a settings conflict
    bool garbage = false;               // every query is answered with binary junk
};

struct StoredWaveform {
    std::string iq;       // big-endian 16-bit I, Q words as received
    std::string markers;  // one byte per sample, empty until markers arrive
};

class Instrument {
public:
    explicit Instrument(Faults faults = {}, std::size_t memorySamples = 32u << 20);

    // Runs one message (commands separated by ';'); `block` is the binary block the message
    // carried, if any. Returns the reply, ending in a newline, or nothing.
    std::string execute(std::string_view message, std::string block = {}, bool hasBlock = false);
    // Reported by a session when a link dropped an unfinished block.
    void blockAbandoned();
    // An error found while reading a message, before it could run, or by the link (-410, -420).
    void reportError(int code, std::string_view text) { error(code, text); }
    // The status byte: MAV when `messageAvailable`, EAV, ESB and MSS from the registers.
    int statusByte(bool messageAvailable) const;
    // Leaves remote control (a link's go-to-local).
    void goToLocal() { remote_ = false; }
    // The largest block a message may carry: the waveform memory in bytes.
    std::size_t maxBlockBytes() const { return memorySamples_ * 4; }
    // The longest answer to one message: the largest block plus room for the rest. The queries
    // of a message past it are dropped with -430 "Query DEADLOCKED".
    std::size_t maxReplyBytes() const { return maxBlockBytes() + (1 << 20); }

    // The whole state as one line of JSON.
    std::string stateJson() const;
    const Faults& faults() const { return faults_; }
    int connections = 0;

    // One command of the tree as a handler sees it; `block` may be taken.
    struct Request {
        bool query;
        std::string_view params;
        std::string& block;
        bool hasBlock;
        std::string_view key;
    };
    // A header pattern ("[SOURce]:FREQuency[:CW|:FIXed]": optional nodes in brackets, short
    // forms in capitals), its canonical form and what it does; a form the command lacks fails
    // with -113 "Undefined header".
    struct Command {
        const char* pattern;
        const char* key;
        std::string (*run)(Instrument&, Request&);
    };
    // The command tree, in the order headers are matched.
    static const std::vector<Command>& commands();

private:
    struct Settings {
        double frequency = 1e9;
        double power = -136;
        bool alc = true;
        bool output = false;
        bool arbState = false;
        std::string waveform;
        double sampleRate = 100e6;
        double scaling = 100;
        std::string rfilter = "THR";
        bool rfBlank = false;
        std::string polarity = "POS";
        std::string clockRef = "INT";
        std::string bbFilter = "THR";
        bool iqAttAuto = true;
        double iqAtt = 0;
    };

    std::string command(const std::vector<std::string>& path, bool query, std::string_view params, std::string& block,
                        bool hasBlock, bool answerWaiting);
    std::string common(const std::string& header, bool query, std::string_view params, bool answerWaiting);
    // The handlers the command tree shares.
    std::string numeric(const Request& r, double Settings::*value, double low, double high,
                        double (*unit)(const std::string&));
    std::string flag(const Request& r, bool Settings::*value);
    std::string word(const Request& r, std::string Settings::*value, std::string (*parse)(std::string_view));
    std::string errorNext(const Request& r);
    // Every queued error, oldest first, comma-separated; the queue is emptied.
    std::string errorAll(const Request& r);
    std::string arbState(const Request& r);
    std::string arbWaveform(const Request& r);
    std::string memoryData(Request& r);
    std::string memoryCatalog(const Request& r);
    std::string memoryDelete(const Request& r);
    std::string simulatorData(const Request& r);
    void error(int code, std::string_view text);
    StoredWaveform* findWaveform(std::string_view name);

    Faults faults_;
    std::size_t memorySamples_;
    Settings s_;
    bool remote_ = false;
    int esr_ = 0x80;  // standard event status; power-on set
    int ese_ = 0, sre_ = 0;
    std::deque<std::pair<int, std::string>> errors_;
    std::map<std::string, StoredWaveform> memory_;  // by upper-case name
    std::map<std::string, std::string> names_;      // upper-case name -> name as stored
    std::deque<std::string> log_;  // the latest messages, kMaxLogBytes in all
    std::size_t logBytes_ = 0;
};

// The canonical form of a header ("SOUR:FREQ:FIX" for ":source:freq:fix"), empty when unknown.
std::string canonicalHeader(std::string_view header);

}  // namespace sim
