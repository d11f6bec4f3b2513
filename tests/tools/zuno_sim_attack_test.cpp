// zuno-sim's VXI-11 and SCPI sockets under clients that hold, pile up or half-send: raw sockets
// against a real simulator process on 127.0.0.1. Every wait is bounded by a receive time-out.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <chrono>
#include <thread>
#include <string>
#include <vector>

#include "hwio/onc_rpc.h"
#include "tests/hwio/sim_process.h"

using namespace hwio::rpc;
using testsupport::cpuSeconds;
using testsupport::SimProcess;

namespace {

// A client socket on 127.0.0.1 `port` whose reads give up after `timeoutS`; -1 when refused.
int connectTo(int port, int timeoutS = 5) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const timeval tv{timeoutS, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool sendAll(int fd, const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void sendCall(int fd, std::uint32_t xid, std::uint32_t program, std::uint32_t version, std::uint32_t procedure,
              const std::string& args) {
    const std::string message = callHeader(xid, program, version, procedure) + args;
    sendAll(fd, recordMark(message.size()) + message);
}

// The results of the next reply, or nothing when none comes before the socket's time-out.
std::optional<std::string> replyOf(int fd) {
    RecordReader reader(1 << 20);
    char buf[4096];
    while (!reader.ready()) {
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) return std::nullopt;
        if (reader.feed(buf, static_cast<std::size_t>(n)) != static_cast<std::size_t>(n)) break;
    }
    return std::string(parseReply(reader.take()).results);
}

int corePort(const SimProcess& sim) {
    const int fd = connectTo(sim.portmapper());
    sendCall(fd, 1, kPortmapper, kPortmapperVersion, kGetPort, XdrWriter().u32(kCore).u32(kCoreVersion).u32(kProtocolTcp).u32(0).bytes());
    const auto r = replyOf(fd);
    ::close(fd);
    return r ? static_cast<int>(XdrReader(*r).u32()) : -1;
}

// A core channel connection with one link; -1 when it could not be had.
int openLink(int port, std::int32_t& link) {
    const int fd = connectTo(port);
    if (fd < 0) return -1;
    sendCall(fd, 1, kCore, kCoreVersion, kCreateLink, XdrWriter().i32(1).u32(0).u32(0).opaque("inst0").bytes());
    const auto r = replyOf(fd);
    if (!r || XdrReader(*r).i32() != kNoError) {
        ::close(fd);
        return -1;
    }
    XdrReader results(*r);
    results.i32();
    link = results.i32();
    return fd;
}

void askRead(int fd, std::int32_t link, std::uint32_t xid, std::uint32_t ioTimeoutMs) {
    sendCall(fd, xid, kCore, kCoreVersion, kDeviceRead, XdrWriter().i32(link).u32(100).u32(ioTimeoutMs).u32(0).i32(0).i32(0).bytes());
}

std::size_t openDescriptors(pid_t pid) {
    std::size_t n = 0;
    for (const auto& e : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd")) n += !e.path().empty();
    return n;
}

long statusKb(pid_t pid, const std::string& field) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
    return -1;
}

TEST(ZunoSimAttack, AHeldReadDelaysNoOtherClient) {
    SimProcess sim;
    const int port = corePort(sim);
    std::int32_t held = 0, other = 0;
    const int a = openLink(port, held), b = openLink(port, other);
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    // A read that may wait 49 days, with nothing to answer, then another client's short one:
    // the short one times out on its own schedule (well within the 5 s the socket waits).
    askRead(a, held, 2, 0xFFFFFFFFu);
    askRead(b, other, 2, 500);
    const auto r = replyOf(b);
    ASSERT_TRUE(r.has_value()) << "the second client got no reply";
    EXPECT_EQ(XdrReader(*r).i32(), kIoTimeout);
    EXPECT_NE(sim.ask("*IDN?").find("Simulated Signal Generator"), std::string::npos);
    ::close(a);
    ::close(b);
}

TEST(ZunoSimAttack, ClientsThatAskAndCloseLeaveNothingHeld) {
    SimProcess sim;
    const int port = corePort(sim);
    const std::size_t idle = openDescriptors(sim.pid());
    for (int i = 0; i < 1100; ++i) {
        std::int32_t link = 0;
        const int fd = openLink(port, link);
        ASSERT_GE(fd, 0) << "client " << i << " was not served";
        askRead(fd, link, 2, 0xFFFFFFFFu);
        ::close(fd);
    }
    // Served at once: every new kind of client, and nothing left open for the closed ones.
    EXPECT_NE(sim.ask("*IDN?").find("Simulated Signal Generator"), std::string::npos);
    EXPECT_GT(corePort(sim), 0);
    EXPECT_LE(openDescriptors(sim.pid()), idle + 2);
}

TEST(ZunoSimAttack, ConnectionsBeyondTheLimitAreRefusedPlainly) {
    SimProcess sim;
    std::vector<int> open;
    int refused = 0;
    for (int i = 0; i < 600; ++i) {
        // Connections come faster than they are taken: the system may give up on some itself.
        const int fd = connectTo(sim.port());
        if (fd >= 0) open.push_back(fd);
        else ++refused;
    }
    // A refused connection is closed by the simulator: its read ends at once instead of waiting.
    for (const int fd : open) {
        char c;
        sendAll(fd, "*OPC?\n");
        if (::recv(fd, &c, 1, 0) <= 0) ++refused;
    }
    EXPECT_GT(refused, 0);
    EXPECT_LT(refused, 600);
    for (const int fd : open) ::close(fd);
    // The simulator may still count the closed ones when the next client comes (for a while
    // under the sanitizers): it is asked again, a little later each time, for up to 20 s.
    std::string identity;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (identity.find("Simulated") == std::string::npos && std::chrono::steady_clock::now() < giveUp) {
        try {
            identity = sim.ask("*IDN?");
        } catch (const std::exception&) {
        }
        if (identity.find("Simulated") == std::string::npos) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_NE(identity.find("Simulated Signal Generator"), std::string::npos);
}

TEST(ZunoSimAttack, HalfSentRecordsAreBoundedTogether) {
    // Small waveform memory, so that the bound on what clients hold is small too.
    SimProcess sim({"--memory", "1048576"});
    const int port = corePort(sim);
    std::vector<int> open;
    for (int i = 0; i < 300; ++i) {
        const int fd = connectTo(port);
        ASSERT_GE(fd, 0);
        // A record of almost 1 MB announced and most of it sent, the rest never.
        if (sendAll(fd, std::string("\x00\x0f\x42\x40", 4) + std::string(900000, 'x'))) open.push_back(fd);
        else ::close(fd);  // dropped for the bound already
        if (i % 50 == 0) sim.ask("*OPC?");
    }
    sim.ask("*OPC?");
    sim.ask("*OPC?");
#ifdef __SANITIZE_ADDRESS__
    constexpr long kBoundKb = 350 * 1024;  // the sanitizer's shadow and the memory it holds back
#else
    constexpr long kBoundKb = 200 * 1024;
#endif
    EXPECT_LT(statusKb(sim.pid(), "VmHWM"), kBoundKb);
    EXPECT_NE(sim.ask("*IDN?").find("Simulated Signal Generator"), std::string::npos);
    for (const int fd : open) ::close(fd);
}

// Out of descriptors, accept fails while clients wait: the simulator rests instead of spinning,
// and serves again once some go.
TEST(ZunoSimAttack, OutOfDescriptorsItRests) {
#ifdef __SANITIZE_ADDRESS__
    // The sanitizers' own checks open a pipe to probe memory; without a free descriptor they
    // report sound objects as broken.
    GTEST_SKIP() << "the sanitizers need free descriptors of their own";
#endif
    rlimit old{};
    ::getrlimit(RLIMIT_NOFILE, &old);
    // Few enough that accepting fails before the limit on clients is reached.
    rlimit few = old;
    few.rlim_cur = 12;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &few), 0);
    std::optional<SimProcess> sim;
    try {
        sim.emplace();
    } catch (...) {
    }
    ::setrlimit(RLIMIT_NOFILE, &old);
    ASSERT_TRUE(sim.has_value());
    std::vector<int> open;
    for (int i = 0; i < 12; ++i) open.push_back(connectTo(sim->port()));
    const double before = cpuSeconds(sim->pid());
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_LT(cpuSeconds(sim->pid()) - before, 0.5);
    for (const int fd : open) ::close(fd);
    std::string identity;
    for (int tries = 0; tries < 50 && identity.empty(); ++tries) identity = sim->ask("*IDN?");
    EXPECT_NE(identity.find("Simulated Signal Generator"), std::string::npos);
}

}  // namespace
