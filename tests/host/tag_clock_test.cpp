#include <gtest/gtest.h>

#include "host/core/clock.h"
#include "host/core/tag_index.h"

namespace {

TEST(TagIndex, ReadsTheTrailingNumber) {
    EXPECT_EQ(host::getTagIndex("pbPRCslotSetup16"), 16);
    EXPECT_EQ(host::getTagIndex("chkDATAslotActive12"), 12);
    EXPECT_EQ(host::getTagIndex("txtRAslotGain7"), 7);
    // Digits inside the tag do not count, only the run at its end.
    EXPECT_EQ(host::getTagIndex("txt2Gain"), 0);
    EXPECT_EQ(host::getTagIndex("row3col45"), 45);
    EXPECT_EQ(host::getTagIndex("chkRPC05"), 5);
    EXPECT_EQ(host::getTagIndex("pdMode"), 0);
    EXPECT_EQ(host::getTagIndex(""), 0);
    EXPECT_EQ(host::getTagIndex("123"), 123);
}

TEST(Clock2Str, FormatsDayMonthYearAndTime) {
    EXPECT_EQ(host::clock2str({2001, 12, 3, 9, 5, 3.7}), "03DEC2001 9:05:03");
    // Fractions of a second are dropped, never rounded up.
    EXPECT_EQ(host::clock2str({2001, 1, 15, 14, 30, 59.99}), "15JAN2001 14:30:59");
    EXPECT_EQ(host::clock2str({2024, 2, 29, 0, 0, 0}), "29FEB2024 0:00:00");
    const char* months[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    for (int m = 1; m <= 12; ++m)
        EXPECT_EQ(host::clock2str({2010, double(m), 10, 23, 59, 9}), std::string("10") + months[m - 1] + "2010 23:59:09");
}

}  // namespace
