#include <QAbstractButton>
#include <QApplication>
#include <QProgressDialog>
#include <QTimer>
#include <gmock/gmock.h>

#include "model/parameter_file.h"
#include "app/instrument_commands.h"
#include "app/status_line.h"
#include "app_fixture.h"
#include "instrument/connection_dialog.h"
#include "instrument/core/download_play.h"
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
    EXPECT_EQ(sim.state()["connections"], 2) << "one for the download and its playback, one for this question";

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

}

TEST_F(DownloadTest, ARejectedLineIsReportedAfterEverySettingLine) {
    start();
    SimProcess sim({"--reject", ":source:power:level:immediate:amplitude"});
    linkTo(sim);
    dialogs.answers.push_back("Calculate & Download");
    press("pbDownload");
    ASSERT_EQ(dialogs.shown.back().title, "Error Occurred During Instrument Setup");
    EXPECT_EQ(dialogs.shown.back().text,
              "Line 4 (\" :source:power:level:immediate:amplitude -30dbm\") failed: The instrument reported: "
              "-221,\"Settings conflict\"\nThe player and the RF output were not switched on.");
    EXPECT_EQ(playback(sim).size(), 14u) << "every setting line is sent, then local";
    EXPECT_FALSE(sim.state()["output"]);

    // Refresh reports the same way; a setting the instrument cannot take names its line too.
    state().SigGenSettings.SamplingRate = 2e8;
    press("pbRefresh");
    EXPECT_EQ(dialogs.shown.back().title, "Error Occurred During Instrument Setup");
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
        ASSERT_EQ(dialogs.shown.back().title, "Error Occurred During Waveform Download");
        EXPECT_THAT(dialogs.shown.back().text, HasSubstr("connection refused"));
        press("pbRefresh");
        EXPECT_EQ(dialogs.shown.back().title, "Error Occurred During Instrument Setup");
        EXPECT_THAT(dialogs.shown.back().text, HasSubstr("Line 1"));
    }
    {
        SimProcess sim({"--drop-after", "300000"});
        linkTo(sim);
        press("pbDownload");
        EXPECT_EQ(dialogs.shown.back().title, "Error Occurred During Waveform Download");
        EXPECT_THAT(dialogs.shown.back().text, HasSubstr("closed the connection"));
        // The frame fits the socket buffers: the drop shows only after the transfer, and is
        // still told as the transfer's.
        EXPECT_THAT(dialogs.shown.back().text, testing::Not(HasSubstr("*OPC?")));
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

// A silent instrument: the frame fits the socket buffers, so the wait is for the answer after
// the transfer. The window goes on meanwhile, the progress shows, and Cancel ends the wait.
TEST_F(DownloadTest, AStalledInstrumentLeavesTheWindowResponsiveAndCancelEndsTheWait) {
    start();
    SimProcess sim({"--stall"});
    linkTo(sim);
    cmds().linkOptions.timeout = 600;  // only the cancel ends these waits
    testsupport::TimerProbe probe;
    int ticksBefore = 0;
    testsupport::SeenProgress seen;
    hands.then([&](QWidget* progress) {
        ticksBefore = probe.ticks;
        seen = testsupport::seenProgress(progress);
        testsupport::pressButton(progress, "Cancel");
    });
    dialogs.answers.push_back("Calculate & Download");
    press("pbDownload");
    EXPECT_TRUE(hands.done()) << "the progress dialog showed";
    EXPECT_GT(ticksBefore, 0) << "the window's timer fired while the instrument was silent";
    EXPECT_EQ(seen.label,
              "Downloading the waveform to the signal generator...\nWaiting for the signal generator to answer...");
    EXPECT_EQ(seen.value, seen.maximum) << "the transfer itself was done";
    EXPECT_THAT(shownTitles(), ElementsAre("Waveform Not Calculated")) << "no playback, no message box";
    EXPECT_EQ(app::statusText(ctx()), "Download to " + sim.address() + " cancelled");
    EXPECT_EQ(main->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(main->findChild<QProgressDialog*>("dlgLinkProgress"), nullptr);

    // The same for the settings alone, and for the largest frame, whose transfer may stall too.
    hands.then([](QWidget*) { testsupport::key(Qt::Key_Escape); });  // the keyboard's way to cancel
    press("pbRefresh");
    EXPECT_EQ(app::statusText(ctx()), "Sending the settings to " + sim.address() + " cancelled");
    type("txtOversampling", "30");
    hands.then([](QWidget* progress) { testsupport::pressButton(progress, "Cancel"); });
    dialogs.answers.push_back("Recalc & Download");
    press("pbDownload");
    EXPECT_TRUE(hands.done());
    EXPECT_EQ(state().waveform.size(), 983040u);
    EXPECT_EQ(app::statusText(ctx()), "Download to " + sim.address() + " cancelled");
    EXPECT_TRUE(console.str().empty()) << console.str();
}

TEST_F(DownloadTest, AnOldErrorOfAnotherClientFailsNothing) {
    start();
    SimProcess sim;
    linkTo(sim);
    sim.tell(":POW 40");
    dialogs.answers.push_back("Calculate & Download");
    press("pbDownload");
    EXPECT_THAT(shownTitles(), ElementsAre("Waveform Not Calculated", "Download Completed"));
    EXPECT_TRUE(sim.state()["output"]);
    sim.tell(":FREQ 9GHz");
    press("pbRefresh");
    EXPECT_EQ(app::statusText(ctx()), "Settings sent to " + sim.address());
}

TEST_F(DownloadTest, DownloadAndPlaybackOverVxi11) {
    start();
    SimProcess sim;
    linkTo(sim);
    state().configuration.TCPIP.address = sim.vxi11Address();
    cmds().progressDelayMs = 0;
    testsupport::SeenProgress seen;
    hands.then([&](QWidget* progress) { seen = testsupport::seenProgress(progress); });
    dialogs.answers.push_back("Calculate & Download");
    press("pbDownload");
    EXPECT_THAT(shownTitles(), ElementsAre("Waveform Not Calculated", "Download Completed"));
    EXPECT_THAT(seen.label, testing::StartsWith("Downloading the waveform to the signal generator..."));
    EXPECT_EQ(sim.samples("Zuno-Fwd"), hwio::iqBytes(state().waveform, "norm", 1));
    EXPECT_EQ(playback(sim), instrument::playLines_c("Zuno-Fwd", state().SigGenSettings)) << "then device_local";
    const auto st = sim.state();
    EXPECT_TRUE(st["arb"]["state"]);
    EXPECT_FALSE(st["remote"]);
    EXPECT_EQ(app::statusText(ctx()), "Downloaded to " + sim.vxi11Address());
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

// Opening a file with another oversampling, then downloading: the instrument plays at the file's clock.
TEST_F(DownloadTest, AnOpenedFilePlaysAtItsOwnClock) {
    start();
    SimProcess sim;
    linkTo(sim);
    model::Parameters eight;
    eight.OverSampling = 8;
    eight.ProjectedLength = 8 * 32768;
    eight.IdleSlotGainActive = 0;
    model::writeParameterFile(path("eight.mat"), eight);
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
