// zuno-sim: a simulated signal generator that speaks SCPI on 127.0.0.1 (raw socket and VXI-11)
// and on a pseudo-terminal.
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <arpa/inet.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/core/command_line.h"
#include "host/core/text.h"
#include "tools/zuno_sim_model.h"
#include "tools/zuno_sim_session.h"
#include "tools/sim_netns.h"
#include "tools/zuno_sim_vxi11.h"
#include "zuno_version.h"

namespace {

const std::vector<host::OptionSpec>& optionTable() {
    static const std::vector<host::OptionSpec> table = {
        {"port", 0, "N", "the raw socket on port N (default 5025; 0 picks a free port)"},
        {"portmapper", 0, "N", "the VXI-11 portmapper on port N (0: a free port; default 111 when free, else a free port)"},
        {"serial", 0, "", "also answer on a pseudo-terminal that stands in for an RS-232 port"},
        {"memory", 0, "SAMPLES", "waveform memory in samples (default 33554432)"},
        {"refuse", 0, "", "fault: refuse every connection"},
        {"stall", 0, "", "fault: accept connections, then never read or answer (the portmapper still does)"},
        {"drop-after", 0, "BYTES", "fault: close each connection after it has sent this many bytes"},
        {"reject", 0, "HEADER", "fault: answer this command (for example :POWer) with error -221; repeat for more", true},
        {"garbage", 0, "", "fault: answer every query with binary junk"},
        {"netns", 0, "",
         "run in a new user and network namespace of its own, where port 111 needs no root (as pyvisa's "
         "VXI-11 asks for it), with only 127.0.0.1 inside"},
        {"help", 'h', "", "print this help and exit"},
        {"version", 0, "", "print the program's version and exit"},
    };
    return table;
}

std::string usage() {
    return "Usage: zuno-sim [OPTION]... [-- COMMAND [ARG]...]\n"
           "A simulated signal generator with an arbitrary-waveform player. It answers SCPI\n"
           "on 127.0.0.1 over a raw socket and over VXI-11, with a portmapper of its own, and,\n"
           "with --serial, on a pseudo-terminal. It prints where it listens, then serves until\n"
           "stopped. After --, COMMAND runs beside the simulator (inside the namespace with\n"
           "--netns) once it listens; the simulator stops when COMMAND ends, with its exit status.\n"
           "\n"
           "Options:\n" +
           host::optionHelp(optionTable()) +
           "\n"
           "Besides the instrument's commands: :SIMulator:STATe? (the whole state as JSON),\n"
           ":SIMulator:DATA? \"NAME\" and :SIMulator:DATA:MARKer? \"NAME\" (stored bytes as\n"
           "blocks), :SIMulator:LOG:CLEar.\n"
           "Exit status: 0 stopped by a signal; 1 failed; 2 unusable command line.\n";
}

constexpr int kPortmapperPort = 111;
constexpr std::uint32_t kMaxWrite = 1 << 20;  // the largest VXI-11 write, and read piece

volatile sig_atomic_t stopping = 0;
void onSignal(int) { stopping = 1; }

struct Options {
    int port = 5025;
    std::optional<int> portmapper;  // unset: 111 when free, else a free port
    bool serial = false;
    std::size_t memory = 32u << 20;
    sim::Faults faults;
    bool netns = false;
    std::vector<std::string> command;  // run beside the simulator, after "--"
};

long long count(const std::string& option, const std::string& text) {
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end || errno || v < 0)
        throw host::UsageError(option + " expects a whole number, not '" + text + "'");
    return v;
}

// Empty when the program is only to print its help or version.
std::optional<Options> parse(const std::vector<std::string>& args) {
    // What follows the first "--" is the command to run beside the simulator, options and all.
    const auto dashes = std::find(args.begin(), args.end(), "--");
    const auto line = host::parseCommandLine(optionTable(), {args.begin(), dashes});
    if (!line.operands.empty())
        throw host::UsageError("unexpected operand '" + line.operands.front() + "' (options begin with --; a command follows --)");
    Options o;
    if (dashes != args.end()) {
        o.command.assign(dashes + 1, args.end());
        if (o.command.empty()) throw host::UsageError("-- must be followed by the command to run");
    }
    for (const auto& [name, value] : line.options) {
        const std::string option = "--" + name;
        auto port = [&]() {
            const long long p = count(option, value);
            if (p > 65535) throw host::UsageError(option + " must be at most 65535");
            return static_cast<int>(p);
        };
        if (name == "help") {
            std::fputs(usage().c_str(), stdout);
            return std::nullopt;
        } else if (name == "version") {
            std::puts(zuno::versionLine("zuno-sim").c_str());
            return std::nullopt;
        } else if (name == "port") {
            o.port = port();
        } else if (name == "portmapper") {
            o.portmapper = port();
        } else if (name == "serial") {
            o.serial = true;
        } else if (name == "memory") {
            o.memory = static_cast<std::size_t>(count(option, value));
        } else if (name == "refuse") {
            o.faults.refuse = true;
        } else if (name == "stall") {
            o.faults.stall = true;
        } else if (name == "drop-after") {
            o.faults.dropAfter = count(option, value);
        } else if (name == "reject") {
            if (sim::canonicalHeader(value).empty())
                throw host::UsageError("--reject: '" + value + "' is not a command of this instrument");
            o.faults.reject.push_back(value);
        } else if (name == "garbage") {
            o.faults.garbage = true;
        } else if (name == "netns") {
            o.netns = true;
        }
    }
    return o;
}

// A socket bound to 127.0.0.1 `port` (0: a free one), listening unless connections are refused:
// then the port stays bound, so connecting to it is refused rather than reaching another program.
// Returns -1 with errno set when the port cannot be had.
int listenOn(int port, bool refuse) {
    // Non-blocking, so that the loop takes every waiting connection and then goes on.
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || (!refuse && ::listen(fd, 128) != 0)) {
        const int err = errno;
        ::close(fd);
        errno = err;
        return -1;
    }
    return fd;
}

int listenOrThrow(int port, bool refuse) {
    const int fd = listenOn(port, refuse);
    if (fd < 0) throw std::runtime_error("cannot listen on 127.0.0.1 port " + std::to_string(port) + ": " + std::strerror(errno));
    return fd;
}

int portOf(int fd) {
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    return ntohs(addr.sin_port);
}

// One client connection: what it sends goes to `take`, what it is sent waits in `out`.
struct Connection {
    enum class Kind { Scpi, Serial, Portmapper, Core };
    Connection(int f, Kind k) : fd(f), kind(k) {}
    virtual ~Connection() = default;
    // Takes bytes the client sent; false when the connection must close.
    virtual bool take(const char* data, std::size_t n, sim::Clock::time_point now) = 0;
    // Whether the client's bytes are taken now (they wait in the socket otherwise).
    virtual bool accepting() const { return true; }
    // Work that waited: replies the client made room for, calls that fell due.
    virtual void resume(sim::Clock::time_point) {}
    virtual std::optional<sim::Clock::time_point> due() const { return std::nullopt; }
    // The client went away or was dropped.
    virtual void closing() {}
    virtual std::string& out() { return sent; }
    // Bytes held for the client both ways, for the bound on all connections together.
    virtual std::size_t held() const { return sent.size(); }

    int fd;
    Kind kind;
    std::string sent;
    long long received = 0;
    sim::Clock::time_point lastInput = sim::Clock::now();
};

// Raw SCPI over a socket or the pseudo-terminal: the conversation's replies go straight out.
struct ScpiConnection : Connection {
    ScpiConnection(int f, Kind k, sim::Instrument& inst) : Connection(f, k), exchange(inst) {}
    bool take(const char* data, std::size_t n, sim::Clock::time_point) override {
        exchange.take(data, n);
        return true;
    }
    bool accepting() const override { return exchange.accepting(); }
    void resume(sim::Clock::time_point) override { exchange.resume(); }
    void closing() override { exchange.session.reset(); }
    std::string& out() override { return exchange.out; }
    std::size_t held() const override { return exchange.held(); }
    sim::Exchange exchange;
};

// VXI-11's portmapper and core channel: RPC records both ways.
struct RpcConnection : Connection {
    RpcConnection(int f, Kind k, std::unique_ptr<sim::RpcChannel> c) : Connection(f, k), channel(std::move(c)) {}
    bool take(const char* data, std::size_t n, sim::Clock::time_point now) override {
        sent += channel->feed(data, n, now);
        return !channel->broken();
    }
    bool accepting() const override { return !channel->due(); }
    void resume(sim::Clock::time_point now) override { sent += channel->expire(now); }
    std::optional<sim::Clock::time_point> due() const override { return channel->due(); }
    std::size_t held() const override { return sent.size() + channel->held(); }
    std::unique_ptr<sim::RpcChannel> channel;
};

// Sends what the connection takes now; the rest goes when it can.
void flush(Connection& c) {
    std::string& out = c.out();
    while (!out.empty()) {
        const ssize_t n = c.kind == Connection::Kind::Serial
                              ? ::write(c.fd, out.data(), out.size())
                              : ::send(c.fd, out.data(), out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n <= 0) break;
        out.erase(0, static_cast<std::size_t>(n));
    }
}

// Clients served at once: well inside the descriptors the process may open, so that the
// listeners, the terminal and the files a command opens always have some.
std::size_t connectionLimit() {
    rlimit r{};
    if (::getrlimit(RLIMIT_NOFILE, &r) != 0 || r.rlim_cur == RLIM_INFINITY) return 512;
    return static_cast<std::size_t>(std::clamp<rlim_t>(r.rlim_cur / 2, 8, 512));
}

// What all connections together may hold of unfinished messages and unread replies: one
// waveform block of the largest size, with room for everyone else's smaller traffic.
std::size_t heldLimit(const sim::Instrument& instrument) { return instrument.maxReplyBytes() + (64u << 20); }

// The simulator's event loop: the listeners, the client links, and the bounds on both.
class Server {
public:
    explicit Server(const Options& o);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;
    // Serves until a signal stops it.
    void serve() {
        while (!stopping) pass();
    }

private:
    struct Listener {
        int fd;
        Connection::Kind kind;
    };
    using Link = std::list<std::unique_ptr<Connection>>::iterator;

    void openSerial();
    bool accept(const Listener& l);
    void admit(int fd, Connection::Kind kind);
    Link drop(Link it);
    void bound(Link& next);
    void pass();
    bool readFrom(Connection& l, short events);
    void serveLink(Link& it, short events);

    // The instrument's channels stall; the portmapper, a program of its own, does not.
    bool stalled(const Connection& c) const { return o_.faults.stall && c.kind != Connection::Kind::Portmapper; }
    bool reading(Connection& c) const {
        return !stalled(c) && c.accepting() && c.out().size() < sim::Exchange::kMaxPendingReply;
    }

    const Options& o_;
    sim::Instrument instrument_;
    Listener listeners_[3]{};
    int corePort_ = 0;
    std::list<std::unique_ptr<Connection>> links_;
    int keepSlave_ = -1;
    const std::size_t maxConnections_ = connectionLimit();
    const std::size_t maxHeld_;
    std::size_t clients_ = 0;  // links but the terminal
    std::size_t held_ = 0;
    // When accept fails for want of descriptors or memory, the listeners rest a while instead of
    // waking the loop again at once.
    std::optional<sim::Clock::time_point> acceptRests_;
    sim::Clock::time_point lastRefusalNote_{};
    // Each pass takes at most one buffer from every client that has sent something, so a client
    // sending without pause delays the others by one buffer's work at most.
    std::vector<char> buffer_ = std::vector<char>(1 << 20);
};

Server::Server(const Options& o) : o_(o), instrument_(o.faults, o.memory), maxHeld_(heldLimit(instrument_)) {
    const bool refuse = o.faults.refuse;
    const int scpi = listenOrThrow(o.port, refuse);
    int portmapper = -1;
    if (o.portmapper) {
        portmapper = listenOrThrow(*o.portmapper, refuse);
    } else {
        portmapper = listenOn(kPortmapperPort, refuse);
        if (portmapper < 0) portmapper = listenOrThrow(0, refuse);
    }
    const int core = listenOrThrow(0, refuse);
    listeners_[0] = {scpi, Connection::Kind::Scpi};
    listeners_[1] = {portmapper, Connection::Kind::Portmapper};
    listeners_[2] = {core, Connection::Kind::Core};
    corePort_ = portOf(core);
    const int portmapperPort = portOf(portmapper);
    std::printf("zuno-sim: SCPI on 127.0.0.1 port %d\n", portOf(scpi));
    const std::string resource = portmapperPort == kPortmapperPort
                                     ? "TCPIP0::127.0.0.1::INSTR"
                                     : "TCPIP0::127.0.0.1:" + std::to_string(portmapperPort) + "::INSTR";
    std::printf("zuno-sim: VXI-11 on 127.0.0.1, portmapper port %d, core channel port %d (%s)\n", portmapperPort,
                corePort_, resource.c_str());
    if (o.serial) openSerial();
    std::fflush(stdout);
}

Server::~Server() {
    for (auto& l : links_) ::close(l->fd);
    if (keepSlave_ >= 0) ::close(keepSlave_);
    for (const Listener& l : listeners_) ::close(l.fd);
}

void Server::openSerial() {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        throw std::runtime_error(std::string("cannot make a pseudo-terminal: ") + std::strerror(errno));
    const std::string slave = ::ptsname(master);
    // Held open so that the terminal lives between the clients that open and close it.
    keepSlave_ = ::open(slave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios t{};
    ::tcgetattr(keepSlave_, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(keepSlave_, TCSANOW, &t);
    ::fcntl(master, F_SETFL, O_NONBLOCK);
    links_.push_back(std::make_unique<ScpiConnection>(master, Connection::Kind::Serial, instrument_));
    std::printf("zuno-sim: serial on %s\n", slave.c_str());
}

// Takes the connections waiting on `l`; false when accepting failed and must rest.
bool Server::accept(const Listener& l) {
    for (int taken = 0; taken < 64; ++taken) {
        const int fd = ::accept4(l.fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR || errno == ECONNABORTED;
        if (clients_ >= maxConnections_) {
            // Refused at once and plainly: the client sees the connection reset, not a silence.
            const linger reset{1, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
            ::close(fd);
            if (sim::Clock::now() - lastRefusalNote_ > std::chrono::seconds(1)) {
                std::fprintf(stderr, "zuno-sim: refusing connections: %zu clients are connected, the most it serves\n",
                             clients_);
                lastRefusalNote_ = sim::Clock::now();
            }
            continue;
        }
        admit(fd, l.kind);
    }
    return true;
}

void Server::admit(int fd, Connection::Kind kind) {
    ++clients_;
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    switch (kind) {
        case Connection::Kind::Portmapper:
            links_.push_back(std::make_unique<RpcConnection>(
                fd, kind, std::make_unique<sim::PortmapperChannel>(static_cast<std::uint16_t>(corePort_))));
            return;  // not a connection to the instrument
        case Connection::Kind::Core:
            links_.push_back(
                std::make_unique<RpcConnection>(fd, kind, std::make_unique<sim::CoreChannel>(instrument_, kMaxWrite)));
            break;
        default:
            links_.push_back(std::make_unique<ScpiConnection>(fd, kind, instrument_));
            break;
    }
    ++instrument_.connections;
}

Server::Link Server::drop(Link it) {
    (*it)->closing();
    ::close((*it)->fd);
    if ((*it)->kind != Connection::Kind::Serial) --clients_;
    return links_.erase(it);
}

// Past the bound on what all clients together hold, the one holding most goes; `next`, the link
// the caller goes on with, stays valid.
void Server::bound(Link& next) {
    while (held_ > maxHeld_) {
        held_ = 0;
        Link largest = links_.end();
        for (auto it = links_.begin(); it != links_.end(); ++it) {
            held_ += (*it)->held();
            if ((*it)->kind != Connection::Kind::Serial && (largest == links_.end() || (*it)->held() > (*largest)->held()))
                largest = it;
        }
        if (held_ <= maxHeld_ || largest == links_.end()) return;
        std::fprintf(stderr, "zuno-sim: dropping a connection that holds %zu bytes: clients hold more than %zu\n",
                     (*largest)->held(), maxHeld_);
        held_ -= (*largest)->held();
        if (largest == next) next = drop(largest);
        else drop(largest);
    }
}

// One wait for anything to do, and everything that is to do then.
void Server::pass() {
    const auto now = sim::Clock::now();
    long long waitMs = 200;
    if (acceptRests_ && now >= *acceptRests_) acceptRests_.reset();
    if (acceptRests_)
        waitMs = std::min<long long>(waitMs, std::chrono::duration_cast<std::chrono::milliseconds>(*acceptRests_ - now).count() + 1);
    // A socket that does not listen reports a hang-up at once: left out, it is not polled.
    std::vector<pollfd> fds;
    std::vector<Connection*> polled;  // whose entry each is: a link dropped for the bound leaves a gap
    for (const Listener& l : listeners_) fds.push_back({o_.faults.refuse || acceptRests_ ? -1 : l.fd, POLLIN, 0});
    for (auto& l : links_) {
        // A client that hangs up is noticed at once, also while none of its bytes are read.
        const short hangUp = l->kind == Connection::Kind::Serial ? 0 : POLLRDHUP;
        fds.push_back({l->fd, static_cast<short>((reading(*l) ? POLLIN : 0) | (l->out().empty() ? 0 : POLLOUT) | hangUp), 0});
        polled.push_back(l.get());
        if (const auto d = l->due())
            waitMs = std::min<long long>(
                waitMs, std::max<long long>(0, std::chrono::duration_cast<std::chrono::milliseconds>(*d - now).count() + 1));
    }
    if (::poll(fds.data(), fds.size(), static_cast<int>(waitMs)) < 0 && errno != EINTR)
        throw std::runtime_error(std::strerror(errno));
    for (std::size_t i = 0; i < std::size(listeners_); ++i)
        if ((fds[i].revents & POLLIN) && !accept(listeners_[i]))
            acceptRests_ = sim::Clock::now() + std::chrono::milliseconds(100);
    std::size_t k = std::size(listeners_);
    held_ = 0;
    for (const auto& l : links_) held_ += l->held();
    for (auto it = links_.begin(); it != links_.end();) {
        while (k < fds.size() && polled[k - std::size(listeners_)] != it->get()) ++k;
        serveLink(it, k < fds.size() ? fds[k].revents : 0);
        bound(it);
    }
}

// Reads what the client sent, if it is read now; true when the connection must close.
bool Server::readFrom(Connection& l, short events) {
    const bool serial = l.kind == Connection::Kind::Serial;
    const bool hungUp = events & (POLLHUP | POLLERR | POLLRDHUP);
    if (hungUp && !serial && !reading(l)) return true;  // gone while not being read: polling it again would spin
    if (!reading(l) || !((events & POLLIN) || hungUp)) return false;
    std::size_t want = buffer_.size();
    if (o_.faults.dropAfter >= 0 && !serial)
        want = static_cast<std::size_t>(std::min<long long>(static_cast<long long>(want), o_.faults.dropAfter - l.received));
    const ssize_t n = want == 0 ? 0 : ::read(l.fd, buffer_.data(), want);
    bool closed = false;
    if (n > 0) {
        l.received += n;
        l.lastInput = sim::Clock::now();
        closed = !l.take(buffer_.data(), static_cast<std::size_t>(n), l.lastInput);
    }
    const bool dropNow = o_.faults.dropAfter >= 0 && !serial && l.received >= o_.faults.dropAfter;
    return closed || n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR && !serial) || dropNow;
}

// Sends, resumes and reads one link; `it` moves on to the next.
void Server::serveLink(Link& it, short events) {
    Connection& l = **it;
    const std::size_t before = l.held();
    const bool serial = l.kind == Connection::Kind::Serial;
    if (events & POLLOUT) flush(l);
    l.resume(sim::Clock::now());
    const bool closed = readFrom(l, events);
    flush(l);
    // A serial link cannot hang up; a block that stops arriving is given up after a pause.
    if (auto* s = dynamic_cast<ScpiConnection*>(&l);
        s && serial && s->exchange.session.inBlock() && sim::Clock::now() - l.lastInput > std::chrono::seconds(1))
        s->exchange.session.reset();
    if (closed && !serial) {
        held_ -= before;
        it = drop(it);
    } else {
        held_ = held_ - before + l.held();
        ++it;
    }
}

}  // namespace

int main(int argc, char** argv) {
    ::signal(SIGPIPE, SIG_IGN);
    struct sigaction sa{};
    sa.sa_handler = onSignal;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
    try {
        const auto options = parse(std::vector<std::string>(argv + 1, argv + argc));
        if (!options) return 0;
        if (options->netns) sim::enterPrivateNetwork();
        Server server(*options);
        if (options->command.empty()) {
            server.serve();
            return 0;
        }
        // The command's end stops the simulator; a signal to the simulator ends the command too.
        ::sigaction(SIGCHLD, &sa, nullptr);
        const pid_t child = sim::startCommand(options->command);
        server.serve();
        ::kill(child, SIGTERM);
        return sim::exitStatusOf(child);
    } catch (const host::UsageError& e) {
        std::fprintf(stderr, "zuno-sim: %s\n%s\n", host::printable(e.what()).c_str(), host::usageHint("zuno-sim").c_str());
        return host::kUsageStatus;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zuno-sim: %s\n", e.what());
        return 1;
    }
}
