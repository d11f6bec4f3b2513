#pragma once
// The simulated instrument over VXI-11: a portmapper that names the core channel's port, and the
// core channel, on which each link is a conversation of its own with the instrument. Bytes in,
// bytes out (RPC records), so that tests and fuzzing reach them without sockets.
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "hwio/onc_rpc.h"
#include "tools/zuno_sim_session.h"

namespace sim {

using Clock = std::chrono::steady_clock;

// One connection of RPC records.
class RpcChannel {
public:
    virtual ~RpcChannel() = default;
    // Takes the client's bytes; returns the reply records to send.
    std::string feed(const char* data, std::size_t n, Clock::time_point now);
    // The stream stopped being RPC (a record longer than any call here, or no call): once the
    // replies so far are sent, the connection closes.
    bool broken() const { return broken_; }
    // When a call that is waiting gives up; nothing while none waits.
    virtual std::optional<Clock::time_point> due() const { return std::nullopt; }
    // The replies of waiting calls that fell due, and of the calls queued behind them.
    std::string expire(Clock::time_point now);
    // Bytes held for the client: its unfinished record and calls not yet run, and what its
    // links' conversations hold.
    virtual std::size_t held() const { return input_.size() + reader_.held(); }

protected:
    explicit RpcChannel(std::size_t maxRecord) : reader_(maxRecord) {}
    // The reply to one call (its results, with the accept status), or nothing while it waits.
    virtual std::optional<std::string> answer(const hwio::rpc::Call& call, Clock::time_point now) = 0;
    // The reply of the call that waited, once it falls due at `now`.
    virtual std::optional<std::string> ripen(Clock::time_point) { return std::nullopt; }

private:
    std::string run(Clock::time_point now);

    hwio::rpc::RecordReader reader_;
    std::string input_;
    bool broken_ = false;
};

// Answers GETPORT for the core channel (TCP, version 1) with `corePort`, and nothing else.
class PortmapperChannel : public RpcChannel {
public:
    explicit PortmapperChannel(std::uint16_t corePort) : RpcChannel(1024), corePort_(corePort) {}

private:
    std::optional<std::string> answer(const hwio::rpc::Call& call, Clock::time_point now) override;
    std::uint16_t corePort_;
};

class CoreChannel : public RpcChannel {
public:
    // Writes carry at most `maxWrite` bytes; a link's reply is read in pieces of up to that too.
    CoreChannel(Instrument& instrument, std::uint32_t maxWrite);
    std::optional<Clock::time_point> due() const override;
    std::size_t held() const override;
    // The longest a read waits for a reply, whatever time-out the client asks: a wait ties up
    // the link's connection, and nothing here answers late.
    static constexpr std::chrono::milliseconds kMaxIoTimeout{10000};

private:
    struct Waiting {
        std::uint32_t xid;
        Clock::time_point due;
    };

    std::optional<std::string> answer(const hwio::rpc::Call& call, Clock::time_point now) override;
    std::optional<std::string> ripen(Clock::time_point now) override;
    std::string createLink(hwio::rpc::XdrReader& args);
    std::optional<std::string> read(Exchange& link, hwio::rpc::XdrReader& args, std::uint32_t xid,
                                    Clock::time_point now);

    Instrument& inst_;
    std::uint32_t maxWrite_;
    std::map<std::int32_t, std::unique_ptr<Exchange>> links_;  // a link ends with its connection
    std::int32_t nextLink_ = 1;
    std::optional<Waiting> waiting_;
};

}  // namespace sim
