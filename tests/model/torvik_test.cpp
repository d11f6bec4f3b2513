#include "model/torvik.h"

#include <gtest/gtest.h>

using model::torvikBytes;
using dsp::cplx;
using Bytes = std::vector<std::uint8_t>;

TEST(TorvikBytes, FullScaleIs32766BigEndian) {
    // Largest component 0.5 becomes 32766 (7F FE), its negative -32766 (80 02), zero 00 00.
    const auto b = torvikBytes({{0.5, -0.5}, {0.0, 0.25}});
    EXPECT_EQ(b, (Bytes{0x7F, 0xFE, 0x80, 0x02, 0x00, 0x00, 0x3F, 0xFF}));
    // 16383 = 0x3FFF: 0.25 / 0.5 * 32766 exactly.
    EXPECT_EQ(torvikBytes(dsp::CVec(163840, cplx(0.1, 0.2))).size(), 655360u);
}

TEST(TorvikBytes, ScalingRules) {
    // A constant-envelope waveform is still brought to full scale.
    EXPECT_EQ(torvikBytes({{1, 1}, {-1, 1}}), (Bytes{0x7F, 0xFE, 0x7F, 0xFE, 0x80, 0x02, 0x7F, 0xFE}));
    // Silence stays silent.
    EXPECT_EQ(torvikBytes(dsp::CVec(3)), Bytes(12, 0));
    // The scale argument is clamped to 0.00001..1; half scale gives 16383.
    EXPECT_EQ(torvikBytes({{2.0, 0.0}}, 0.5), (Bytes{0x3F, 0xFF, 0, 0}));
    EXPECT_EQ(torvikBytes({{2.0, 0.0}}, 7.0), torvikBytes({{2.0, 0.0}}, 1.0));
    EXPECT_THROW(torvikBytes({{std::nan(""), 0.0}}), std::invalid_argument);
}
