// VXI-11 against zuno-sim's own portmapper and core channel, on free loopback ports.
#include <gmock/gmock.h>

#include <thread>

#include "hwio/link.h"
#include "hwio/onc_rpc.h"
#include "instrument/core/download_play.h"
#include "instrument/core/link_ops.h"
#include "link_helpers.h"
#include "sim_process.h"
#include "zuno_version.h"

using testing::HasSubstr;
using testsupport::SimProcess;
using testsupport::quick;
using testsupport::randomFrame;
using testsupport::tcp;

TEST(Vxi11Link, TheFiveOperationsAndADownloadByteForByte) {
    SimProcess sim;
    const auto c = tcp(sim.vxi11Address());
    auto r = hwio::hwIO(hwio::kPing, c);
    EXPECT_EQ(r.status, 0) << r.response;
    EXPECT_EQ(r.response, "Zuno,Simulated Signal Generator,SIM0001," + std::string(zuno::kVersion));
    EXPECT_EQ(hwio::hwIO(hwio::kSend, c, " :source:freq:fix 1500000000Hz").status, 0);
    EXPECT_EQ(hwio::hwIO(hwio::kQuery, c, ":FREQ?").response, "1500000000");
    EXPECT_TRUE(sim.state()["remote"]);
    EXPECT_EQ(hwio::hwIO(hwio::kLocal, c).status, 0);
    EXPECT_FALSE(sim.state()["remote"]) << "device_local";
    r = hwio::hwIO(hwio::kSend, c, ":FREQ 7GHz");
    EXPECT_EQ(r.response, "The instrument reported: -222,\"Data out of range\"");

    // Larger than one write of the core channel (1 MB): the blocks go in several.
    const auto f = randomFrame(300000);
    const auto w = f.waveform("OVER_RPC");
    r = hwio::hwIO(hwio::kDownload, c, {}, &w);
    ASSERT_EQ(r.status, 0) << r.response;
    EXPECT_EQ(sim.samples("OVER_RPC"), hwio::iqBytes(f.iq, "norm", 1));
    EXPECT_EQ(sim.markers("OVER_RPC"), hwio::markerBytes(f.m1, f.m2, f.iq.size()));
    EXPECT_TRUE(sim.state()["errors"].empty());
}

TEST(Vxi11Link, DownloadAndPlaybackOfTheApplication) {
    SimProcess sim;
    model::Configuration config;
    config.type = "TCPIP";
    // No port in the address: the option names the portmapper's.
    config.TCPIP.address = "TCPIP0::127.0.0.1::INSTR";
    hwio::Options o;
    o.portmapperPort = static_cast<std::uint16_t>(sim.portmapper());
    sim.tell(":POW 40");  // an old error of another client
    dsp::CVec iq(5000, {0.25, -0.5});
    const std::array<dsp::Bits, 2> markers{dsp::Bits(5000, 1), dsp::Bits(5000, 0)};
    model::SigGenSettings settings;
    settings.Frequency = 1.25e9;
    settings.RFblanking = 1;
    const int before = sim.state()["connections"];
    hwio::Link link(instrument::linkConfig(config), o);
    const auto d = instrument::downloadAndPlay(link, iq, markers, "LAN_WAVE", instrument::playLines_c("LAN_WAVE", settings));
    ASSERT_EQ(d.download.status, 0) << d.download.response;
    ASSERT_EQ(d.setup.status, 0) << d.setup.response;
    const auto st = sim.state();
    EXPECT_EQ(st["memory"]["LAN_WAVE"]["samples"], 5000);
    EXPECT_EQ(st["arb"]["waveform"], "LAN_WAVE");
    EXPECT_TRUE(st["arb"]["state"]);
    EXPECT_TRUE(st["arb"]["markerRfBlank"]);
    EXPECT_EQ(st["frequency"], 1.25e9);
    EXPECT_TRUE(st["output"]);
    EXPECT_FALSE(st["remote"]);
    EXPECT_TRUE(st["errors"].empty());
    EXPECT_EQ(st["connections"], before + 2) << "one core channel for it all, and this question's";
}

TEST(Vxi11Link, EveryFailureGivesAStatusAndAReadableText) {
    const int closed = testsupport::closedPort();
    auto r = hwio::hwIO(hwio::kPing, tcp("TCPIP0::127.0.0.1:" + std::to_string(closed) + "::INSTR"), {}, nullptr, quick());
    EXPECT_EQ(r.status, hwio::kConnectFailed);
    EXPECT_THAT(r.response, HasSubstr("Cannot connect to the portmapper at 127.0.0.1 port " + std::to_string(closed) +
                                      ": connection refused"));
    EXPECT_THAT(r.response, HasSubstr("TCPIP0::host::5025::SOCKET"));
    {
        SimProcess sim;
        const std::string other = "TCPIP0::127.0.0.1:" + std::to_string(sim.portmapper()) + "::inst7::INSTR";
        r = hwio::hwIO(hwio::kPing, tcp(other), {}, nullptr, quick());
        EXPECT_EQ(r.status, hwio::kConnectFailed);
        EXPECT_THAT(r.response, HasSubstr("refused a link (device not accessible)"));
        // A query it does not know leaves no answer: the read ends with its time-out.
        r = hwio::hwIO(hwio::kQuery, tcp(sim.vxi11Address()), ":NOSUCH?", nullptr, quick());
        EXPECT_EQ(r.status, hwio::kInstrumentError);
        EXPECT_THAT(r.response, HasSubstr("did not answer \":NOSUCH?\" within 0.5 s"));
        EXPECT_THAT(r.response, HasSubstr("-113,\"Undefined header\""));
    }
    {
        // The portmapper answers; the instrument takes the connection and says nothing.
        SimProcess sim({"--stall"});
        r = hwio::hwIO(hwio::kPing, tcp(sim.vxi11Address()), {}, nullptr, quick());
        EXPECT_EQ(r.status, hwio::kTimeout);
        EXPECT_EQ(r.response, "The instrument at 127.0.0.1 (VXI-11 device inst0) did not answer create_link within 0.5 s.");
        std::stop_source stop;
        hwio::Options o;  // ten seconds: the cancel comes first
        o.stop = stop.get_token();
        std::jthread canceller([&stop] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            stop.request_stop();
        });
        r = hwio::hwIO(hwio::kPing, tcp(sim.vxi11Address()), {}, nullptr, o);
        EXPECT_EQ(r.status, hwio::kCancelled);
        EXPECT_EQ(r.response, "Cancelled while connecting to the instrument.");
    }
    {
        SimProcess sim({"--drop-after", "100000"});
        const auto f = randomFrame(100000);
        const auto w = f.waveform("DROPPED");
        r = hwio::hwIO(hwio::kDownload, tcp(sim.vxi11Address()), {}, &w, quick());
        EXPECT_EQ(r.status, hwio::kConnectionLost);
        EXPECT_THAT(r.response, HasSubstr("closed the connection"));
        EXPECT_THAT(r.response, HasSubstr("while sending the waveform"));
    }
}

TEST(OncRpc, RecordsInFragmentsAndTheirBounds) {
    hwio::rpc::RecordReader reader(16);
    // Two fragments, the first not the last, cut across the feeds.
    const std::string stream = std::string("\x00\x00\x00\x03" "abc", 7) + std::string("\x80\x00\x00\x02" "de", 6) +
                               std::string("\x80\x00\x00\x01" "f", 5);
    std::size_t at = 0;
    while (!reader.ready()) at += reader.feed(stream.data() + at, std::min<std::size_t>(2, stream.size() - at));
    EXPECT_EQ(reader.take(), "abcde");
    at += reader.feed(stream.data() + at, stream.size() - at);
    ASSERT_TRUE(reader.ready());
    EXPECT_EQ(reader.take(), "f");
    EXPECT_EQ(at, stream.size());
    const std::string tooLong("\x80\x00\x00\x11", 4);
    EXPECT_THROW(reader.feed(tooLong.data(), tooLong.size()), hwio::rpc::XdrError);

    // A reply is matched to its call; a short one is refused, never read past its end.
    const std::string reply = hwio::rpc::reply(7, hwio::rpc::kSuccess, hwio::rpc::XdrWriter().opaque("xyz").bytes());
    const auto parsed = hwio::rpc::parseReply(reply);
    EXPECT_EQ(parsed.xid, 7u);
    hwio::rpc::XdrReader results(parsed.results);
    EXPECT_EQ(results.opaque(3), "xyz");
    EXPECT_THROW(results.u32(), hwio::rpc::XdrError);
    EXPECT_THROW(hwio::rpc::parseReply(reply.substr(0, 10)), hwio::rpc::XdrError);
    const std::string field = hwio::rpc::XdrWriter().opaque("xyz").bytes();
    hwio::rpc::XdrReader longer(field);
    EXPECT_THROW(longer.opaque(2), hwio::rpc::XdrError);
}
