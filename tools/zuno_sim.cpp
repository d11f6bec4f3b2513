// zuno-sim: a simulated signal generator that speaks SCPI on 127.0.0.1 and on a pseudo-terminal.
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/zuno_sim_model.h"
#include "tools/zuno_sim_session.h"

namespace {

const char* const kUsage =
    "usage: zuno-sim [--port N] [--serial] [--memory SAMPLES]\n"
    "                [--refuse] [--stall] [--drop-after BYTES] [--reject HEADER]... [--garbage]\n"
    "\n"
    "A simulated signal generator with an arbitrary-waveform player. It answers SCPI on 127.0.0.1\n"
    "(port N, default 5025; 0 picks a free port) and, with --serial, on a pseudo-terminal that\n"
    "stands in for an RS-232 port. It prints where it listens, then serves until stopped.\n"
    "  --memory SAMPLES    waveform memory in samples (default 33554432)\n"
    "Faults:\n"
    "  --refuse            refuse every connection\n"
    "  --stall             accept connections, then never read or answer\n"
    "  --drop-after BYTES  close each connection after it has sent this many bytes\n"
    "  --reject HEADER     answer this command (for example :POWer) with error -221\n"
    "  --garbage           answer every query with binary junk\n"
    "Besides the instrument's commands: :SIMulator:STATe? (the whole state as JSON),\n"
    ":SIMulator:DATA? \"NAME\" and :SIMulator:DATA:MARKer? \"NAME\" (stored bytes as blocks),\n"
    ":SIMulator:LOG:CLEar.\n";

volatile sig_atomic_t stopping = 0;
void onSignal(int) { stopping = 1; }

struct Options {
    int port = 5025;
    bool serial = false;
    std::size_t memory = 32u << 20;
    sim::Faults faults;
};

long long count(const std::string& option, const char* text) {
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text, &end, 10);
    if (!*text || *end || errno || v < 0) throw std::invalid_argument(option + " expects a whole number, not '" + text + "'");
    return v;
}

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) throw std::invalid_argument(a + " needs a value");
            return argv[++i];
        };
        if (a == "-h" || a == "--help") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (a == "--port") {
            const long long p = count(a, value());
            if (p > 65535) throw std::invalid_argument("--port must be at most 65535");
            o.port = static_cast<int>(p);
        } else if (a == "--serial") {
            o.serial = true;
        } else if (a == "--memory") {
            o.memory = static_cast<std::size_t>(count(a, value()));
        } else if (a == "--refuse") {
            o.faults.refuse = true;
        } else if (a == "--stall") {
            o.faults.stall = true;
        } else if (a == "--drop-after") {
            o.faults.dropAfter = count(a, value());
        } else if (a == "--reject") {
            const std::string h = value();
            if (sim::canonicalHeader(h).empty()) throw std::invalid_argument("--reject: '" + h + "' is not a command of this instrument");
            o.faults.reject.push_back(h);
        } else if (a == "--garbage") {
            o.faults.garbage = true;
        } else {
            throw std::invalid_argument("unknown option '" + a + "' (see --help)");
        }
    }
    return o;
}

// Replies waiting for a client that does not read them; past this, its commands wait too.
constexpr std::size_t kMaxPendingReply = 4 << 20;

struct Link {
    Link(int f, bool s, sim::Instrument& inst) : fd(f), serial(s), session(std::make_unique<sim::Session>(inst)) {}
    int fd = -1;
    bool serial = false;
    std::unique_ptr<sim::Session> session;
    std::string out;
    std::string in;  // received but not yet taken: waits until the client reads its replies
    long long received = 0;
    std::chrono::steady_clock::time_point lastInput = std::chrono::steady_clock::now();
};

// Queues the reply and sends what the link takes now; the rest goes when it can.
void reply(Link& l, const std::string& text) {
    l.out += text;
    while (!l.out.empty()) {
        const ssize_t n = l.serial ? ::write(l.fd, l.out.data(), l.out.size())
                                   : ::send(l.fd, l.out.data(), l.out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n <= 0) break;
        l.out.erase(0, static_cast<std::size_t>(n));
    }
}

// Hands the session what arrived, as far as the client has room for the replies.
void take(Link& l, const char* data, std::size_t n) {
    if (l.out.size() >= kMaxPendingReply) {
        l.in.append(data, n);
        return;
    }
    std::string replies;
    const std::size_t used = l.session->feed(data, n, replies, kMaxPendingReply - l.out.size());
    l.in.append(data + used, n - used);
    reply(l, replies);
}

int run(const Options& o) {
    sim::Instrument instrument(o.faults, o.memory);
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(o.port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        throw std::runtime_error("cannot listen on 127.0.0.1 port " + std::to_string(o.port) + ": " + std::strerror(errno));
    // Refusing: the port stays bound, so connecting to it is refused rather than reaching another program.
    if (!o.faults.refuse && ::listen(listener, 16) != 0) throw std::runtime_error(std::strerror(errno));
    socklen_t len = sizeof addr;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
    std::printf("zuno-sim: SCPI on 127.0.0.1 port %d\n", ntohs(addr.sin_port));

    std::list<Link> links;
    int keepSlave = -1;
    if (o.serial) {
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
            throw std::runtime_error(std::string("cannot make a pseudo-terminal: ") + std::strerror(errno));
        const std::string slave = ::ptsname(master);
        // Held open so that the terminal lives between the clients that open and close it.
        keepSlave = ::open(slave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios t{};
        ::tcgetattr(keepSlave, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(keepSlave, TCSANOW, &t);
        ::fcntl(master, F_SETFL, O_NONBLOCK);
        links.emplace_back(master, true, instrument);
        std::printf("zuno-sim: serial on %s\n", slave.c_str());
    }
    std::fflush(stdout);

    // Each pass takes at most one buffer from every client that has sent something, so a client
    // sending without pause delays the others by one buffer's work at most.
    std::vector<char> buffer(1 << 20);
    while (!stopping) {
        // A socket that does not listen reports a hang-up at once: left out, it is not polled.
        std::vector<pollfd> fds{{o.faults.refuse ? -1 : listener, POLLIN, 0}};
        auto reading = [&](const Link& l) { return !o.faults.stall && l.in.empty() && l.out.size() < kMaxPendingReply; };
        for (const Link& l : links)
            fds.push_back({l.fd, static_cast<short>((reading(l) ? POLLIN : 0) | (l.out.empty() ? 0 : POLLOUT)), 0});
        if (::poll(fds.data(), fds.size(), 200) < 0 && errno != EINTR) throw std::runtime_error(std::strerror(errno));
        if (fds[0].revents & POLLIN) {
            const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (fd >= 0) {
                ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
                links.emplace_back(fd, false, instrument);
                ++instrument.connections;
            }
        }
        std::size_t k = 1;
        for (auto it = links.begin(); it != links.end(); ++k) {
            Link& l = *it;
            const short ev = k < fds.size() ? fds[k].revents : 0;
            bool closed = false;
            if (ev & POLLOUT) reply(l, "");
            if (!l.in.empty()) {
                const std::string waiting = std::move(l.in);
                l.in.clear();
                take(l, waiting.data(), waiting.size());
            }
            const bool hungUp = ev & (POLLHUP | POLLERR);
            if (hungUp && !l.serial && !reading(l)) {
                closed = true;  // gone while not being read: polling it again would spin
            } else if (reading(l) && ((ev & POLLIN) || hungUp)) {
                std::size_t want = buffer.size();
                if (o.faults.dropAfter >= 0 && !l.serial)
                    want = static_cast<std::size_t>(std::min<long long>(static_cast<long long>(want), o.faults.dropAfter - l.received));
                const ssize_t n = want == 0 ? 0 : ::read(l.fd, buffer.data(), want);
                if (n > 0) {
                    l.received += n;
                    l.lastInput = std::chrono::steady_clock::now();
                    take(l, buffer.data(), static_cast<std::size_t>(n));
                }
                const bool dropNow = o.faults.dropAfter >= 0 && !l.serial && l.received >= o.faults.dropAfter;
                closed = (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR && !l.serial)) || dropNow;
            }
            // A serial link cannot hang up; a block that stops arriving is given up after a pause.
            if (l.serial && l.session->inBlock() &&
                std::chrono::steady_clock::now() - l.lastInput > std::chrono::seconds(1))
                l.session->reset();
            if (closed && !l.serial) {
                l.session->reset();
                ::close(l.fd);
                it = links.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (Link& l : links) ::close(l.fd);
    if (keepSlave >= 0) ::close(keepSlave);
    ::close(listener);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    ::signal(SIGPIPE, SIG_IGN);
    struct sigaction sa{};
    sa.sa_handler = onSignal;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
    try {
        return run(parse(argc, argv));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zuno-sim: %s\n", e.what());
        return 1;
    }
}
