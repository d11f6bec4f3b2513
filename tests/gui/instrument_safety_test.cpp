// What reaches the instrument: RF and the player are switched on only over settings the
// instrument took; a waveform plays at the clock it was computed for; the panel switches RF and
// the player and reads the instrument back without a download.
#include <QMessageBox>
#include <QPushButton>
#include <gmock/gmock.h>

#include "app/instrument_commands.h"
#include "app/status_line.h"
#include "app_fixture.h"
#include "instrument/core/download_play.h"
#include "tests/hwio/sim_process.h"

using testing::Contains;
using testing::HasSubstr;
using testing::Not;
using testsupport::AppTest;
using testsupport::SimProcess;

namespace {

constexpr const char* kPowerLine = " :source:power:level:immediate:amplitude -30dbm";
constexpr const char* kPlayerOn = " :source:rad:arb:state on";
constexpr const char* kRfOn = " :output:state on";

class SafetyTest : public AppTest {
protected:
    void linkTo(const SimProcess& sim) {
        state().configuration.type = "TCPIP";
        state().configuration.TCPIP.address = sim.address();
        application->instrument().linkOptions.timeout = 5;
        application->instrument().progressDelayMs = 60000;
    }
    // What the instrument received after the waveform blocks.
    static std::vector<std::string> playback(const SimProcess& sim) {
        std::vector<std::string> lines;
        for (const auto& l : sim.commands())
            if (!l.starts_with(":MEMory:") && l != "*IDN?") lines.push_back(l);
        return lines;
    }
    bool checked(const char* tag) { return c(tag).value() != 0; }
};

}  // namespace

// The flow of the report: the instrument refuses the power line. It never sees the player start
// or RF on, and the error box (with the error icon) names the line and the instrument's error.
TEST_F(SafetyTest, ARejectedPowerLineSwitchesNothingOn) {
    startWithRealDialogs();
    SimProcess sim({"--reject", ":source:power:level:immediate:amplitude"});
    linkTo(sim);
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    std::string text;
    hands.then([](QWidget*) { testsupport::key(Qt::Key_Return); });  // its default: Calculate & Download
    hands.then([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        icon = box->icon();
        text = box->text().replace('\n', ' ').toStdString();  // the box wraps long lines
        testsupport::pressButton(w, "OK");
    });
    press("pbDownload");
    ASSERT_TRUE(hands.done());
    ASSERT_EQ(hands.seen.back().title, "Error Occurred During Instrument Setup");
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_EQ(text, std::string("Line 4 (\"") + kPowerLine +
                        "\") failed: The instrument reported: -221,\"Settings conflict\" "
                        "The player and the RF output were not switched on.");
    const auto lines = playback(sim);
    EXPECT_THAT(lines, Not(Contains(kPlayerOn)));
    EXPECT_THAT(lines, Not(Contains(kRfOn)));
    auto expected = instrument::playLines_c("Zuno-Fwd", state().SigGenSettings);
    expected.resize(expected.size() - instrument::kSwitchOnLines);
    expected.push_back(":SYSTem:LOCal");
    EXPECT_EQ(lines, expected) << "every setting line, in order, then local";
    const auto st = sim.state();
    EXPECT_FALSE(st["output"]);
    EXPECT_FALSE(st["arb"]["state"]);
    EXPECT_FALSE(st["remote"]);
    EXPECT_FALSE(checked("pbPlayer"));
    EXPECT_FALSE(checked("pbRFOutput"));
    EXPECT_EQ(app::statusText(ctx()), std::string("Instrument setup failed: Line 4 (\"") + kPowerLine +
                                          "\") failed: The instrument reported: -221,\"Settings conflict\"");
}

TEST_F(SafetyTest, EveryRejectedLineIsNamedAndRefreshIsAsCareful) {
    start();
    SimProcess sim({"--reject", ":source:power:level:immediate:amplitude", "--reject", ":source:dm:bbfilter"});
    linkTo(sim);
    dialogs.answers.push_back("Calculate & Download");
    press("pbDownload");
    ASSERT_EQ(dialogs.shown.back().kind, "error");
    EXPECT_THAT(dialogs.shown.back().text, HasSubstr("Line 4 ("));
    EXPECT_THAT(dialogs.shown.back().text, HasSubstr("\nLine 6 (\" :source:dm:bbfilter 2.1MHz\") failed: The instrument "
                                                     "reported: -221,\"Settings conflict\"\n"));
    sim.clearLog();
    press("pbRefresh");
    EXPECT_EQ(dialogs.shown.back().title, "Error Occurred During Instrument Setup");
    EXPECT_EQ(dialogs.shown.back().kind, "error");
    EXPECT_THAT(playback(sim), Not(Contains(kRfOn)));
    EXPECT_FALSE(sim.state()["output"]);
    EXPECT_TRUE(console.str().empty()) << console.str();
}

// The flow of the report: the frame was computed at oversampling 5, the setting is changed to 8
// and Download answered with Yes: the instrument plays the old frame at 5 x 1 228 800.
TEST_F(SafetyTest, AnOldFramePlaysAtTheClockItWasComputedFor) {
    start();
    SimProcess sim;
    linkTo(sim);
    press("pbCalculate");
    ASSERT_EQ(state().waveform.size(), 5u * 32768u);
    type("txtOversampling", "8");
    ASSERT_EQ(state().SigGenSettings.SamplingRate, 8 * 1228800);
    dialogs.answers.push_back("Yes");
    press("pbDownload");
    ASSERT_EQ(dialogs.shown.front().title, "Waveform Not Recalculated");
    ASSERT_EQ(dialogs.shown.back().title, "Download Completed");
    EXPECT_EQ(sim.state()["memory"]["Zuno-Fwd"]["samples"], 5 * 32768);
    EXPECT_EQ(sim.state()["arb"]["sampleRate"], 5 * 1228800);
    EXPECT_THAT(playback(sim), Contains(" :source:rad:arb:clock:srate 6144000Hz"));

    // Refresh keeps the clock of what the instrument holds; a new frame brings its own.
    press("pbRefresh");
    EXPECT_EQ(sim.state()["arb"]["sampleRate"], 5 * 1228800);
    dialogs.answers.push_back("Recalc & Download");
    press("pbDownload");
    EXPECT_EQ(sim.state()["arb"]["sampleRate"], 8 * 1228800);
    EXPECT_EQ(sim.state()["memory"]["Zuno-Fwd"]["samples"], 8 * 32768);
}

TEST_F(SafetyTest, ThePanelSwitchesRfAndThePlayerAndReadsTheInstrumentBack) {
    start();
    SimProcess sim;
    linkTo(sim);
    EXPECT_FALSE(checked("pbRFOutput"));
    dialogs.answers.push_back("Calculate & Download");
    press("pbDownload");
    ASSERT_EQ(dialogs.shown.back().title, "Download Completed");
    EXPECT_TRUE(checked("pbRFOutput"));
    EXPECT_TRUE(checked("pbPlayer"));

    sim.clearLog();
    press("pbRFOutput");
    EXPECT_FALSE(checked("pbRFOutput"));
    EXPECT_FALSE(sim.state()["output"]);
    EXPECT_TRUE(sim.state()["arb"]["state"]);
    EXPECT_EQ(app::statusText(ctx()), "RF output off at " + sim.address());
    press("pbPlayer");
    EXPECT_FALSE(sim.state()["arb"]["state"]);
    // Return on the focused button presses it, as Space does.
    testsupport::key(Qt::Key_Return);
    EXPECT_TRUE(sim.state()["arb"]["state"]);
    EXPECT_TRUE(checked("pbPlayer"));
    EXPECT_EQ(playback(sim), (std::vector<std::string>{" :output:state off", ":SYSTem:LOCal", " :source:rad:arb:state off",
                                                       ":SYSTem:LOCal", kPlayerOn, ":SYSTem:LOCal"}));
    EXPECT_EQ(dialogs.shown.size(), 2u) << "switching says nothing in a box";

    // Errors another client left, oldest first; the queue is empty once read.
    sim.tell(":POW 40");
    sim.tell(":FREQ:FIX 9GHz");
    press("pbReadBack");
    ASSERT_EQ(dialogs.shown.back().title, "Signal Generator Read Back");
    EXPECT_EQ(dialogs.shown.back().text,
              "Error queue:\n    -222,\"Data out of range\"\n    -222,\"Data out of range\"\n\n"
              "Waveform memory:\n    Zuno-Fwd");
    EXPECT_TRUE(sim.state()["errors"].empty());
    EXPECT_EQ(app::statusText(ctx()), "Read back from " + sim.address() + ": 2 errors, 1 waveform");
    press("pbReadBack");
    EXPECT_EQ(dialogs.shown.back().text, "Error queue: no errors\n\nWaveform memory:\n    Zuno-Fwd");
    EXPECT_TRUE(console.str().empty()) << console.str();
}

TEST_F(SafetyTest, ARefusedSwitchShowsWhatTheInstrumentDoes) {
    start();
    SimProcess sim({"--reject", ":OUTPut"});
    linkTo(sim);
    press("pbRFOutput");
    EXPECT_FALSE(checked("pbRFOutput"));
    ASSERT_EQ(dialogs.shown.back().kind, "error");
    EXPECT_EQ(dialogs.shown.back().title, "Signal Generator Not Switched");
    EXPECT_THAT(dialogs.shown.back().text, HasSubstr("-221,\"Settings conflict\""));
    EXPECT_THAT(app::statusText(ctx()), testing::StartsWith("RF output not switched on: "));
    EXPECT_FALSE(sim.state()["output"]);

    state().configuration.TCPIP.address = "127.0.0.1:" + std::to_string(testsupport::closedPort());
    press("pbReadBack");
    EXPECT_EQ(dialogs.shown.back().title, "Signal Generator Not Read");
    EXPECT_THAT(app::statusText(ctx()), HasSubstr("failed"));
}
