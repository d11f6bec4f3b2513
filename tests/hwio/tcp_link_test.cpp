#include <gmock/gmock.h>

#include <random>

#include "hwio/link.h"
#include "sim_process.h"

using testing::HasSubstr;
using testsupport::SimProcess;

namespace {

hwio::Config tcp(const std::string& address) {
    hwio::Config c;
    c.type = "tcpip";
    c.TCPIP = hwio::Config::Tcpip{address, 0};
    return c;
}

hwio::Options quick() {
    hwio::Options o;
    o.timeout = 0.5;
    o.completionTimeout = 0.5;
    return o;
}

struct Frame {
    std::vector<std::complex<double>> iq;
    std::vector<std::uint8_t> m1, m2;
    hwio::Waveform waveform(const std::string& name) const {
        hwio::Waveform w;
        w.iq = iq;
        w.marker1 = m1;
        w.marker2 = m2;
        w.name = name;
        return w;
    }
};

Frame randomFrame(std::size_t n) {
    std::mt19937 rng(7);
    std::normal_distribution<double> g;
    Frame f;
    for (std::size_t k = 0; k < n; ++k) {
        f.iq.emplace_back(g(rng), g(rng));
        f.m1.push_back(k % 1024 < 512);
        f.m2.push_back(k % 3 == 0);
    }
    return f;
}

}  // namespace

TEST(TcpLink, PingSendQueryAndLocal) {
    SimProcess sim;
    const auto c = tcp(sim.address());
    auto r = hwio::hwIO(HWIO_PING, c);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.response, "Zuno,Simulated Signal Generator,SIM0001,1.0");

    r = hwio::hwIO(HWIO_SEND, c, " :source:freq:fix 1500000000Hz");
    EXPECT_EQ(r.status, 0) << r.response;
    EXPECT_EQ(hwio::hwIO(HWIO_QUERY, c, ":FREQ?").response, "1500000000");
    EXPECT_TRUE(sim.state()["remote"]);
    EXPECT_EQ(hwio::hwIO(HWIO_LOCAL, c).status, 0);
    EXPECT_FALSE(sim.state()["remote"]);

    // The same over the C interface, with the socket resource form of the address.
    const std::string resource = "TCPIP0::127.0.0.1::" + std::to_string(sim.port()) + "::SOCKET";
    hwio_config cc{};
    cc.type = "TCPIP";
    cc.present = HWIO_HAS_TCPIP_ADDRESS;
    cc.tcpip_address = resource.c_str();
    char* text = nullptr;
    EXPECT_EQ(hwIO(HWIO_QUERY, &cc, ":source:power:level:immediate:amplitude?", nullptr, &text), 0);
    EXPECT_STREQ(text, "-136");
    hwio_free(text);
}

TEST(TcpLink, InstrumentErrorsBecomeAStatusWithTheInstrumentsText) {
    SimProcess sim({"--reject", ":source:rad:arb:marker:polarity"});
    const auto c = tcp(sim.address());
    auto r = hwio::hwIO(HWIO_SEND, c, " :source:power:level:immediate:amplitude 30dbm");
    EXPECT_EQ(r.status, hwio::kInstrumentError);
    EXPECT_EQ(r.response, "The instrument reported: -222,\"Data out of range\"");
    r = hwio::hwIO(HWIO_SEND, c, ":source:rad:arb:bogus 1");
    EXPECT_THAT(r.response, HasSubstr("-113,\"Undefined header\""));
    r = hwio::hwIO(HWIO_SEND, c, " :source:rad:arb:wav \"arbi:NOSUCH\" ");
    EXPECT_THAT(r.response, HasSubstr("-256,\"File name not found\""));
    r = hwio::hwIO(HWIO_SEND, c, ":SOUR:RAD:ARB:MARK:POL NEG");
    EXPECT_EQ(r.status, hwio::kInstrumentError);
    EXPECT_THAT(r.response, HasSubstr("-221"));
    // A query the instrument does not know leaves no answer, only its error.
    r = hwio::hwIO(HWIO_QUERY, c, ":NOSUCH?", nullptr, quick());
    EXPECT_EQ(r.status, hwio::kInstrumentError);
    EXPECT_THAT(r.response, HasSubstr("did not answer \":NOSUCH?\""));
    EXPECT_THAT(r.response, HasSubstr("-113,\"Undefined header\""));
    EXPECT_TRUE(sim.state()["errors"].empty());
}

TEST(TcpLink, DownloadArrivesByteForByteAndCanBeSelected) {
    SimProcess sim;
    const auto c = tcp(sim.address());
    const Frame f = randomFrame(70000);
    std::vector<std::pair<std::size_t, std::size_t>> progress;
    hwio::Options o;
    o.pieceBytes = 65536;
    o.progress = [&](std::size_t sent, std::size_t total) {
        progress.emplace_back(sent, total);
        return true;
    };
    const auto w = f.waveform("WAVE_1");
    const auto r = hwio::hwIO(HWIO_DOWNLOAD, c, {}, &w, o);
    ASSERT_EQ(r.status, 0) << r.response;
    EXPECT_EQ(r.response, "Waveform \"WAVE_1\" stored: 70000 samples with markers.");
    EXPECT_EQ(sim.samples("WAVE_1"), hwio::iqBytes(f.iq, "norm", 1));
    EXPECT_EQ(sim.markers("WAVE_1"), hwio::markerBytes(f.m1, f.m2, f.iq.size()));
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.front().first, 0u);
    EXPECT_EQ(progress.back(), std::make_pair(std::size_t{350000}, std::size_t{350000}));
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(hwio::hwIO(HWIO_SEND, c, " :source:rad:arb:wav \"arbi:WAVE_1\" ").status, 0);
    EXPECT_EQ(sim.state()["arb"]["waveform"], "WAVE_1");
}

TEST(TcpLink, CancelledDownloadLeavesNothingBehind) {
    SimProcess sim;
    const auto c = tcp(sim.address());
    const Frame f = randomFrame(50000);
    hwio::Options o;
    o.pieceBytes = 4096;
    o.progress = [](std::size_t sent, std::size_t) { return sent < 20000; };
    const auto w = f.waveform("PART");
    const auto r = hwio::hwIO(HWIO_DOWNLOAD, c, {}, &w, o);
    EXPECT_EQ(r.status, hwio::kCancelled);
    EXPECT_EQ(r.response, "Download cancelled");
    EXPECT_EQ(hwio::hwIO(HWIO_PING, c).status, 0);  // the instrument still listens
    EXPECT_TRUE(sim.state()["memory"].empty());
}

TEST(TcpLink, DownloadRefusesWhatTheInstrumentCannotStore) {
    SimProcess sim({"--memory", "1000"});
    const auto c = tcp(sim.address());
    Frame f = randomFrame(2000);
    auto w = f.waveform("BIG");
    auto r = hwio::hwIO(HWIO_DOWNLOAD, c, {}, &w);
    EXPECT_EQ(r.status, hwio::kInstrumentError);
    EXPECT_THAT(r.response, HasSubstr("-225,\"Out of memory\""));
    w.name = "";
    EXPECT_THAT(hwio::hwIO(HWIO_DOWNLOAD, c, {}, &w).response, HasSubstr("no name"));
    w.name = "A\"B";
    EXPECT_EQ(hwio::hwIO(HWIO_DOWNLOAD, c, {}, &w).status, hwio::kBadArgument);
    f.m1.pop_back();
    w = f.waveform("X");
    EXPECT_THAT(hwio::hwIO(HWIO_DOWNLOAD, c, {}, &w).response, HasSubstr("markers hold 1999 values for 2000"));
}

TEST(TcpLink, EveryLinkFailureGivesAStatusAndAReadableText) {
    const Frame f = randomFrame(200000);
    const auto w = f.waveform("W");
    {
        SimProcess sim({"--refuse"});
        const auto r = hwio::hwIO(HWIO_PING, tcp(sim.address()), {}, nullptr, quick());
        EXPECT_EQ(r.status, hwio::kConnectFailed);
        EXPECT_THAT(r.response, HasSubstr("Cannot connect to the instrument at 127.0.0.1 port"));
        EXPECT_THAT(r.response, HasSubstr("connection refused"));
    }
    {
        SimProcess sim({"--stall"});
        auto r = hwio::hwIO(HWIO_PING, tcp(sim.address()), {}, nullptr, quick());
        EXPECT_EQ(r.status, hwio::kTimeout);
        EXPECT_THAT(r.response, HasSubstr("did not answer \"*IDN?\" within 0.5 s"));
        r = hwio::hwIO(HWIO_DOWNLOAD, tcp(sim.address()), {}, &w, quick());
        EXPECT_EQ(r.status, hwio::kTimeout) << r.response;
    }
    {
        SimProcess sim({"--drop-after", "100000"});
        const auto r = hwio::hwIO(HWIO_DOWNLOAD, tcp(sim.address()), {}, &w, quick());
        EXPECT_EQ(r.status, hwio::kConnectionLost);
        EXPECT_THAT(r.response, HasSubstr("The instrument at 127.0.0.1 port"));
        EXPECT_THAT(r.response, HasSubstr("closed the connection"));
    }
    {
        SimProcess sim({"--garbage"});
        auto r = hwio::hwIO(HWIO_PING, tcp(sim.address()), {}, nullptr, quick());
        EXPECT_EQ(r.status, hwio::kBadReply);
        EXPECT_THAT(r.response, HasSubstr("The answer of the instrument at 127.0.0.1 port"));
        EXPECT_THAT(r.response, HasSubstr("to \"*IDN?\" is not readable text"));
        r = hwio::hwIO(HWIO_SEND, tcp(sim.address()), ":OUTP ON", nullptr, quick());
        EXPECT_EQ(r.status, hwio::kBadReply);
    }
}
