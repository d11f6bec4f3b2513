// Numbers typed into every numeric field of the application: a typing mistake keeps the last
// good value and says so; a number with the field's own unit is read as the number; Up and Down
// step a field by one unit of its last digit.
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <gmock/gmock.h>

#include "app/instrument_commands.h"
#include "app/status_line.h"
#include "app_fixture.h"
#include "host/core/number_text.h"
#include "instrument/connection_dialog.h"
#include "host/qt/modal.h"
#include "tests/hwio/sim_process.h"

using testsupport::AppTest;
using testsupport::SimProcess;

namespace {

class EntryTest : public AppTest {
protected:
    // Types into a field of a dialog and leaves it with Tab, as a person does who means to go on
    // editing (Enter would press the dialog's OK).
    static void typeAndTab(QObject* field, const QString& text) {
        testsupport::type(field, text, false);
        testsupport::key(Qt::Key_Tab);
    }
    static std::string text(QObject* field) { return host::ctl(field).string(); }
    static std::string dialogStatus(QWidget* w) { return host::ctl(host::Handles(w)["lblStatus"]).string(); }
    // Runs `script` inside the wait on `window` that starts next; a failed assertion ends it.
    void inside(QWidget* window, std::function<void()> script) {
        QTimer::singleShot(0, window, [this, window, script] {
            script();
            if (HasFatalFailure() && host::isWaiting(window)) host::uiresume(window);
        });
    }
    // One key on the field, with the keyboard in its window.
    static void keyOn(QObject* field, Qt::Key k) {
        auto* w = qobject_cast<QWidget*>(field);
        QApplication::setActiveWindow(w->window());
        w->setFocus();
        QTest::keyClick(w, k);
    }
};

}  // namespace

// The flow of the report: "abc" in Output power, then Download. The instrument keeps the last
// good power, and the status line says why.
TEST_F(EntryTest, ATypingMistakeInOutputPowerNeverReachesTheInstrument) {
    start();
    SimProcess sim;
    state().configuration.type = "TCPIP";
    state().configuration.TCPIP.address = sim.address();
    application->instrument().linkOptions.timeout = 5;

    type("txtAmplitude", "abc");
    EXPECT_EQ(state().SigGenSettings.Amplitude, -30);
    EXPECT_EQ(c("txtAmplitude").string(), "-30");
    EXPECT_EQ(app::statusText(ctx()), "Output power: \"abc\" is not a number; kept -30 dBm");
    for (const char* typo : {"-30,5", "+", "3 7", "Inf", "-12 dB"}) {
        type("txtAmplitude", typo);
        EXPECT_EQ(state().SigGenSettings.Amplitude, -30) << typo;
        EXPECT_EQ(app::statusText(ctx()), std::string("Output power: \"") + typo + "\" is not a number; kept -30 dBm");
    }
    dialogs.answers.push_back("Calculate & Download");
    press("pbDownload");
    ASSERT_EQ(dialogs.shown.back().title, "Download Completed");
    EXPECT_EQ(sim.state()["power"], -30);

    // The field's own unit, in any case, is read as the number; a good entry clears the complaint.
    type("txtAmplitude", "abc");
    type("txtAmplitude", "-12 dBm");
    EXPECT_EQ(state().SigGenSettings.Amplitude, -12);
    EXPECT_EQ(c("txtAmplitude").string(), "-12");
    EXPECT_EQ(app::statusText(ctx()), "");
    type("txtAmplitude", "-7.6DBM");
    EXPECT_EQ(state().SigGenSettings.Amplitude, -8);
    type("txtAmplitude", "25");
    EXPECT_EQ(state().SigGenSettings.Amplitude, 20) << "range limiting of real numbers stays";
}

TEST_F(EntryTest, TheCarrierTakesAnyOfItsUnits) {
    start();
    EXPECT_EQ(c("pdFrequencyUnits").value(), 4);
    type("txtFrequency", "2.4 GHz");
    EXPECT_EQ(state().SigGenSettings.Frequency, 2.4e9);
    type("txtFrequency", "915 MHz");
    EXPECT_EQ(state().SigGenSettings.Frequency, 915e6);
    EXPECT_EQ(c("txtFrequency").string(), "915");
    EXPECT_EQ(c("pdFrequencyUnits").value(), 3);
    type("txtFrequency", "1.9");  // a bare number counts in the unit shown
    EXPECT_EQ(state().SigGenSettings.Frequency, 1.9e6);
    type("txtFrequency", "2,2");
    EXPECT_EQ(state().SigGenSettings.Frequency, 1.9e6);
    EXPECT_EQ(c("txtFrequency").string(), "1.9");
    EXPECT_EQ(app::statusText(ctx()), "Carrier frequency: \"2,2\" is not a number; kept 1.9 MHz");
    type("txtFrequency", "2.2 GHz");
    EXPECT_EQ(state().SigGenSettings.Frequency, 2.2e9);
    type("txtFrequency", "5 dBm");
    EXPECT_EQ(state().SigGenSettings.Frequency, 2.2e9) << "another field's unit is no frequency";
}

TEST_F(EntryTest, EveryMainWindowFieldKeepsItsValue) {
    start();
    type("txtOffsetIndex", "17");
    type("txtIdleSlotGain", "-12.5 dB");
    type("txtOversampling", "8");
    ASSERT_EQ(state().parameters.IdleSlotGain, -12.5);
    struct Case {
        const char* tag;
        const char* typed;
        double model::Parameters::*field;
        double kept;
        const char* status;
    };
    for (const Case& k :
         {Case{"txtOffsetIndex", "abc", &model::Parameters::PilotOffsetIndex, 17,
               "Pilot PN offset index: \"abc\" is not a number; kept 17"},
          Case{"txtOffsetIndex", "3 700", &model::Parameters::PilotOffsetIndex, 17,
               "Pilot PN offset index: \"3 700\" is not a number; kept 17"},
          Case{"txtIdleSlotGain", "xyz", &model::Parameters::IdleSlotGain, -12.5,
               "Noise power: \"xyz\" is not a number; kept -12.5 dB"},
          Case{"txtOversampling", "5x", &model::Parameters::OverSampling, 8,
               "Oversampling: \"5x\" is not a number; kept 8"}}) {
        type(k.tag, k.typed);
        EXPECT_EQ(state().parameters.*k.field, k.kept) << k.tag << " " << k.typed;
        EXPECT_EQ(c(k.tag).string(), host::numberText(k.kept)) << k.tag << " " << k.typed;
        EXPECT_EQ(app::statusText(ctx()), k.status);
    }
    EXPECT_EQ(state().SigGenSettings.SamplingRate, 8 * 1228800);
}

TEST_F(EntryTest, TheDialogsFieldsKeepTheirValuesAndSayWhy) {
    start();
    // Signal generator settings.
    QWidget* adv = ctx().figureList.AdvSettings;
    inside(adv, [&] {
        host::Handles h(adv);
        typeAndTab(h["txtScaling"], "ninety");
        EXPECT_EQ(text(h["txtScaling"]), "95");
        EXPECT_EQ(dialogStatus(adv), "I/Q scaling: \"ninety\" is not a number; kept 95 %");
        typeAndTab(h["txtScaling"], "50 %");
        EXPECT_EQ(dialogStatus(adv), "");
        typeAndTab(h["txtModAtten"], "1O");
        EXPECT_EQ(text(h["txtModAtten"]), "0");
        typeAndTab(h["txtSamplingRate"], "6.144 Mhz!");
        EXPECT_EQ(dialogStatus(adv), "Sampling rate: \"6.144 Mhz!\" is not a number; kept 6.144 MHz");
        typeAndTab(h["txtSamplingRate"], "9830.4 kHz");
        EXPECT_EQ(text(h["txtSamplingRate"]), "9.8304");
        testsupport::press(h["pbOK"]);
    });
    testsupport::press(control("pbAdvancedSettings"));
    EXPECT_EQ(state().SigGenSettings.Scaling, 50);
    EXPECT_EQ(state().SigGenSettings.ModAtten, 0);
    EXPECT_EQ(state().SigGenSettings.SamplingRate, 9830400);

    // Slot setup and, nested in it, the RPC channels of slot 1.
    QWidget* slot = ctx().figureList.figSlotSetup;
    QWidget* rpc = ctx().figureList.figRPCsetup;
    state().parameters.slot.RAslotGain[2] = 3;
    inside(slot, [&] {
        host::Handles h(slot);
        typeAndTab(h["txtRAslotGain3"], "l0");
        EXPECT_EQ(text(h["txtRAslotGain3"]), "3");
        EXPECT_EQ(dialogStatus(slot), "Slot 3 RA gain: \"l0\" is not a number; kept 3 dB");
        typeAndTab(h["txtRAslotValue3"], "one");
        EXPECT_EQ(dialogStatus(slot), "Slot 3 RA value: \"one\" is not a number; kept 1");
        typeAndTab(h["txtRAslotGain4"], "-6 dB");
        inside(rpc, [&] {
            host::Handles r(rpc);
            testsupport::press(r["chkRPCchnActive2"]);
            testsupport::press(r["chkRPCchnActive3"]);
            typeAndTab(r["txtRPCchnGain2"], "abc");
            EXPECT_EQ(text(r["txtRPCchnGain2"]), "-3");
            EXPECT_EQ(dialogStatus(rpc), "RPC channel 1 gain: \"abc\" is not a number; kept -3 dB");
            typeAndTab(r["txtRPCchnGain3"], "45 dB");
            EXPECT_EQ(text(r["txtRPCchnGain3"]), "30");
            testsupport::press(r["pbOK"]);
        });
        testsupport::press(h["pbPRCslotSetup1"]);
        EXPECT_EQ(dialogStatus(slot), "Slot 3 RA value: \"one\" is not a number; kept 1") << "each window its own";
        testsupport::press(h["pbOK"]);
    });
    testsupport::press(control("pbSlotSetup"));
    const auto& s = state().parameters.slot;
    EXPECT_EQ(s.RAslotGain[2], 3);
    EXPECT_EQ(s.RAslotValue[2], 1);
    EXPECT_EQ(s.RAslotGain[3], -6);
    EXPECT_EQ(s.RPCslotGain(0, 1), -3);
    EXPECT_EQ(s.RPCslotGain(0, 2), 30);

    // Connection: the time-out.
    auto& connection = application->instrument().connection();
    QTimer::singleShot(0, [&] {
        host::Handles h(connection.window());
        typeAndTab(h["editTimeout"], "ten");
        EXPECT_EQ(text(h["editTimeout"]), "10");
        EXPECT_EQ(text(h["lblStatus"]), "Time-out: \"ten\" is not a number; kept 10 s");
        typeAndTab(h["editTimeout"], "2.5 s");
        testsupport::press(h["pbOK"]);
    });
    trigger("menuConfigSigGenIO");
    EXPECT_EQ(application->instrument().linkOptions.timeout, 2.5);
    EXPECT_TRUE(console.str().empty()) << console.str();
}

// Up and Down turn a field as a knob does: one unit of the last digit, taken at once.
TEST_F(EntryTest, ArrowKeysStepNumericFields) {
    start();
    keyOn(control("txtAmplitude"), Qt::Key_Up);
    EXPECT_EQ(state().SigGenSettings.Amplitude, -29);
    EXPECT_EQ(c("txtAmplitude").string(), "-29");
    keyOn(control("txtAmplitude"), Qt::Key_Down);
    keyOn(control("txtAmplitude"), Qt::Key_Down);
    EXPECT_EQ(state().SigGenSettings.Amplitude, -31);

    keyOn(control("txtFrequency"), Qt::Key_Up);  // 2.2 GHz
    EXPECT_EQ(state().SigGenSettings.Frequency, 2.3e9);
    type("txtFrequency", "2.25", false);
    keyOn(control("txtFrequency"), Qt::Key_Down);
    EXPECT_EQ(state().SigGenSettings.Frequency, 2.24e9);

    keyOn(control("txtOversampling"), Qt::Key_Up);
    EXPECT_EQ(state().parameters.OverSampling, 6);
    EXPECT_EQ(c("txtNumberOfSamples").string(), "196608 Samples");
    type("txtOffsetIndex", "511");
    keyOn(control("txtOffsetIndex"), Qt::Key_Up);
    EXPECT_EQ(state().parameters.PilotOffsetIndex, 511) << "the range still holds";

    // A text field is no knob.
    const std::string title = state().SigGenSettings.Title;
    keyOn(control("txtWaveformTitle"), Qt::Key_Up);
    EXPECT_EQ(state().SigGenSettings.Title, title);

    // In a dialog as well.
    QWidget* slot = ctx().figureList.figSlotSetup;
    inside(slot, [&] {
        host::Handles h(slot);
        keyOn(h["txtRAslotGain1"], Qt::Key_Up);
        keyOn(h["txtRAslotGain1"], Qt::Key_Up);
        EXPECT_EQ(text(h["txtRAslotGain1"]), "-1");
        testsupport::press(h["pbOK"]);
    });
    testsupport::press(control("pbSlotSetup"));
    EXPECT_EQ(state().parameters.slot.RAslotGain[0], -1);
    EXPECT_TRUE(console.str().empty()) << console.str();
}
