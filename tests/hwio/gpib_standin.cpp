// A stand-in for linux-gpib's libgpib.so.0: the calls the I/O component makes, forwarded to
// zuno-sim over TCP. ZUNO_GPIB_SIM holds the simulator's port; the instrument answers at the
// primary address in ZUNO_GPIB_PAD (19 when unset) and nowhere else.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

namespace {

constexpr int ERR = 0x8000, TIMO = 0x4000, END = 0x2000, CMPL = 0x100;
constexpr int EDVR = 0, ENOL = 2, EARG = 4, EABO = 6;

thread_local int sta = 0, err = 0;
thread_local long cnt = 0;

struct Device {
    int pad = 0;
    int timeoutMs = 10000;
    int fd = -1;
};
std::mutex lock;
std::map<int, Device> devices;
int nextUd = 1;

int timeoutMs(int code) {
    static const double limits[] = {0, 10e-6, 30e-6, 100e-6, 300e-6, 1e-3, 3e-3, 10e-3, 30e-3, 100e-3,
                                    300e-3, 1, 3, 10, 30, 100, 300, 1000};
    if (code <= 0 || code > 17) return 1000000;
    return static_cast<int>(limits[code] * 1000) + 1;
}

int fail(int e, int extra = 0) {
    err = e;
    sta = ERR | extra;
    return sta;
}

Device* find(int ud) {
    const std::lock_guard<std::mutex> g(lock);
    auto it = devices.find(ud);
    return it == devices.end() ? nullptr : &it->second;
}

// Connects on first use: no listener at the address shows then, as on a real bus.
bool connected(Device& d) {
    if (d.fd >= 0) return true;
    const char* port = std::getenv("ZUNO_GPIB_SIM");
    const char* pad = std::getenv("ZUNO_GPIB_PAD");
    if (!port || d.pad != (pad ? std::atoi(pad) : 19)) return false;
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(std::atoi(port)));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return false;
    }
    d.fd = fd;
    return true;
}

void disconnect(Device& d) {
    if (d.fd >= 0) ::close(d.fd);
    d.fd = -1;
}

}  // namespace

extern "C" {

int ThreadIbsta() { return sta; }
int ThreadIberr() { return err; }
long ThreadIbcntl() { return cnt; }

int ibdev(int board, int pad, int sad, int tmo, int, int) {
    if (board != 0) {
        err = EDVR;
        sta = ERR;
        return -1;
    }
    if (pad < 0 || pad > 30 || (sad != 0 && (sad < 0x60 || sad > 0x7e))) {
        err = EARG;
        sta = ERR;
        return -1;
    }
    const std::lock_guard<std::mutex> g(lock);
    const int ud = nextUd++;
    devices[ud] = Device{pad, timeoutMs(tmo), -1};
    sta = CMPL;
    return ud;
}

int ibtmo(int ud, int tmo) {
    Device* d = find(ud);
    if (!d) return fail(EARG);
    d->timeoutMs = timeoutMs(tmo);
    return sta = CMPL;
}

int ibeot(int ud, int) { return find(ud) ? (sta = CMPL) : fail(EARG); }

int ibwrt(int ud, const void* buf, long count) {
    Device* d = find(ud);
    if (!d) return fail(EARG);
    if (!connected(*d)) return fail(ENOL);
    const char* p = static_cast<const char*>(buf);
    long done = 0;
    while (done < count) {
        pollfd pf{d->fd, POLLOUT, 0};
        if (::poll(&pf, 1, d->timeoutMs) <= 0) {
            cnt = done;
            return fail(EABO, TIMO);
        }
        const ssize_t n = ::send(d->fd, p + done, static_cast<size_t>(count - done), MSG_NOSIGNAL);
        if (n <= 0) {
            cnt = done;
            disconnect(*d);
            return fail(ENOL);
        }
        done += n;
    }
    cnt = done;
    return sta = CMPL;
}

// Reads what is there, up to and including one end of line, which counts as END.
int ibrd(int ud, void* buf, long count) {
    Device* d = find(ud);
    if (!d) return fail(EARG);
    if (!connected(*d)) return fail(ENOL);
    char* p = static_cast<char*>(buf);
    long got = 0;
    while (got < count) {
        pollfd pf{d->fd, POLLIN, 0};
        if (::poll(&pf, 1, d->timeoutMs) <= 0) {
            cnt = got;
            return fail(EABO, TIMO);
        }
        const ssize_t n = ::recv(d->fd, p + got, 1, 0);
        if (n <= 0) {
            cnt = got;
            disconnect(*d);
            return fail(ENOL);
        }
        if (p[got++] == '\n') {
            cnt = got;
            return sta = CMPL | END;
        }
    }
    cnt = got;
    return sta = CMPL;
}

int ibloc(int ud) {
    static const char local[] = ":SYSTem:LOCal\n";
    return ibwrt(ud, local, sizeof local - 1);
}

int ibclr(int ud) {
    Device* d = find(ud);
    if (!d) return fail(EARG);
    disconnect(*d);  // the simulator drops what it had not finished reading
    return sta = CMPL;
}

int ibonl(int ud, int) {
    const std::lock_guard<std::mutex> g(lock);
    auto it = devices.find(ud);
    if (it == devices.end()) return fail(EARG);
    disconnect(it->second);
    devices.erase(it);
    return sta = CMPL;
}
}
