#include "engine/bit_stream.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "engine/pn_codes.h"

namespace {

using dsp::Bits;
using engine::GenerateBitStream;

TEST(BitStream, SourceTypes) {
    EXPECT_EQ(GenerateBitStream(1, 4), Bits(4, 0));
    EXPECT_EQ(GenerateBitStream(2, 4), Bits(4, 1));
    EXPECT_EQ(GenerateBitStream(3, 5), (Bits{0, 1, 0, 1, 0}));
    EXPECT_EQ(GenerateBitStream(4, 5), (Bits{1, 0, 1, 0, 1}));
    EXPECT_EQ(GenerateBitStream(5, 100), engine::PNgenerator(9, 100));
    EXPECT_EQ(GenerateBitStream(6, 100), engine::PNgenerator(15, 100));
    EXPECT_EQ(GenerateBitStream(7, 5, Bits{1, 1, 0}), (Bits{1, 1, 0, 1, 1}));

    EXPECT_TRUE(GenerateBitStream(1).empty());
    for (double type : {0.0, 8.0, 2.5}) EXPECT_TRUE(GenerateBitStream(type, 10).empty()) << type;
    EXPECT_TRUE(GenerateBitStream(5, 0).empty());
}

TEST(BitStream, BadArguments) {
    for (const auto& pattern : {std::optional<Bits>{}, std::optional<Bits>{Bits{}}}) {
        try {
            GenerateBitStream(7, 5, pattern);
            ADD_FAILURE() << "type 7 without a pattern accepted";
        } catch (const std::invalid_argument& e) {
            EXPECT_NE(std::string(e.what()).find("pattern"), std::string::npos) << e.what();
        }
    }
    for (double len : {-1.0, 2.5, std::nan(""), 4294967297.0})
        EXPECT_THROW(GenerateBitStream(1, len), std::invalid_argument) << len;
}

}  // namespace
