// The application's instrument operations without windows: link settings, download and the
// playback lines, against zuno-sim.
#include <gmock/gmock.h>

#include "instrument/core/download_play.h"
#include "instrument/core/link_ops.h"
#include "sim_process.h"

using testing::HasSubstr;
using testsupport::SimProcess;

TEST(PlaybackLines, CodesBecomeTheirTexts) {
    model::SigGenSettings g;
    g.BBfilter = 3;
    g.Amplitude = 20;
    const auto other = instrument::playLines_c("W", g);
    EXPECT_EQ(other[1], " :source:rad:arb:wav \"arbi:W\" ");
    EXPECT_EQ(other[5], " :source:dm:bbfilter Through");
    g.BBfilter = 2;
    EXPECT_EQ(instrument::playLines_c("W", g)[5], " :source:dm:bbfilter 40MHz");
    // The other instrument family: eleven lines with the reconstruction filter.
    const auto family = instrument::playLines("W", g, 2);
    ASSERT_EQ(family.size(), 11u);
    EXPECT_EQ(family[5], " :source:rad:arb:rfilter 2.5Mhz");
    EXPECT_EQ(family[6], other[10]);
    EXPECT_EQ(instrument::playLines("W", g)[5], " :source:rad:arb:rfilter through");
    EXPECT_EQ(instrument::playLines("W", g, 1)[5], " :source:rad:arb:rfilter 250.0khz");
}

TEST(DownloadStep, SerialEstimateAsksOnlyAboveThreeQuartersOfAMinute) {
    SimProcess sim({"--serial"});
    model::Configuration config;
    config.type = "RS232";
    hwio::Options o;
    o.serialDevice = sim.serial();
    o.timeout = 5;
    int asked = 0;
    auto ask = [&](const std::string&, const std::string&, const std::vector<std::string>&, const std::string&) {
        ++asked;
        return std::string("Cancel");
    };
    const std::array<dsp::Bits, 2> markers{dsp::Bits(12000, 1), dsp::Bits(12000, 0)};
    dsp::CVec iq(12000, {0.5, -0.5});
    EXPECT_DOUBLE_EQ(instrument::rs232Minutes(12000, 9600), 0.75);
    auto r = instrument::VSKDownLoadWrap(iq, markers, "EDGE", config, ask, o);
    EXPECT_EQ(r.status, 0) << r.response;
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(sim.samples("EDGE"), hwio::iqBytes(iq, "norm", 1));

    iq.push_back({0, 0});
    const std::array<dsp::Bits, 2> more{dsp::Bits(12001, 1), dsp::Bits(12001, 0)};
    r = instrument::VSKDownLoadWrap(iq, more, "EDGE2", config, ask, o);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(r.status, hwio::kCancelled);
    EXPECT_EQ(r.response, "download cancelled");
    // A faster line carries more before asking; other links never ask.
    config.RS232.baudrate = 19200;
    EXPECT_EQ(instrument::VSKDownLoadWrap(iq, more, "EDGE2", config, ask, o).status, 0);
    config.type = "TCPIP";
    config.TCPIP.address = sim.address();
    std::vector<dsp::cplx> big(500000, {1, 0});
    const std::array<dsp::Bits, 2> bigMarkers{dsp::Bits(big.size(), 0), dsp::Bits(big.size(), 0)};
    EXPECT_EQ(instrument::VSKDownLoadWrap(big, bigMarkers, "LAN", config, ask, o).status, 0);
    EXPECT_EQ(asked, 1);
}

TEST(LinkOperations, FormatconfigConvertsWhatIsThere) {
    host::Value c = host::Value::record();
    c.set("type", "GPIB");
    host::Value g = host::Value::record();
    g.set("board", 0.4);
    g.set("primary", 2.5);
    g.set("secondary", -1);
    c.set("GPIB", g);
    host::Value t = host::Value::record();
    t.set("address", "10.0.0.1");
    t.set("board", 1e12);
    c.set("TCPIP", t);
    c.set("BBGtype", "002");
    const hwio::Config f = instrument::formatconfig(c);
    EXPECT_EQ(f.type, "GPIB");
    ASSERT_TRUE(f.GPIB);
    EXPECT_EQ(f.GPIB->board, 0);
    EXPECT_EQ(f.GPIB->primary, 3);
    EXPECT_EQ(f.GPIB->secondary, -1);
    EXPECT_FALSE(f.RS232) << "a missing sub-record is not added";
    EXPECT_EQ(f.TCPIP->address, "10.0.0.1");
    EXPECT_EQ(f.TCPIP->board, 2147483647);

    g.set("primary", -2.5);
    g.set("board", NAN);
    c.set("GPIB", g);
    c.set("RS232", host::Value::record());
    const hwio::Config f2 = instrument::formatconfig(c);
    EXPECT_EQ(f2.GPIB->primary, -3);
    EXPECT_EQ(f2.GPIB->board, 0);
    EXPECT_EQ(f2.RS232, hwio::Config::Rs232{}) << "present but empty: nothing converted";
    // The application's record converts completely.
    const hwio::Config app = instrument::formatconfig(model::toValue(model::Configuration{}));
    EXPECT_EQ(app.RS232->baudrate, 9600);
    EXPECT_EQ(app.RS232->handshake, "Xon/Xoff");

    g.set("primary", "19");
    c.set("GPIB", g);
    try {
        instrument::formatconfig(c);
        ADD_FAILURE() << "a text address was taken";
    } catch (const std::invalid_argument& e) {
        EXPECT_THAT(e.what(), HasSubstr("configuration.GPIB.primary must be one number"));
    }
}

TEST(LinkOperations, DownloadAlwaysNormalisesAndTheCheckIsThePing) {
    SimProcess sim;
    model::Configuration config;
    config.type = "TCPIP";
    config.TCPIP.address = sim.address();
    const host::Value link = model::toValue(config);
    const dsp::CVec iq{{0.1, 0.2}, {-0.05, 0.0}};
    const std::array<dsp::Bits, 2> markers{dsp::Bits{1, 0}, dsp::Bits{0, 1}};
    const auto r = instrument::hwDownload(link, iq, markers, "raw", 0.25, "N");
    ASSERT_EQ(r.status, 0) << r.response;
    EXPECT_EQ(sim.samples("N"), hwio::iqBytes(iq, "norm", 1));
    EXPECT_EQ(sim.markers("N"), std::string("\x01\x02", 2));
    const auto ping = instrument::hwPing(link), check = instrument::VerifyComm(link);
    EXPECT_EQ(check.status, ping.status);
    EXPECT_EQ(check.response, ping.response);
    EXPECT_EQ(instrument::hwQuery(link, ":OUTP?").response, "0");
}

TEST(PlaybackSequence, ACancelEndsItAtOnceWithoutTheRest) {
    SimProcess sim({"--stall"});
    model::Configuration config;
    config.type = "TCPIP";
    config.TCPIP.address = sim.address();
    std::stop_source stop;
    hwio::Options o;
    o.stop = stop.get_token();
    o.progress = [&](hwio::Stage stage, std::size_t, std::size_t) {
        if (stage == hwio::Stage::Waiting) stop.request_stop();
    };
    std::vector<hwio::Result> sent;
    const auto r = instrument::playSequence(instrument::playLines_c("W", model::SigGenSettings{}), config, o, &sent);
    EXPECT_EQ(r.status, hwio::kCancelled);
    EXPECT_THAT(r.response, HasSubstr("Cancelled while waiting for the answer to \":SYSTem:ERRor?\""));
    EXPECT_EQ(sent.size(), 1u) << "no line after the cancel, and no return to local";
}
