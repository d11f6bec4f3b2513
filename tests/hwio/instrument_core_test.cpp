// The application's instrument operations without windows: link settings, download and the
// playback step, judged by what zuno-sim took.
#include <gmock/gmock.h>

#include <cmath>

#include "instrument/core/download_play.h"
#include "instrument/core/link_ops.h"
#include "sim_process.h"

using testing::HasSubstr;
using testsupport::SimProcess;

namespace {

model::Configuration lan(const SimProcess& sim) {
    model::Configuration config;
    config.type = "TCPIP";
    config.TCPIP.address = sim.address();
    return config;
}

}  // namespace

TEST(DownloadStep, SerialEstimateAsksOnlyAboveThreeQuartersOfAMinute) {
    model::Configuration config;
    config.type = "RS232";
    std::vector<std::string> asked;
    std::string answer = "Cancel";
    auto ask = [&](const std::string& title, const std::string& text, const std::vector<std::string>& buttons,
                   const std::string& def) {
        asked.push_back(title + "|" + text + "|" + buttons.at(0) + "," + buttons.at(1) + "|" + def);
        return answer;
    };
    EXPECT_DOUBLE_EQ(instrument::rs232Minutes(12000, 9600), 0.75);
    EXPECT_TRUE(instrument::confirmDownload(12000, config, ask));
    EXPECT_TRUE(asked.empty());
    EXPECT_FALSE(instrument::confirmDownload(24000, config, ask));
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], "RS-232 Download|This Download will take approximately 1.5 minutes. Do you want to continue?"
                        "|OK,Cancel|Cancel");
    answer = "OK";
    EXPECT_TRUE(instrument::confirmDownload(24000, config, ask));
    // A faster line carries more before asking; other links never ask.
    config.RS232.baudrate = 19200;
    EXPECT_TRUE(instrument::confirmDownload(24000, config, ask));
    config.type = "TCPIP";
    EXPECT_TRUE(instrument::confirmDownload(50000000, config, ask));
    EXPECT_EQ(asked.size(), 2u);
}

TEST(LinkConfig, EveryLinkFieldAsAWholeNumber) {
    model::Configuration c;
    c.type = "GPIB";
    c.GPIB = {0.4, 2.5, -1};
    c.RS232 = {-2.5, NAN, "RTS/CTS"};
    c.TCPIP = {"10.0.0.1", 1e12};
    const hwio::Config f = instrument::linkConfig(c);
    EXPECT_EQ(f.type, "GPIB");
    EXPECT_EQ(f.GPIB, (hwio::Config::Gpib{0, 3, -1})) << "halves away from zero";
    EXPECT_EQ(f.RS232, (hwio::Config::Rs232{-3, 0, "RTS/CTS"})) << "NaN as 0";
    EXPECT_EQ(f.TCPIP, (hwio::Config::Tcpip{"10.0.0.1", 2147483647})) << "saturating";
    c.TCPIP.board = -1e12;
    EXPECT_EQ(instrument::linkConfig(c).TCPIP->board, -2147483647 - 1);
    const hwio::Config app = instrument::linkConfig(model::Configuration{});
    EXPECT_EQ(app.RS232, (hwio::Config::Rs232{1, 9600, "Xon/Xoff"}));
    EXPECT_EQ(app.GPIB, (hwio::Config::Gpib{0, 19, -1}));
}

// The download and the playback step as the window and zuno-gen run them: the instrument holds
// the waveform normalised to full scale with its markers, plays it at the settings sent, all
// over one connection.
TEST(DownloadAndPlay, OneConnectionStoresTheWaveformAndStartsIt) {
    SimProcess sim;
    const dsp::CVec iq{{0.1, 0.2}, {-0.05, 0.0}, {0.0, -0.4}};
    const std::array<dsp::Bits, 2> markers{dsp::Bits{1, 0, 1}, dsp::Bits{0, 1, 1}};
    model::SigGenSettings g;
    g.Frequency = 1.5e9;
    g.Amplitude = -12.5;
    g.SamplingRate = 4.9152e6;
    g.BBfilter = 2;
    g.Scaling = 80;
    g.ModAtten = 3;
    g.ALC = 1;
    g.RFblanking = 1;
    g.MarkerPolarity = 1;
    g.ArbRefSource = 1;
    const int before = sim.state()["connections"];
    hwio::Link link(instrument::linkConfig(lan(sim)));
    const auto d = instrument::downloadAndPlay(link, iq, markers, "N", instrument::playLines_c("N", g));
    ASSERT_EQ(d.download.status, 0) << d.download.response;
    EXPECT_EQ(d.download.response, "Waveform \"N\" stored: 3 samples with markers.");
    ASSERT_EQ(d.setup.status, 0) << d.setup.response;
    EXPECT_EQ(d.lines.size(), 15u);

    const auto st = sim.state();
    EXPECT_EQ(st["connections"], before + 2) << "one for the download and its playback, one for this question";
    EXPECT_EQ(sim.samples("N"), hwio::iqBytes(iq, "norm", 1)) << "always normalised to full scale";
    EXPECT_EQ(sim.markers("N"), std::string("\x01\x02\x03", 3));
    EXPECT_EQ(st["arb"]["waveform"], "N");
    EXPECT_TRUE(st["arb"]["state"]);
    EXPECT_TRUE(st["output"]);
    EXPECT_EQ(st["frequency"], 1.5e9);
    EXPECT_EQ(st["power"], -12.5);
    EXPECT_EQ(st["arb"]["sampleRate"], 4.9152e6);
    EXPECT_EQ(st["arb"]["scaling"], 80);
    EXPECT_EQ(st["dm"]["basebandFilter"], "40000000");
    EXPECT_FALSE(st["dm"]["iqAttenuationAuto"]);
    EXPECT_EQ(st["dm"]["iqAttenuation"], 3);
    EXPECT_TRUE(st["alc"]);
    EXPECT_TRUE(st["arb"]["markerRfBlank"]);
    EXPECT_EQ(st["arb"]["markerPolarity"], "NEG");
    EXPECT_EQ(st["arb"]["clockReference"], "EXT");
    EXPECT_FALSE(st["remote"]) << "handed back to the front panel";
    EXPECT_TRUE(st["errors"].empty());

    // The check the connection dialog shows is the instrument's identity.
    const auto check = instrument::VerifyComm(link);
    EXPECT_EQ(check.status, 0);
    EXPECT_EQ(check.response, st["identity"]);
}

// Both instrument families' playback steps leave the instrument in the state they name; the
// settings' codes choose the filters.
TEST(Playback, TheFiltersTheCodesChoose) {
    SimProcess sim;
    hwio::Link link(instrument::linkConfig(lan(sim)));
    const std::array<dsp::Bits, 2> markers{dsp::Bits(4, 0), dsp::Bits(4, 0)};
    ASSERT_EQ(instrument::hwDownload(link, dsp::CVec(4, {0.5, 0.5}), markers, "W").status, 0);
    model::SigGenSettings g;
    for (const auto& [code, filter] : {std::pair{1.0, "2100000"}, {2.0, "40000000"}, {3.0, "THR"}}) {
        g.BBfilter = code;
        ASSERT_EQ(instrument::playSequence(link, instrument::playLines_c("W", g)).status, 0);
        EXPECT_EQ(sim.state()["dm"]["basebandFilter"], filter) << code;
    }
    for (const auto& [code, filter] :
         {std::pair{std::optional<double>(1), "250000"}, {2, "2500000"}, {3, "8000000"}, {std::nullopt, "THR"}}) {
        const auto lines = instrument::playLines("W", g, code);
        EXPECT_EQ(lines.size(), 11u);
        ASSERT_EQ(instrument::playSequence(link, lines).status, 0);
        const auto st = sim.state();
        EXPECT_EQ(st["arb"]["reconstructionFilter"], filter);
        EXPECT_TRUE(st["arb"]["state"]);
        EXPECT_TRUE(st["output"]);
    }
}

TEST(PlaybackSequence, ACancelEndsItAtOnceWithoutTheRest) {
    SimProcess sim({"--stall"});
    std::stop_source stop;
    hwio::Options o;
    o.stop = stop.get_token();
    o.progress = [&](hwio::Stage stage, std::size_t, std::size_t) {
        if (stage == hwio::Stage::Waiting) stop.request_stop();
    };
    hwio::Link link(instrument::linkConfig(lan(sim)), o);
    std::vector<hwio::Result> sent;
    const auto r = instrument::playSequence(link, instrument::playLines_c("W", model::SigGenSettings{}), &sent);
    EXPECT_EQ(r.status, hwio::kCancelled);
    EXPECT_THAT(r.response, HasSubstr("Cancelled while waiting for the answer to \":SYSTem:ERRor?\""));
    EXPECT_EQ(sent.size(), 1u) << "no line after the cancel, and no return to local";
}

// A link that failed is not used again: the next operation connects anew.
TEST(Link, AfterALinkFailureTheNextOperationConnectsAgain) {
    SimProcess sim({"--drop-after", "60"});  // the first operation's 43 bytes pass, the second's do not
    hwio::Options o;
    o.timeout = 2;
    hwio::Link link(instrument::linkConfig(lan(sim)), o);
    EXPECT_EQ(instrument::hwSend(link, " :source:freq:fix 2GHz").status, 0);
    EXPECT_EQ(instrument::hwSend(link, " :source:freq:fix 3GHz").status, hwio::kConnectionLost);
    const auto r = instrument::hwQuery(link, ":FREQ?");
    EXPECT_EQ(r.status, 0) << r.response;
    EXPECT_EQ(r.response, "2000000000") << "the second setting did not arrive whole";
}
