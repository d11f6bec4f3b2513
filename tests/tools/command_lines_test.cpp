// The programs' command lines as a user meets them: usage errors, standard output, help and man
// page in agreement, help without a display.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>

#include "tests/hwio/sim_process.h"
#include "tests/support/run_command.h"
#include "tests/support/scratch_dir.h"
#include "tests/tools/zuno_gen_run.h"
#include "zuno_version.h"

namespace fs = std::filesystem;
using testing::HasSubstr;
using testing::Not;

namespace {

std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string genPath() { return ZUNO_GEN_PATH; }
std::string anaPath() { return ZUNO_ANA_PATH; }
std::string simPath() { return testsupport::simulatorPath(); }
std::string fwdPath() {
#ifdef ZUNO_FWD_PATH
    return ZUNO_FWD_PATH;
#else
    return {};
#endif
}

// Without any window system: no display, no Wayland, no platform chosen.
std::string noDisplay(const std::string& program) {
    return "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + program;
}

class StandardOutput : public testsupport::ScratchDirTest {};

// "--name" and "-x" in the words of `text`, split at blanks, commas, quotes and '='.
std::set<std::string> optionWords(const std::string& text) {
    std::set<std::string> words;
    std::string word;
    auto keep = [&] {
        const bool longName = word.size() > 2 && word.starts_with("--") && std::isalnum(static_cast<unsigned char>(word[2]));
        const bool letter = word.size() == 2 && word[0] == '-' && std::isalpha(static_cast<unsigned char>(word[1]));
        if (longName || letter) words.insert(word);
        word.clear();
    };
    for (const char c : text + " ")
        if (c == ' ' || c == ',' || c == '"' || c == '=' || c == '[' || c == ']') keep();
        else word += c;
    return words;
}

// The options --help lists: the first column of its option lines ("  -h, --help", "      --out=PATH").
std::set<std::string> helpOptions(const std::string& help) {
    std::set<std::string> options;
    std::istringstream lines(help);
    std::string line;
    while (std::getline(lines, line))
        if (line.starts_with("  -") || line.starts_with("      --")) {
            const auto words = optionWords(line.substr(0, line.find("  ", line.find('-'))));
            options.insert(words.begin(), words.end());
        }
    return options;
}

// The options a manual page's OPTIONS section describes: the tags of its .TP paragraphs.
std::set<std::string> manOptions(const std::string& page) {
    std::set<std::string> options;
    std::istringstream lines(page);
    std::string line;
    bool inOptions = false, tag = false;
    while (std::getline(lines, line)) {
        if (line.starts_with(".SH")) inOptions = line == ".SH OPTIONS";
        if (inOptions && tag) {
            std::string plain;
            for (std::size_t i = 0; i < line.size(); ++i)
                if (line.compare(i, 2, "\\-") == 0) plain += '-', ++i;
                else plain += line[i];
            const auto words = optionWords(plain);
            options.insert(words.begin(), words.end());
        }
        tag = line == ".TP";
    }
    return options;
}

}  // namespace

// Every option --help lists is in the program's manual page, and the other way round.
void expectHelpMatchesManual(const std::string& program, const std::string& path) {
    const auto help = testsupport::runCommand(noDisplay(path) + " --help");
    ASSERT_EQ(help.status, 0) << help.text;
    const auto listed = helpOptions(help.text);
    const auto described = manOptions(readAll(fs::path(ZUNO_SOURCE_DIR) / "packaging/man" / (program + ".1.in")));
    EXPECT_THAT(listed, testing::Contains("--help"));
    EXPECT_EQ(listed, described) << program << ": --help lists the first, the manual page the second";
}

TEST(HelpAndManual, ZunoGen) { expectHelpMatchesManual("zuno-gen", genPath()); }
TEST(HelpAndManual, ZunoSim) { expectHelpMatchesManual("zuno-sim", simPath()); }
TEST(HelpAndManual, ZunoAna) { expectHelpMatchesManual("zuno-ana", anaPath()); }
TEST(HelpAndManual, ZunoFwd) {
    if (fwdPath().empty()) GTEST_SKIP() << "built without windows";
    expectHelpMatchesManual("zuno-fwd", fwdPath());
}

TEST(CommandLines, UsageErrorsEndWithStatusTwoNamingTheOption) {
    struct Case {
        std::string program, args, says;
    };
    const std::vector<Case> cases = {
        {genPath(), "--frobnicate", "unknown option '--frobnicate'"},
        {genPath(), "--seed", "--seed needs a value"},
        {genPath(), "--seed=x", "--seed expects a non-negative whole number"},
        {genPath(), "--quantize-offsets=1", "--quantize-offsets takes no value"},
        {genPath(), "--out a --out b", "--out given more than once"},
        {genPath(), "frame.cf64", "unexpected operand 'frame.cf64'"},
        {genPath(), "--out - --format sigmf", "--out - cannot take --format sigmf"},
        {genPath(), "--markers -", "--markers cannot be -"},
        {simPath(), "--port", "--port needs a value"},
        {simPath(), "--port=70000", "--port must be at most 65535"},
        {simPath(), "--po 1", "ambiguous option '--po'"},
        {simPath(), "--reject :NOPE", "':NOPE' is not a command"},
        {simPath(), "-x", "unknown option '-x'"},
        {simPath(), "serve", "unexpected operand 'serve'"},
        {simPath(), "--", "-- must be followed by the command to run"},
        {fwdPath(), "--frobnicate", "unknown option '--frobnicate'"},
        {fwdPath(), "--platform", "--platform needs a value"},
    };
    for (const auto& c : cases) {
        if (c.program.empty()) continue;
        const auto run = testsupport::runCommand(noDisplay(c.program) + " " + c.args);
        EXPECT_EQ(run.status, 2) << c.args << "\n" << run.text;
        EXPECT_THAT(run.text, HasSubstr(c.says)) << c.args;
        EXPECT_THAT(run.text, HasSubstr("--help' for more information")) << c.args;
    }
    // An option echoed in a message reaches the terminal escaped.
    for (const auto& program : {genPath(), simPath(), fwdPath()}) {
        if (program.empty()) continue;
        const auto run = testsupport::runCommand(noDisplay(program) + " \"$(printf -- '--\\033[31mred')\"");
        EXPECT_EQ(run.status, 2) << program;
        EXPECT_THAT(run.text, HasSubstr("unknown option '--\\x1B[31mred'")) << program;
        EXPECT_EQ(run.text.find('\x1b'), std::string::npos) << program;
    }
    // A setting the engine refuses is no usage error.
    EXPECT_EQ(zunoGen("--set FilterType=9").status, 1);
}

TEST(CommandLines, ValuesJoinedWithEqualsOrShortenedNames) {
    const auto joined = zunoGen("--seed=1 --set=OverSampling=2 --format=cf32 --out=" + std::string("/dev/null"));
    ASSERT_EQ(joined.status, 0) << joined.text;
    const auto shortened = zunoGen("--see 1 --set OverSampling=2 --form cf32 --out /dev/null");
    ASSERT_EQ(shortened.status, 0) << shortened.text;
    EXPECT_EQ(joined.text, shortened.text);
    EXPECT_THAT(joined.text, HasSubstr("65536 samples at 2457600 Hz"));
}

// --out - and every name of standard output: the samples alone there, the summary on standard error.
TEST_F(StandardOutput, SamplesThereAloneSummaryOnStandardError) {
    const std::string gen = genPath() + " --seed 1 --set OverSampling=2 --format cf32";
    ASSERT_EQ(zunoGen("--seed 1 --set OverSampling=2 --format cf32 --out " + path("file.cf32")).status, 0);
    const std::string samples = readAll(path("file.cf32"));
    ASSERT_EQ(samples.size(), 65536u * 8);

    std::ofstream(path("appended")) << "head";
    for (const std::string& shell : {"( " + gen + " --out - > " + path("out") + " 2> " + path("err") + " )",
                                     "( " + gen + " --out /dev/stdout 2> " + path("err") + " | cat > " + path("out") + " )",
                                     "( " + gen + " --out /dev/stdout > " + path("out") + " 2> " + path("err") + " )",
                                     "( " + gen + " --out /proc/self/fd/1 2> " + path("err") + " | cat > " + path("out") + " )",
                                     "( " + gen + " --out " + path("appended") + " >> " + path("appended") + " 2> " +
                                         path("err") + " )"}) {
        const auto run = testsupport::runCommand(shell);
        ASSERT_EQ(run.status, 0) << shell << "\n" << run.text << readAll(path("err"));
        const std::string written = shell.find(">>") != std::string::npos ? readAll(path("appended")) : readAll(path("out"));
        const std::string expected = shell.find(">>") != std::string::npos ? "head" + samples : samples;
        EXPECT_EQ(written.size(), expected.size()) << shell;
        EXPECT_TRUE(written == expected) << shell;
        EXPECT_THAT(readAll(path("err")), HasSubstr("65536 samples at 2457600 Hz")) << shell;
    }
    // Two outputs both on standard output would interleave.
    const auto both = testsupport::runCommand("( " + gen + " --out - --markers /dev/stdout > /dev/null )");
    EXPECT_EQ(both.status, 1);
    EXPECT_THAT(both.text, HasSubstr("both standard output"));
    // Samples to a file leave the summary where it was.
    const auto toFile = zunoGen("--seed 1 --set OverSampling=2 --out " + path("f"));
    EXPECT_THAT(toFile.text, HasSubstr("65536 samples"));
}

TEST(CommandLines, WindowProgramAnswersHelpAndVersionWithoutADisplay) {
    if (fwdPath().empty()) GTEST_SKIP() << "built without windows";
    const auto version = testsupport::runCommand(noDisplay(fwdPath()) + " --version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.text, "zuno-fwd " + std::string(zuno::kVersion) + "\n");
    for (const char* help : {" --help", " -h", " --he", " --platform=xcb --help"}) {
        const auto run = testsupport::runCommand(noDisplay(fwdPath()) + help);
        EXPECT_EQ(run.status, 0) << help << run.text;
        EXPECT_THAT(run.text, HasSubstr("Usage: zuno-fwd")) << help;
        EXPECT_THAT(run.text, HasSubstr("--platform=NAME")) << help;
    }
}
