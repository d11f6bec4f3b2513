// The real question and message boxes, answered with the keyboard and the mouse as a person
// does: labels as written, Enter on the named default, Escape as Cancel, Tab to the next button.
#include <QGuiApplication>
#include <QKeySequence>
#include <QLabel>
#include <QScreen>
#include <QStyle>
#include <gmock/gmock.h>

#include "model/parameter_file.h"
#include "app_fixture.h"

using testing::ElementsAre;
using testsupport::AppTest;
using testsupport::key;

namespace {

using Buttons = std::vector<std::string>;

class QuestionTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        startWithRealDialogs();
    }
    std::size_t plots() const { return application->context().state.appInfo.ClientWindows.size(); }
    bool current() {
        const auto& last = state().appInfo.LastCaluclatedParameterSet;
        return last && *last == state().parameters;
    }
    // The next box is answered by `act` after its buttons were checked for shortcut marks.
    void next(std::function<void(QWidget*)> act) {
        hands.then([act](QWidget* box) {
            for (auto* b : box->findChildren<QAbstractButton*>())
                EXPECT_TRUE(QKeySequence::mnemonic(b->text()).isEmpty()) << b->text().toStdString();
            act(box);
        });
    }
    static void click(QWidget* box, const char* label) {
        for (auto* b : box->findChildren<QAbstractButton*>())
            if (testsupport::DialogHands::shown(b->text()) == label) return testsupport::press(b);
        ADD_FAILURE() << "no button " << label;
    }
};

}  // namespace

TEST_F(QuestionTest, ReadinessQuestionsTakeTheKeyboardAsTheirDefaultsSay) {
    // Nothing calculated yet: Enter calculates, then plots.
    next([](QWidget*) { key(Qt::Key_Return); });
    trigger("menuPlotCCDF");
    ASSERT_EQ(hands.seen.size(), 1u);
    EXPECT_EQ(hands.seen[0].title, "Waveform Not Calculated");
    EXPECT_EQ(hands.seen[0].text,
              "The waveform has not yet been calculated. Do you wish to calculate\nthe waveform and then plot ?");
    EXPECT_EQ(hands.seen[0].buttons, (Buttons{"Calculate & Plot", "Cancel"}));
    EXPECT_EQ(hands.seen[0].defaultButton, "Calculate & Plot");
    EXPECT_EQ(hands.seen[0].focused, "Calculate & Plot");
    EXPECT_TRUE(current());
    EXPECT_EQ(plots(), 1u);

    // Changed settings: Enter recalculates before plotting.
    type("txtOversampling", "8");
    next([](QWidget*) { key(Qt::Key_Return); });
    trigger("menuPlotCCDF");
    ASSERT_EQ(hands.seen.size(), 2u);
    EXPECT_EQ(hands.seen[1].title, "Waveform Not Recalculated");
    EXPECT_EQ(hands.seen[1].buttons, (Buttons{"Yes", "Recalc & Plot", "Cancel"}));
    EXPECT_EQ(hands.seen[1].defaultButton, "Recalc & Plot");
    EXPECT_EQ(hands.seen[1].focused, "Recalc & Plot");
    EXPECT_TRUE(current());
    EXPECT_EQ(state().waveform.size(), 8u * 32768u);
    EXPECT_EQ(plots(), 2u);

    // Escape cancels; so does Tab from the default to Cancel and Enter there.
    type("txtOversampling", "6");
    next([](QWidget*) { key(Qt::Key_Escape); });
    trigger("menuPlotCCDF");
    next([](QWidget*) {
        key(Qt::Key_Tab);
        key(Qt::Key_Return);
    });
    trigger("menuPlotCCDF");
    EXPECT_EQ(plots(), 2u);
    EXPECT_FALSE(current());

    // "Yes" with the mouse plots the old waveform; the window's frame goes on the same way.
    next([](QWidget* box) { click(box, "Yes"); });
    trigger("menuPlotCCDF");
    next([](QWidget* box) { box->close(); });
    trigger("menuPlotCCDF");
    EXPECT_EQ(plots(), 4u);
    EXPECT_EQ(state().waveform.size(), 8u * 32768u);
    EXPECT_TRUE(hands.done());
    EXPECT_TRUE(console.str().empty()) << console.str();
}

TEST_F(QuestionTest, EnterOnWaveformTooLargeKeepsTheSettings) {
    // A length above what option 001 holds: no file or entry gives one any more (ProjectedLength
    // follows OverSampling, at most 30), so the settings are set here directly.
    model::Parameters large;
    large.PilotOffsetIndex = 77;
    large.ProjectedLength = 9e6;
    state().parameters = large;
    const std::string title = c("main").name();

    next([](QWidget*) { key(Qt::Key_Return); });
    trigger("menuConfigBBG1Opt1");
    ASSERT_EQ(hands.seen.size(), 1u);
    EXPECT_EQ(hands.seen[0].title, "Waveform too large");
    EXPECT_EQ(hands.seen[0].buttons, (Buttons{"Yes", "Cancel"}));
    EXPECT_EQ(hands.seen[0].focused, "Cancel");
    EXPECT_EQ(state().parameters, large) << "Enter must not reset the settings";
    EXPECT_EQ(state().configuration.BBGtype, "002");
    EXPECT_EQ(c("main").name(), title);

    next([](QWidget* box) { click(box, "Yes"); });
    trigger("menuConfigBBG1Opt1");
    EXPECT_EQ(state().parameters, model::Parameters{});
    EXPECT_EQ(state().configuration.BBGtype, "001");
}

TEST_F(QuestionTest, LongMessagesWrapAndStayOnTheScreen) {
    // A refusal that names a deep path: the box wraps it instead of growing past the screen.
    const std::filesystem::path deep = dir / std::string(70, 'd') / std::string(70, 'e');
    std::filesystem::create_directories(deep);
    dialogs.files.push_back(host::FileChoice{deep.string() + "/", "missing.mat"});
    QSize size;
    std::string text;
    next([&](QWidget* box) {
        size = box->size();
        text = box->findChild<QLabel*>("qt_msgbox_label")->text().toStdString();
        key(Qt::Key_Return);  // OK
    });
    trigger("menuFileOpen");
    ASSERT_EQ(hands.seen.size(), 1u);
    EXPECT_EQ(hands.seen[0].title, "Error Loading File");
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 75u) << line;
    EXPECT_NE(text.find("missing.mat"), std::string::npos) << text;
    EXPECT_LE(size.width(), QGuiApplication::primaryScreen()->availableGeometry().width());
    EXPECT_TRUE(hands.done());
}
