#include "model/waveform_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "model/calculate.h"
#include "model/torvik.h"
#include "host/core/mat_file.h"

namespace fs = std::filesystem;
using host::Value;

namespace {

class WaveformFiles : public testing::Test {
protected:
    fs::path dir = fs::temp_directory_path() / ("zuno-export-" + std::to_string(::getpid()));
    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override { fs::remove_all(dir); }
    std::string at(const char* name) const { return (dir / name).string(); }
    static std::vector<std::uint8_t> bytesOf(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
};

const dsp::CVec kWave{{0.5, -0.25}, {0.0, 1.0}, {-1.0, 0.125}};

}  // namespace

TEST_F(WaveformFiles, RecordFormsReadBack) {
    host::writeMatFile(at("ascii.txt"), model::asciiExport(kWave));
    host::writeMatFile(at("mat"), model::matExport(kWave));
    host::writeMatFile(at("wave"), model::waveExport(kWave, 6144000));

    const Value ascii = host::readMatFile(at("ascii.txt"));
    ASSERT_EQ(ascii.fieldNames(), std::vector<std::string>{"samples"});
    EXPECT_EQ(ascii.field("samples"), Value::matrix(3, 2, {0.5, 0.0, -1.0, -0.25, 1.0, 0.125}));

    const Value mat = host::readMatFile(at("mat"));
    EXPECT_EQ(mat.field("samples"), Value::matrix(3, 1, {0.5, 0.0, -1.0}, {-0.25, 1.0, 0.125}));

    const Value wave = host::readMatFile(at("wave"));
    EXPECT_EQ(wave.fieldNames(), (std::vector<std::string>{"samplePoints", "sampleRate", "wave"}));
    EXPECT_EQ(wave.field("samplePoints").scalar(), 3);
    EXPECT_EQ(wave.field("sampleRate").scalar(), 6144000);
    EXPECT_EQ(wave.field("wave"), ascii.field("samples"));
}

TEST_F(WaveformFiles, TorvikFileDefaultsScaleAndFailures) {
    ASSERT_EQ(model::saveTorvikWaveform(kWave, at("t.bin")), 1);
    EXPECT_EQ(bytesOf(at("t.bin")), model::torvikBytes(kWave));
    ASSERT_EQ(model::saveTorvikWaveform(kWave, at("half.bin"), 0.5), 1);
    EXPECT_EQ(bytesOf(at("half.bin")), model::torvikBytes(kWave, 0.5));
    // An all-zero waveform is written unscaled; a shorter file replaces a longer one whole.
    ASSERT_EQ(model::saveTorvikWaveform(dsp::CVec(2), at("t.bin")), 1);
    EXPECT_EQ(bytesOf(at("t.bin")), std::vector<std::uint8_t>(8, 0));

    // Data alone goes to VSK-C in the current folder.
    const fs::path cwd = fs::current_path();
    fs::current_path(dir);
    const int ok = model::saveTorvikWaveform(kWave);
    fs::current_path(cwd);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(fs::file_size(dir / "VSK-C"), 12u);

    std::string why;
    EXPECT_EQ(model::saveTorvikWaveform(kWave, at("no/such/dir/t.bin"), 1, &why), 0);
    EXPECT_EQ(why, "cannot write " + at("no/such/dir/t.bin") + ": No such file or directory");
    EXPECT_EQ(model::saveTorvikWaveform({{std::nan(""), 0}}, at("nan.bin"), 1, &why), 0);
    EXPECT_NE(why.find("not a finite number"), std::string::npos) << why;
    EXPECT_EQ(model::saveTorvikWaveform(kWave, at("nan.bin"), std::nan(""), &why), 0);
    EXPECT_FALSE(fs::exists(at("nan.bin")));
    // Nothing half-written is left beside the targets.
    for (const auto& entry : fs::directory_iterator(dir)) EXPECT_NE(entry.path().filename().string()[0], '.');
}

TEST_F(WaveformFiles, ConstantEnvelopeFrameIsWrittenAtFullScale) {
    // A PN-only frame through the rectangular filter: every I and Q value is +-1.
    model::Parameters p;
    p.Mode = 2;
    p.FilterType = 1;
    p.PhaseEq = 0;
    dsp::Rng rng(1);
    const auto frame = model::Calculate(p, rng);
    ASSERT_EQ(model::saveTorvikWaveform(frame.waveform, at("pn.bin")), 1);
    const auto b = bytesOf(at("pn.bin"));
    ASSERT_EQ(b.size(), 655360u);  // 163840 samples
    for (std::size_t i = 0; i < b.size(); i += 2) {
        const int code = b[i] << 8 | b[i + 1];
        ASSERT_TRUE(code == 0x7FFE || code == 0x8002) << "value " << i / 2 << " is " << code;
    }
}
