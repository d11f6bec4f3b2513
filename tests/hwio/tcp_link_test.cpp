#include <gmock/gmock.h>

#include <thread>

#include "hwio/link.h"
#include "link_helpers.h"
#include "sim_process.h"
#include "zuno_version.h"

using testing::HasSubstr;
using testsupport::SimProcess;

using testsupport::Frame;
using testsupport::quick;
using testsupport::randomFrame;
using testsupport::tcp;

TEST(TcpLink, PingSendQueryAndLocal) {
    SimProcess sim;
    const auto c = tcp(sim.address());
    auto r = hwio::hwIO(hwio::kPing, c);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.response, "Zuno,Simulated Signal Generator,SIM0001," + std::string(zuno::kVersion));

    r = hwio::hwIO(hwio::kSend, c, " :source:freq:fix 1500000000Hz");
    EXPECT_EQ(r.status, 0) << r.response;
    EXPECT_EQ(hwio::hwIO(hwio::kQuery, c, ":FREQ?").response, "1500000000");
    EXPECT_TRUE(sim.state()["remote"]);
    EXPECT_EQ(hwio::hwIO(hwio::kLocal, c).status, 0);
    EXPECT_FALSE(sim.state()["remote"]);

    // The socket resource form of the address reaches the same instrument.
    const std::string resource = "TCPIP0::127.0.0.1::" + std::to_string(sim.port()) + "::SOCKET";
    r = hwio::hwIO(hwio::kQuery, tcp(resource), ":source:power:level:immediate:amplitude?");
    EXPECT_EQ(r.status, 0) << r.response;
    EXPECT_EQ(r.response, "-136");
}

TEST(TcpLink, InstrumentErrorsBecomeAStatusWithTheInstrumentsText) {
    SimProcess sim({"--reject", ":source:rad:arb:marker:polarity"});
    const auto c = tcp(sim.address());
    auto r = hwio::hwIO(hwio::kSend, c, " :source:power:level:immediate:amplitude 30dbm");
    EXPECT_EQ(r.status, hwio::kInstrumentError);
    EXPECT_EQ(r.response, "The instrument reported: -222,\"Data out of range\"");
    r = hwio::hwIO(hwio::kSend, c, ":source:rad:arb:bogus 1");
    EXPECT_THAT(r.response, HasSubstr("-113,\"Undefined header\""));
    r = hwio::hwIO(hwio::kSend, c, " :source:rad:arb:wav \"arbi:NOSUCH\" ");
    EXPECT_THAT(r.response, HasSubstr("-256,\"File name not found\""));
    r = hwio::hwIO(hwio::kSend, c, ":SOUR:RAD:ARB:MARK:POL NEG");
    EXPECT_EQ(r.status, hwio::kInstrumentError);
    EXPECT_THAT(r.response, HasSubstr("-221"));
    // A query the instrument does not know leaves no answer, only its error.
    r = hwio::hwIO(hwio::kQuery, c, ":NOSUCH?", nullptr, quick());
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
    std::vector<hwio::Stage> stages;
    hwio::Options o;
    o.pieceBytes = 65536;
    o.progress = [&](hwio::Stage stage, std::size_t sent, std::size_t total) {
        if (stages.empty() || stages.back() != stage) stages.push_back(stage);
        if (total) progress.emplace_back(sent, total);
    };
    const auto w = f.waveform("WAVE_1");
    const auto r = hwio::hwIO(hwio::kDownload, c, {}, &w, o);
    ASSERT_EQ(r.status, 0) << r.response;
    EXPECT_EQ(r.response, "Waveform \"WAVE_1\" stored: 70000 samples with markers.");
    EXPECT_EQ(sim.samples("WAVE_1"), hwio::iqBytes(f.iq, "norm", 1));
    EXPECT_EQ(sim.markers("WAVE_1"), hwio::markerBytes(f.m1, f.m2, f.iq.size()));
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.front().first, 0u);
    EXPECT_EQ(progress.back(), std::make_pair(std::size_t{350000}, std::size_t{350000}));
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    // Connecting, clearing the queue, the blocks, waiting for completion, then reading errors.
    ASSERT_GE(stages.size(), 3u);
    EXPECT_EQ(stages.front(), hwio::Stage::Connecting);
    EXPECT_EQ(stages.back(), hwio::Stage::Waiting);
    EXPECT_EQ(hwio::hwIO(hwio::kSend, c, " :source:rad:arb:wav \"arbi:WAVE_1\" ").status, 0);
    EXPECT_EQ(sim.state()["arb"]["waveform"], "WAVE_1");
}

TEST(TcpLink, CancelledDownloadLeavesNothingBehind) {
    SimProcess sim;
    const auto c = tcp(sim.address());
    const Frame f = randomFrame(50000);
    std::stop_source stop;
    hwio::Options o;
    o.pieceBytes = 4096;
    o.stop = stop.get_token();
    o.progress = [&](hwio::Stage, std::size_t sent, std::size_t) {
        if (sent >= 20000) stop.request_stop();
    };
    const auto w = f.waveform("PART");
    const auto r = hwio::hwIO(hwio::kDownload, c, {}, &w, o);
    EXPECT_EQ(r.status, hwio::kCancelled);
    EXPECT_THAT(r.response, HasSubstr("Cancelled while sending the waveform (20480 of 250000 bytes sent)"));
    EXPECT_EQ(hwio::hwIO(hwio::kPing, c).status, 0);  // the instrument still listens
    EXPECT_TRUE(sim.state()["memory"].empty());
}

// A stalled instrument: the transfer fits the socket buffers, so the wait is for *OPC?. That wait
// has the one time-out of every step, and a cancel ends it.
TEST(TcpLink, TheCompletionWaitHasTheTimeOutAndEndsOnCancel) {
    SimProcess sim({"--stall"});
    const auto c = tcp(sim.address());
    const Frame f = randomFrame(1000);
    const auto w = f.waveform("W");
    auto r = hwio::hwIO(hwio::kDownload, c, {}, &w, quick());
    EXPECT_EQ(r.status, hwio::kTimeout);
    EXPECT_THAT(r.response, HasSubstr("did not answer \"*OPC?\" within 0.5 s"));

    std::stop_source stop;
    hwio::Options o;  // the ten seconds of the default
    o.stop = stop.get_token();
    o.progress = [&](hwio::Stage stage, std::size_t sent, std::size_t total) {
        if (stage == hwio::Stage::Waiting && total == 0 && sent == 0) stop.request_stop();
    };
    r = hwio::hwIO(hwio::kDownload, c, {}, &w, o);
    EXPECT_EQ(r.status, hwio::kCancelled);
    EXPECT_THAT(r.response, HasSubstr("Cancelled while waiting for the answer to \"*OPC?\""));
}

// A transfer larger than the socket buffers to an instrument that stopped taking it: the cancel
// comes while a write waits.
TEST(TcpLink, ACancelEndsATransferTheInstrumentStoppedTaking) {
    SimProcess sim({"--stall"});
    const Frame f = randomFrame(2000000);
    const auto w = f.waveform("HELD");
    std::stop_source stop;
    std::jthread canceller;
    hwio::Options o;  // ten seconds: the cancel comes first
    o.stop = stop.get_token();
    o.progress = [&](hwio::Stage stage, std::size_t, std::size_t total) {
        if (stage != hwio::Stage::Sending || total == 0 || canceller.joinable()) return;
        canceller = std::jthread([&stop] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            stop.request_stop();
        });
    };
    const auto r = hwio::hwIO(hwio::kDownload, tcp(sim.address()), {}, &w, o);
    EXPECT_EQ(r.status, hwio::kCancelled);
    EXPECT_THAT(r.response, HasSubstr("Cancelled while sending the waveform"));
}

TEST(TcpLink, DownloadRefusesWhatTheInstrumentCannotStore) {
    SimProcess sim({"--memory", "1000"});
    const auto c = tcp(sim.address());
    Frame f = randomFrame(2000);
    auto w = f.waveform("BIG");
    auto r = hwio::hwIO(hwio::kDownload, c, {}, &w);
    EXPECT_EQ(r.status, hwio::kInstrumentError);
    EXPECT_THAT(r.response, HasSubstr("-225,\"Out of memory\""));
    w.name = "";
    EXPECT_THAT(hwio::hwIO(hwio::kDownload, c, {}, &w).response, HasSubstr("no name"));
    w.name = "A\"B";
    EXPECT_EQ(hwio::hwIO(hwio::kDownload, c, {}, &w).status, hwio::kBadArgument);
    f.m1.pop_back();
    w = f.waveform("X");
    EXPECT_THAT(hwio::hwIO(hwio::kDownload, c, {}, &w).response, HasSubstr("markers hold 1999 values for 2000"));
}

TEST(TcpLink, EveryLinkFailureGivesAStatusAndAReadableText) {
    const Frame f = randomFrame(200000);
    const auto w = f.waveform("W");
    {
        SimProcess sim({"--refuse"});
        const auto r = hwio::hwIO(hwio::kPing, tcp(sim.address()), {}, nullptr, quick());
        EXPECT_EQ(r.status, hwio::kConnectFailed);
        EXPECT_THAT(r.response, HasSubstr("Cannot connect to the instrument at 127.0.0.1 port"));
        EXPECT_THAT(r.response, HasSubstr("connection refused"));
    }
    {
        SimProcess sim({"--stall"});
        auto r = hwio::hwIO(hwio::kPing, tcp(sim.address()), {}, nullptr, quick());
        EXPECT_EQ(r.status, hwio::kTimeout);
        EXPECT_THAT(r.response, HasSubstr("did not answer \"*IDN?\" within 0.5 s"));
        r = hwio::hwIO(hwio::kDownload, tcp(sim.address()), {}, &w, quick());
        EXPECT_EQ(r.status, hwio::kTimeout) << r.response;
    }
    {
        SimProcess sim({"--drop-after", "100000"});
        const auto r = hwio::hwIO(hwio::kDownload, tcp(sim.address()), {}, &w, quick());
        EXPECT_EQ(r.status, hwio::kConnectionLost);
        EXPECT_THAT(r.response, HasSubstr("The instrument at 127.0.0.1 port"));
        EXPECT_THAT(r.response, HasSubstr("closed the connection"));
    }
    {
        // A transfer small enough for the socket buffers is written before the instrument drops
        // it: the message still names the transfer, not the question after it.
        const Frame small = randomFrame(100000);
        const auto sw = small.waveform("W");
        SimProcess sim({"--drop-after", "300000"});
        const auto r = hwio::hwIO(hwio::kDownload, tcp(sim.address()), {}, &sw, quick());
        EXPECT_EQ(r.status, hwio::kConnectionLost);
        EXPECT_THAT(r.response, HasSubstr("closed the connection"));
        EXPECT_THAT(r.response, testing::ContainsRegex("(while (starting|sending|ending)|before it had read all of) "
                                                       "the (waveform|markers)"));
        EXPECT_THAT(r.response, testing::Not(HasSubstr("*OPC?")));
    }
    {
        SimProcess sim({"--garbage"});
        auto r = hwio::hwIO(hwio::kPing, tcp(sim.address()), {}, nullptr, quick());
        EXPECT_EQ(r.status, hwio::kBadReply);
        EXPECT_THAT(r.response, HasSubstr("The answer of the instrument at 127.0.0.1 port"));
        EXPECT_THAT(r.response, HasSubstr("to \"*IDN?\" is not readable text"));
        r = hwio::hwIO(hwio::kSend, tcp(sim.address()), ":OUTP ON", nullptr, quick());
        EXPECT_EQ(r.status, hwio::kBadReply);
    }
}
