// Plot > Measure... and File > Analyze I/Q File... in the running application: the calculated
// frame measured against the settings it was made with, captures read from files with the
// reference confirmed in a dialog, and every failure shown with its reason.
#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <fstream>
#include <gmock/gmock.h>

#include "model/calculate.h"
#include "model/sigmf.h"
#include "model/torvik.h"
#include "app/measure_menu.h"
#include "app_fixture.h"
#include "analyzer/analysis.h"

using testing::ElementsAre;
using testing::HasSubstr;
using testing::StartsWith;

namespace {

class MeasureMenuTest : public testsupport::AppTest {
protected:
    QWidget* lastWindow() {
        const auto& ids = state().appInfo.ClientWindows;
        return ids.empty() ? nullptr : ctx().clientWindows[ids.back()].data();
    }
    std::string label(QWidget* w, const char* tag) {
        auto* l = w ? w->findChild<QLabel*>(tag) : nullptr;
        return l ? l->text().toStdString() : std::string("(no ") + tag + ")";
    }
    void chooseFile(const std::string& name) { dialogs.files.push_back(host::FileChoice{dir.string() + "/", name}); }
    // One frame from the default settings changed by `change`.
    static dsp::CVec frame(const std::function<void(model::Parameters&)>& change) {
        model::Parameters p = model::InitializeParameters();
        change(p);
        dsp::Rng rng(3);
        return model::Calculate(p, rng).waveform;
    }
    // Answers the "Analyze I/Q File" dialog when it opens: `act` fills it in, then Enter.
    void answerRequest(std::function<void(QWidget*)> act) {
        hands.then([act](QWidget* d) {
            EXPECT_EQ(d->windowTitle(), "Analyze I/Q File");
            act(d);
            testsupport::key(Qt::Key_Return);
        });
    }
    static QLineEdit* field(QWidget* d, const char* tag) { return d->findChild<QLineEdit*>(tag); }
    static QComboBox* list(QWidget* d, const char* tag) { return d->findChild<QComboBox*>(tag); }
    void writeTorvik(const char* name, const dsp::CVec& x) {
        const std::vector<std::uint8_t> bytes = model::torvikBytes(x);
        std::ofstream(path(name), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
};

}  // namespace

TEST_F(MeasureMenuTest, CalculatedFrameMeasuredAgainstTheSettingsItWasMadeWith) {
    start();
    // PN offset 100, oversampling 2, the standard filter without equalizer, traffic on, no idle
    // noise (which no reference rebuilds).
    type("txtOffsetIndex", "100");
    type("txtOversampling", "2");
    choose("pdFilterType", 2);
    press("chkPhaseEq");
    press("chkDATAchnActive");
    press("chkIdleSlotGainActive");
    press("pbCalculate");
    ASSERT_FALSE(state().appInfo.LastCalcTimeStamp.empty());
    // Changed since: the user measures the frame still held.
    choose("pdFilterType", 3);
    dialogs.answers.push_back("Yes");
    trigger("menuPlotMeasure");

    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, "Waveform Not Recalculated");
    QWidget* w = lastWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), "Measure 1xEV Forward Link (03DEC2001 9:05:03)");
    EXPECT_EQ(label(w, "measureReference"), "IS-95 standard, equalizer off");
    EXPECT_THAT(label(w, "measurePnOffset"), StartsWith("100"));
    EXPECT_GE(std::stod(label(w, "measureRho")), 0.9999);  // the frame's own filter, at 14 bits
    EXPECT_THAT(label(w, "measureDataSource"), StartsWith("PN15 sequence, 0 bit errors in "));
    EXPECT_EQ(label(w, "measureSampleRate"), "2.4576 MHz (2 x chip rate)");
    auto* table = w->findChild<QTableWidget*>("measureSlots");
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->item(0, 4)->text(), "QPSK");
    EXPECT_EQ(c("main").pointer(), "arrow");
}

TEST_F(MeasureMenuTest, CaptureFileWithItsRateConfirmedInTheRealDialog) {
    // A SigMF recording at oversampling 3 says its rate; the main window stands at 5.
    const dsp::CVec x = frame([](model::Parameters& p) {
        p.OverSampling = 3;
        p.PilotOffsetIndex = 37;
        p.FilterType = 1;  // rectangular
        p.IdleSlotGainActive = 0;
    });
    model::Parameters made = model::InitializeParameters();
    model::writeSigmf(path("cap"), x, model::frameRecording(made, x.size(), 3 * 1228800.0, 2.2e9, "test"));
    startWithRealDialogs();
    chooseFile("cap.sigmf-meta");
    std::vector<std::string> defaults;
    hands.then([&](QWidget* d) {
        EXPECT_EQ(d->windowTitle(), "Analyze I/Q File");
        QStringList prompts;
        for (QLabel* l : d->findChildren<QLabel*>()) prompts << l->text();
        EXPECT_EQ(prompts.join("|").toStdString(),
                  "Sample rate (Hz):|PN offset (0-511, empty to search):|Reference filter:|Phase equalizer:");
        for (QLineEdit* e : d->findChildren<QLineEdit*>()) defaults.push_back(e->text().toStdString());
        QStringList filters;
        for (int k = 0; k < list(d, "analyzeFilter")->count(); ++k) filters << list(d, "analyzeFilter")->itemText(k);
        EXPECT_EQ(filters.join("|").toStdString(), "Find it (best fit)|IS-95 ACP-optimised|IS-95 standard|Rectangular");
        EXPECT_EQ(list(d, "analyzeEqualizer")->currentText().toStdString(), "Find it (best fit)");
        // The capture was made with the rectangular filter: the user says so, from the keyboard.
        list(d, "analyzeFilter")->setFocus();
        testsupport::key(Qt::Key_End);
        testsupport::pressButton(d, "OK");
    });
    trigger("menuFileAnalyzeIQ");
    EXPECT_TRUE(hands.done());
    EXPECT_THAT(defaults, ElementsAre("3686400", ""));
    QWidget* w = lastWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), "Measure cap.sigmf-meta");
    EXPECT_THAT(label(w, "measurePnOffset"), StartsWith("37"));
    // The equalizer was left to be found: it says which fits.
    EXPECT_THAT(label(w, "measureReference"), StartsWith("Rectangular, equalizer "));
    EXPECT_THAT(label(w, "measureReference"), HasSubstr("(found: the best fit of 2)"));
    EXPECT_GE(std::stod(label(w, "measureRho")), 0.9999);
}

// A clean capture made with the ACP filter while the main window stands at the standard filter:
// the dialog proposes no filter of its own but finds the one that made it.
TEST_F(MeasureMenuTest, ReferenceIsFoundWhateverTheMainWindowSays) {
    writeTorvik("acp.ci16be", frame([](model::Parameters& p) {
                    p.OverSampling = 4;
                    p.FilterType = 3;
                    p.PhaseEq = 1;
                    p.IdleSlotGainActive = 0;
                    p.DATAchnActive = 1;
                }));
    start();
    choose("pdFilterType", 2);
    press("chkPhaseEq");
    chooseFile("acp.ci16be");
    answerRequest([](QWidget*) {});
    trigger("menuFileAnalyzeIQ");
    EXPECT_TRUE(hands.done());
    QWidget* w = lastWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(label(w, "measureReference"), "IS-95 ACP-optimised, equalizer on (found: the best fit of 6)");
    EXPECT_GE(std::stod(label(w, "measureRho")), 0.9999);
    EXPECT_LT(std::stod(label(w, "measureEvm")), 1.0);
}

TEST_F(MeasureMenuTest, HeaderlessCaptureOfOneFrameProposesItsOwnRate) {
    // 65536 samples of 16-bit I/Q: one frame at oversampling 2, whatever the main window says.
    writeTorvik("one.ci16be", frame([](model::Parameters& p) {
                    p.OverSampling = 2;
                    p.PilotOffsetIndex = 5;
                }));
    start();
    state().parameters.FilterType = 2;  // not the capture's: not proposed
    state().parameters.PhaseEq = 0;
    chooseFile("one.ci16be");
    std::string rate, filter;
    answerRequest([&](QWidget* d) {
        rate = field(d, "analyzeRate")->text().toStdString();
        filter = list(d, "analyzeFilter")->currentText().toStdString();
        type(field(d, "analyzePnOffset"), "5", false);
    });
    trigger("menuFileAnalyzeIQ");
    EXPECT_TRUE(hands.done());
    EXPECT_EQ(rate, "2457600");
    EXPECT_EQ(filter, "Find it (best fit)");
    QWidget* w = lastWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), "Measure one.ci16be");
    EXPECT_THAT(label(w, "measurePnOffset"), StartsWith("5"));
}

TEST_F(MeasureMenuTest, FailuresShowTheReasonAndOpenNothing) {
    writeTorvik("one.ci16be", frame([](model::Parameters& p) { p.OverSampling = 2; }));
    start();
    // The rate and PN offset typed, or the dialog cancelled with Escape.
    auto analyse = [&](const std::string& file, std::optional<std::pair<QString, QString>> answers) {
        dialogs.shown.clear();
        chooseFile(file);
        hands.then([&](QWidget* d) {
            if (!answers) return testsupport::key(Qt::Key_Escape);
            type(field(d, "analyzeRate"), answers->first, false);
            type(field(d, "analyzePnOffset"), answers->second, false);
            list(d, "analyzeFilter")->setCurrentIndex(1);  // acp: one reading only
            list(d, "analyzeEqualizer")->setCurrentIndex(1);
            testsupport::pressButton(d, "OK");
        });
        trigger("menuFileAnalyzeIQ");
        EXPECT_TRUE(hands.done());
        EXPECT_TRUE(state().appInfo.ClientWindows.empty()) << file;
        EXPECT_EQ(c("main").pointer(), "arrow") << file;
        return dialogs.shown.back();
    };

    // The analyzer's own message: a rate outside what it reads.
    auto shown = analyse("one.ci16be", std::pair<QString, QString>{"1000000", ""});
    EXPECT_EQ(shown.kind, "error");
    EXPECT_EQ(shown.title, "Analysis Error");
    EXPECT_THAT(shown.text, HasSubstr("1000000"));

    // The reader's: a file that is not there, before any question.
    dialogs.shown.clear();
    chooseFile("missing.cf32");
    trigger("menuFileAnalyzeIQ");
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[1].title, "Analysis Error");
    EXPECT_THAT(dialogs.shown[1].text, HasSubstr("missing.cf32"));
    EXPECT_TRUE(state().appInfo.ClientWindows.empty());

    // Answers that do not fit name their field.
    shown = analyse("one.ci16be", std::pair<QString, QString>{"fast", ""});
    EXPECT_EQ(shown.text, "'Sample rate (Hz):' needs a number, not 'fast'");
    shown = analyse("one.ci16be", std::pair<QString, QString>{"2457600", "512"});
    EXPECT_EQ(shown.text, "'PN offset (0-511, empty to search):' needs a whole number from 0 to 511 or nothing, not '512'");

    // Cancelled: the dialog, then the file choice.
    shown = analyse("one.ci16be", std::nullopt);
    EXPECT_EQ(shown.kind, "open");
    dialogs.shown.clear();
    trigger("menuFileAnalyzeIQ");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, "open");
}

TEST(MeasureRequest, AnswersBecomeTheAnalyzersOptions) {
    const analyzer::Options o = app::analyzeRequest({"6144000", " 17 ", "STD", "0"});
    EXPECT_EQ(o.sampleRate, 6144000);
    EXPECT_EQ(o.pnOffset, 17);
    EXPECT_EQ(o.filter, analyzer::ReferenceFilter::Standard);
    EXPECT_EQ(o.phaseEqualizer, false);
    const analyzer::Options searched = app::analyzeRequest({"2457600", "  ", "rect", "1"});
    EXPECT_FALSE(searched.pnOffset.has_value());
    EXPECT_EQ(searched.filter, analyzer::ReferenceFilter::Rectangular);
    EXPECT_EQ(searched.phaseEqualizer, true);
    const analyzer::Options found = app::analyzeRequest({"2457600", "", "find", "find"});
    EXPECT_FALSE(found.filter.has_value());
    EXPECT_FALSE(found.phaseEqualizer.has_value());
    EXPECT_THROW(app::analyzeRequest({"2457600", "", "gauss", "1"}), std::invalid_argument);
    EXPECT_THROW(app::analyzeRequest({"2457600", "", "acp", "yes"}), std::invalid_argument);
    // A PN offset that is no whole number, which the window's test leaves out.
    EXPECT_THROW(app::analyzeRequest({"2457600", "1.5", "acp", "1"}), std::invalid_argument);
}
