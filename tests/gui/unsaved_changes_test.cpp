// Changed settings are never thrown away without a word: File New, File Open and Exit ask
// "Save changes to <file>?" and the title carries "*" while there is something to save.
#include <filesystem>
#include <gmock/gmock.h>

#include "model/parameter_file.h"
#include "app_fixture.h"

using testsupport::AppTest;

namespace {

class UnsavedTest : public AppTest {
protected:
    std::string title() const { return main->windowTitle().toStdString(); }
    const testsupport::ScriptedDialogs::Shown* lastQuestion() const {
        for (auto it = dialogs.shown.rbegin(); it != dialogs.shown.rend(); ++it)
            if (it->kind == "question") return &*it;
        return nullptr;
    }
    host::FileChoice file(const char* name) const { return {dir.string() + "/", name}; }
};

constexpr const char* kTitle = "Brennix Lumora - 1xEV Forward Link";

}  // namespace

TEST_F(UnsavedTest, TheTitleMarksChangedSettings) {
    start();
    EXPECT_EQ(title(), kTitle);
    type("txtOffsetIndex", "17");
    EXPECT_EQ(title(), std::string("*") + kTitle);
    type("txtOffsetIndex", "0");
    EXPECT_EQ(title(), kTitle) << "changed back: nothing to save";
    choose("pdFilterType", state().parameters.FilterType == 1 ? 2 : 1);
    EXPECT_EQ(title(), std::string("*") + kTitle);

    dialogs.files.push_back(file("one.mat"));
    trigger("menuFileSaveAs");
    EXPECT_EQ(title(), kTitle + std::string(" : ") + path("one.mat"));
    type("txtIdleSlotGain", "-20");
    EXPECT_EQ(title(), "*" + std::string(kTitle) + " : " + path("one.mat"));
    trigger("menuFileSave");
    EXPECT_EQ(title(), kTitle + std::string(" : ") + path("one.mat"));
    for (const auto& d : dialogs.shown) EXPECT_NE(d.kind, "question") << "saving asks nothing";
}

TEST_F(UnsavedTest, NewOpenAndExitAskFirst) {
    model::Parameters other;
    other.PilotOffsetIndex = 99;
    model::writeParameterFile(path("other.mat"), other);
    start();

    // Unchanged: no question.
    trigger("menuFileNew");
    EXPECT_TRUE(dialogs.shown.empty());

    // Cancel, or closing the question, keeps the settings.
    type("txtOffsetIndex", "17");
    for (const char* answer : {"Cancel", ""}) {
        dialogs.answers.push_back(answer);
        trigger("menuFileNew");
        EXPECT_EQ(state().parameters.PilotOffsetIndex, 17) << answer;
    }
    const auto* q = lastQuestion();
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(q->title, "Save Changes");
    EXPECT_EQ(q->text, "Save changes to Untitled?");
    EXPECT_EQ(q->buttons, (std::vector<std::string>{"Save", "Discard", "Cancel"}));
    EXPECT_EQ(q->defaultButton, "Save");

    // Discard goes on without saving.
    dialogs.answers.push_back("Discard");
    dialogs.files.push_back(file("other.mat"));
    trigger("menuFileOpen");
    EXPECT_EQ(state().parameters.PilotOffsetIndex, 99);
    EXPECT_EQ(title(), kTitle + std::string(" : ") + path("other.mat"));

    // Save writes the file that is open, then goes on.
    type("txtOffsetIndex", "42");
    dialogs.shown.clear();
    dialogs.answers.push_back("Save");
    trigger("menuFileNew");
    EXPECT_EQ(dialogs.shown.at(0).text, "Save changes to other.mat?");
    EXPECT_EQ(model::readParameterFile(path("other.mat"), other.ParameterFileFormat_ID).PilotOffsetIndex, 42);
    EXPECT_EQ(state().parameters.PilotOffsetIndex, 0) << "then File New";
    EXPECT_EQ(title(), kTitle);

    // A save the user does not finish (no file chosen) keeps the settings.
    type("txtOffsetIndex", "5");
    dialogs.answers.push_back("Save");
    dialogs.files.push_back(std::nullopt);
    trigger("menuFileOpen");
    EXPECT_EQ(state().parameters.PilotOffsetIndex, 5);

    // Exit: Cancel keeps the window; Discard closes it.
    dialogs.answers.push_back("Cancel");
    trigger("menuFileExit");
    EXPECT_TRUE(main->isVisible());
    EXPECT_FALSE(std::filesystem::exists(path("defaults.mat")));
    dialogs.answers.push_back("Discard");
    trigger("menuFileExit");
    EXPECT_FALSE(main->isVisible());
    EXPECT_TRUE(std::filesystem::exists(path("defaults.mat")));
    EXPECT_TRUE(console.str().empty()) << console.str();
}

TEST_F(UnsavedTest, TheCloseBoxAsksAsExitDoes) {
    start();
    type("txtOversampling", "9");
    dialogs.answers.push_back("Cancel");
    main->close();
    QApplication::processEvents();
    EXPECT_TRUE(main->isVisible());
    EXPECT_EQ(dialogs.shown.back().text, "Save changes to Untitled?");
}
