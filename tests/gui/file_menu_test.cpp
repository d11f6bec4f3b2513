// The File menu and the configuration file, driven through the menu bar and the scripted dialogs.
#include <QAction>
#include <gmock/gmock.h>
#include <cstdlib>
#include <fstream>

#include "app/config_file.h"
#include "app/file_menu.h"
#include "app/status_line.h"
#include "app_fixture.h"
#include "host/core/compare.h"
#include "host/core/mat_file.h"

namespace {

using model::Parameters;
using host::Value;

const std::string kTitle = "Brennix Lumora - 1xEV Forward Link";

model::Parameters edited() {
    model::Parameters p;
    p.PilotOffsetIndex = 77;
    p.OverSampling = 30;
    p.ProjectedLength = 983040;
    p.slot.DATAslotMod[3] = 3;
    p.slot.RPCslotGain(15, 58) = 12.5;
    return p;
}

Value withVariable(const char* name, const Value& v) {
    Value file = Value::record();
    file.set(name, v);
    return file;
}

class FileMenuTest : public testsupport::AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        start();
        dialogs.shown.clear();
    }
    void choose(const std::string& name) { dialogs.files.push_back(host::FileChoice{dir.string() + "/", name}); }
    std::string title() { return c("main").name(); }
    std::string& lastName() { return state().configuration.LastParameterFilename; }
    bool load(const char* name) { return application->files().loadParameters(path(name), host::Handles(main)); }
    model::Parameters readBack(const char* name) {
        model::Parameters p;
        model::fromValue(host::readMatFile(path(name)).field("fileParameters"), p);
        return p;
    }
};

TEST_F(FileMenuTest, SaveAsNamesTheFileAndSaveWritesItWithoutAsking) {
    for (const char* name : {"test", "test.mat", "test.MAT", "velmora."}) {
        choose(name);
        trigger("menuFileSaveAs");
    }
    EXPECT_TRUE(std::filesystem::exists(path("test.mat")));
    EXPECT_TRUE(std::filesystem::exists(path("test.MAT.mat")));
    EXPECT_EQ(lastName(), path("velmora..mat"));  // the prefix alone is an ordinary name
    EXPECT_EQ(title(), kTitle + " : " + path("velmora..mat"));
    EXPECT_EQ(dialogs.shown.at(0).kind, "save");
    EXPECT_EQ(dialogs.shown.at(0).text, "*.mat");

    state().parameters = edited();
    dialogs.shown.clear();
    trigger("menuFileSave");
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(readBack("velmora..mat"), edited());

    // After New the setting is unnamed: Save asks, and a cancelled dialog changes nothing.
    trigger("menuFileNew");
    EXPECT_EQ(lastName(), "");
    EXPECT_EQ(title(), kTitle);
    trigger("menuFileSave");
    EXPECT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(lastName(), "");
    choose("plain");
    trigger("menuFileSave");
    EXPECT_EQ(title(), kTitle + " : " + path("plain.mat"));
}

TEST_F(FileMenuTest, RoundTripThroughSaveAsNewAndOpen) {
    state().parameters = edited();
    const model::AppInfo appInfo = state().appInfo;
    choose("round");
    trigger("menuFileSaveAs");
    trigger("menuFileNew");
    EXPECT_EQ(state().parameters, model::Parameters{});
    state().SigGenSettings.Title = "KEPT";
    state().SigGenSettings.RFblanking = edited().IdleSlotGainActive;  // not what the file's idle noise asks for

    choose("round");
    trigger("menuFileOpen");
    EXPECT_EQ(dialogs.shown.back().kind, "open");
    EXPECT_TRUE(host::compareStruct(model::toValue(state().parameters), model::toValue(edited())));
    EXPECT_EQ(c("txtOversampling").string(), "30");
    EXPECT_EQ(title(), kTitle + " : " + path("round.mat"));
    // The sample clock and RF blanking follow the file as they follow their controls; the other
    // player settings and the application's own record stay.
    EXPECT_EQ(state().SigGenSettings.SamplingRate, 30 * 1228800);
    EXPECT_EQ(state().SigGenSettings.RFblanking, 1 - edited().IdleSlotGainActive);
    EXPECT_EQ(app::statusText(ctx()), "Opened " + path("round.mat"));
    EXPECT_EQ(state().SigGenSettings.Title, "KEPT");
    EXPECT_EQ(state().appInfo, appInfo);
}

TEST_F(FileMenuTest, RefusedFilesChangeNothing) {
    choose("kept");
    trigger("menuFileSaveAs");
    state().parameters.PilotOffsetIndex = 5;
    trigger("menuFileSave");  // nothing unsaved: opening asks nothing first
    const model::Parameters before = state().parameters;

    const Value good = model::toValue(model::Parameters{});
    auto changed = [&](auto change) {
        Value v = good;
        change(v);
        return withVariable("fileParameters", v);
    };
    Value noPhaseEq = Value::record();
    for (std::size_t i = 0; i < good.fieldCount(); ++i)
        if (good.fieldName(i) != "PhaseEq") noPhaseEq.set(good.fieldName(i), good.fieldValue(i));
    // A structure refusal keeps its first line and names the first field that does not fit.
    const std::string S = "has an Invalid File Structure.\n";
    const std::vector<std::tuple<const char*, Value, std::string>> cases{
        {"novar.mat", withVariable("parameters", good), "has an Invalid File Format."},
        {"noid.mat", withVariable("fileParameters", withVariable("Mode", 1)),
         S + "fileParameters.ParameterFileFormat_ID is missing"},
        {"number.mat", withVariable("fileParameters", 3), S + "fileParameters must be a record (got 1x1)"},
        {"otherid.mat", changed([](Value& v) { v.set("ParameterFileFormat_ID", "Zuno-Fwd - Format 1.1"); }),
         "has an Invalid File Parameter ID."},
        {"missing.mat", withVariable("fileParameters", noPhaseEq), S + "fileParameters.PhaseEq is missing"},
        {"shape.mat", changed([](Value& v) { v.field("slot").set("RPCslotGain", Value::filled(16, 58, -3)); }),
         S + "fileParameters.slot.RPCslotGain must be a 16x59 numeric matrix (got 16x58)"},
        {"text.mat", changed([](Value& v) { v.set("OverSampling", "5"); }),
         S + "fileParameters.OverSampling must be a real number (got text \"5\")"},
        // A value outside its field's codes or range is refused by name, not taken for another.
        {"filter.mat", changed([](Value& v) { v.set("FilterType", 9); }),
         "has an Invalid File Setting.\nfileParameters.FilterType is 9; it must be 1 (rectangular), 2 (IS-95 standard) "
         "or 3 (IS-95 ACP-optimised)"},
        {"length.mat", changed([](Value& v) { v.set("ProjectedLength", 100000); }),
         "has an Invalid File Setting.\nfileParameters.ProjectedLength is 100000 but fileParameters.OverSampling 5 makes "
         "163840; it must be 32768 x OverSampling"},
    };
    for (const auto& [name, file, why] : cases) {
        SCOPED_TRACE(name);
        host::writeMatFile(path(name), file);
        dialogs.shown.clear();
        choose(name);
        trigger("menuFileOpen");
        ASSERT_EQ(dialogs.shown.size(), 2u);
        EXPECT_EQ(dialogs.shown[1].title, "Error Loading File");
        EXPECT_EQ(dialogs.shown[1].text, path(name) + "\n" + why);
    }
    std::ofstream(path("garbage.mat")) << "not a record file";
    for (const char* name : {"garbage.mat", "absent.mat"}) {
        dialogs.shown.clear();
        EXPECT_FALSE(load(name));
        ASSERT_EQ(dialogs.shown.size(), 1u);
        EXPECT_EQ(dialogs.shown[0].title, "Error Loading File");
        EXPECT_NE(dialogs.shown[0].text.find(path(name)), std::string::npos) << dialogs.shown[0].text;
    }
    EXPECT_EQ(state().parameters, before);
    EXPECT_EQ(title(), kTitle + " : " + path("kept.mat"));

    // Values are taken as stored, and fields of a newer version are dropped.
    Value newer = good;
    newer.set("OverSampling", 24);
    newer.set("ProjectedLength", 24 * 32768);
    newer.set("Comment", "from a newer version");
    newer.field("slot").set("Extra", Value::row({1, 2}));
    host::writeMatFile(path("newer.mat"), withVariable("fileParameters", newer));
    dialogs.shown.clear();
    EXPECT_TRUE(load("newer.mat"));
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(state().parameters.OverSampling, 24);
}

TEST_F(FileMenuTest, FailedOrDivertedSaveKeepsTheLastGoodName) {
    choose("good");
    trigger("menuFileSaveAs");
    std::ofstream(path("plainfile")) << "x";
    const std::vector<host::FileChoice> bad{{"/proc/", "x"}, {path("plainfile") + "/", "below"}};
    for (const host::FileChoice& choice : bad) {
        dialogs.shown.clear();
        dialogs.files.push_back(choice);
        trigger("menuFileSaveAs");
        ASSERT_EQ(dialogs.shown.size(), 2u);
        EXPECT_EQ(dialogs.shown[1].title, "Error Saving " + choice.directory + choice.name + ".mat");
        EXPECT_FALSE(dialogs.shown[1].text.empty());
    }
    dialogs.shown.clear();
    choose("velmora.wave");
    trigger("menuFileSaveAs");
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[1].title, "Error Saving " + path("wave"));
    EXPECT_EQ(dialogs.shown[1].text, "No waveform has been calculated yet: press Calculate first.");
    EXPECT_FALSE(std::filesystem::exists(path("wave")) || std::filesystem::exists(path("velmora.wave.mat")));
    EXPECT_EQ(title(), kTitle + " : " + path("good.mat"));
    EXPECT_EQ(lastName(), path("good.mat"));
    choose("Velmora.x");  // the prefix is exact, case included
    trigger("menuFileSaveAs");
    EXPECT_TRUE(std::filesystem::exists(path("Velmora.x.mat")));
    EXPECT_EQ(lastName(), path("Velmora.x.mat"));
}

TEST_F(FileMenuTest, AfterRestartTheTitleNamesTheFileButSaveAsksFirst) {
    state().parameters = edited();
    choose("setup");
    trigger("menuFileSaveAs");
    trigger("menuFileExit");
    application.reset();
    start();
    EXPECT_EQ(title(), kTitle + " : " + path("setup.mat"));
    EXPECT_EQ(state().parameters, model::Parameters{});
    dialogs.shown.clear();
    trigger("menuFileSave");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, "save");
    EXPECT_EQ(readBack("setup.mat"), edited());
}

TEST_F(FileMenuTest, ConfigurationFileRoundTripAndBadFiles) {
    model::Configuration cfg;
    cfg.TCPIP.address = "192.168.1.20";
    cfg.BBGtype = "001";
    cfg.LastParameterFilename = "/home/u/a b.mat";
    app::saveConfig(path("cfg.mat"), cfg);
    EXPECT_EQ(app::loadConfig(path("cfg.mat")), cfg);

    std::ofstream(path("corrupt.mat")) << "MATLAB 5.0 MAT-file, truncated";
    host::writeMatFile(path("params.mat"), withVariable("fileParameters", model::toValue(model::Parameters{})));
    // Only a missing file is quietly the first run; the others are errors with their reason.
    EXPECT_FALSE(app::loadConfig(path("absent.mat")));
    EXPECT_THROW(app::loadConfig(path("corrupt.mat")), std::runtime_error);
    EXPECT_THAT([&] { app::loadConfig(path("params.mat")); },
                testing::ThrowsMessage<std::runtime_error>(testing::HasSubstr("fileParameters.type is missing")));
    EXPECT_THROW(app::saveConfig("/proc/defaults.mat", cfg), std::runtime_error);
}

// Parameter files from other numerical tools, which store texts and empties their own way.
class ForeignFileTest : public FileMenuTest {
protected:
    void openForeign(const char* name) {
        ASSERT_TRUE(std::filesystem::exists(path(name))) << "the tool wrote no file";
        EXPECT_TRUE(load(name));
        EXPECT_TRUE(dialogs.shown.empty()) << dialogs.shown[0].text;
        EXPECT_EQ(state().parameters, edited());
    }
};

TEST_F(ForeignFileTest, OpensAFileWrittenWithSciPy) {
    if (std::system("/usr/bin/python3 -c 'import scipy.io' 2>/dev/null") != 0)
        GTEST_SKIP() << "/usr/bin/python3 with scipy is not installed";
    std::ofstream(path("w.py")) << R"(import numpy as np
from scipy.io import savemat
c = lambda v: np.full((16, 1), float(v))
m = lambda v: np.full((16, 59), float(v))
s = dict(DATAslotActive=c(1), DATAslotMod=c(1), RAslotActive=c(1), RAslotValue=c(1), RAslotGain=c(-3),
         RPCslotActiveChn=c(1), RPCslotActive=m(0), RPCslotValue=m(1), RPCslotGain=m(-3))
s['DATAslotMod'][3] = 3; s['RPCslotActive'][:, 0] = 1; s['RPCslotGain'][15, 58] = 12.5
p = dict(ParameterFileFormat_ID='Zuno-Fwd - Format 1.2', Mode=1., PilotOffsetIndex=77., MACchnActive=0.,
         DATAchnActive=0., DATAsourceType=6., DATAsourceName=np.zeros((0, 0)), IdleSlotGainActive=1.,
         IdleSlotGain=-10., slot=s, OverSampling=30., FilterType=3., PhaseEq=1., MirrorSpectrum=0.,
         ProjectedLength=983040.)
savemat('scipy.mat', {'fileParameters': p})
)";
    ASSERT_EQ(std::system("/usr/bin/python3 w.py"), 0);
    openForeign("scipy.mat");
}

TEST_F(ForeignFileTest, OpensAFileWrittenWithOctave) {
    if (std::system("command -v octave-cli >/dev/null 2>&1") != 0) GTEST_SKIP() << "octave-cli is not installed";
    std::ofstream(path("w.m")) << R"(s.DATAslotActive = ones(16, 1); s.DATAslotMod = ones(16, 1); s.DATAslotMod(4) = 3;
s.RAslotActive = ones(16, 1); s.RAslotValue = ones(16, 1); s.RAslotGain = -3 * ones(16, 1);
s.RPCslotActiveChn = ones(16, 1); s.RPCslotActive = [ones(16, 1) zeros(16, 58)];
s.RPCslotValue = ones(16, 59); s.RPCslotGain = -3 * ones(16, 59); s.RPCslotGain(16, 59) = 12.5;
p.ParameterFileFormat_ID = 'Zuno-Fwd - Format 1.2'; p.Mode = 1; p.PilotOffsetIndex = 77;
p.MACchnActive = 0; p.DATAchnActive = 0; p.DATAsourceType = 6; p.DATAsourceName = [];
p.IdleSlotGainActive = 1; p.IdleSlotGain = -10; p.slot = s; p.OverSampling = 30;
p.FilterType = 3; p.PhaseEq = 1; p.MirrorSpectrum = 0; p.ProjectedLength = 983040;
fileParameters = p;
save('-v7', 'octave.mat', 'fileParameters');
)";
    ASSERT_EQ(std::system("octave-cli --no-init-file --quiet w.m >/dev/null 2>&1"), 0);
    openForeign("octave.mat");
}

}  // namespace
