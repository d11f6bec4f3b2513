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

namespace {

// A followed file is read as it grows, a sample split across two writes put together, and the
// reading ends when told to; read once, a file gives what CaptureSource gives.
TEST_F(CaptureSourceTest, AStreamFollowsAGrowingFileAcrossSplitSamples) {
    std::string bytes;
    for (int t = 0; t < 10; ++t) put(bytes, static_cast<float>(t), false), put(bytes, static_cast<float>(-t), false);
    std::ofstream(path("g.cf32"), std::ios::binary) << bytes.substr(0, 20);  // two samples and half of one
    int asked = 0, stopAt = 2;  // stopped from the second question on
    model::CaptureStream live(path("g.cf32"), model::CaptureFormat::Cf32, true, [&] { return ++asked >= stopAt; });
    EXPECT_FALSE(live.sampleCount().has_value());
    dsp::CVec out(10);
    // At the end of what is there it waits for growth until stopped: here it returns what there was.
    ASSERT_EQ(live.read(out.data(), 10), 2u);
    EXPECT_EQ(out[1], dsp::cplx(1, -1));
    EXPECT_EQ(live.read(out.data(), 10), 0u);  // once stopped, nothing more is read
    std::ofstream(path("g.cf32"), std::ios::binary | std::ios::app) << bytes.substr(20);
    asked = 0, stopAt = 100;
    ASSERT_EQ(live.read(out.data(), 8), 8u);
    for (int t = 0; t < 8; ++t) EXPECT_EQ(out[static_cast<std::size_t>(t)], dsp::cplx(t + 2, -(t + 2))) << t;

    model::CaptureStream once(path("g.cf32"), model::CaptureFormat::Cf32, false);
    EXPECT_EQ(once.sampleCount(), 10u);
    ASSERT_EQ(once.read(out.data(), 6), 6u);
    ASSERT_EQ(once.read(out.data(), 6), 4u);
    EXPECT_EQ(out[3], dsp::cplx(9, -9));
    EXPECT_EQ(once.read(out.data(), 6), 0u);

    EXPECT_EQ(testsupport::failureOf([&] { model::CaptureStream(path("g.mat"), model::CaptureFormat::Mat, true); }),
              "a MAT file is read whole: it cannot be read from standard input or followed");
}

}  // namespace
