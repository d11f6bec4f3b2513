#pragma once
// The byte links under the SCPI layer, and the error every link failure becomes.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <stop_token>
#include <string>
#include <string_view>

#include "hwio/link.h"

namespace hwio {

class LinkError : public std::runtime_error {
public:
    // `unread`: the instrument dropped the link with bytes it had not read (a reset), so what
    // was sent last did not all arrive.
    LinkError(std::int32_t status, const std::string& message, bool unread = false)
        : std::runtime_error(message), status_(status), unread_(unread) {}
    std::int32_t status() const { return status_; }
    bool unread() const { return unread_; }

private:
    std::int32_t status_;
    bool unread_;
};

using Clock = std::chrono::steady_clock;

// How long a step may wait with nothing moving, and what ends it early.
struct Wait {
    double timeout = 10;
    std::stop_token stop;
};

Clock::time_point after(double seconds);
// "10 s", "0.5 s".
std::string seconds(double s);
// Throws LinkError(kCancelled, "cancelled") once the operation is cancelled.
void checkCancel(const std::stop_token& stop);
// Waits until `fd` reports one of `events` or an error, looking at `stop` every tenth of a
// second. Returns the events, or 0 once `deadline` passed.
short waitFor(int fd, short events, Clock::time_point deadline, const std::stop_token& stop);

class Transport {
public:
    virtual ~Transport() = default;
    // All of `bytes`, waiting at most `wait.timeout` seconds whenever the link takes nothing.
    // `last` ends the message (GPIB asserts EOI, VXI-11 sets END with its last byte).
    virtual void write(std::string_view bytes, bool last, const Wait& wait) = 0;
    // At least one byte, at most `n`, waiting at most `wait.timeout` seconds for the first.
    virtual std::size_t read(char* buffer, std::size_t n, const Wait& wait) = 0;
    // Hands the instrument back to its front panel.
    virtual void goToLocal(const Wait& wait) = 0;
    // After a download that did not finish: make the instrument drop the partial message where
    // the link can, without waiting for long.
    virtual void abandon() {}
    // "the instrument at 10.0.0.5 port 5025", used in messages.
    virtual std::string where() const = 0;
};

struct Endpoint {
    std::string host;
    std::uint16_t port = 5025;  // the raw socket, or for VXI-11 the portmapper
    bool vxi11 = false;
    bool portGiven = false;
    std::string device = "inst0";  // VXI-11 device name
};
// host, host:port, [IPv6]:port, TCPIPn::host::port::SOCKET or
// TCPIPn::host[:port][::device]::INSTR; throws LinkError (kBadArgument).
Endpoint parseTcpipAddress(std::string_view address);

// A connected, non-blocking TCP socket; `what` names the far end in messages ("the instrument
// at 10.0.0.5 port 5025"), `hint` ends the message of a refused connection.
int connectTcp(const std::string& host, std::uint16_t port, const std::string& what, const std::string& hint,
               const Wait& wait);

// Each throws LinkError when the link cannot be opened.
std::unique_ptr<Transport> openTcp(std::string_view address, const Options& options);
std::unique_ptr<Transport> openVxi11(const Endpoint& endpoint, const Options& options);
std::unique_ptr<Transport> openSerial(const Config& config, const Options& options);
std::unique_ptr<Transport> openGpib(const Config& config, const Options& options);

}  // namespace hwio
