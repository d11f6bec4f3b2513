#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "model/parameter_file.h"
#include "model/parameter_overrides.h"
#include "model/torvik.h"
#include "model/waveform_files.h"
#include "host/core/mat_file.h"
#include "host/core/command_line.h"
#include "tools/gen_options.h"
#include "model/sample_output.h"
#include "tests/tools/zuno_gen_run.h"
#include <nlohmann/json.hpp>

namespace fs = std::filesystem;
using testing::HasSubstr;

namespace {

using Run = testsupport::CommandOutput;

std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class ZunoGen : public testing::Test {
protected:
    fs::path dir = fs::temp_directory_path() / ("zuno-gen-test-" + std::to_string(::getpid()));
    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override { fs::remove_all(dir); }
    std::string at(const char* name) const { return (dir / name).string(); }
};

// zuno-gen with `args` fails, saying `text`.
void expectError(const std::string& args, const std::string& text) {
    const auto run = zunoGen(args);
    EXPECT_NE(run.status, 0) << args;
    EXPECT_THAT(run.text, HasSubstr(text)) << args;
}

}  // namespace

TEST(GenOptions, ParsesAndRefuses) {
    const auto o = gen::parseGenOptions({"--set", "OverSampling=8", "--seed", "42", "--out", "w.bin", "--format",
                                         "ci16be", "--set", "slot.RAslotGain=-6", "--bench", "3"});
    EXPECT_EQ(o.settings, (std::vector<std::string>{"OverSampling=8", "slot.RAslotGain=-6"}));
    EXPECT_EQ(o.seed, 42u);
    EXPECT_EQ(o.format, model::SampleFormat::Ci16be);
    EXPECT_EQ(o.bench, 3);
    for (const auto& bad : std::vector<std::vector<std::string>>{
             {"--format", "wav"}, {"--seed", "-1"}, {"--seed"}, {"--set", "OverSampling"}, {"--bench", "0"}, {"--frobnicate"}})
        EXPECT_THROW(gen::parseGenOptions(bad), host::UsageError) << bad[0];
}

TEST(GenOutput, SummaryOfAKnownWaveform) {
    const dsp::CVec w{{3, 4}, {0, 0}, {0, 0}, {0, 0}};  // peak 5, RMS 2.5
    const auto s = model::waveformStats(w);
    EXPECT_DOUBLE_EQ(s.peak, 5.0);
    EXPECT_DOUBLE_EQ(s.rms, 2.5);
    EXPECT_NEAR(s.crestDb, 6.0206, 1e-4);
    EXPECT_EQ(model::summaryLine(w, 2457600), "4 samples at 2457600 Hz, peak 5, RMS 2.5, crest factor 6.02 dB");
    EXPECT_EQ(model::waveformStats(dsp::CVec(4)).crestDb, 0.0);
}

TEST_F(ZunoGen, WritesEveryFormatAndTheMarkers) {
    const auto run = zunoGen("--set OverSampling=2 --seed 1 --out " + at("w64") + " --markers " + at("m"));
    ASSERT_EQ(run.status, 0) << run.text;
    EXPECT_THAT(run.text, HasSubstr("65536 samples at 2457600 Hz, peak "));
    EXPECT_EQ(fs::file_size(at("w64")), 65536u * 16);
    const auto markers = readAll(at("m"));
    ASSERT_EQ(markers.size(), 2u * 65536);
    // Marker 1: high for the first chip of every half slot; marker 2: pilot bursts of idle slots.
    EXPECT_EQ(markers.substr(0, 3), std::string("\1\1\0", 3));
    EXPECT_EQ(markers[2048], 1);
    EXPECT_EQ(markers[65536], 0);
    EXPECT_EQ(markers[65536 + 2 * 470], 1);

    ASSERT_EQ(zunoGen("--set OverSampling=2 --seed 1 --format cf32 --out " + at("w32")).status, 0);
    ASSERT_EQ(zunoGen("--set OverSampling=2 --seed 1 --format ci16be --out " + at("w16")).status, 0);
    EXPECT_EQ(fs::file_size(at("w32")), 65536u * 8);
    EXPECT_EQ(fs::file_size(at("w16")), 65536u * 4);
    // The same seed gives the same samples; cf32 holds them rounded to float.
    const auto w64 = readAll(at("w64")), w32 = readAll(at("w32"));
    double first64;
    float first32;
    std::memcpy(&first64, w64.data(), 8);
    std::memcpy(&first32, w32.data(), 4);
    EXPECT_EQ(static_cast<float>(first64), first32);
    EXPECT_FALSE(fs::exists(at("w16") + ".tmp"));
}

TEST_F(ZunoGen, ParameterFileAndSettings) {
    {
        std::ofstream(at("p.json")) << R"({"DATAchnActive":1,"MACchnActive":1,"slot":{"DATAslotMod":[1,2,3,1,2,3,1,2,3,1,2,3,1,2,3,1]}})";
    }
    const auto run = zunoGen("--params " + at("p.json") + " --set OverSampling=3 --bench 2");
    ASSERT_EQ(run.status, 0) << run.text;
    EXPECT_THAT(run.text, HasSubstr("98304 samples at 3686400 Hz"));
    EXPECT_THAT(run.text, HasSubstr("2 runs: median "));
}

TEST_F(ZunoGen, ErrorsNameWhatIsWrong) {
    expectError("--set Foo=1", "parameters.Foo");
    expectError("--set slot.DATAslotMod=[1,2]", "parameters.slot.DATAslotMod");
    expectError("--set OverSampling=1", "OverSampling");
    expectError("--set DATAchnActive=1 --set DATAsourceType=9", "DATAsourceType");
    expectError("--set DATAchnActive=1 --set DATAsourceType=7", "parameters.DATAsourceType is 7; it must be 1 (all zeros)");
    expectError("--params /nonexistent/p.json", "/nonexistent/p.json");
    expectError("--out /nonexistent/dir/w.bin", "/nonexistent/dir/w.bin");
    expectError("--colour", "unknown option");
    std::ofstream(at("bad.json")) << "{not json";
    expectError("--params " + at("bad.json"), "not valid JSON");
}

TEST_F(ZunoGen, ParameterFilesInAndOut) {
    const std::string set = "--set OverSampling=2 --set PilotOffsetIndex=9 --set slot.RAslotGain=-6 --seed 3";
    auto run = zunoGen(set + " --save-params " + at("p.mat") + " --out " + at("a"));
    ASSERT_EQ(run.status, 0) << run.text;
    model::Parameters expected;
    for (const char* s : {"OverSampling=2", "PilotOffsetIndex=9", "slot.RAslotGain=-6"}) model::applySetting(expected, s);
    EXPECT_EQ(model::readParameterFile(at("p.mat")), expected);
    // The file gives the same frame as the settings it holds.
    run = zunoGen("--params " + at("p.mat") + " --seed 3 --out " + at("b"));
    ASSERT_EQ(run.status, 0) << run.text;
    EXPECT_EQ(readAll(at("a")), readAll(at("b")));

    // Refused as the application refuses it, on one line.
    model::Parameters other;
    other.ParameterFileFormat_ID = "Zuno-Fwd - Format 1.1";
    model::writeParameterFile(at("old.MAT"), other);
    run = zunoGen("--params " + at("old.MAT"));
    EXPECT_NE(run.status, 0);
    EXPECT_THAT(run.text, HasSubstr(at("old.MAT") + " has an Invalid File Parameter ID."));
}

TEST_F(ZunoGen, ExportFormatsReadBack) {
    const std::string base = "--set OverSampling=2 --seed 1 --out ";
    ASSERT_EQ(zunoGen(base + at("w64")).status, 0);
    for (const char* format : {"mat", "ascii", "torvik", "sigmf"}) {
        const auto run = zunoGen(base + at(format) + " --format " + format);
        ASSERT_EQ(run.status, 0) << format << run.text;
    }
    const std::string raw = readAll(at("w64"));
    dsp::CVec w(raw.size() / 16);
    std::memcpy(w.data(), raw.data(), raw.size());
    EXPECT_EQ(host::readMatFile(at("mat")), model::matExport(w));
    EXPECT_EQ(host::readMatFile(at("ascii")), model::asciiExport(w));
    const auto torvik = model::torvikBytes(w);
    EXPECT_EQ(readAll(at("torvik")), std::string(torvik.begin(), torvik.end()));
    EXPECT_EQ(fs::file_size(at("sigmf.sigmf-data")), w.size() * 8);
    const auto meta = nlohmann::json::parse(readAll(at("sigmf.sigmf-meta")));
    EXPECT_EQ(meta["global"]["core:sample_rate"], 2457600.0);
    EXPECT_EQ(meta["global"]["core:recorder"].get<std::string>().rfind("zuno-gen ", 0), 0u);
    EXPECT_EQ(meta["annotations"][15]["core:label"], "slot 16: traffic idle, MAC idle");
    EXPECT_THROW(gen::parseGenOptions({"--save-params"}), host::UsageError);
}

// Outputs: only after a successful calculation, all of them or none, one file each.
TEST_F(ZunoGen, OutputsAreWrittenWholeAfterSuccessOrNotAtAll) {
    const std::string base = "--set OverSampling=2 --seed 1";
    // A failed calculation writes nothing: neither the parameters nor the samples.
    // (RPC gains may be stored beyond what is typed, so only the engine finds these too large.)
    auto run = zunoGen(base + " --set slot.RPCslotGain=6000 --set MACchnActive=1 --save-params " + at("p.mat") +
                       " --out " + at("w"));
    EXPECT_NE(run.status, 0);
    EXPECT_THAT(run.text, HasSubstr("RPCgains (slot.RPCslotGain) of slot 1, channel 1 = 6000 dB is too large"));
    EXPECT_FALSE(fs::exists(at("p.mat")));
    EXPECT_FALSE(fs::exists(at("w")));

    // Two outputs naming one file, directly or through a link, are refused before anything runs.
    std::ofstream(at("x")) << "old";
    fs::create_symlink("x", at("to-x"));
    run = zunoGen(base + " --out " + at("x") + " --markers " + at("to-x"));
    EXPECT_NE(run.status, 0);
    EXPECT_THAT(run.text, HasSubstr("are the same file"));
    run = zunoGen(base + " --out " + at("s") + " --format sigmf --save-params " + at("s.sigmf-meta"));
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(readAll(at("x")), "old");

    // One output that cannot be written leaves every other as it was.
    fs::create_directory(at("folder"));
    run = zunoGen(base + " --out " + at("x") + " --markers " + at("folder"));
    EXPECT_NE(run.status, 0);
    EXPECT_THAT(run.text, HasSubstr(at("folder") + ": it is a folder"));
    EXPECT_EQ(readAll(at("x")), "old");

    // A link is followed, a device is written to, not replaced.
    run = zunoGen(base + " --out " + at("to-x") + " --markers /dev/null");
    ASSERT_EQ(run.status, 0) << run.text;
    EXPECT_TRUE(fs::is_symlink(at("to-x")));
    EXPECT_EQ(fs::file_size(at("x")), 65536u * 16);
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

// The SigMF pair changes together: when the metadata cannot be put in place, the samples beside
// it stay the old ones.
TEST_F(ZunoGen, TheSigmfPairIsNewOrOldTogether) {
    std::ofstream(at("r.sigmf-data")) << "old data";
    fs::create_directory(at("r.sigmf-meta"));
    const auto run = zunoGen("--set OverSampling=2 --seed 1 --format sigmf --out " + at("r"));
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(readAll(at("r.sigmf-data")), "old data");
}

// On a full disk (a small file system the test script mounts as root) every writer fails with
// the reason and the old file stays whole.
TEST_F(ZunoGen, FullDiskFailsAndKeepsTheOldFiles) {
    const char* disk = std::getenv("ZUNO_SMALL_DISK");
    if (!disk) GTEST_SKIP() << "no small file system to fill: scripts/test.sh mounts one when run as root";
    const fs::path dir = fs::path(disk) / "tools";
    for (const char* option : {"--format mat --out", "--format ascii --out", "--out", "--format sigmf --out"}) {
        const std::string file = (dir / "old").string();
        std::ofstream(file) << "old";
        const auto run = zunoGen(std::string("--set OverSampling=8 --seed 1 ") + option + " " + file);
        EXPECT_NE(run.status, 0) << option;
        EXPECT_THAT(run.text, HasSubstr("No space left on device")) << option;
        EXPECT_EQ(readAll(file), "old") << option;
        fs::remove(file);
    }
    std::ofstream((dir / "p.mat").string()) << "old";
    std::ofstream((dir / "filler").string()) << std::string(1040000, 'x');
    const auto run = zunoGen("--save-params " + (dir / "p.mat").string());
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(readAll(dir / "p.mat"), "old");
    fs::remove(dir / "filler");
    fs::remove(dir / "p.mat");
    EXPECT_TRUE(fs::is_empty(dir));
}

// Hostile input files end in a message, not in a crash, a hang or the memory of the machine.
TEST_F(ZunoGen, HostileInputFilesAreRefusedWithReasons) {
    const auto expectError = [](const std::string& args, const std::string& text) {
        const auto run = zunoGen(args);
        EXPECT_NE(run.status, 0) << args;
        EXPECT_THAT(run.text, HasSubstr(text)) << args;
        EXPECT_EQ(run.text.find('\x1b'), std::string::npos) << args;
    };
    ASSERT_EQ(::mkfifo(at("f.mat").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(at("f.json").c_str(), 0600), 0);
    expectError("--params " + at("f.mat"), "it is not a regular file");
    expectError("--params " + at("f.json"), "it is not a regular file");
    expectError("--params " + at("missing.json"), "cannot read " + at("missing.json") + ": No such file or directory");
    std::ofstream(at("deep.json")) << "{\"OverSampling\":" << std::string(70000, '[') << std::string(70000, ']') << "}";
    expectError("--params " + at("deep.json"), "nested more than 32 levels deep");
    std::ofstream(at("esc.json")) << "{\"\\u001b[31mred\":1}";
    expectError("--params " + at("esc.json"), "unknown field parameters.\\x1B[31mred");
    expectError("--set ParameterFileFormat_ID=other --save-params " + at("p.mat"), "cannot be changed");
    EXPECT_FALSE(fs::exists(at("p.mat")));

    // A refused parameter file names the field and why; numbers print compactly.
    model::Parameters p;
    model::writeParameterFile(at("good.mat"), p);
    host::Value file = host::readMatFile(at("good.mat"));
    file.field("fileParameters").set("OverSampling", host::Value::row({1e308, 2}));
    host::writeMatFile(at("bad.mat"), file);
    expectError("--params " + at("bad.mat"), "has an Invalid File Structure. fileParameters.OverSampling");
    expectError("--set slot.DATAslotMod=1e308", "is 1e308; it must be 1 (QPSK), 2 (8-PSK) or 3 (16-QAM)");

    // A switch, a kind or a list position that is none of its field's codes, from the command
    // line or from a stored file, is refused by name instead of being taken for another.
    expectError("--set FilterType=9", "parameters.FilterType is 9; it must be 1 (rectangular), 2 (IS-95 standard) or 3");
    expectError("--set slot.RAslotActive=0.5", "parameters.slot.RAslotActive of slot 1 is 0.5; it must be 0 or 1");
    expectError("--set Mode=3", "parameters.Mode is 3; it must be 1 (1xEV forward link) or 2 (PN sequence only)");
    // NaN as Python's json writes it, and a number beyond a double, name their field too.
    std::ofstream(at("nan.json")) << R"({"slot": {"RAslotGain": NaN}, "IdleSlotGain": -1e400})";
    expectError("--params " + at("nan.json"), "parameters.IdleSlotGain is -Inf; it must be a number from -80 to 0 dB");
    expectError("--set OverSampling=31", "parameters.OverSampling is 31; it must be a whole number from 2 to 30");
    expectError("--set SigGenSettings.Amplitude=NaN --download 127.0.0.1:1",
                "SigGenSettings.Amplitude takes a number, not 'NaN'; it must be a whole number from -136 to 20 dBm");
    p.slot.RPCslotActive(3, 7) = 0.5;
    p.PhaseEq = NAN;
    model::writeParameterFile(at("half.mat"), p);
    expectError("--params " + at("half.mat"),
                "has an Invalid File Setting. fileParameters.slot.RPCslotActive of slot 4, channel 8 is 0.5; it must be 0 or 1");
    p.slot.RPCslotActive(3, 7) = 1;
    model::writeParameterFile(at("nan.mat"), p);
    expectError("--params " + at("nan.mat"), "fileParameters.PhaseEq is NaN; it must be 0 or 1");
}

TEST(GenOptions, Bounds) {
    EXPECT_EQ(gen::parseGenOptions({"--bench", "1000"}).bench, 1000);
    for (const char* bench : {"1001", "99999999999999999999"})
        EXPECT_THROW(gen::parseGenOptions({"--bench", bench}), host::UsageError) << bench;
    EXPECT_EQ(gen::parseGenOptions({"--download", "TCPIP0::h::INSTR", "--portmapper", "4111"}).portmapper, 4111);
    for (const char* port : {"0", "65536", "x"})
        EXPECT_THROW(gen::parseGenOptions({"--download", "h", "--portmapper", port}), host::UsageError) << port;
    EXPECT_THROW(gen::parseGenOptions({"--portmapper", "111"}), host::UsageError);
}

TEST_F(ZunoGen, CarriersNoiseAndCrestFactor) {
    std::ofstream(at("second.json")) << R"({"PilotOffsetIndex":200})";
    const auto run = zunoGen("--carrier -1250000 --carrier 0,,7 --carrier 1250000,-3," + at("second.json") +
                             " --noise-cn 20 --crest 8 --set OverSampling=8 --seed 4 --out " + at("mc") + " --format sigmf");
    ASSERT_EQ(run.status, 0) << run.text;
    EXPECT_THAT(run.text, HasSubstr("786432 samples at 9830400 Hz"));
    EXPECT_THAT(run.text, HasSubstr("3 frames (80 ms), carriers at -1250000, 0 and 1250000 Hz; C/N 20 dB; crest factor 8.0"));
    const auto meta = nlohmann::json::parse(readAll(at("mc.sigmf-meta")));
    EXPECT_EQ(meta["annotations"].size(), 48u);
    EXPECT_EQ(meta["annotations"][47]["core:label"], "frame 3, slot 16: traffic idle, MAC idle");
    EXPECT_EQ(fs::file_size(at("mc.sigmf-data")), 786432u * 8);

    const auto quantized = zunoGen("--carrier 1000.3 --quantize-offsets --set OverSampling=2");
    ASSERT_EQ(quantized.status, 0) << quantized.text;
    EXPECT_THAT(quantized.text, HasSubstr("1 frame (26.6667 ms), carrier at 1012.5 Hz; offset 1000.3 Hz moved to 1012.5 Hz"));

    expectError("--carrier 1e6 --carrier 0 --carrier -1e6 --carrier 2e6 --carrier -2e6 --set OverSampling=8", "at most 4 carriers");
    expectError("--carrier 2500000 --set OverSampling=4", "the smallest OverSampling that can is 6");
    expectError("--carrier 1000.3", "do not loop seamlessly");
    expectError("--carrier 1e6,loud", "the gain 'loud' is not a number");
    expectError("--noise-cn 70", "C/N must be from -20 to 60 dB");
    expectError("--crest x", "--crest expects a number of dB");
}
