// SCPI over a raw TCP socket, and the connection VXI-11 makes too.
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "hwio/fd_transport.h"

namespace hwio {

namespace {

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

int connectTcp(const std::string& host, std::uint16_t port, const std::string& what, const std::string& hint,
               const Wait& wait) {
    checkCancel(wait.stop);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (const int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found); rc != 0)
        throw LinkError(kConnectFailed, "Cannot find the host \"" + host + "\" (" + ::gai_strerror(rc) +
                                            "). Check TCPIP.address in the Sig Gen I/O settings.");
    std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> list(found, ::freeaddrinfo);
    const auto deadline = after(wait.timeout);
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
                short ready = 0;
                try {
                    ready = waitFor(fd, POLLOUT, deadline, wait.stop);
                } catch (...) {
                    ::close(fd);
                    throw;
                }
                if (ready == 0) {
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
            return fd;
        }
        ::close(fd);
        timedOut = err == ETIMEDOUT;
        failure = err == ECONNREFUSED ? "connection refused" : std::strerror(err);
    }
    if (timedOut)
        throw LinkError(kTimeout, "Cannot connect to " + what + ": no answer within " + seconds(wait.timeout) +
                                      ". Check the address and the network.");
    throw LinkError(kConnectFailed, "Cannot connect to " + what + ": " + failure + ". " + hint);
}

std::unique_ptr<Transport> openTcp(std::string_view address, const Options& options) {
    const Endpoint e = parseTcpipAddress(address);
    if (e.vxi11) return openVxi11(e, options);
    const std::string where = "the instrument at " + e.host + " port " + std::to_string(e.port);
    const int fd = connectTcp(e.host, e.port, where,
                              "Check the address and that the instrument is on with its SCPI socket port open.",
                              Wait{options.timeout, options.stop});
    return std::make_unique<TcpTransport>(fd, where);
}

}  // namespace hwio
