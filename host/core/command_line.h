#pragma once
// Command lines by the usual conventions (long options with optional short letters, --opt=value,
// --opt value, -- ending the options, - an operand), read from one table that also writes --help.
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace host {

// The exit status of every program given a command line it cannot use.
inline constexpr int kUsageStatus = 2;

// A command line the program cannot use; the message names the option.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct OptionSpec {
    std::string name;       // long name, without the leading "--"
    char letter = 0;        // short form (-x), 0 for none
    std::string valueName;  // what the value is called in --help; empty: the option takes none
    std::string help;       // one paragraph; '\n' starts a new line
    bool repeats = false;   // may be given more than once
};

struct GivenOption {
    std::string name;   // the long name, also when the short letter was given
    std::string value;  // empty for an option that takes none
};

struct CommandLine {
    std::vector<GivenOption> options;   // in command-line order
    std::vector<std::string> operands;  // in command-line order

    bool has(std::string_view name) const;
    // The value of an option given at most once; nullptr when it was not given.
    const std::string* value(std::string_view name) const;
    // Every value of a repeated option, in order.
    std::vector<std::string> values(std::string_view name) const;
};

// Throws UsageError for an unknown or ambiguous option, a missing value, a value given to an
// option that takes none, or a second use of an option that does not repeat. Long names may be
// shortened to any unambiguous prefix. Safe to call any number of times.
CommandLine parseCommandLine(const std::vector<OptionSpec>& table, const std::vector<std::string>& args);

// The table as --help lists it: "  -x, --name=VALUE  help", the help wrapped to 79 columns.
std::string optionHelp(const std::vector<OptionSpec>& table);

// The line after a usage error: "Try 'zuno-gen --help' for more information."
std::string usageHint(std::string_view program);

}  // namespace host
