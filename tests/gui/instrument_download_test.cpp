#include <QAbstractButton>
#include <QApplication>
#include <QProgressDialog>
#include <QTimer>
#include <gmock/gmock.h>

#include "app/core/parameter_file.h"
#include "app/instrument_commands.h"
#include "app/status_line.h"
#include "app_fixture.h"
#include "instrument/core/download_play.h"
#include "instrument/core/link_ops.h"
#include "tests/hwio/sim_process.h"

using testing::ElementsAre;
using testing::HasSubstr;
using testsupport::AppTest;
using testsupport::SimProcess;

namespace {

class DownloadTest : public AppTest {
protected:
    app::InstrumentCommands& cmds() { return application->instrument(); }
    void linkTo(const SimProcess& sim) {
        state().configuration.type = "TCPIP";
        state().configuration.TCPIP.address = sim.address();
        cmds().linkOptions.timeout = 2;
        cmds().linkOptions.completionTimeout = 2;
    }
    std::vector<std::string> shownTitles() const {
        std::vector<std::string> t;
        for (const auto& s : dialogs.shown) t.push_back(s.title);
        return t;
    }
    // What the instrument received after the waveform blocks, without the error checks.
    static std::vector<std::string> playback(const SimProcess& sim) {
        std::vector<std::string> lines;
        for (const auto& l : sim.commands())
            if (!l.starts_with(":MEMory:") && l != "*IDN?") lines.push_back(l);
        return lines;
    }
};

std::vector<std::string> withLocal(std::vector<std::string> lines) {
    lines.push_back(":SYSTem:LOCal");
    return lines;
}

}  // namespace

TEST_F(DownloadTest, TheWholeRoadOfOneDownload) {
    start();
    SimProcess sim;
    linkTo(sim);
    dialogs.answers.push_back("Calculate & Download");
    press("pbDownload");

    EXPECT_THAT(shownTitles(), ElementsAre("Waveform Not Calculated", "Download Completed"));
    EXPECT_EQ(dialogs.shown.back().text, "Waveform has been successfully transferred to the instrument");
    const auto& s = state();
    ASSERT_EQ(s.waveform.size(), 163840u);
    EXPECT_EQ(sim.samples("Zuno-Fwd"), hwio::iqBytes(s.waveform, "norm", 1));
    EXPECT_EQ(sim.markers("Zuno-Fwd"), hwio::markerBytes(s.markers[0], s.markers[1], s.waveform.size()));
    EXPECT_EQ(playback(sim), withLocal(instrument::playLines_c("Zuno-Fwd", s.SigGenSettings)));
    EXPECT_THAT(playback(sim), testing::Contains(" :source:freq:fix 2200000000Hz"));
    EXPECT_THAT(playback(sim), testing::Contains(" :source:power:level:immediate:amplitude -30dbm"));
    EXPECT_THAT(playback(sim), testing::Contains(" :source:rad:arb:clock:srate 6144000Hz"));

    const auto st = sim.state();
    EXPECT_EQ(st["arb"]["waveform"], "Zuno-Fwd");
    EXPECT_TRUE(st["arb"]["state"]);
    EXPECT_TRUE(st["output"]);
    EXPECT_EQ(st["frequency"], 2.2e9);
    EXPECT_EQ(st["power"], -30);
    EXPECT_EQ(st["arb"]["sampleRate"], 6144000);
    EXPECT_EQ(st["dm"]["basebandFilter"], "2100000");
    EXPECT_FALSE(st["dm"]["iqAttenuationAuto"]);
    EXPECT_FALSE(st["remote"]) << "handed back to the front panel";
    EXPECT_TRUE(st["errors"].empty());
    EXPECT_EQ(main->cursor().shape(), Qt::ArrowCursor);
    EXPECT_TRUE(console.str().empty()) << console.str();
}

TEST_F(DownloadTest, RefreshSendsTheEdgeCaseSettingsAsWritten) {
    start();
    SimProcess sim;
    linkTo(sim);
    dialogs.answers.push_back("Calculate & Download");
    press("pbDownload");
    sim.clearLog();

    auto& g = state().SigGenSettings;
    g.BBfilter = 0;
    g.ALC = 2;
    g.RFblanking = 2;
    g.Amplitude = -136;
    g.MarkerPolarity = 1;
    g.ArbRefSource = 1;
    g.Scaling = 33.33;
    g.ModAtten = 13;
    g.Frequency = 1234567.5;
    press("pbRefresh");
    const auto lines = playback(sim);
    ASSERT_EQ(lines.size(), 16u);
    EXPECT_EQ(lines[2], " :source:freq:fix 1234567.5Hz");
    EXPECT_EQ(lines[3], " :source:power:level:immediate:amplitude -136dbm");
    EXPECT_EQ(lines[5], " :source:dm:bbfilter Through");
    EXPECT_EQ(lines[6], " :source:rad:ARB:rscaling 33.33");
    EXPECT_EQ(lines[8], ":source:DM:IQAT 13");
    EXPECT_EQ(lines[9], " :pow:alc:state on");
    EXPECT_EQ(lines[10], " :source:rad:arb:marker:rfblank off");
    EXPECT_EQ(lines[11], " :source:rad:arb:marker:polarity Neg");
    EXPECT_EQ(lines[12], " :source:rad:arb:clock:ref ext");
    EXPECT_EQ(lines, withLocal(instrument::playLines_c("Zuno-Fwd", g)));
    const auto st = sim.state();
    EXPECT_EQ(st["arb"]["clockReference"], "EXT");
    EXPECT_EQ(st["arb"]["markerPolarity"], "NEG");
    EXPECT_EQ(st["dm"]["basebandFilter"], "THR");
    EXPECT_EQ(st["frequency"], 1234567.5);
    EXPECT_EQ(dialogs.shown.size(), 2u) << "a good refresh says nothing";

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

TEST_F(DownloadTest, TheFirstRejectedLineIsReportedAfterTheWholeSequence) {
    start();
    SimProcess sim({"--reject", ":source:power:level:immediate:amplitude"});
    linkTo(sim);
    dialogs.answers.push_back("Calculate & Download");
    press("pbDownload");
    ASSERT_EQ(dialogs.shown.back().title, "Error Occured During Instrument Setup");
    EXPECT_EQ(dialogs.shown.back().text,
              "Line 4 (\" :source:power:level:immediate:amplitude -30dbm\") failed: The instrument reported: "
              "-221,\"Settings conflict\"");
    EXPECT_EQ(playback(sim).size(), 16u) << "every line is sent, then local";
    EXPECT_TRUE(sim.state()["output"]);

    // Refresh reports the same way; a setting the instrument cannot take names its line too.
    state().SigGenSettings.SamplingRate = 2e8;
    press("pbRefresh");
    EXPECT_EQ(dialogs.shown.back().title, "Error Occured During Instrument Setup");
    EXPECT_THAT(dialogs.shown.back().text, HasSubstr("Line 4"));
    EXPECT_TRUE(console.str().empty()) << console.str();
}

TEST_F(DownloadTest, AFailedTransferSkipsPlayback) {
    start();
    {
        SimProcess sim({"--refuse"});
        linkTo(sim);
        dialogs.answers.push_back("Calculate & Download");
        press("pbDownload");
        ASSERT_EQ(dialogs.shown.back().title, "Error Occured During Waveform Download");
        EXPECT_THAT(dialogs.shown.back().text, HasSubstr("connection refused"));
        press("pbRefresh");
        EXPECT_EQ(dialogs.shown.back().title, "Error Occured During Instrument Setup");
        EXPECT_THAT(dialogs.shown.back().text, HasSubstr("Line 1"));
    }
    {
        SimProcess sim({"--drop-after", "300000"});
        linkTo(sim);
        press("pbDownload");
        EXPECT_EQ(dialogs.shown.back().title, "Error Occured During Waveform Download");
        EXPECT_THAT(dialogs.shown.back().text, HasSubstr("closed the connection"));
    }
    {
        SimProcess sim;
        linkTo(sim);
        state().configuration.TCPIP.address = "0.0.0.0";
        press("pbDownload");
        EXPECT_THAT(dialogs.shown.back().text, HasSubstr("placeholder 0.0.0.0"));
        EXPECT_TRUE(sim.commands().empty());
    }
    EXPECT_EQ(main->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(DownloadTest, CancellingTheProgressDialogStopsTheTransfer) {
    start();
    SimProcess sim;
    linkTo(sim);
    cmds().progressDelayMs = 0;
    cmds().linkOptions.pieceBytes = 16384;
    dialogs.answers.push_back("Calculate & Download");
    bool seen = false;
    std::function<void()> cancel = [&] {
        if (auto* d = main->findChild<QProgressDialog*>("dlgDownloadProgress"); d && d->isVisible()) {
            EXPECT_EQ(d->labelText(), "Downloading the waveform to the signal generator...");
            seen = true;
            d->cancel();
        } else {
            QTimer::singleShot(0, cancel);
        }
    };
    QTimer::singleShot(0, cancel);
    press("pbDownload");
    EXPECT_TRUE(seen);
    EXPECT_THAT(shownTitles(), ElementsAre("Waveform Not Calculated")) << "no playback, no success box";
    EXPECT_TRUE(sim.state()["memory"].empty());
    EXPECT_TRUE(playback(sim).empty());
    EXPECT_EQ(main->findChild<QProgressDialog*>("dlgDownloadProgress"), nullptr);
}

TEST_F(DownloadTest, SerialTransferIsConfirmedFirst) {
    start();
    SimProcess sim({"--serial"});
    state().configuration.type = "rS232";
    cmds().linkOptions.serialDevice = sim.serial();
    cmds().linkOptions.timeout = 5;
    dialogs.answers = {"Calculate & Download", "Cancel"};
    press("pbDownload");
    ASSERT_EQ(dialogs.shown.size(), 2u);
    const auto& q = dialogs.shown[1];
    EXPECT_EQ(q.title, "RS-232 Download");
    EXPECT_EQ(q.text, "This Download will take approximately 10.24 minutes. Do you want to continue?");
    EXPECT_EQ(q.buttons, (std::vector<std::string>{"OK", "Cancel"}));
    EXPECT_EQ(q.defaultButton, "Cancel");
    EXPECT_TRUE(sim.commands().empty()) << "a declined transfer sends nothing and plays nothing";

    dialogs.answers = {""};  // closing the question cancels as well
    press("pbDownload");
    EXPECT_EQ(dialogs.shown.size(), 3u);
    EXPECT_TRUE(sim.commands().empty());

    dialogs.answers = {"OK"};
    press("pbDownload");
    EXPECT_EQ(dialogs.shown.back().title, "Download Completed");
    EXPECT_EQ(sim.samples("Zuno-Fwd"), hwio::iqBytes(state().waveform, "norm", 1));
    EXPECT_TRUE(sim.state()["output"]);
}

TEST(DownloadStep, SerialEstimateAsksOnlyAboveThreeQuartersOfAMinute) {
    SimProcess sim({"--serial"});
    app::Configuration config;
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
    const hwio::Config app = instrument::formatconfig(app::toValue(app::Configuration{}));
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
    app::Configuration config;
    config.type = "TCPIP";
    config.TCPIP.address = sim.address();
    const host::Value link = app::toValue(config);
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

// Opening a file with another oversampling, then downloading: the instrument plays at the file's clock.
TEST_F(DownloadTest, AnOpenedFilePlaysAtItsOwnClock) {
    start();
    SimProcess sim;
    linkTo(sim);
    app::Parameters eight;
    eight.OverSampling = 8;
    eight.ProjectedLength = 8 * 32768;
    eight.IdleSlotGainActive = 0;
    app::writeParameterFile(path("eight.mat"), eight);
    dialogs.files.push_back(host::FileChoice{dir.string() + "/", "eight.mat"});
    trigger("menuFileOpen");
    dialogs.answers.push_back("Calculate & Download");
    press("pbDownload");

    EXPECT_EQ(shownTitles().back(), "Download Completed");
    EXPECT_EQ(state().waveform.size(), 8u * 32768u);
    const auto st = sim.state();
    EXPECT_EQ(st["arb"]["sampleRate"], 8 * 1228800);
    EXPECT_THAT(playback(sim), testing::Contains(" :source:rad:arb:marker:rfblank on"));
    EXPECT_EQ(app::statusText(ctx()), "Downloaded to " + sim.address());
}
