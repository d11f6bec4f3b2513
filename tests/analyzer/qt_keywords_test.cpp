// Qt defines these words as macros; the analyzer's header must still compile after them, since
// the Measure window includes it.
#define slots
#define signals public
#define emit
#include "analyzer/analysis.h"

#include <gtest/gtest.h>

TEST(QtKeywords, ResultCompilesAfterQtMacros) {
    analyzer::Result r;
    EXPECT_EQ(r.slotResults.size(), 16u);
}
