#pragma once
// One client's conversation with the simulated instrument: bytes in, replies out.
#include <cstddef>
#include <string>

#include "tools/zuno_sim_model.h"

namespace sim {

// Cuts one link's byte stream into messages, taking definite-length blocks (#<n><length><bytes>)
// byte for byte, and hands each message to the instrument. Every byte is looked at once, and
// what a client can make it hold is bounded: a message line by kMaxLine (beyond it the
// instrument reports -223 "Too much data" and the rest of the line is dropped), a block by the
// instrument's memory (a larger one is dropped unread and reported as -225 "Out of memory").
class Session {
public:
    static constexpr std::size_t kMaxLine = 64 * 1024;

    explicit Session(Instrument& instrument) : inst_(instrument) {}
    // Takes bytes until all `n` are taken or, at the end of a message, `replies` has grown to
    // `maxReplies` or more; appends the replies to what completed and returns the bytes taken.
    // The rest waits for the client to read what it asked for.
    std::size_t feed(const char* data, std::size_t n, std::string& replies, std::size_t maxReplies);
    // Takes all `n` bytes; returns the replies.
    std::string feed(const char* data, std::size_t n);
    bool inBlock() const { return state_ == State::BlockData; }
    // Bytes of the unfinished message.
    std::size_t held() const { return line_.size() + block_.size(); }
    // The link marked the end of a message (VXI-11's END): a message without its line end runs.
    void endOfMessage(std::string& replies);
    // Forgets an unfinished message (the link dropped or paused in the middle of a block).
    void reset();

private:
    enum class State { Text, Quoted, BlockDigits, BlockLength, BlockData, Discard };

    void text(char c, std::string& replies);
    void append(char c);
    void endMessage(std::string& replies);
    void startBlock();

    Instrument& inst_;
    State state_ = State::Text;
    std::string line_;
    char quote_ = 0;
    std::size_t lengthDigits_ = 0;  // of the block header being read
    std::string length_;
    std::string block_;
    bool hasBlock_ = false;
    std::size_t blockLeft_ = 0;
    bool dropBlock_ = false;  // a block too large to hold is skipped, not stored
    bool refused_ = false;    // the message already failed; it is not run
};

// A client's stream around its session: bytes that wait to be taken while too many replies are
// unread, and the replies not yet read.
struct Exchange {
    // Replies waiting for a client that does not read them; past this, its commands wait too.
    static constexpr std::size_t kMaxPendingReply = 4 << 20;

    explicit Exchange(Instrument& instrument) : session(instrument) {}
    // Takes what arrived as far as the replies leave room; the rest waits in `in`. `end` marks
    // the end of a message after these bytes.
    void take(const char* data, std::size_t n, bool end = false);
    // Takes what waited, once the client read some replies.
    void resume();
    // Whether more input can be taken now.
    bool accepting() const { return in.empty() && out.size() < kMaxPendingReply; }
    // Bytes held for the client, both ways.
    std::size_t held() const { return session.held() + in.size() + out.size(); }

    Session session;
    std::string in, out;
    bool endAfterIn = false;
};

}  // namespace sim
