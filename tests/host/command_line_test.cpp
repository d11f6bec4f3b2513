#include "host/core/command_line.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using host::parseCommandLine;
using host::UsageError;
using testing::ElementsAre;
using testing::HasSubstr;

const std::vector<host::OptionSpec> kTable = {
    {"out", 'o', "PATH", "where the samples go"},
    {"set", 0, "NAME=VALUE", "one field", true},
    {"port", 0, "N", "a port"},
    {"portmapper", 0, "N", "the portmapper's port"},
    {"json", 0, "", "print JSON"},
    {"help", 'h', "", "print this help"},
};

std::string usageMessage(const std::vector<std::string>& args) {
    try {
        parseCommandLine(kTable, args);
    } catch (const UsageError& e) {
        return e.what();
    }
    return "(accepted)";
}

TEST(CommandLine, ValuesJoinedOrSeparateAndShortLetters) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--out=a.bin"}, {"--out", "a.bin"}, {"-o", "a.bin"}, {"-oa.bin"}, {"--ou=a.bin"}}) {
        const auto line = parseCommandLine(kTable, args);
        ASSERT_NE(line.value("out"), nullptr) << args[0];
        EXPECT_EQ(*line.value("out"), "a.bin") << args[0];
        EXPECT_TRUE(line.operands.empty());
    }
    // A value may be empty, begin with '-' or contain '='.
    EXPECT_EQ(*parseCommandLine(kTable, {"--out="}).value("out"), "");
    EXPECT_EQ(*parseCommandLine(kTable, {"--out", "-"}).value("out"), "-");
    EXPECT_EQ(*parseCommandLine(kTable, {"--set", "-x=y=z"}).value("set"), "-x=y=z");
    EXPECT_EQ(*parseCommandLine(kTable, {"--set=A=-1"}).value("set"), "A=-1");
    // An exact name wins over the longer one it begins.
    const auto port = parseCommandLine(kTable, {"--port=5"});
    EXPECT_TRUE(port.has("port"));
    EXPECT_FALSE(port.has("portmapper"));
}

TEST(CommandLine, OperandsInOrderWithDashAndDoubleDash) {
    auto line = parseCommandLine(kTable, {"a", "--json", "-", "b"});
    EXPECT_THAT(line.operands, ElementsAre("a", "-", "b"));
    EXPECT_TRUE(line.has("json"));
    line = parseCommandLine(kTable, {"--json", "--", "--out", "-h", "-"});
    EXPECT_THAT(line.operands, ElementsAre("--out", "-h", "-"));
    EXPECT_EQ(line.options.size(), 1u);
    EXPECT_FALSE(line.has("help"));
}

TEST(CommandLine, RepeatsKeepOrderAndOthersMayNotRepeat) {
    const auto line = parseCommandLine(kTable, {"--set", "A=1", "--json", "--set=B=2"});
    EXPECT_THAT(line.values("set"), ElementsAre("A=1", "B=2"));
    ASSERT_EQ(line.options.size(), 3u);
    EXPECT_EQ(line.options[1].name, "json");
    EXPECT_THAT(usageMessage({"--out", "a", "-o", "b"}), HasSubstr("--out given more than once"));
    EXPECT_THAT(usageMessage({"-h", "--help"}), HasSubstr("--help given more than once"));
}

TEST(CommandLine, UsageErrorsNameTheOption) {
    EXPECT_EQ(usageMessage({"--nope"}), "unknown option '--nope'");
    EXPECT_EQ(usageMessage({"--nope=3"}), "unknown option '--nope'");
    EXPECT_EQ(usageMessage({"-x"}), "unknown option '-x'");
    EXPECT_EQ(usageMessage({"-hx"}), "unknown option '-x'");
    EXPECT_EQ(usageMessage({"--out"}), "--out needs a value (PATH)");
    EXPECT_EQ(usageMessage({"--json", "-o"}), "-o needs a value (PATH)");
    EXPECT_EQ(usageMessage({"--json=yes"}), "--json takes no value");
    EXPECT_THAT(usageMessage({"--po=1"}), HasSubstr("ambiguous option '--po' (--port, --portmapper)"));
}

TEST(CommandLine, EachCallStartsAfresh) {
    // A failure half-way through a short-letter cluster must not leak into the next command line.
    EXPECT_THROW(parseCommandLine(kTable, {"-hx", "a"}), UsageError);
    auto line = parseCommandLine(kTable, {"-h", "a"});
    EXPECT_THAT(line.operands, ElementsAre("a"));
    line = parseCommandLine(kTable, {});
    EXPECT_TRUE(line.options.empty());
    EXPECT_TRUE(line.operands.empty());
    // Operands stay where they are even when the environment asks for options first only.
    ::setenv("POSIXLY_CORRECT", "1", 1);
    line = parseCommandLine(kTable, {"a", "--json"});
    ::unsetenv("POSIXLY_CORRECT");
    EXPECT_TRUE(line.has("json"));
    EXPECT_THAT(line.operands, ElementsAre("a"));
}

TEST(CommandLine, HelpListsEveryOptionFromTheTable) {
    const std::vector<host::OptionSpec> table = {
        {"out", 'o', "PATH", "where the samples go"},
        {"carrier", 0, "OFFSET_HZ[,GAIN_DB[,PARAMS]]", "a carrier"},
        {"json", 0, "", "print the reading as one JSON object, for scripts that read it back rather than people"},
    };
    EXPECT_EQ(host::optionHelp(table),
              "  -o, --out=PATH        where the samples go\n"
              "      --carrier=OFFSET_HZ[,GAIN_DB[,PARAMS]]\n"
              "                        a carrier\n"
              "      --json            print the reading as one JSON object, for scripts that\n"
              "                        read it back rather than people\n");
}

}  // namespace
