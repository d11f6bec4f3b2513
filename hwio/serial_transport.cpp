// SCPI over an RS-232 port (POSIX termios).
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <utility>

#include "hwio/fd_transport.h"
#include "host/core/text.h"

namespace hwio {

namespace {

speed_t speedFor(std::int32_t baud) {
    static const std::pair<std::int32_t, speed_t> rates[] = {
        {50, B50},         {75, B75},         {110, B110},       {134, B134},       {150, B150},
        {200, B200},       {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
        {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
        {57600, B57600},   {115200, B115200}, {230400, B230400}, {460800, B460800}, {500000, B500000},
        {576000, B576000}, {921600, B921600}, {1000000, B1000000},
    };
    for (const auto& [rate, code] : rates)
        if (rate == baud) return code;
    throw LinkError(kBadArgument, "RS232.baudrate " + std::to_string(baud) +
                                      " is not a rate a serial port offers (for example 9600, 19200, 115200).");
}

class SerialTransport : public FdTransport {
public:
    SerialTransport(int fd, std::string device) : FdTransport(fd, "the instrument on " + device) {}

private:
    ssize_t put(const char* data, std::size_t n) override { return ::write(fd_, data, n); }
    ssize_t get(char* buffer, std::size_t n) override { return ::read(fd_, buffer, n); }

    std::string stalledText(double timeout) const override {
        return where_ + " took no data for " + std::to_string(static_cast<int>(timeout)) +
               " s (check the cable and the handshake setting)";
    }
    std::string lostText(bool writing, int err) const override {
        if (writing) return "Writing to " + where_ + " failed (" + std::strerror(err) + ")";
        return "Reading from " + where_ + " failed" +
               (err ? " (" + std::string(std::strerror(err)) + ")" : std::string(" (the port was closed)"));
    }
};

}  // namespace

std::unique_ptr<Transport> openSerial(const Config& config, const Options& options) {
    const Config::Rs232 rs = config.RS232.value_or(Config::Rs232{});
    const std::int32_t port = rs.port.value_or(1);
    std::string device = options.serialDevice;
    if (device.empty()) {
        if (port < 1)
            throw LinkError(kBadArgument, "RS232.port " + std::to_string(port) +
                                              " is not a serial port number (1 is the first port, /dev/ttyS0).");
        device = "/dev/ttyS" + std::to_string(port - 1);
    }
    const speed_t speed = speedFor(rs.baudrate.value_or(9600));
    const std::string handshake = rs.handshake.value_or("Xon/Xoff");
    const std::string hs = host::toLower(handshake);
    if (hs != "xon/xoff" && hs != "rts/cts" && hs != "none")
        throw LinkError(kBadArgument, "RS232.handshake \"" + handshake + "\" is not Xon/Xoff, RTS/CTS or None.");

    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        std::string hint = ". Check RS232.port in the Sig Gen I/O settings.";
        if (err == EACCES) hint = ". Your user may need to join the group that owns the port (usually dialout).";
        throw LinkError(kConnectFailed, "Cannot open the serial port " + device + ": " + std::strerror(err) + hint);
    }
    termios t{};
    if (::tcgetattr(fd, &t) != 0) {
        const int err = errno;
        ::close(fd);
        throw LinkError(kConnectFailed, device + " is not a serial port (" + std::strerror(err) + ").");
    }
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~CRTSCTS;
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    if (hs == "xon/xoff") t.c_iflag |= IXON | IXOFF;
    if (hs == "rts/cts") t.c_cflag |= CRTSCTS;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    ::cfsetispeed(&t, speed);
    ::cfsetospeed(&t, speed);
    if (::tcsetattr(fd, TCSANOW, &t) != 0) {
        const int err = errno;
        ::close(fd);
        throw LinkError(kConnectFailed, "Cannot set up the serial port " + device + " (" + std::strerror(err) + ").");
    }
    ::tcflush(fd, TCIFLUSH);  // nothing left over from an earlier exchange counts as an answer
    return std::make_unique<SerialTransport>(fd, device);
}

}  // namespace hwio
