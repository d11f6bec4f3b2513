// SCPI over a raw TCP socket.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <vector>

#include "hwio/fd_transport.h"
#include "host/core/text.h"

namespace hwio {

int msLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 1 << 30));
}

Clock::time_point after(double seconds) {
    return Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

namespace {

std::string trim(std::string_view s) {
    const auto a = s.find_first_not_of(" \t");
    if (a == std::string_view::npos) return {};
    const auto b = s.find_last_not_of(" \t");
    return std::string(s.substr(a, b - a + 1));
}

[[noreturn]] void badAddress(std::string_view address, const std::string& why) {
    throw LinkError(kBadArgument, "TCPIP.address \"" + std::string(address) + "\" " + why +
                                      ". Use a host name or IP address, host:port, or TCPIP0::host::port::SOCKET.");
}

std::uint16_t parsePort(std::string_view address, std::string_view text) {
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size() || value < 1 || value > 65535)
        badAddress(address, "has the port \"" + std::string(text) + "\", which is not a number from 1 to 65535");
    return static_cast<std::uint16_t>(value);
}

void checkHost(std::string_view address, const std::string& host) {
    if (host.empty()) badAddress(address, "names no host");
    in6_addr v6{};
    if (inet_pton(AF_INET6, host.c_str(), &v6) == 1) return;
    for (char c : host)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '_')
            badAddress(address, "holds the character '" + std::string(1, c) + "', which no host name has");
    in_addr v4{};
    if (inet_pton(AF_INET, host.c_str(), &v4) == 1 && v4.s_addr == htonl(INADDR_ANY))
        badAddress(address, "is the placeholder 0.0.0.0, not an instrument");
}

std::vector<std::string> splitResource(const std::string& s) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        const auto at = s.find("::", start);
        parts.push_back(s.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) break;
        start = at + 2;
    }
    return parts;
}

std::string seconds(double s) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g s", s);
    return buf;
}

class TcpTransport : public FdTransport {
public:
    TcpTransport(int fd, std::string where) : FdTransport(fd, std::move(where)) {}

    void abandon() override {
        // A reset instead of an orderly close: the instrument drops the unfinished block at once.
        linger l{1, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    }

private:
    // MSG_NOSIGNAL: a closed peer must give an error here, never SIGPIPE.
    ssize_t put(const char* data, std::size_t n) override { return ::send(fd_, data, n, MSG_NOSIGNAL); }
    ssize_t get(char* buffer, std::size_t n) override { return ::recv(fd_, buffer, n, 0); }

    std::string stalledText(double timeout) const override { return where_ + " took no data for " + seconds(timeout); }
    std::string lostText(bool, int err) const override {
        return where_ + " closed the connection" + (err ? " (" + std::string(std::strerror(err)) + ")" : "");
    }
};

}  // namespace

Endpoint parseTcpipAddress(std::string_view raw) {
    const std::string address = trim(raw);
    if (address.empty())
        throw LinkError(kBadArgument,
                        "TCPIP.address is empty. Enter the instrument's host name or IP address in the Sig Gen I/O "
                        "settings.");
    Endpoint e;
    if (host::toLower(address).starts_with("tcpip") && address.find("::") != std::string::npos) {
        const auto parts = splitResource(address);
        const std::string board = host::toLower(parts[0]).substr(5);
        if (!std::all_of(board.begin(), board.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
            badAddress(address, "does not start with TCPIP or TCPIPn");
        if (parts.size() == 4 && host::toLower(parts[3]) == "socket") {
            e.host = parts[1];
            e.port = parsePort(address, parts[2]);
        } else if (!parts.empty() && host::toLower(parts.back()) == "instr") {
            badAddress(address, "is a VXI-11 (INSTR) resource, which this link does not speak; use the raw socket "
                                "resource TCPIP0::host::5025::SOCKET");
        } else {
            badAddress(address, "is not a socket resource of the form TCPIP0::host::port::SOCKET");
        }
    } else if (address.front() == '[') {
        const auto close = address.find(']');
        if (close == std::string::npos) badAddress(address, "opens a bracket it does not close");
        e.host = address.substr(1, close - 1);
        const std::string rest = address.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':') badAddress(address, "has text after the bracketed host");
            e.port = parsePort(address, std::string_view(rest).substr(1));
        }
    } else if (std::count(address.begin(), address.end(), ':') == 1) {
        const auto colon = address.find(':');
        e.host = address.substr(0, colon);
        e.port = parsePort(address, std::string_view(address).substr(colon + 1));
    } else {
        e.host = address;
    }
    checkHost(address, e.host);
    return e;
}

std::unique_ptr<Transport> openTcp(std::string_view address, double timeout) {
    const Endpoint e = parseTcpipAddress(address);
    const std::string where = "the instrument at " + e.host + " port " + std::to_string(e.port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(e.port);
    if (const int rc = ::getaddrinfo(e.host.c_str(), port.c_str(), &hints, &found); rc != 0)
        throw LinkError(kConnectFailed, "Cannot find the host \"" + e.host + "\" (" + ::gai_strerror(rc) +
                                            "). Check TCPIP.address in the Sig Gen I/O settings.");
    std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> list(found, ::freeaddrinfo);
    const auto deadline = after(timeout);
    std::string failure = "no address to try";
    bool timedOut = false;
    for (addrinfo* a = found; a; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) {
            failure = std::strerror(errno);
            continue;
        }
        int err = 0;
        if (::connect(fd, a->ai_addr, a->ai_addrlen) < 0) {
            err = errno;
            if (err == EINPROGRESS) {
                pollfd p{fd, POLLOUT, 0};
                int r;
                do r = ::poll(&p, 1, msLeft(deadline));
                while (r < 0 && errno == EINTR);
                if (r == 0) {
                    err = ETIMEDOUT;
                } else {
                    socklen_t len = sizeof err;
                    ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
                }
            }
        }
        if (err == 0) {
            const int one = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            return std::make_unique<TcpTransport>(fd, where);
        }
        ::close(fd);
        timedOut = err == ETIMEDOUT;
        failure = err == ECONNREFUSED ? "connection refused" : std::strerror(err);
    }
    if (timedOut)
        throw LinkError(kTimeout, "Cannot connect to " + where + ": no answer within " +
                                      seconds(timeout) + ". Check the address and the network.");
    throw LinkError(kConnectFailed, "Cannot connect to " + where + ": " + failure +
                                        ". Check the address and that the instrument is on with its SCPI socket "
                                        "port open.");
}

}  // namespace hwio
