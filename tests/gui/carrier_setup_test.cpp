// Several carriers, noise and crest-factor reduction from the window: the Carriers and Noise
// dialog by keyboard, the waveform Calculate makes of the plan, the plan in parameter files, the
// refusals, and the Spectrum Analyzer's channel power per carrier.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTimer>
#include <cstdlib>
#include <functional>
#include <gmock/gmock.h>

#include "app/file_menu.h"
#include "app/status_line.h"
#include "app_fixture.h"
#include "host/core/mat_file.h"
#include "host/qt/modal.h"
#include "host/qt/numeric_entry.h"
#include "model/carrier_file.h"
#include "model/parameter_file.h"

using testing::HasSubstr;
using testing::StartsWith;

namespace {

constexpr std::size_t kFrameAtR8 = 32768 * 8;

model::CarrierPlan threeCarriers() {
    model::CarrierPlan plan;
    plan.carriers = {{-1.25e6, 0, {}, {}}, {0, 0, {}, 7}, {1.25e6, -3, {}, {}}};
    return plan;
}

class CarrierSetupTest : public testsupport::AppTest {
protected:
    QWidget* dialog() { return ctx().figureList.figCarriers; }
    QObject* field(const std::string& tag) { return host::Handles(dialog())[tag]; }
    std::string focused() {
        QWidget* f = QApplication::focusWidget();
        return f ? f->objectName().toStdString() : std::string();
    }
    std::string length() { return qobject_cast<QLabel*>(field("txtLength"))->text().toStdString(); }
    // Opens the dialog from its menu item and runs `script` inside it; the script's keys should
    // end it, otherwise that fails the test and Cancel ends it.
    void inDialog(std::function<void()> script) {
        QTimer::singleShot(0, dialog(), [this, script] {
            dialog()->setProperty("answer", QString());
            QApplication::setActiveWindow(dialog());
            script();
            if (dialog()->property("answer").toString().isEmpty()) {
                ADD_FAILURE() << "the dialog still waits after the keys";
                host::uiresume(dialog());
            }
        });
        trigger("menuConfigCarriers");
    }
    void savePlan(const char* name) {
        dialogs.files.push_back(host::FileChoice{dir.string() + "/", name});
        trigger("menuFileSaveAs");
    }
    std::string title() { return c("main").name(); }
};

}  // namespace

TEST_F(CarrierSetupTest, TheDialogByKeyboardSetsThePlanAndCalculateHoldsItsFrames) {
    start();
    type("txtOversampling", "8");
    inDialog([&] {
        EXPECT_EQ(length(), "1 frame (26.6667 ms), 262144 samples");
        type(field("txtCarrierOffset1"), "-1.25 MHz", false);
        EXPECT_EQ(length(), "3 frames (80 ms), 786432 samples") << "the length follows the typing";
        // Tab goes along the row, past the disabled Remove, to Add Carrier.
        for (const char* next : {"txtCarrierGain1", "pdCarrierSettings1", "txtCarrierPN1", "pbAddCarrier"}) {
            testsupport::key(Qt::Key_Tab);
            EXPECT_EQ(focused(), next);
        }
        testsupport::key(Qt::Key_Return);  // a second carrier, 1.25 MHz above the first
        EXPECT_EQ(focused(), "txtCarrierOffset2");
        EXPECT_EQ(qobject_cast<QLineEdit*>(field("txtCarrierOffset2"))->text(), "0");
        testsupport::key(Qt::Key_Tab);
        testsupport::key(Qt::Key_Tab);
        testsupport::key(Qt::Key_Tab);
        EXPECT_EQ(focused(), "txtCarrierPN2");
        QTest::keyClicks(QApplication::focusWidget(), "7");
        for (int i = 0; i < 2; ++i) testsupport::key(Qt::Key_Tab);
        EXPECT_EQ(focused(), "pbAddCarrier");
        testsupport::key(Qt::Key_Return);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(QApplication::focusWidget(), "1250000");
        testsupport::key(Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(QApplication::focusWidget(), "-3");
        // On through the rest of the row and Add to the noise: on, and 20 dB typed.
        for (int i = 0; i < 4; ++i) testsupport::key(Qt::Key_Tab);
        EXPECT_EQ(focused(), "pbAddCarrier");
        testsupport::key(Qt::Key_Tab);
        EXPECT_EQ(focused(), "chkNoise");
        testsupport::key(Qt::Key_Space);
        testsupport::key(Qt::Key_Tab);
        EXPECT_EQ(focused(), "txtNoiseCN");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(QApplication::focusWidget(), "20");
        EXPECT_EQ(length(), "3 frames (80 ms), 786432 samples");
        if (const char* shots = std::getenv("ZUNO_SCREENSHOTS")) dialog()->grab().save(QString(shots) + "/carriers.png");
        testsupport::key(Qt::Key_Return);  // takes the field, then OK
    });
    EXPECT_FALSE(dialog()->isVisible());
    const model::CarrierPlan& plan = state().carrierPlan;
    ASSERT_EQ(plan.carriers.size(), 3u);
    EXPECT_EQ(plan.carriers[0].offsetHz, -1.25e6);
    EXPECT_EQ(plan.carriers[1].offsetHz, 0);
    EXPECT_EQ(plan.carriers[1].pnOffset, 7);
    EXPECT_EQ(plan.carriers[2].offsetHz, 1.25e6);
    EXPECT_EQ(plan.carriers[2].gainDb, -3);
    EXPECT_EQ(plan.noiseCnDb, 20);
    EXPECT_FALSE(plan.crestDb);
    EXPECT_THAT(title(), StartsWith("*")) << "the plan is an unsaved change";
    EXPECT_EQ(c("txtNumberOfSamples").string(), "786432 Samples");

    press("pbCalculate");
    ASSERT_EQ(state().waveform.size(), 3 * kFrameAtR8);
    EXPECT_EQ(state().waveformFrames, 3);
    EXPECT_THAT(app::statusText(ctx()),
                testing::MatchesRegex("Calculated 3 frames \\(80 ms\\), 786432 samples at 9\\.8304 MHz, crest factor "
                                      "[0-9]+\\.[0-9] dB, in [0-9]+ ms; carriers at -1250000, 0 and 1250000 Hz; C/N 20 dB"));
    // Held once: the samples and their two marker rows within twice the samples' own size.
    const auto& m = state().markers;
    EXPECT_LE(state().waveform.capacity() * sizeof(dsp::cplx) + m[0].capacity() + m[1].capacity(),
              2 * state().waveform.size() * sizeof(dsp::cplx));
    // The first carrier's markers, once per frame.
    for (const auto& marker : state().markers) {
        ASSERT_EQ(marker.size(), 3 * kFrameAtR8);
        EXPECT_TRUE(std::equal(marker.begin(), marker.begin() + kFrameAtR8, marker.begin() + 2 * kFrameAtR8));
    }

    // A changed plan makes the held waveform stale, as a changed setting does.
    state().carrierPlan.noiseCnDb = 30;
    dialogs.answers.push_back("Cancel");
    trigger("menuPlotCCDF");
    ASSERT_FALSE(dialogs.shown.empty());
    EXPECT_EQ(dialogs.shown.back().title, "Waveform Not Recalculated");
    EXPECT_TRUE(console.str().empty()) << console.str();
}

TEST_F(CarrierSetupTest, EscapeCancelsAndBadValuesAreRefusedWithTheModelsMessages) {
    start();
    const model::CarrierPlan before = state().carrierPlan;
    inDialog([&] {
        type(field("txtCarrierOffset1"), "2 MHz", false);
        testsupport::key(Qt::Key_Tab);
        testsupport::key(Qt::Key_Escape);
    });
    EXPECT_TRUE(app::samePlan(state().carrierPlan, before));
    EXPECT_TRUE(state().carrierPlan.plain());

    // A crest factor target out of range is refused at OK, and the dialog stays open for it.
    inDialog([&] {
        testsupport::press(field("chkCrest"));
        type(field("txtCrest"), "2");
        EXPECT_TRUE(dialog()->isVisible());
        ASSERT_FALSE(dialogs.shown.empty());
        EXPECT_EQ(dialogs.shown.back().title, "Carriers and Noise");
        EXPECT_EQ(dialogs.shown.back().text, "The crest factor target must be from 3 to 20 dB, not 2");
        EXPECT_EQ(length(), dialogs.shown.back().text);
        type(field("txtCrest"), "abc", false);
        testsupport::key(Qt::Key_Tab);
        EXPECT_EQ(host::windowStatus(dialog()), "Crest factor target: \"abc\" is not a number; kept 2 dB");
        type(field("txtCrest"), "7.5");
    });
    EXPECT_EQ(state().carrierPlan.crestDb, 7.5);

    // An oversampling too small for the carriers: the dialog says so as the offset is typed,
    // takes the plan (the oversampling may change after), and Calculate refuses it.
    type("txtOversampling", "2");
    inDialog([&] {
        type(field("txtCarrierOffset1"), "1250000", false);
        EXPECT_THAT(length(), HasSubstr("the smallest OverSampling that can is 4"));
        testsupport::key(Qt::Key_Return);
    });
    EXPECT_EQ(state().carrierPlan.carriers.at(0).offsetHz, 1.25e6);
    dialogs.shown.clear();
    press("pbCalculate");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, "Calculation Error");
    EXPECT_THAT(dialogs.shown[0].text, StartsWith("OverSampling 2 cannot hold a carrier at 1250000 Hz"));
    EXPECT_THAT(dialogs.shown[0].text, HasSubstr("the smallest OverSampling that can is 4"));
    EXPECT_THAT(app::statusText(ctx()), StartsWith("Calculation failed: OverSampling 2 cannot hold"));
    EXPECT_TRUE(state().appInfo.LastCalcTimeStamp.empty());
}

TEST_F(CarrierSetupTest, SaveAndOpenRoundTripThePlanAndPlainFilesStayPlain) {
    start();
    savePlan("plain");
    EXPECT_EQ(host::readMatFile(path("plain.mat")).find(model::kCarrierFileVariable), nullptr);

    state().carrierPlan = threeCarriers();
    state().carrierPlan.crestDb = 8;
    state().carrierPlan.quantizeOffsets = true;
    ctx().registry.call(app::kCommonModule, "redrawAppTitle", host::Call{nullptr, host::Handles(main)});
    EXPECT_THAT(title(), StartsWith("*"));
    savePlan("three");
    EXPECT_THAT(title(), testing::Not(StartsWith("*")));
    EXPECT_NE(host::readMatFile(path("three.mat")).find(model::kCarrierFileVariable), nullptr);

    // New forgets the plan; Open brings it back; opening the plain file forgets it again.
    trigger("menuFileNew");
    EXPECT_TRUE(state().carrierPlan.plain());
    dialogs.files.push_back(host::FileChoice{dir.string() + "/", "three.mat"});
    trigger("menuFileOpen");
    model::CarrierPlan expected = threeCarriers();
    expected.crestDb = 8;
    expected.quantizeOffsets = true;
    EXPECT_TRUE(app::samePlan(state().carrierPlan, expected));
    EXPECT_FALSE(app::unsavedChanges(ctx()));
    EXPECT_THAT(title(), testing::Not(StartsWith("*")));
    dialogs.files.push_back(host::FileChoice{dir.string() + "/", "plain.mat"});
    trigger("menuFileOpen");
    EXPECT_TRUE(state().carrierPlan.plain());
    EXPECT_FALSE(app::unsavedChanges(ctx()));
    EXPECT_TRUE(console.str().empty()) << console.str();
}

TEST_F(CarrierSetupTest, PlansCompareByTheWaveformTheyMake) {
    model::CarrierPlan oneAtZero;
    oneAtZero.carriers = {{0, 0, {}, {}}};
    EXPECT_TRUE(app::samePlan({}, oneAtZero));
    model::CarrierPlan a = threeCarriers(), b = threeCarriers();
    EXPECT_TRUE(app::samePlan(a, b));
    b.carriers[1].pnOffset = 8;
    EXPECT_FALSE(app::samePlan(a, b)) << "a PN offset";
    b = a;
    b.carriers[2].parameters = model::InitializeParameters();
    EXPECT_FALSE(app::samePlan(a, b)) << "own settings";
    a.carriers[2].parameters = model::InitializeParameters();
    EXPECT_TRUE(app::samePlan(a, b));
    a.carriers[2].parameters->PilotOffsetIndex = 3;
    EXPECT_FALSE(app::samePlan(a, b)) << "other own settings";
    b = threeCarriers();
    b.noiseCnDb = 10;
    EXPECT_FALSE(app::samePlan(threeCarriers(), b));
}

TEST_F(CarrierSetupTest, TheSpectrumAnalyzerListsEachCarriersChannelPower) {
    start();
    type("txtOversampling", "8");
    state().carrierPlan = threeCarriers();
    press("pbCalculate");
    ASSERT_EQ(state().waveform.size(), 3 * kFrameAtR8);
    trigger("menuPlotSpectrumAnalyzer");
    ASSERT_EQ(state().appInfo.ClientWindows.size(), 1u);
    QWidget* window = ctx().clientWindows[state().appInfo.ClientWindows[0]].data();
    ASSERT_NE(window, nullptr);
    auto* box = window->findChild<QWidget*>("analyzerCarriers");
    auto* table = window->findChild<QTableWidget*>("analyzerCarrierPowers");
    ASSERT_TRUE(box && table);
    EXPECT_TRUE(box->isVisible());
    ASSERT_EQ(table->rowCount(), 3);
    std::vector<double> dBm;
    for (int r = 0; r < 3; ++r) {
        const QString text = table->item(r, 1)->text();
        ASSERT_TRUE(text.endsWith(" dBm")) << text.toStdString();
        dBm.push_back(text.chopped(4).toDouble());
    }
    EXPECT_EQ(table->item(0, 0)->text(), "-1.25");
    EXPECT_EQ(table->item(2, 0)->text(), "1.25");
    EXPECT_NEAR(dBm[0], dBm[1], 0.2);
    EXPECT_NEAR(dBm[1] - dBm[2], 3, 0.2);
    if (const char* shots = std::getenv("ZUNO_SCREENSHOTS")) window->grab().save(QString(shots) + "/analyzer-carriers.png");
}

TEST_F(CarrierSetupTest, ACarrierTakesItsSettingsFromAParameterFile) {
    model::Parameters other = model::InitializeParameters();
    other.PilotOffsetIndex = 100;
    model::writeParameterFile(path("other.mat"), other);
    start();
    inDialog([&] {
        testsupport::press(field("pbAddCarrier"));
        dialogs.files.push_back(host::FileChoice{dir.string() + "/", "other.mat"});
        choose(field("pdCarrierSettings2"), 2);
        EXPECT_EQ(dialogs.shown.back().kind, "open");
        EXPECT_EQ(qobject_cast<QLabel*>(field("txtCarrierFile2"))->text(), "other.mat");
        EXPECT_FALSE(qobject_cast<QWidget*>(field("txtCarrierPN2"))->isEnabled()) << "the file has its own PN offset";
        // A file that cannot be read leaves the carrier on the main settings.
        dialogs.files.push_back(host::FileChoice{dir.string() + "/", "missing.mat"});
        choose(field("pdCarrierSettings1"), 2);
        EXPECT_EQ(dialogs.shown.back().title, "Error Loading File");
        EXPECT_EQ(host::ctl(field("pdCarrierSettings1")).value(), 1);
        testsupport::press(field("pbOK"));
    });
    const model::CarrierPlan& plan = state().carrierPlan;
    ASSERT_EQ(plan.carriers.size(), 2u);
    EXPECT_FALSE(plan.carriers[0].parameters);
    ASSERT_TRUE(plan.carriers[1].parameters);
    EXPECT_EQ(plan.carriers[1].parameters->PilotOffsetIndex, 100);
    EXPECT_EQ(plan.carriers[1].offsetHz, 1.25e6);
}

TEST_F(CarrierSetupTest, MeasureReadsTheFirstCarrierAtItsOffset) {
    start();
    type("txtOversampling", "8");
    press("chkIdleSlotGainActive");  // no idle noise, which no reference rebuilds
    state().carrierPlan.carriers = {{-1.25e6, 0, {}, 7}, {0, 0, {}, {}}, {1.25e6, 0, {}, {}}};
    press("pbCalculate");
    trigger("menuPlotMeasure");
    const auto& ids = state().appInfo.ClientWindows;
    ASSERT_EQ(ids.size(), 1u) << console.str();
    QWidget* w = ctx().clientWindows[ids.back()].data();
    auto label = [w](const char* tag) {
        auto* l = w->findChild<QLabel*>(tag);
        return l ? l->text().toStdString() : std::string("(none)");
    };
    EXPECT_THAT(label("measurePnOffset"), StartsWith("7")) << "not the carrier at 0 Hz, on PN offset 0";
    EXPECT_GE(std::stod(label("measureRho")), 0.99);
    // The three frames the waveform loops in, each read.
    EXPECT_THAT(label("measureFrames"), StartsWith("3, "));
    auto* frames = w->findChild<QTableWidget*>("measureFrames");
    ASSERT_NE(frames, nullptr);
    EXPECT_EQ(frames->rowCount(), 3);
    for (int row = 0; row < 3; ++row) EXPECT_GE(frames->item(row, 5)->text().toDouble(), 0.99) << row;
}
