#include "hwio/fd_transport.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace hwio {

FdTransport::~FdTransport() { ::close(fd_); }

void FdTransport::write(std::string_view bytes, bool, double timeout) {
    while (!bytes.empty()) {
        pollfd p{fd_, POLLOUT, 0};
        const int r = ::poll(&p, 1, static_cast<int>(timeout * 1000));
        if (r < 0 && errno == EINTR) continue;
        if (r == 0) throw LinkError(kTimeout, stalledText(timeout));
        const ssize_t n = put(bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            throw LinkError(kConnectionLost, lostText(true, errno));
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

std::size_t FdTransport::read(char* buffer, std::size_t n, Clock::time_point deadline) {
    while (true) {
        pollfd p{fd_, POLLIN, 0};
        const int r = ::poll(&p, 1, msLeft(deadline));
        if (r < 0 && errno == EINTR) continue;
        if (r == 0) throw LinkError(kTimeout, where_ + " sent no answer in time");
        const ssize_t got = get(buffer, n);
        if (got > 0) return static_cast<std::size_t>(got);
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        throw LinkError(kConnectionLost, lostText(false, got < 0 ? errno : 0));
    }
}

void FdTransport::goToLocal(double timeout) { write(":SYSTem:LOCal\n", true, timeout); }

}  // namespace hwio
