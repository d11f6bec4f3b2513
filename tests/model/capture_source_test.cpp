// Captures read in pieces give the samples a whole read gives, in every raw format and SigMF.
#include "model/capture_source.h"

#include <gtest/gtest.h>

#include <bit>
#include <fstream>
#include <string>

#include "model/capture_file.h"
#include "tests/support/scratch_dir.h"

namespace {

using CaptureSourceTest = testsupport::ScratchDirTest;

template <class T>
void put(std::string& out, T v, bool big) {
    auto bytes = std::bit_cast<std::array<char, sizeof(T)>>(v);
    if (big) std::reverse(bytes.begin(), bytes.end());
    out.append(bytes.data(), bytes.size());
}

TEST_F(CaptureSourceTest, PiecesMatchTheWholeAcrossBlocks) {
    // More samples than one block converts at a time, for every word size.
    constexpr std::size_t n = 300001;
    std::string f64, f32, i16be, i16le;
    for (std::size_t t = 0; t < n; ++t)
        for (const int part : {0, 1}) {
            const double v = part ? -static_cast<double>(t % 977) / 1024 : static_cast<double>(t % 1013) / 2048;
            put(f64, v, false);
            put(f32, static_cast<float>(v), false);
            put(i16be, static_cast<std::int16_t>(v * 32767), true);
            put(i16le, static_cast<std::int16_t>(v * 32767), false);
        }
    std::ofstream(path("a.cf64"), std::ios::binary) << f64;
    std::ofstream(path("a.cf32"), std::ios::binary) << f32;
    std::ofstream(path("a.ci16be"), std::ios::binary) << i16be;
    std::ofstream(path("a.ci16le"), std::ios::binary) << i16le;
    std::ofstream(path("s.sigmf-data"), std::ios::binary) << i16be;
    std::ofstream(path("s.sigmf-meta")) << R"({"global": {"core:datatype": "ci16_be", "core:sample_rate": 2457600}})";
    for (const char* name : {"a.cf64", "a.cf32", "a.ci16be", "a.ci16le", "s.sigmf-meta"}) {
        SCOPED_TRACE(name);
        const model::CaptureSource source(path(name), model::formatOfPath(path(name)));
        ASSERT_EQ(source.sampleCount(), n);
        const dsp::CVec whole = model::readCapture(path(name), model::formatOfPath(path(name))).samples;
        ASSERT_EQ(whole.size(), n);
        EXPECT_NEAR(whole[1013].real(), 0, 1e-12);
        EXPECT_NEAR(whole[977].imag(), 0, 1e-12);
        EXPECT_NEAR(whole[1000].real(), 1000.0 / 2048, 1e-4);
        const dsp::CVec piece = source.read(100000, 200000);
        ASSERT_EQ(piece.size(), 200000u);
        for (std::size_t t = 0; t < piece.size(); t += 997) EXPECT_EQ(piece[t], whole[100000 + t]);
        EXPECT_EQ(source.read(n - 5, 100).size(), 5u);
        EXPECT_TRUE(source.read(n, 100).empty());
        EXPECT_EQ(source.sampleRate().has_value(), std::string(name) == "s.sigmf-meta");
    }
}

TEST_F(CaptureSourceTest, FilesOfPartSamplesAreRefused) {
    std::ofstream(path("odd.ci16le"), std::ios::binary) << std::string(6, '\0');
    EXPECT_EQ(testsupport::failureOf([&] { model::CaptureSource(path("odd.ci16le"), model::CaptureFormat::Ci16le); }),
              path("odd.ci16le") + " is not a whole number of 4-byte I/Q samples (6 bytes)");
}

}  // namespace
