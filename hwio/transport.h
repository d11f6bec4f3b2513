#pragma once
// The byte links under the SCPI layer, and the error every link failure becomes.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "hwio/link.h"

namespace hwio {

class LinkError : public std::runtime_error {
public:
    LinkError(std::int32_t status, const std::string& message) : std::runtime_error(message), status_(status) {}
    std::int32_t status() const { return status_; }

private:
    std::int32_t status_;
};

using Clock = std::chrono::steady_clock;

// Milliseconds left until `deadline` for poll(), never negative.
int msLeft(Clock::time_point deadline);
Clock::time_point after(double seconds);

class Transport {
public:
    virtual ~Transport() = default;
    // All of `bytes`, waiting at most `timeout` seconds for the link to take each part. `last`
    // ends the message (GPIB asserts EOI with its last byte).
    virtual void write(std::string_view bytes, bool last, double timeout) = 0;
    // At least one byte, at most `n`, before `deadline`.
    virtual std::size_t read(char* buffer, std::size_t n, Clock::time_point deadline) = 0;
    // Hands the instrument back to its front panel.
    virtual void goToLocal(double timeout) = 0;
    // After a cancelled download: make the instrument drop the partial message where the link can.
    virtual void abandon() {}
    // "the instrument at 10.0.0.5 port 5025", used in messages.
    virtual std::string where() const = 0;
};

// Each throws LinkError when the link cannot be opened.
std::unique_ptr<Transport> openTcp(std::string_view address, double timeout);
std::unique_ptr<Transport> openSerial(const Config& config, const Options& options);
std::unique_ptr<Transport> openGpib(const Config& config, const Options& options);

struct Endpoint {
    std::string host;
    std::uint16_t port = 5025;
};
// host, host:port, [IPv6]:port or TCPIPn::host::port::SOCKET; throws LinkError (kBadArgument).
Endpoint parseTcpipAddress(std::string_view address);

}  // namespace hwio
