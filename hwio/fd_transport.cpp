#include "hwio/fd_transport.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace hwio {

FdTransport::~FdTransport() { ::close(fd_); }

void FdTransport::write(std::string_view bytes, bool, const Wait& wait) {
    while (!bytes.empty()) {
        if (waitFor(fd_, POLLOUT, after(wait.timeout), wait.stop) == 0)
            throw LinkError(kTimeout, stalledText(wait.timeout));
        const ssize_t n = put(bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            const int err = errno;
            throw LinkError(kConnectionLost, lostText(true, err), err == ECONNRESET || err == EPIPE);
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

std::size_t FdTransport::read(char* buffer, std::size_t n, const Wait& wait) {
    const auto deadline = after(wait.timeout);
    while (true) {
        if (waitFor(fd_, POLLIN, deadline, wait.stop) == 0)
            throw LinkError(kTimeout, where_ + " sent no answer in time");
        const ssize_t got = get(buffer, n);
        if (got > 0) return static_cast<std::size_t>(got);
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        const int err = got < 0 ? errno : 0;
        throw LinkError(kConnectionLost, lostText(false, err), err == ECONNRESET);
    }
}

void FdTransport::goToLocal(const Wait& wait) { write(":SYSTem:LOCal\n", true, wait); }

}  // namespace hwio
