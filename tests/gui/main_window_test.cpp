#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QLocale>
#include <QTest>
#include <cstdlib>
#include <fstream>
#include <gmock/gmock.h>

#include "app/common_controller.h"
#include "app/config_file.h"
#include "app/status_line.h"
#include "app_fixture.h"
#include "host/core/compare.h"
#include "model/parameter_file.h"

using testing::HasSubstr;
using testsupport::AppTest;

namespace {

class MainWindowTest : public AppTest {
protected:
    model::Parameters& p() { return state().parameters; }
};

}  // namespace

TEST_F(MainWindowTest, StartUpShowsTheDefaultsAndKeepsTheSplashThreeSeconds) {
    clock.startupCost = 1;
    start();
    EXPECT_DOUBLE_EQ(clock.paused, 2);
    EXPECT_TRUE(main->isVisible());
    EXPECT_EQ(c("main").name(), "Brennix Lumora - 1xEV Forward Link");
    EXPECT_EQ(c("pdMode").value(), 1);
    EXPECT_EQ(c("txtOffsetIndex").string(), "0");
    EXPECT_EQ(c("txtIdleSlotGain").string(), "-10");
    EXPECT_EQ(c("txtOversampling").string(), "5");
    EXPECT_EQ(c("pdDATAsourceType").value(), 6);
    EXPECT_EQ(c("pdFilterType").value(), 3);
    EXPECT_EQ(c("chkPhaseEq").value(), 1);
    EXPECT_EQ(c("chkMirrorSpectrum").value(), 0);
    EXPECT_EQ(c("txtNumberOfSamples").string(), "163840 Samples");
    EXPECT_FALSE(c("pdDATAsourceType").enabled());
    EXPECT_TRUE(c("txtIdleSlotGain").enabled());
    EXPECT_EQ(c("txtOffsetIndex").tooltip(), "Sets the Pilot Channel offset index.\n Valid Range: 0 to 511");
    EXPECT_EQ(c("pbRefresh").tooltip(), "Downloads just the current seetings\nto the VSK.");
    EXPECT_EQ(c("txtNumberOfSamples").tooltip(),
              "The number of samples generated \nby the current settings.\n(The M3921K can hold up to 8 or 32 M samples.)");
    EXPECT_TRUE(c("menuConfigBBG1Opt2").checked());
    EXPECT_FALSE(c("menuConfigBBG1Opt1").checked());
    EXPECT_TRUE(state().appInfo.LastCalcTimeStamp.empty());
    EXPECT_TRUE(console.str().empty()) << console.str();
}

TEST_F(MainWindowTest, SlowStartUpClosesTheSplashAtOnce) {
    clock.startupCost = 4;
    start();
    EXPECT_DOUBLE_EQ(clock.paused, 0);
}

TEST_F(MainWindowTest, StoredConfigurationIsUsedAtStartUp) {
    auto config = model::InitializeConfiguration();
    config.BBGtype = "001";
    config.LastParameterFilename = "/data/setups/qpsk.mat";
    app::saveConfig("defaults.mat", config);
    start();
    EXPECT_EQ(state().configuration.BBGtype, "001");
    EXPECT_TRUE(c("menuConfigBBG1Opt1").checked());
    EXPECT_FALSE(c("menuConfigBBG1Opt2").checked());
    // The title names the file last used although its settings were not read.
    EXPECT_EQ(c("main").name(), "Brennix Lumora - 1xEV Forward Link : /data/setups/qpsk.mat");
    EXPECT_EQ(state().parameters, model::InitializeParameters());
}

TEST_F(MainWindowTest, EditFieldsClampAndRedraw) {
    start();
    struct Case {
        const char* tag;
        const char* typed;
        double model::Parameters::*field;
        double stored;
        const char* shown;
    };
    for (const Case& k : {Case{"txtOffsetIndex", "abc", &model::Parameters::PilotOffsetIndex, 0, "0"},
                          Case{"txtOffsetIndex", "600", &model::Parameters::PilotOffsetIndex, 511, "511"},
                          Case{"txtOffsetIndex", "-5", &model::Parameters::PilotOffsetIndex, 0, "0"},
                          Case{"txtOffsetIndex", "3.9", &model::Parameters::PilotOffsetIndex, 3, "3"},
                          Case{"txtOffsetIndex", "3 700", &model::Parameters::PilotOffsetIndex, 3, "3"},
                          Case{"txtIdleSlotGain", "-80", &model::Parameters::IdleSlotGain, -80, "-80"},
                          Case{"txtIdleSlotGain", "xyz", &model::Parameters::IdleSlotGain, -80, "-80"},
                          Case{"txtIdleSlotGain", "5", &model::Parameters::IdleSlotGain, 0, "0"},
                          Case{"txtIdleSlotGain", "-12.5", &model::Parameters::IdleSlotGain, -12.5, "-12.5"},
                          Case{"txtOversampling", "45", &model::Parameters::OverSampling, 30, "30"},
                          Case{"txtOversampling", "1", &model::Parameters::OverSampling, 2, "2"}}) {
        type(k.tag, k.typed);
        EXPECT_EQ(p().*k.field, k.stored) << k.tag << " " << k.typed;
        EXPECT_EQ(c(k.tag).string(), k.shown) << k.tag << " " << k.typed;
    }
    // Oversampling 2: the derived fields follow.
    EXPECT_EQ(p().ProjectedLength, 65536);
    EXPECT_EQ(state().SigGenSettings.SamplingRate, 2457600);
    EXPECT_EQ(c("txtNumberOfSamples").string(), "65536 Samples");
    type("txtOversampling", "45");
    EXPECT_EQ(c("txtNumberOfSamples").string(), "983040 Samples");
}

// The lists show the codes of the settings table, in order, and the tooltips its ranges.
TEST_F(MainWindowTest, ListsAndRangesAreTheSettingsTables) {
    start();
    auto items = [&](const char* tag) {
        std::vector<std::string> out;
        auto* box = qobject_cast<QComboBox*>(control(tag));
        for (int i = 0; box && i < box->count(); ++i) out.push_back(box->itemText(i).toStdString());
        return out;
    };
    using Items = std::vector<std::string>;
    EXPECT_EQ(items("pdMode"), (Items{"1xEV forward link", "PN sequence only"}));
    EXPECT_EQ(items("pdDATAsourceType"), (Items{"All zeros", "All ones", "Alternating 0101", "Alternating 1010",
                                                "PN9 sequence", "PN15 sequence"}));
    EXPECT_EQ(items("pdFilterType"), (Items{"Rectangular", "IS-95 standard", "IS-95 ACP-optimised"}));
    EXPECT_EQ(c("pdDATAsourceType").value(), 6) << "the default shown";
    EXPECT_EQ(c("txtOversampling").tooltip(), "Sets the oversampling rate.\nValid Range: 2 to 30");
    EXPECT_EQ(c("txtOffsetIndex").tooltip(), "Sets the Pilot Channel offset index.\n Valid Range: 0 to 511");
    EXPECT_EQ(c("txtIdleSlotGain").tooltip(),
              "Sets the power of the idle slot noise\nrelative to the pilot channel.\nValid Range: 0 to -80");
}

TEST_F(MainWindowTest, SwitchesEnableTheirControls) {
    start();
    press("chkDATAchnActive");
    EXPECT_EQ(p().DATAchnActive, 1);
    EXPECT_TRUE(c("pdDATAsourceType").enabled());
    press("chkDATAchnActive");
    EXPECT_FALSE(c("pdDATAsourceType").enabled());

    EXPECT_EQ(state().SigGenSettings.RFblanking, 0);
    press("chkIdleSlotGainActive");
    EXPECT_EQ(p().IdleSlotGainActive, 0);
    EXPECT_EQ(state().SigGenSettings.RFblanking, 1);
    EXPECT_FALSE(c("txtIdleSlotGain").enabled());
    press("chkIdleSlotGainActive");
    EXPECT_EQ(state().SigGenSettings.RFblanking, 0);

    // A PN-only frame disables the channel controls but keeps showing their values.
    press("chkMACchnActive");
    choose("pdMode", 2);
    EXPECT_EQ(p().Mode, 2);
    for (const char* tag : {"chkMACchnActive", "chkDATAchnActive", "pdDATAsourceType", "chkIdleSlotGainActive",
                            "txtIdleSlotGain"})
        EXPECT_FALSE(c(tag).enabled()) << tag;
    EXPECT_EQ(c("chkMACchnActive").value(), 1);
    choose("pdMode", 1);
    EXPECT_TRUE(c("chkMACchnActive").enabled());

    choose("pdFilterType", 1);
    choose("pdDATAsourceType", 2);
    press("chkPhaseEq");
    press("chkMirrorSpectrum");
    EXPECT_EQ(p().FilterType, 1);
    EXPECT_EQ(p().DATAsourceType, 2);
    EXPECT_EQ(p().PhaseEq, 0);
    EXPECT_EQ(p().MirrorSpectrum, 1);
}

TEST_F(MainWindowTest, CalculateAndTheReadinessQuestions) {
    start();
    auto& common = application->common();
    const host::Handles h(main);
    // Nothing calculated: closing the question by its frame calculates and goes on.
    EXPECT_EQ(common.checkWaveformReady(h, "Download"), 1);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    const auto& q = dialogs.shown[0];
    EXPECT_EQ(q.title, "Waveform Not Calculated");
    EXPECT_EQ(q.text, "The waveform has not yet been calculated. Do you wish to calculate\nthe waveform and then download ?");
    EXPECT_EQ(q.buttons, (std::vector<std::string>{"Calculate & Download", "Cancel"}));
    EXPECT_EQ(q.defaultButton, "Calculate & Download");
    EXPECT_EQ(state().waveform.size(), 163840u);
    EXPECT_EQ(state().appInfo.LastCalcTimeStamp, (std::vector<double>{2001, 12, 3, 9, 5, 3.7}));

    // Unchanged settings: no question. Changed and changed back: none either.
    EXPECT_EQ(common.checkWaveformReady(h, "Plot"), 1);
    type("txtOffsetIndex", "7");
    type("txtOffsetIndex", "0");
    EXPECT_EQ(common.checkWaveformReady(h, "Plot"), 1);
    EXPECT_EQ(dialogs.shown.size(), 1u);

    // A changed setting: Yes keeps the old waveform, Recalc calculates, Cancel stops.
    type("txtOversampling", "2");
    const auto before = state().waveform;
    dialogs.answers = {"Yes", "Cancel", "Recalc & Plot"};
    EXPECT_EQ(common.checkWaveformReady(h, "Plot"), 1);
    EXPECT_EQ(state().waveform, before);
    const auto& r = dialogs.shown.back();
    EXPECT_EQ(r.title, "Waveform Not Recalculated");
    EXPECT_EQ(r.text,
              "Settings have changed since last calculating the waveform.\nPlot will use the last calculated waveform.\n"
              "Do you wish to plot anyway?");
    EXPECT_EQ(r.buttons, (std::vector<std::string>{"Yes", "Recalc & Plot", "Cancel"}));
    EXPECT_EQ(r.defaultButton, "Recalc & Plot");
    EXPECT_EQ(common.checkWaveformReady(h, "Plot"), 0);
    EXPECT_EQ(common.checkWaveformReady(h, "Plot"), 1);
    EXPECT_EQ(state().waveform.size(), 65536u);

    // Nothing calculated and Cancel: stop without calculating.
    state().appInfo.LastCalcTimeStamp.clear();
    dialogs.answers = {"Cancel"};
    EXPECT_EQ(common.checkWaveformReady(h, "Save"), 0);
    EXPECT_THAT(dialogs.shown.back().text, HasSubstr("the waveform and then save ?"));
}

TEST_F(MainWindowTest, OneRpcElementMakesTheSettingsDiffer) {
    start();
    press("pbCalculate");
    ASSERT_FALSE(state().appInfo.LastCalcTimeStamp.empty());
    p().slot.RPCslotGain(15, 58) = -4;
    dialogs.answers = {"Cancel"};
    EXPECT_EQ(application->common().checkWaveformReady(host::Handles(main), "Plot"), 0);
    EXPECT_EQ(dialogs.shown.back().title, "Waveform Not Recalculated");
}

TEST_F(MainWindowTest, AFailedCalculationIsReportedAndChangesNothing) {
    start();
    press("pbCalculate");
    const auto waveform = state().waveform;
    const auto stamp = state().appInfo.LastCalcTimeStamp;
    const auto snapshot = state().appInfo.LastCaluclatedParameterSet;
    clock.reading = {2002, 1, 1, 0, 0, 0};
    // A stored file may hold an oversampling the engine refuses.
    p().OverSampling = 1000;
    press("pbCalculate");
    ASSERT_FALSE(dialogs.shown.empty());
    EXPECT_EQ(dialogs.shown.back().kind, "error");
    EXPECT_EQ(dialogs.shown.back().title, "Calculation Error");
    EXPECT_THAT(dialogs.shown.back().text, HasSubstr("OverSampling"));
    EXPECT_THAT(console.str(), HasSubstr("OverSampling"));
    EXPECT_EQ(state().waveform, waveform);
    EXPECT_EQ(state().appInfo.LastCalcTimeStamp, stamp);
    EXPECT_EQ(state().appInfo.LastCaluclatedParameterSet, snapshot);
    // The readiness check stops when the calculation it asked for fails.
    dialogs.answers = {"Recalc & Plot"};
    EXPECT_EQ(application->common().checkWaveformReady(host::Handles(main), "Plot"), 0);
    EXPECT_EQ(c("main").pointer(), "arrow");
}

// A file holding a number that is no entry of its list is not opened: the error names the field
// and its entries, instead of another filter being taken.
TEST_F(MainWindowTest, AStoredFilterOffTheListIsRefusedByName) {
    model::Parameters stored;
    stored.FilterType = 9;
    model::writeParameterFile(path("odd.mat"), stored);
    start();
    dialogs.files.push_back(host::FileChoice{dir.string() + "/", "odd.mat"});
    trigger("menuFileOpen");
    ASSERT_FALSE(dialogs.shown.empty());
    EXPECT_EQ(dialogs.shown.back().title, "Error Loading File");
    EXPECT_EQ(dialogs.shown.back().text,
              path("odd.mat") + "\nhas an Invalid File Setting.\nfileParameters.FilterType is 9; it must be 1 "
                                "(rectangular), 2 (IS-95 standard) or 3 (IS-95 ACP-optimised)");
    EXPECT_EQ(p().FilterType, 3);
    // Set by other means, it is refused by the calculation in the same words.
    p().FilterType = 9;
    press("pbCalculate");
    EXPECT_EQ(dialogs.shown.back().title, "Calculation Error");
    EXPECT_THAT(dialogs.shown.back().text,
                HasSubstr("parameters.FilterType is 9; it must be 1 (rectangular), 2 (IS-95 standard) or 3 (IS-95 ACP-optimised)"));
    EXPECT_TRUE(state().appInfo.LastCalcTimeStamp.empty());
}

TEST_F(MainWindowTest, MemoryOptionMenus) {
    start();
    trigger("menuConfigBBG1Opt1");
    EXPECT_EQ(state().configuration.BBGtype, "001");
    EXPECT_TRUE(c("menuConfigBBG1Opt1").checked());
    EXPECT_FALSE(c("menuConfigBBG1Opt2").checked());
    EXPECT_TRUE(dialogs.shown.empty());
    trigger("menuConfigBBG1Opt2");
    EXPECT_EQ(state().configuration.BBGtype, "002");
    EXPECT_FALSE(c("menuConfigBBG1Opt1").checked());
    EXPECT_TRUE(c("menuConfigBBG1Opt2").checked());

    // Too large for option 001 (nothing the user enters or opens gives this).
    p().OverSampling = 250;
    p().ProjectedLength = 8192000;
    dialogs.answers = {"Cancel", "", "Yes"};
    trigger("menuConfigBBG1Opt1");
    EXPECT_EQ(state().configuration.BBGtype, "002");
    const auto& q = dialogs.shown.back();
    EXPECT_EQ(q.title, "Waveform too large");
    EXPECT_EQ(q.text,
              "The waveform based on the current settings \nis too large to for Option 001. Changing to\nOption 001 will "
              "reset all settings to the defaults.\nDo you wish to change anyway?");
    EXPECT_EQ(q.buttons, (std::vector<std::string>{"Yes", "Cancel"}));
    EXPECT_EQ(q.defaultButton, "Cancel");
    EXPECT_TRUE(c("menuConfigBBG1Opt2").checked());
    trigger("menuConfigBBG1Opt1");  // closed by its frame: nothing is reset
    EXPECT_EQ(p().OverSampling, 250);
    trigger("menuConfigBBG1Opt1");  // Yes: defaults, redrawn
    EXPECT_EQ(state().configuration.BBGtype, "001");
    EXPECT_EQ(p().OverSampling, 5);
    EXPECT_EQ(c("txtNumberOfSamples").string(), "163840 Samples");
}

TEST_F(MainWindowTest, ExitSavesTheConfigurationAndClosesEverything) {
    start();
    trigger("menuConfigBBG1Opt1");
    QWidget* plot = new QWidget;
    plot->show();
    QPointer<QWidget> plotGuard(plot);
    ctx().addClientWindow(plot);
    ctx().addClientWindow(nullptr);  // a plot the user closed already
    trigger("menuFileExit");
    EXPECT_FALSE(main->isVisible());
    EXPECT_FALSE(plot->isVisible());
    EXPECT_TRUE(state().appInfo.ClientWindows.empty());
    const auto stored = app::loadConfig("defaults.mat");
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->BBGtype, "001");
    delete plotGuard.data();
}

TEST_F(MainWindowTest, ClosingTheMainWindowShutsDown) {
    start();
    main->close();
    QCoreApplication::processEvents();
    EXPECT_FALSE(main->isVisible());
    EXPECT_TRUE(app::loadConfig("defaults.mat").has_value());
}

TEST_F(MainWindowTest, OnlyOkOfTheSlotDialogReplacesTheSlotRecord) {
    start();
    auto changed = p().slot;
    changed.RAslotGain[0] = 7;
    ctx().slotSetup = [&](QWidget*, const model::Parameters::Slot&) { return std::pair{std::string("Cancel"), changed}; };
    press("pbSlotSetup");
    EXPECT_EQ(p().slot.RAslotGain[0], -3);
    ctx().slotSetup = [&](QWidget*, const model::Parameters::Slot&) { return std::pair{std::string("OK"), changed}; };
    press("pbSlotSetup");
    EXPECT_EQ(p().slot.RAslotGain[0], 7);
}

TEST_F(MainWindowTest, WholeFlowFromStartToExit) {
    start();
    type("txtOffsetIndex", "42");
    press("chkDATAchnActive");
    press("pbCalculate");
    ASSERT_EQ(state().waveform.size(), 163840u);
    const auto edited = state().parameters;

    dialogs.files.push_back(host::FileChoice{dir.string() + "/", "flow"});
    trigger("menuFileSaveAs");
    EXPECT_TRUE(std::filesystem::exists(dir / "flow.mat"));
    EXPECT_EQ(c("main").name(), "Brennix Lumora - 1xEV Forward Link : " + path("flow.mat"));

    trigger("menuFileNew");
    EXPECT_EQ(state().parameters, model::InitializeParameters());
    EXPECT_EQ(c("txtOffsetIndex").string(), "0");
    EXPECT_EQ(c("main").name(), "Brennix Lumora - 1xEV Forward Link");

    dialogs.files.push_back(host::FileChoice{dir.string() + "/", "flow.mat"});
    trigger("menuFileOpen");
    EXPECT_TRUE(host::compareStruct(model::toValue(state().parameters), model::toValue(edited)));
    EXPECT_EQ(c("txtOffsetIndex").string(), "42");
    EXPECT_TRUE(c("pdDATAsourceType").enabled());
    // The waveform was calculated from these very settings: nothing to ask.
    EXPECT_EQ(application->common().checkWaveformReady(host::Handles(main), "Plot"), 1);

    trigger("menuFileExit");
    EXPECT_FALSE(main->isVisible());
    EXPECT_EQ(app::loadConfig("defaults.mat")->LastParameterFilename, path("flow.mat"));
    EXPECT_TRUE(console.str().empty()) << console.str();
    for (const auto& d : dialogs.shown) EXPECT_NE(d.kind, "error") << d.title << ": " << d.text;
}

// Run once more by the test list on a desktop with a decimal comma (ZUNO_COMMA_LOCALE set).
TEST_F(MainWindowTest, NumbersKeepTheirPointOnACommaDesktop) {
    if (std::getenv("ZUNO_COMMA_LOCALE")) {
        ASSERT_EQ(QLocale::system().decimalPoint(), ",") << "the comma locale did not take effect";
    }
    start();
    EXPECT_EQ(c("txtFrequency").string(), "2.2");
    type("txtFrequency", "2.2");
    EXPECT_EQ(state().SigGenSettings.Frequency, 2.2e9);
    type("txtIdleSlotGain", "-12.5");
    EXPECT_EQ(p().IdleSlotGain, -12.5);
    type("txtAmplitude", "-7.6");
    EXPECT_EQ(state().SigGenSettings.Amplitude, -8);
}

TEST_F(MainWindowTest, LeavingAFieldTakesOnlyWhatWasTyped) {
    start();
    // A value no field would produce from typing: the field shows it whole, from its start.
    p().IdleSlotGain = -33.333333333333333;
    host::Registry::instance().call(app::kMainModule, "redraw", host::Call{nullptr, host::Handles(main)});
    auto* gain = qobject_cast<QLineEdit*>(control("txtIdleSlotGain"));
    EXPECT_EQ(gain->text().toStdString(), "-33.3333333333333");
    EXPECT_EQ(gain->cursorPosition(), 0) << "a long value shows its sign and integer part";

    // Tabbing through every field changes nothing.
    testsupport::press(control("txtOffsetIndex"));
    for (int i = 0; i < 12; ++i) testsupport::key(Qt::Key_Tab);
    EXPECT_EQ(p().IdleSlotGain, -33.333333333333333);

    // Typed and left with Tab: taken once; Enter then Tab: taken once, the Tab adds nothing.
    type("txtOffsetIndex", "17", false);
    testsupport::key(Qt::Key_Tab);
    EXPECT_EQ(p().PilotOffsetIndex, 17);
    type("txtIdleSlotGain", "-20.5");
    testsupport::key(Qt::Key_Tab);
    EXPECT_EQ(p().IdleSlotGain, -20.5);
    EXPECT_TRUE(console.str().empty()) << console.str();
}

TEST_F(MainWindowTest, TheStatusLineSaysWhatHappenedLast) {
    start();
    EXPECT_EQ(app::statusText(ctx()), "");
    const QRect buttons = qobject_cast<QWidget*>(control("pbCalculate"))->geometry();
    const QSize size = main->size();
    type("txtOversampling", "30");
    press("pbCalculate");
    EXPECT_THAT(app::statusText(ctx()),
                testing::MatchesRegex("Calculated 1 frame \\(26\\.6667 ms\\), 983040 samples at 36\\.864 MHz, crest "
                                      "factor [0-9]+\\.[0-9] dB, "
                                      "in [0-9]+ ms"));
    EXPECT_EQ(qobject_cast<QWidget*>(control("pbCalculate"))->geometry(), buttons) << "nothing else moves";
    EXPECT_EQ(main->size(), size);
    p().OverSampling = 1000;
    press("pbCalculate");
    EXPECT_THAT(app::statusText(ctx()), testing::StartsWith("Calculation failed: "));
    EXPECT_EQ(app::calculatedText(dsp::CVec{{3, 4}, {0, 0}}, 2457600, 3, 8.6),
              "Calculated 3 frames (80 ms), 2 samples at 2.4576 MHz, crest factor 3.0 dB, in 9 ms");
}

TEST_F(MainWindowTest, ABadConfigurationFileIsReportedAndTheDefaultsUsed) {
    std::ofstream("defaults.mat") << "MATLAB 5.0 MAT-file, cut short";
    start();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, "error");
    EXPECT_EQ(dialogs.shown[0].title, "Configuration Not Loaded");
    EXPECT_THAT(dialogs.shown[0].text, HasSubstr("defaults.mat could not be read"));
    EXPECT_EQ(state().configuration, model::InitializeConfiguration());

    // A configuration that cannot be written is reported at exit, and the window closes anyway.
    std::filesystem::remove("defaults.mat");
    std::filesystem::create_directory("defaults.mat");
    dialogs.shown.clear();
    trigger("menuFileExit");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, "Configuration Not Saved");
    EXPECT_THAT(dialogs.shown[0].text, HasSubstr("could not be kept in defaults.mat"));
    EXPECT_FALSE(main->isVisible());
}

TEST_F(MainWindowTest, AMissingDialogModuleFailsTheStartUp) {
    application = std::make_unique<app::Application>(host::Registry::instance(), dialogs, clock);
    host::Registry::instance().remove("VskConfigAdv_c");
    EXPECT_THAT([&] { application->start(); },
                testing::ThrowsMessage<std::runtime_error>(HasSubstr("has no module VskConfigAdv_c")));
}
