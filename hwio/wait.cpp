// Waiting on a descriptor with a deadline, cancellable within a tenth of a second.
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "hwio/transport.h"

namespace hwio {

namespace {
constexpr int kStopCheckMs = 100;
}

Clock::time_point after(double seconds) {
    return Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

std::string seconds(double s) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g s", s);
    return buf;
}

void checkCancel(const std::stop_token& stop) {
    if (stop.stop_requested()) throw LinkError(kCancelled, "cancelled");
}

short waitFor(int fd, short events, Clock::time_point deadline, const std::stop_token& stop) {
    while (true) {
        checkCancel(stop);
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            pollfd p{fd, events, 0};
            return ::poll(&p, 1, 0) > 0 ? p.revents : 0;
        }
        pollfd p{fd, events, 0};
        const int r = ::poll(&p, 1, static_cast<int>(std::min<long long>(left, kStopCheckMs)));
        if (r > 0) return p.revents;
        if (r < 0 && errno != EINTR) return POLLERR;
    }
}

}  // namespace hwio
