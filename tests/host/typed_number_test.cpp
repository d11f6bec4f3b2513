#include <cmath>
#include <gtest/gtest.h>

#include "host/core/number_text.h"

namespace {

TEST(TypedNumber, ANumberWithItsUnitAndNothingElse) {
    struct Case {
        const char* text;
        double value;
        const char* unit;
    };
    for (const Case& k : {Case{"-30", -30, ""}, Case{" -30 dBm ", -30, "dBm"}, Case{"2.2GHz", 2.2, "GHz"},
                          Case{"+1e3", 1000, ""}, Case{".5", 0.5, ""}, Case{"5.", 5, ""}, Case{"95 %", 95, "%"},
                          Case{"1e3 Hz", 1000, "Hz"}, Case{"1e400", HUGE_VAL, ""}}) {
        const auto n = host::readTypedNumber(k.text);
        ASSERT_TRUE(n) << k.text;
        EXPECT_EQ(n->value, k.value) << k.text;
        EXPECT_EQ(n->unit, k.unit) << k.text;
    }
    // What a typing mistake looks like: never a number, so never a limit.
    for (const char* text : {"", " ", "abc", "-30,5", "3 700", "Inf", "-inf", "NaN", "0x10", "e5", "2e", "-", ".",
                             "--3", "3 dB m", "1,000", "[3]", "3;", "2.2.2", "12abc3"})
        EXPECT_FALSE(host::readTypedNumber(text)) << text;
}

TEST(TypedNumber, StepsByOneUnitOfTheLastDigit) {
    struct Case {
        const char* text;
        int direction;
        const char* stepped;
    };
    for (const Case& k : {Case{"-30", 1, "-29"}, Case{"-30 dBm", -1, "-31 dBm"}, Case{"2.2", 1, "2.3"},
                          Case{"2.25 GHz", -1, "2.24 GHz"}, Case{"0.1", -1, "0.0"}, Case{"-0.1", 1, "0.0"},
                          Case{"1e3", 1, "2e3"}, Case{"9.9", 1, "10.0"}, Case{"0", -1, "-1"}})
        EXPECT_EQ(host::stepTypedNumber(k.text, k.direction).value_or("none"), k.stepped) << k.text;
    EXPECT_FALSE(host::stepTypedNumber("abc", 1));
    EXPECT_FALSE(host::stepTypedNumber("192.168.1.1", 1));
}

}  // namespace
