#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTimer>
#include <gmock/gmock.h>

#include "app/instrument_commands.h"
#include "app_fixture.h"
#include "host/core/number_text.h"
#include "host/qt/handles.h"
#include "instrument/advanced_settings.h"

using testsupport::AppTest;

namespace {


class PanelTest : public AppTest {
protected:
    model::SigGenSettings& settings() { return state().SigGenSettings; }
    QWidget* dialog() { return ctx().figureList.AdvSettings; }
    QObject* inDialog(const char* tag) { return host::Handles(dialog())[tag]; }
    // Typed and left with Tab: Enter would press the dialog's OK.
    void typeTab(QObject* field, const char* text) {
        testsupport::type(field, text, false);
        testsupport::key(Qt::Key_Tab);
    }
    // Runs `edit` inside the dialog's wait, opened from the panel's button.
    void withDialog(std::function<void()> edit) {
        QTimer::singleShot(0, dialog(), [edit] { edit(); });
        qobject_cast<QAbstractButton*>(control("pbAdvancedSettings"))->click();
    }
};

}  // namespace

TEST_F(PanelTest, ShowsTheSettingsWithTooltips) {
    start();
    EXPECT_EQ(c("txtFrequency").string(), "2.2");
    EXPECT_EQ(c("pdFrequencyUnits").value(), 4);
    EXPECT_EQ(c("txtAmplitude").string(), "-30");
    EXPECT_EQ(c("txtWaveformTitle").string(), "Zuno-Fwd");
    EXPECT_EQ(c("txtFrequency").tooltip(),
              "Sets the carrier frequency.\nValid Range: 100 kHz - 6 GHz\n(Note: VSK option determines the\nmaximum frequency.)");
    EXPECT_EQ(c("txtWaveformTitle").tooltip(), "Enter the title used to store the \nwaveform in the VSK.");
    EXPECT_EQ(c("pbAdvancedSettings").tooltip(), "Configures advanced Signal Generator options.");
    EXPECT_EQ(host::ctl(inDialog("pbCancel")).tooltip(), "Discards all changes.");
    EXPECT_EQ(dialog()->objectName(), "figAdvSettings");
    EXPECT_TRUE(console.str().empty()) << console.str();
}

TEST_F(PanelTest, FrequencyPowerAndTitleAreBroughtIntoRange) {
    start();
    choose(control("pdFrequencyUnits"), 4);
    type(control("txtFrequency"), "2.5");
    EXPECT_EQ(settings().Frequency, 2500000000);
    EXPECT_EQ(c("txtFrequency").string(), "2.5");
    EXPECT_EQ(c("pdFrequencyUnits").value(), 4);

    choose(control("pdFrequencyUnits"), 2);
    type(control("txtFrequency"), "50");
    EXPECT_EQ(settings().Frequency, 100000);
    EXPECT_EQ(c("txtFrequency").string(), "100");
    EXPECT_EQ(c("pdFrequencyUnits").value(), 2);
    type(control("txtFrequency"), "999.5");  // 999.5 kHz stays in kHz
    EXPECT_EQ(c("txtFrequency").string(), "999.5");
    type(control("txtFrequency"), "not a number");
    EXPECT_EQ(settings().Frequency, 999500) << "text that is not a number keeps the frequency";

    for (auto [typed, stored] : {std::pair{"-30.5", -31.0}, {"25", 20.0}, {"-200", -136.0}, {"-3.4", -3.0}, {"x", -3.0}}) {
        type(control("txtAmplitude"), typed);
        EXPECT_EQ(settings().Amplitude, stored) << typed;
        EXPECT_EQ(c("txtAmplitude").string(), host::numberText(stored));
    }

    type(control("txtWaveformTitle"), "my wave.1");
    EXPECT_EQ(settings().Title, "MYWAVE1");
    EXPECT_EQ(c("txtWaveformTitle").string(), "MYWAVE1");
    type(control("txtWaveformTitle"), "abcdefghij_$&#+-[]klmnop");
    EXPECT_EQ(settings().Title, "ABCDEFGHIJ_$&#+-[]KL");
    type(control("txtWaveformTitle"), "  ..  ");
    EXPECT_EQ(settings().Title, "BLANK");
}

TEST_F(PanelTest, AdvancedDialogEditsAWorkingCopyTakenOnlyOnOK) {
    start();
    const model::SigGenSettings before = settings();
    withDialog([this, &before] {
        EXPECT_EQ(host::ctl(inDialog("txtSamplingRate")).string(), "6.144");
        EXPECT_EQ(host::ctl(inDialog("pdSamplingRateUnits")).value(), 3);
        choose(inDialog("pdSamplingRateUnits"), 3);
        typeTab(inDialog("txtSamplingRate"), "150");
        EXPECT_EQ(host::ctl(inDialog("txtSamplingRate")).string(), "100");
        typeTab(inDialog("txtScaling"), "33.333");
        EXPECT_EQ(host::ctl(inDialog("txtScaling")).string(), "33.33");
        typeTab(inDialog("txtModAtten"), "12.5");
        EXPECT_EQ(host::ctl(inDialog("txtModAtten")).string(), "13");
        choose(inDialog("pdBBfilter"), 3);
        qobject_cast<QCheckBox*>(inDialog("chkALC"))->click();
        qobject_cast<QCheckBox*>(inDialog("chkMarkerPolarity"))->click();
        EXPECT_EQ(settings(), before) << "nothing is taken before OK";
        qobject_cast<QAbstractButton*>(inDialog("pbCancel"))->click();
    });
    EXPECT_EQ(settings(), before);
    EXPECT_FALSE(dialog()->isVisible());

    withDialog([this] {
        EXPECT_EQ(host::ctl(inDialog("txtScaling")).string(), "95") << "each opening starts from the settings";
        typeTab(inDialog("txtScaling"), "0.5");
        choose(inDialog("pdSamplingRateUnits"), 2);
        typeTab(inDialog("txtSamplingRate"), "12.5");
        typeTab(inDialog("txtModAtten"), "40.6");
        qobject_cast<QCheckBox*>(inDialog("chkRFblanking"))->click();
        qobject_cast<QAbstractButton*>(inDialog("pbOK"))->click();
    });
    EXPECT_EQ(settings().Scaling, 1);
    EXPECT_EQ(settings().SamplingRate, 12500);
    EXPECT_EQ(settings().ModAtten, 40);
    EXPECT_EQ(settings().RFblanking, 1);
    EXPECT_EQ(settings().Title, before.Title);

    // Closing the window by its frame counts as Cancel.
    withDialog([this] {
        typeTab(inDialog("txtScaling"), "50");
        dialog()->close();
    });
    EXPECT_EQ(settings().Scaling, 1);
    EXPECT_TRUE(console.str().empty()) << console.str();
}

TEST_F(PanelTest, AdvancedDialogWithoutSettingsStartsFromItsDefaults) {
    start();
    auto& adv = application->instrument().advanced();
    QTimer::singleShot(0, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->objectName() == "figAdvSettings") {
                EXPECT_EQ(host::ctl(host::Handles(w)["txtSamplingRate"]).string(), "1");
                EXPECT_EQ(host::ctl(host::Handles(w)["pdSamplingRateUnits"]).value(), 3);
                qobject_cast<QAbstractButton*>(host::Handles(w)["pbOK"])->click();
            }
    });
    auto [answer, result] = adv.run(nullptr, std::nullopt);
    EXPECT_EQ(answer, "OK");
    EXPECT_EQ(result, instrument::AdvancedSettings::defaultSettings());
    EXPECT_EQ(result.Title, "NoName");
    EXPECT_EQ(result.BBfilter, 2);
}
