// What one client can make the simulator hold or do, and that no client stalls the others.
#include <gmock/gmock.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

#include "tests/hwio/sim_process.h"
#include "tools/zuno_sim_session.h"
#include "zuno_version.h"

using testing::HasSubstr;

namespace {

// Feeds `bytes` one at a time, as a slow link delivers them.
std::string trickle(sim::Session& s, const std::string& bytes) {
    std::string replies;
    for (const char c : bytes) replies += s.feed(&c, 1);
    return replies;
}

std::string feed(sim::Session& s, const std::string& bytes) { return s.feed(bytes.data(), bytes.size()); }

TEST(ZunoSimSession, BlocksArriveWhateverTheChunks) {
    sim::Instrument inst;
    sim::Session session(inst);
    const std::string data("\x01\x02\x03\x04\x05\x06\x07\x08", 8);
    EXPECT_EQ(trickle(session, ":MEM:DATA \"arbi:W\",#18" + data + ";*OPC?\n:SIM:DATA? \"W\"\n"),
              "1\n#18" + data + "\n");
    // A '#' that does not start a header is text.
    EXPECT_EQ(feed(session, ":MEM:CAT? #x\n:SYST:ERR?\n"), "\"W\"\n0,\"No error\"\n");
}

// As SCPI instruments answer: every queued error at once, oldest first, and the queue emptied.
TEST(ZunoSimSession, AllErrorsAreReadAtOnce) {
    sim::Instrument inst;
    sim::Session session(inst);
    EXPECT_EQ(feed(session, ":SYST:ERR:ALL?\n"), "0,\"No error\"\n");
    EXPECT_EQ(feed(session, ":FREQ 9GHz\n:NOPE\n:POW\n:SYST:ERR:COUN?\n"), "3\n");
    EXPECT_EQ(feed(session, ":SYSTem:ERRor:ALL?\n"),
              "-222,\"Data out of range\",-113,\"Undefined header\",-109,\"Missing parameter\"\n");
    EXPECT_EQ(feed(session, ":SYST:ERR:COUN?;:SYST:ERR:ALL?;:SYST:ERR?\n"), "0;0,\"No error\";0,\"No error\"\n");
    EXPECT_EQ(feed(session, ":SYST:ERR:ALL 1\n:syst:err:all?\n"), "-113,\"Undefined header\"\n")
        << "a query only";
}

TEST(ZunoSimSession, OverlongLinesAreCutWithTooMuchData) {
    sim::Instrument inst;
    sim::Session session(inst);
    // No newline for a long time, then an unclosed quote: both end in -223 and the next line is
    // served as usual.
    EXPECT_EQ(trickle(session, std::string(sim::Session::kMaxLine + 10, 'A') + "\n*IDN?\n"),
              "Zuno,Simulated Signal Generator,SIM0001," + std::string(zuno::kVersion) + "\n");
    EXPECT_EQ(feed(session, ":SYST:ERR?\n"), "-223,\"Too much data\"\n");
    EXPECT_EQ(feed(session, ":FREQ \"" + std::string(300000, 'x') + "\n*OPC?\n:SYST:ERR?\n"),
              "1\n-223,\"Too much data\"\n");
    EXPECT_EQ(feed(session, ":SYST:ERR?\n"), "0,\"No error\"\n");
}

TEST(ZunoSimSession, BlocksLargerThanTheMemoryAreSkippedUnread) {
    sim::Instrument inst({}, 100);  // 400 bytes of waveform memory
    sim::Session session(inst);
    EXPECT_EQ(feed(session, ":MEM:DATA \"arbi:BIG\",#71000000"), "");
    EXPECT_TRUE(session.inBlock());
    // The data arrives, is dropped, and the stream is in step again afterwards.
    EXPECT_EQ(feed(session, std::string(1000000, 'x')), "");
    EXPECT_EQ(feed(session, ";*OPC?\n:SYST:ERR?\n:MEM:CAT?\n"), "-225,\"Out of memory\"\n\"\"\n");
    EXPECT_EQ(feed(session, ":MEM:DATA \"arbi:FITS\",#3400" + std::string(400, '\0') + "\n:MEM:CAT?\n"),
              "\"FITS\"\n");
}

// Replies are made only as fast as the client takes them, and no message makes an answer beyond
// what memory holds.
TEST(ZunoSimSession, RepliesAreBounded) {
    sim::Instrument inst({}, 100);
    sim::Session session(inst);
    const std::string idn = "*IDN?\n";
    std::string replies;
    EXPECT_EQ(session.feed((idn + idn + idn).data(), 3 * idn.size(), replies, 10), idn.size());
    EXPECT_EQ(replies, "Zuno,Simulated Signal Generator,SIM0001," + std::string(zuno::kVersion) + "\n");

    std::string queries = ":SIM:STAT?";
    while (queries.size() < 40000) queries += ";:SIM:STAT?";
    const std::string answer = feed(session, queries + "\n");
    EXPECT_LE(answer.size(), inst.maxReplyBytes() + inst.stateJson().size() + 2);
    EXPECT_EQ(feed(session, ":SYST:ERR?\n"), "-430,\"Query DEADLOCKED\"\n");
}

TEST(ZunoSimSession, TheLogIsBoundedInBytes) {
    sim::Instrument inst;
    sim::Session session(inst);
    const std::string longCommand = ":FREQ 1e9;" + std::string(5000, ';');
    for (int i = 0; i < 3000; ++i) feed(session, longCommand + "\n");
    feed(session, ":POW -20\n");
    const auto log = nlohmann::json::parse(inst.stateJson())["log"];
    std::size_t bytes = 0;
    for (const auto& line : log) bytes += line.get<std::string>().size();
    EXPECT_LE(bytes, 1u << 20);
    EXPECT_EQ(log.back(), ":POW -20");
    EXPECT_EQ(log.front().get<std::string>().size(), 1024u + 3);  // cut, marked "..."
}

// One client sending a line without end, without pause, must not keep another waiting.
TEST(ZunoSim, EveryClientIsServedWhileOneFloods) {
    testsupport::SimProcess sim;
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(sim.port()));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    timeval tv{20, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    std::thread flood([&] {
        const std::string chunk(64 * 1024, 'A');
        for (int i = 0; i < 64; ++i)
            if (::send(fd, chunk.data(), chunk.size(), MSG_NOSIGNAL) <= 0) break;
    });
    EXPECT_EQ(sim.ask("*IDN?"), "Zuno,Simulated Signal Generator,SIM0001," + std::string(zuno::kVersion));
    flood.join();
    EXPECT_EQ(sim.ask("*IDN?"), "Zuno,Simulated Signal Generator,SIM0001," + std::string(zuno::kVersion));
    ::close(fd);
}

// Kilobytes of memory the process holds.
long residentKb(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

// A client that asks and asks but never reads gets no more answers made than it could take;
// the others are served meanwhile.
TEST(ZunoSim, AClientThatDoesNotReadIsNotAnsweredWithoutEnd) {
    testsupport::SimProcess sim;
    for (int i = 0; i < 1100; ++i) sim.tell(":FREQ 1e9;" + std::string(1100, ';'));  // a full log: 1 MB answers
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(sim.port()));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    timeval tv{2, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    std::string queries;
    while (queries.size() < (1 << 20)) queries += ":SIM:STAT?\n";  // some 100 GB of answers
    for (std::size_t sent = 0; sent < queries.size();) {
        const ssize_t n = ::send(fd, queries.data() + sent, queries.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) break;  // the simulator stopped taking them: as it should
        sent += static_cast<std::size_t>(n);
    }
    EXPECT_EQ(sim.ask("*IDN?"), "Zuno,Simulated Signal Generator,SIM0001," + std::string(zuno::kVersion));
    // Unbounded, the answers would take tens of gigabytes; AddressSanitizer holds up to 256 MB
    // of freed memory back.
#ifdef __SANITIZE_ADDRESS__
    constexpr long kBoundKb = 400 * 1024;
#else
    constexpr long kBoundKb = 100 * 1024;
#endif
    EXPECT_LT(residentKb(sim.pid()), kBoundKb);
    ::close(fd);
}

// Refusing, the simulator waits like any idle server instead of polling a socket that does not
// listen (which reports a hang-up at once, for ever).
TEST(ZunoSim, RefusingItIdles) {
    testsupport::SimProcess sim({"--refuse"});
    const double before = testsupport::cpuSeconds(sim.pid());
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_LT(testsupport::cpuSeconds(sim.pid()) - before, 0.5);
}

}  // namespace
