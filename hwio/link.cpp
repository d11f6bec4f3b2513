// The five operations: SCPI lines, the error queue and the download blocks over any transport.
#include "hwio/link.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <vector>

#include "hwio/transport.h"
#include "host/core/text.h"

namespace hwio {

namespace {

constexpr std::size_t kMaxReply = 64 * 1024;
constexpr int kMaxErrorReads = 32;  // a queue longer than any instrument keeps

std::string quoted(std::string_view s) {
    std::string out = "\"";
    for (char c : s) out += c == '\n' ? ' ' : c;
    return out + "\"";
}

}  // namespace

class Session {
public:
    Session(Transport& t, const Options& o) : t_(t), o_(o), wait_{o.timeout, o.stop} {}

    void report(Stage stage, std::size_t done = 0, std::size_t total = 0) const {
        if (o_.progress) o_.progress(stage, done, total);
    }

    void line(std::string_view text) {
        report(Stage::Sending);
        std::string out(text);
        out += '\n';
        write(out, true, "sending " + quoted(text));
    }

    void write(std::string_view bytes, bool last, const std::string& doing) {
        try {
            t_.write(bytes, last, wait_);
        } catch (const LinkError& e) {
            fail(e, doing);
        }
    }

    // One reply line without its end; only printable text counts as an answer. The time-out
    // runs from the last byte that arrived.
    std::string readLine(std::string_view question) {
        report(Stage::Waiting);
        while (true) {
            const auto end = buffer_.find('\n');
            if (end != std::string::npos) {
                std::string reply = buffer_.substr(0, end);
                buffer_.erase(0, end + 1);
                if (!reply.empty() && reply.back() == '\r') reply.pop_back();
                checkText(reply, question);
                return reply;
            }
            if (buffer_.size() > kMaxReply)
                throw LinkError(kBadReply, "The answer of " + t_.where() + " to " + quoted(question) +
                                               " is longer than " + std::to_string(kMaxReply) +
                                               " bytes without an end of line; it is not a reply this link expects.");
            char chunk[16384];
            try {
                buffer_.append(chunk, t_.read(chunk, sizeof chunk, wait_));
            } catch (const LinkError& e) {
                if (e.status() == kTimeout)
                    throw LinkError(kTimeout, t_.where() + " did not answer " + quoted(question) + " within " +
                                                  seconds(o_.timeout) + ".");
                fail(e, "waiting for the answer to " + quoted(question));
            }
            // An answer: the instrument read everything sent before the question.
            unconfirmed_.clear();
        }
    }

    std::string query(std::string_view q) {
        line(q);
        return readLine(q);
    }

    void local() {
        report(Stage::Sending);
        try {
            t_.goToLocal(wait_);
        } catch (const LinkError& e) {
            fail(e, "returning the instrument to local control");
        }
    }

    // The instrument's error queue, read until it reports no error; the entries that are errors.
    std::vector<std::string> errors() {
        std::vector<std::string> found;
        for (int i = 0; i < kMaxErrorReads; ++i) {
            const std::string reply = query(":SYSTem:ERRor?");
            long code = 0;
            if (!parseErrorCode(reply, code))
                throw LinkError(kBadReply, "The answer of " + t_.where() + " to :SYSTem:ERRor? is not an error report: " +
                                               quoted(reply.substr(0, 80)) + ".");
            if (code == 0) {
                lastNoError_ = reply;
                return found;
            }
            found.push_back(reply);
        }
        return found;
    }

    // Throws kInstrumentError with the instrument's own texts when its queue holds errors.
    void check() {
        const auto errs = errors();
        if (errs.empty()) return;
        std::string text = "The instrument reported: ";
        for (std::size_t i = 0; i < errs.size(); ++i) text += (i ? "; " : "") + errs[i];
        throw LinkError(kInstrumentError, text);
    }

    // What was sent whose arrival no answer has shown yet; named when the link drops before one.
    void sentUnconfirmed(std::string what) { unconfirmed_ = std::move(what); }

    const std::string& noErrorText() const { return lastNoError_; }
    Transport& transport() { return t_; }

private:
    [[noreturn]] void fail(const LinkError& e, const std::string& doing) const {
        // A reset after a transfer says that the instrument dropped part of it: the transfer,
        // not the question after it, is where the link broke.
        if (e.status() == kConnectionLost && e.unread() && !unconfirmed_.empty())
            throw LinkError(e.status(), std::string(e.what()) + " before it had read all of " + unconfirmed_ + ".");
        throw LinkError(e.status(), std::string(e.what()) + " while " + doing + ".");
    }

    void checkText(const std::string& reply, std::string_view question) const {
        for (unsigned char c : reply)
            if ((c < 0x20 && c != '\t') || c >= 0x7f)
                throw LinkError(kBadReply, "The answer of " + t_.where() + " to " + quoted(question) +
                                               " is not readable text (" + std::to_string(reply.size()) +
                                               " bytes); check that the address names a signal generator.");
    }

    static bool parseErrorCode(const std::string& reply, long& code) {
        const char* p = reply.c_str();
        while (*p == ' ') ++p;
        char* end = nullptr;
        code = std::strtol(p, &end, 10);
        if (end == p) return false;
        while (*end == ' ') ++end;
        return *end == ',' || *end == '\0';
    }

    Transport& t_;
    const Options& o_;
    const Wait wait_;
    std::string buffer_;
    std::string unconfirmed_;
    std::string lastNoError_ = "0,\"No error\"";
};

namespace {

std::unique_ptr<Transport> open(const Config& config, const Options& options) {
    const std::string type = host::toLower(config.type);
    if (type == "tcpip") {
        if (!config.TCPIP || !config.TCPIP->address)
            throw LinkError(kBadArgument, "The link is TCP/IP but the settings hold no TCPIP.address.");
        return openTcp(*config.TCPIP->address, options);
    }
    if (type == "rs232") return openSerial(config, options);
    if (type == "gpib") return openGpib(config, options);
    throw LinkError(kBadArgument, "The link type \"" + config.type + "\" is not GPIB, RS232 or TCPIP.");
}

std::string blockHeader(std::size_t bytes) {
    const std::string n = std::to_string(bytes);
    std::string header = "#";
    header += std::to_string(n.size());
    header += n;
    return header;
}

void checkName(const std::string& name) {
    if (name.empty()) throw LinkError(kBadArgument, "The waveform has no name; enter a waveform title.");
    for (unsigned char c : name)
        if (c < 0x20 || c >= 0x7f || c == '"')
            throw LinkError(kBadArgument, "The waveform name " + quoted(name) +
                                              " holds a character the instrument cannot store in a name.");
}

Result download(Session& s, const Waveform& w, const Options& o) {
    const std::size_t n = w.iq.size();
    std::string iq, markers;
    try {
        iq = iqBytes(w.iq, w.norm, w.scale);
    } catch (const std::invalid_argument& e) {
        throw LinkError(kBadArgument, e.what());
    }
    markers = markerBytes(w.marker1, w.marker2, n);

    const std::size_t total = iq.size() + markers.size();
    std::size_t sent = 0;
    const std::size_t piece = std::max<std::size_t>(o.pieceBytes, 1);
    auto sendBlock = [&](const std::string& header, const std::string& body, const char* what) {
        s.write(header + blockHeader(body.size()), false, std::string("starting the ") + what);
        for (std::size_t at = 0; at < body.size(); at += piece) {
            s.report(Stage::Sending, sent, total);
            const std::size_t len = std::min(piece, body.size() - at);
            s.write(std::string_view(body).substr(at, len), false,
                    std::string("sending the ") + what + " (" + std::to_string(sent) + " of " + std::to_string(total) +
                        " bytes sent)");
            sent += len;
        }
        s.write("\n", true, std::string("ending the ") + what);
    };
    const std::string target = " \"arbi:" + w.name + "\",";
    try {
        sendBlock(":MEMory:DATA" + target, iq, "waveform");
        sendBlock(":MEMory:DATA:MARKer" + target, markers, "markers");
    } catch (const LinkError&) {
        s.transport().abandon();
        throw;
    }
    s.report(Stage::Sending, total, total);
    s.sentUnconfirmed("the waveform and markers (" + std::to_string(total) + " bytes)");
    const std::string opc = s.query("*OPC?");
    if (opc != "1" && opc != "+1")
        throw LinkError(kBadReply, "The answer of " + s.transport().where() + " to *OPC? after the download is " +
                                       quoted(opc.substr(0, 80)) + ", not 1.");
    s.check();
    return {kOk, "Waveform " + quoted(w.name) + " stored: " + std::to_string(n) + " samples with markers."};
}

void checkWaveform(const Waveform& w) {
    const std::size_t n = w.iq.size();
    checkName(w.name);
    if (n == 0) throw LinkError(kBadArgument, "The waveform holds no samples; calculate it first.");
    for (const auto* m : {&w.marker1, &w.marker2})
        if (!m->empty() && m->size() != n)
            throw LinkError(kBadArgument, "The markers hold " + std::to_string(m->size()) + " values for " +
                                              std::to_string(n) + " samples.");
}

Result operate(Session& s, std::int32_t code, std::string_view text, const Waveform* waveform, const Options& options) {
    if ((code == kSend || code == kQuery || code == kDownload) && options.clearErrors) {
        // Errors another client left in the queue are not this operation's.
        s.line("*CLS");
    }
    switch (code) {
        case kPing:
            return {kOk, s.query("*IDN?")};
        case kSend:
            s.line(text);
            s.check();
            return {kOk, s.noErrorText()};
        case kQuery: {
            std::string reply;
            try {
                reply = s.query(text);
            } catch (const LinkError& e) {
                if (e.status() != kTimeout) throw;
                // A query the instrument refused leaves no answer but an entry in its error queue.
                std::vector<std::string> errs;
                try {
                    errs = s.errors();
                } catch (const LinkError&) {
                    throw e;
                }
                if (errs.empty()) throw;
                throw LinkError(kInstrumentError, std::string(e.what()) + " The instrument reported: " + errs.front());
            }
            s.check();
            return {kOk, reply};
        }
        case kDownload:
            return download(s, *waveform, options);
        case kLocal:
            s.local();
            return {kOk, ""};
    }
    throw std::invalid_argument("unknown operation code");
}

}  // namespace

Link::Link(Config config, Options options) : config_(std::move(config)), options_(std::move(options)) {}

Link::~Link() = default;

Result Link::perform(std::int32_t code, std::string_view text, const Waveform* waveform) {
    if (code == kDownload) checkWaveform(*waveform);
    if (!session_) {
        if (options_.progress) options_.progress(Stage::Connecting, 0, 0);
        try {
            transport_ = open(config_, options_);
        } catch (const LinkError& e) {
            if (e.status() == kCancelled) throw LinkError(kCancelled, "cancelled while connecting to the instrument.");
            throw;
        }
        session_ = std::make_unique<Session>(*transport_, options_);
    }
    return operate(*session_, code, text, waveform, options_);
}

Result Link::run(std::int32_t code, std::string_view text, const Waveform* waveform) {
    if (code < kPing || code > kLocal)
        throw std::invalid_argument("hwIO: operation code " + std::to_string(code) + " is not 1 to 5");
    if (code == kDownload && !waveform) throw std::invalid_argument("hwIO: operation 4 needs a waveform");
    try {
        return perform(code, text, waveform);
    } catch (const LinkError& e) {
        // Only an answer the instrument gave, or a request refused before anything was sent,
        // leaves the connection in step with the instrument.
        if (e.status() != kInstrumentError && e.status() != kBadArgument) {
            session_.reset();
            transport_.reset();
        }
        std::string message = e.what();
        if (!message.empty()) message[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(message[0])));
        return {e.status(), message};
    }
}

Result hwIO(std::int32_t code, const Config& config, std::string_view text, const Waveform* waveform,
            const Options& options) {
    return Link(config, options).run(code, text, waveform);
}

}  // namespace hwio
