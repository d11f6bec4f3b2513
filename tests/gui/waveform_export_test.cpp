// Waveform export from the application: Save As with the prefix, the Special menu's Save Wave
// and the SigMF entry of the File menu, through the scripted dialogs.
#include <QAction>
#include <QMenu>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "app/common_controller.h"
#include "model/torvik.h"
#include "model/waveform_files.h"
#include "app_fixture.h"
#include "host/core/mat_file.h"

namespace {

using host::Value;

class WaveformExportTest : public testsupport::AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        start();
        state().parameters.OverSampling = 2;
        state().parameters.ProjectedLength = 65536;
        state().SigGenSettings.SamplingRate = 2457600;
        dialogs.shown.clear();
    }
    void calculate() { ASSERT_TRUE(application->common().executeCalculation(host::Handles(main))); }
    void choose(const std::string& name) { dialogs.files.push_back(host::FileChoice{dir.string() + "/", name}); }
    // Save As with the prefix, answering the format question.
    void specialSave(const std::string& name, const char* answer) {
        choose("velmora." + name);
        if (answer) dialogs.answers.push_back(answer);
        trigger("menuFileSaveAs");
    }
    std::string bytesOf(const char* name) {
        std::ifstream in(path(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
};

}  // namespace

TEST_F(WaveformExportTest, SaveAsWithThePrefixWritesTheChosenForm) {
    specialSave("early", "ASCII");
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[1].title, "Error Saving " + path("early"));
    EXPECT_EQ(dialogs.shown[1].text, "No waveform has been calculated yet: press Calculate first.");
    dialogs.answers.clear();

    calculate();
    const dsp::CVec& w = state().waveform;
    ASSERT_EQ(w.size(), 65536u);
    dialogs.shown.clear();
    specialSave("a.txt", "ASCII");
    ASSERT_EQ(dialogs.shown.size(), 2u);
    const auto& q = dialogs.shown[1];
    EXPECT_EQ(q.kind, "question");
    EXPECT_EQ(q.title, "Special Save");
    EXPECT_EQ(q.text, "Select file format.");
    EXPECT_EQ(q.buttons, (std::vector<std::string>{"ASCII", "Torvik", "MAT"}));
    EXPECT_EQ(q.defaultButton, "ASCII");
    specialSave("m", "MAT");
    specialSave("t", "Torvik");
    specialSave("none", nullptr);  // the question closed by its frame

    // A .txt name still gets a record file; no extension is added to any of them.
    EXPECT_EQ(host::readMatFile(path("a.txt")), model::asciiExport(w));
    EXPECT_EQ(host::readMatFile(path("m")), model::matExport(w));
    const auto torvik = model::torvikBytes(w);
    EXPECT_EQ(bytesOf("t"), std::string(torvik.begin(), torvik.end()));
    EXPECT_FALSE(std::filesystem::exists(path("none")));
    EXPECT_EQ(dialogs.shown.size(), 8u);  // a save dialog and a question each, nothing else
    // The settings file and the title are left alone.
    EXPECT_EQ(state().configuration.LastParameterFilename, "");
}

TEST_F(WaveformExportTest, WriteFailuresNameTheFileAndTheReason) {
    calculate();
    std::ofstream(path("plainfile")) << "x";
    const std::string below = path("plainfile") + "/";
    for (const char* answer : {"ASCII", "Torvik", "MAT"}) {
        SCOPED_TRACE(answer);
        dialogs.shown.clear();
        dialogs.files.push_back(host::FileChoice{below, "velmora.w"});
        dialogs.answers.push_back(answer);
        trigger("menuFileSaveAs");
        ASSERT_EQ(dialogs.shown.size(), 3u);
        EXPECT_EQ(dialogs.shown[2].kind, "error");
        EXPECT_EQ(dialogs.shown[2].title, "Error Saving " + below + "w");
        EXPECT_EQ(dialogs.shown[2].text.rfind("cannot write " + below + "w: ", 0), 0u) << dialogs.shown[2].text;
    }
    // The Special menu names the file without its folder.
    dialogs.shown.clear();
    dialogs.files.push_back(host::FileChoice{below, "wave.txt"});
    trigger("menuSpecialSaveWave");
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[1].title, "Error Saving wave.txt");
    EXPECT_EQ(c("main").pointer(), "arrow");
}

TEST_F(WaveformExportTest, SaveWaveChecksReadinessFirst) {
    dialogs.answers.push_back("Cancel");
    trigger("menuSpecialSaveWave");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, "Waveform Not Calculated");
    EXPECT_EQ(dialogs.shown[0].buttons, (std::vector<std::string>{"Calculate & Save", "Cancel"}));

    dialogs.shown.clear();
    dialogs.answers.push_back("Calculate & Save");
    choose("wave.txt");
    trigger("menuSpecialSaveWave");
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[1].kind, "save");
    EXPECT_EQ(dialogs.shown[1].text, "*.txt");
    EXPECT_EQ(host::readMatFile(path("wave.txt")), model::waveExport(state().waveform, 2457600));
    EXPECT_EQ(c("main").pointer(), "arrow");

    trigger("menuSpecialSaveWave");  // a cancelled file dialog writes nothing
    EXPECT_EQ(dialogs.shown.size(), 3u);
}

TEST_F(WaveformExportTest, SigmfEntryDescribesTheCalculatedFrame) {
    QStringList items;
    for (QAction* a : main->findChild<QMenu*>("menuFile")->actions()) items << (a->isSeparator() ? "---" : a->text());
    EXPECT_EQ(items.join("|").toStdString(), "&New|&Open...|&Save|Save &As...|Export Si&gMF...|---|Analyze I/Q File...|---|E&xit");

    state().parameters.DATAchnActive = 1;
    calculate();
    // Changed since: the labels still describe the waveform that is written.
    state().parameters.DATAchnActive = 0;
    dialogs.answers.push_back("Yes");
    choose("rec.sigmf-meta");
    trigger("menuFileExportSigMF");
    EXPECT_EQ(dialogs.shown.at(0).title, "Waveform Not Recalculated");
    EXPECT_EQ(dialogs.shown.at(1).text, "*.sigmf-meta");
    EXPECT_EQ(std::filesystem::file_size(path("rec.sigmf-data")), 65536u * 8);
    const auto meta = nlohmann::json::parse(std::ifstream(path("rec.sigmf-meta")));
    EXPECT_EQ(meta["global"]["core:sample_rate"], 2457600.0);
    EXPECT_EQ(meta["captures"][0]["core:frequency"], state().SigGenSettings.Frequency);
    EXPECT_EQ(meta["annotations"][0]["core:label"], "slot 1: traffic QPSK, MAC idle");
}
