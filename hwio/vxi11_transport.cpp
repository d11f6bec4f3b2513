// SCPI over VXI-11: the portmapper names the core channel's port, and a link on the core channel
// carries the messages (device_write with END on the last byte, device_read until END).
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "hwio/onc_rpc.h"
#include "hwio/transport.h"

namespace hwio {

namespace {

constexpr std::size_t kMaxReplyRecord = 16 << 20;
constexpr double kGoodbyeSeconds = 0.2;  // for the courtesies after a failure or a cancel

std::int32_t milliseconds(double seconds) {
    return static_cast<std::int32_t>(std::clamp(seconds * 1000, 0.0, 2147483647.0));
}

// One TCP connection that carries RPC calls, one at a time.
class RpcConnection {
public:
    RpcConnection(int fd, std::string what) : fd_(fd), what_(std::move(what)) {}
    ~RpcConnection() { ::close(fd_); }
    RpcConnection(const RpcConnection&) = delete;
    RpcConnection& operator=(const RpcConnection&) = delete;

    // The results of a successful call. `data`, when given, follows `arguments` as the call's
    // last field (opaque), sent from where it is.
    std::string call(std::uint32_t program, std::uint32_t version, std::uint32_t procedure, const std::string& arguments,
                     const std::string_view* data, const Wait& wait) {
        const std::uint32_t xid = ++xid_;
        std::string head = rpc::callHeader(xid, program, version, procedure) + arguments;
        std::size_t length = head.size();
        if (data) {
            head += rpc::XdrWriter().u32(static_cast<std::uint32_t>(data->size())).bytes();
            length += 4 + data->size() + rpc::padding(data->size());
        }
        send(rpc::recordMark(length) + head, wait);
        if (data) {
            send(*data, wait);
            send(std::string(rpc::padding(data->size()), '\0'), wait);
        }
        while (true) {
            const std::string record = receive(wait);
            rpc::Reply r;
            try {
                r = rpc::parseReply(record);
            } catch (const rpc::XdrError& e) {
                throw LinkError(kBadReply, "The answer of " + what_ + " is not an RPC reply (" + e.what() + ")");
            }
            if (r.xid != xid) continue;  // the late answer to a call given up earlier
            if (r.status != rpc::kSuccess)
                throw LinkError(kBadReply, what_ + " refused the call (RPC status " + std::to_string(r.status) +
                                               "); it may not serve VXI-11");
            return std::string(r.results);
        }
    }

    const std::string& what() const { return what_; }

private:
    void send(std::string_view bytes, const Wait& wait) {
        while (!bytes.empty()) {
            if (waitFor(fd_, POLLOUT, after(wait.timeout), wait.stop) == 0)
                throw LinkError(kTimeout, what_ + " took no data for " + seconds(wait.timeout));
            const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (n < 0) {
                if (errno == EINTR || errno == EAGAIN) continue;
                const int err = errno;
                throw LinkError(kConnectionLost, what_ + " closed the connection (" + std::strerror(err) + ")",
                                err == ECONNRESET || err == EPIPE);
            }
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
    }

    std::string receive(const Wait& wait) {
        rpc::RecordReader reader(kMaxReplyRecord);
        while (true) {
            while (!pending_.empty() && !reader.ready()) {
                std::size_t used = 0;
                try {
                    used = reader.feed(pending_.data(), pending_.size());
                } catch (const rpc::XdrError& e) {
                    throw LinkError(kBadReply, "The answer of " + what_ + " is not an RPC reply (" + e.what() + ")");
                }
                pending_.erase(0, used);
            }
            if (reader.ready()) return reader.take();
            // The time-out runs from the last byte that arrived.
            if (waitFor(fd_, POLLIN, after(wait.timeout), wait.stop) == 0)
                throw LinkError(kTimeout, what_ + " sent no answer in time");
            char buffer[65536];
            const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n > 0) {
                pending_.append(buffer, static_cast<std::size_t>(n));
                continue;
            }
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            const int err = n < 0 ? errno : 0;
            throw LinkError(kConnectionLost,
                            what_ + " closed the connection" + (err ? " (" + std::string(std::strerror(err)) + ")" : ""),
                            err == ECONNRESET);
        }
    }

    int fd_;
    std::string what_;
    std::uint32_t xid_ = 0;
    std::string pending_;  // bytes received after the last record
};

class Vxi11Transport : public Transport {
public:
    Vxi11Transport(const Endpoint& e, const Options& o)
        : where_("the instrument at " + e.host + " (VXI-11 device " + e.device + ")") {
        const Wait wait{o.timeout, o.stop};
        const std::uint16_t portmapperPort = e.portGiven ? e.port : o.portmapperPort;
        const std::uint16_t core = corePort(e.host, portmapperPort, wait);
        const std::string what = where_ + ", core channel port " + std::to_string(core);
        core_ = std::make_unique<RpcConnection>(
            connectTcp(e.host, core, what, "Check that the instrument is on and serves VXI-11.", wait), where_);
        rpc::XdrWriter args;
        args.i32(static_cast<std::int32_t>(::getpid())).u32(0).u32(0).opaque(e.device);
        try {
            rpc::XdrReader r = results(rpc::kCreateLink, args.bytes(), nullptr, wait);
            const std::int32_t error = r.i32();
            if (error != rpc::kNoError) {
                healthy_ = false;
                throw LinkError(kConnectFailed, where_ + " refused a link (" + rpc::deviceErrorText(error) +
                                                    "); check the device name in TCPIP.address.");
            }
            link_ = r.i32();
            r.u32();  // the abort channel's port: an operation here is ended by closing the link instead
            maxWrite_ = std::clamp<std::size_t>(r.u32(), 64, std::size_t{1} << 30);
        } catch (const rpc::XdrError& x) {
            badReply("create_link", x);
        } catch (const LinkError& x) {
            if (x.status() == kTimeout)
                throw LinkError(kTimeout, where_ + " did not answer create_link within " + seconds(o.timeout) + ".");
            throw;
        }
    }

    ~Vxi11Transport() override {
        if (!healthy_) return;
        try {
            rpc::XdrWriter args;
            args.i32(link_);
            core_->call(rpc::kCore, rpc::kCoreVersion, rpc::kDestroyLink, args.bytes(), nullptr,
                        Wait{kGoodbyeSeconds, {}});
        } catch (const LinkError&) {
            // Closing the connection ends the link as well.
        }
    }

    void write(std::string_view bytes, bool last, const Wait& wait) override {
        do {
            const std::string_view chunk = bytes.substr(0, maxWrite_);
            const bool end = last && chunk.size() == bytes.size();
            rpc::XdrWriter args;
            args.i32(link_).i32(milliseconds(wait.timeout)).i32(0).i32(end ? rpc::kFlagEnd : 0);
            std::int32_t error = 0;
            std::uint32_t taken = 0;
            try {
                rpc::XdrReader r = results(rpc::kDeviceWrite, args.bytes(), &chunk, wait);
                error = r.i32();
                taken = r.u32();
            } catch (const rpc::XdrError& x) {
                badReply("device_write", x);
            }
            if (error == rpc::kIoTimeout || (error == rpc::kNoError && taken == 0 && !chunk.empty()))
                throw LinkError(kTimeout, where_ + " took no data for " + seconds(wait.timeout));
            fail(error, "device_write");
            bytes.remove_prefix(std::min<std::size_t>(taken, chunk.size()));
        } while (!bytes.empty());
    }

    std::size_t read(char* buffer, std::size_t n, const Wait& wait) override {
        const auto deadline = after(wait.timeout);
        while (true) {
            const double left = std::chrono::duration<double>(deadline - Clock::now()).count();
            if (left <= 0) throw LinkError(kTimeout, where_ + " sent no answer in time");
            rpc::XdrWriter args;
            // One byte held back: a message that ends without a line end gets one.
            args.i32(link_).u32(static_cast<std::uint32_t>(std::max<std::size_t>(n, 2) - 1));
            args.i32(milliseconds(left)).i32(0).i32(0).i32(0);
            std::int32_t error = 0, reason = 0;
            std::string_view data;
            try {
                rpc::XdrReader r = results(rpc::kDeviceRead, args.bytes(), nullptr, Wait{left, wait.stop});
                error = r.i32();
                reason = r.i32();
                data = r.opaque(n - 1);
            } catch (const rpc::XdrError& x) {
                badReply("device_read", x);
            }
            if (error == rpc::kIoTimeout && data.empty()) throw LinkError(kTimeout, where_ + " sent no answer in time");
            fail(error, "device_read");
            std::copy(data.begin(), data.end(), buffer);
            std::size_t got = data.size();
            // END closes the message: to the SCPI layer that is the end of the line.
            if ((reason & rpc::kReasonEnd) && (data.empty() || data.back() != '\n')) buffer[got++] = '\n';
            if (got > 0) return got;
        }
    }

    void goToLocal(const Wait& wait) override {
        rpc::XdrWriter args;
        args.i32(link_).i32(0).i32(0).i32(milliseconds(wait.timeout));
        try {
            fail(results(rpc::kDeviceLocal, args.bytes(), nullptr, wait).i32(), "device_local");
        } catch (const rpc::XdrError& x) {
            badReply("device_local", x);
        }
    }

    // Clears the instrument's input and output, without waiting long: the operation was ended.
    void abandon() override {
        if (!healthy_) return;
        healthy_ = false;
        try {
            rpc::XdrWriter args;
            args.i32(link_).i32(0).i32(0).i32(milliseconds(kGoodbyeSeconds));
            core_->call(rpc::kCore, rpc::kCoreVersion, rpc::kDeviceClear, args.bytes(), nullptr,
                        Wait{kGoodbyeSeconds, {}});
        } catch (const LinkError&) {
        }
    }

    std::string where() const override { return where_; }

private:
    std::uint16_t corePort(const std::string& host, std::uint16_t port, const Wait& wait) {
        const std::string what = "the portmapper at " + host + " port " + std::to_string(port);
        RpcConnection pm(connectTcp(host, port, what,
                                    "Check the address and that the instrument is on and serves VXI-11; otherwise "
                                    "use its raw socket, TCPIP0::host::5025::SOCKET.",
                                    wait),
                         what);
        rpc::XdrWriter args;
        args.u32(rpc::kCore).u32(rpc::kCoreVersion).u32(rpc::kProtocolTcp).u32(0);
        std::uint32_t found = 0;
        try {
            const std::string results =
                pm.call(rpc::kPortmapper, rpc::kPortmapperVersion, rpc::kGetPort, args.bytes(), nullptr, wait);
            found = rpc::XdrReader(results).u32();
        } catch (const rpc::XdrError& e) {
            throw LinkError(kBadReply, "The answer of " + what + " is not a port (" + e.what() + ")");
        }
        if (found == 0 || found > 65535)
            throw LinkError(kConnectFailed, "The instrument at " + host + " serves no VXI-11 core channel (" + what +
                                                " knows none). Use its raw socket, TCPIP0::host::5025::SOCKET.");
        return static_cast<std::uint16_t>(found);
    }

    // The results of a core channel call; a link that failed is not used for courtesies.
    rpc::XdrReader results(std::uint32_t procedure, const std::string& args, const std::string_view* data,
                           const Wait& wait) {
        try {
            last_ = core_->call(rpc::kCore, rpc::kCoreVersion, procedure, args, data, wait);
        } catch (const LinkError&) {
            healthy_ = false;
            throw;
        }
        return rpc::XdrReader(last_);
    }

    [[noreturn]] void badReply(const char* call, const rpc::XdrError& e) {
        healthy_ = false;
        throw LinkError(kBadReply, "The answer of " + where_ + " to " + call + " is not readable (" + e.what() + ")");
    }

    void fail(std::int32_t error, const char* call) {
        if (error == rpc::kNoError) return;
        healthy_ = false;
        throw LinkError(kConnectionLost, where_ + " answered " + call + " with VXI-11 error " + std::to_string(error) +
                                             " (" + rpc::deviceErrorText(error) + ")");
    }

    std::string where_;
    std::unique_ptr<RpcConnection> core_;
    std::string last_;  // the results being read
    std::int32_t link_ = 0;
    std::size_t maxWrite_ = 1024;
    bool healthy_ = true;
};

}  // namespace

std::unique_ptr<Transport> openVxi11(const Endpoint& endpoint, const Options& options) {
    return std::make_unique<Vxi11Transport>(endpoint, options);
}

}  // namespace hwio
