#include "tools/zuno_sim_session.h"

#include <algorithm>

namespace sim {

std::string Session::feed(const char* data, std::size_t n) {
    std::string replies;
    feed(data, n, replies, std::string::npos);
    return replies;
}

std::size_t Session::feed(const char* data, std::size_t n, std::string& replies, std::size_t maxReplies) {
    std::size_t i = 0;
    while (i < n && replies.size() < maxReplies) {
        if (state_ == State::BlockData) {
            const std::size_t take = std::min(blockLeft_, n - i);
            if (!dropBlock_) block_.append(data + i, take);
            blockLeft_ -= take;
            i += take;
            if (blockLeft_ == 0) state_ = State::Text;
            continue;
        }
        text(data[i++], replies);
    }
    return i;
}

void Session::text(char c, std::string& replies) {
    switch (state_) {
        case State::Discard:
            if (c == '\n') endMessage(replies);
            return;
        case State::Quoted:
            if (c == quote_) state_ = State::Text;
            append(c);
            return;
        case State::BlockDigits:
            if (c >= '1' && c <= '9') {
                lengthDigits_ = static_cast<std::size_t>(c - '0');
                length_.clear();
                state_ = State::BlockLength;
                return;
            }
            state_ = State::Text;  // not a block after all: "#" was text
            break;
        case State::BlockLength:
            if (c >= '0' && c <= '9') {
                length_ += c;
                if (length_.size() == lengthDigits_) startBlock();
                return;
            }
            // Not a block header: what was taken for one is text.
            state_ = State::Text;
            append(static_cast<char>('0' + lengthDigits_));
            for (const char d : length_) append(d);
            break;
        case State::Text:
        case State::BlockData:
            break;
    }
    if (state_ == State::Discard) return;  // the header's digits overflowed the line
    if (c == '\n') {
        endMessage(replies);
        return;
    }
    append(c);
    if (state_ != State::Text) return;
    if (c == '"' || c == '\'') {
        quote_ = c;
        state_ = State::Quoted;
    } else if (c == '#' && !hasBlock_) {
        state_ = State::BlockDigits;
    }
}

void Session::append(char c) {
    if (line_.size() < kMaxLine) {
        line_ += c;
        return;
    }
    inst_.reportError(-223, "Too much data");
    line_.clear();
    block_.clear();
    state_ = State::Discard;
}

void Session::startBlock() {
    const std::size_t length = std::stoull(length_);
    hasBlock_ = true;
    blockLeft_ = length;
    state_ = length > 0 ? State::BlockData : State::Text;
    // The declared length is checked before any memory is set aside for it; what arrives is
    // kept as it comes.
    dropBlock_ = length > inst_.maxBlockBytes();
    if (dropBlock_) {
        inst_.reportError(-225, "Out of memory");
        refused_ = true;
        return;
    }
    block_.clear();
    block_.reserve(std::min<std::size_t>(length, 1 << 20));
}

void Session::endMessage(std::string& replies) {
    if (state_ != State::Discard && !refused_) replies += inst_.execute(line_, std::move(block_), hasBlock_);
    line_.clear();
    block_.clear();
    hasBlock_ = false;
    dropBlock_ = false;
    refused_ = false;
    state_ = State::Text;
}

void Session::endOfMessage(std::string& replies) {
    if (state_ == State::BlockData) return;  // the block's length, not END, says where it ends
    if (state_ == State::Discard || !line_.empty() || hasBlock_) endMessage(replies);
}

void Session::reset() {
    if (state_ == State::BlockData) inst_.blockAbandoned();
    line_.clear();
    block_.clear();
    hasBlock_ = false;
    blockLeft_ = 0;
    dropBlock_ = false;
    refused_ = false;
    state_ = State::Text;
}


void Exchange::take(const char* data, std::size_t n, bool end) {
    if (!in.empty() || out.size() >= kMaxPendingReply) {
        in.append(data, n);
        endAfterIn = endAfterIn || end;
        return;
    }
    const std::size_t used = session.feed(data, n, out, kMaxPendingReply);
    if (used < n) {
        in.append(data + used, n - used);
        endAfterIn = end;
    } else if (end) {
        session.endOfMessage(out);
    }
}

void Exchange::resume() {
    if (in.empty() || out.size() >= kMaxPendingReply) return;
    const std::string waiting = std::move(in);
    const bool end = endAfterIn;
    in.clear();
    endAfterIn = false;
    take(waiting.data(), waiting.size(), end);
}

}  // namespace sim
