#include "host/core/command_line.h"

#include <getopt.h>

#include <algorithm>
#include <sstream>

#include "host/core/wrap_text.h"

namespace host {

namespace {

// getopt_long's codes for the long options: above every character, so no letter is taken for one.
constexpr int kLongBase = 256;
constexpr std::size_t kHelpColumn = 24;
constexpr std::size_t kHelpWidth = 79;

std::string dashed(const OptionSpec& o) { return "--" + o.name; }

// The long names `given` (what followed "--", before any '=') abbreviates.
std::vector<std::string> matching(const std::vector<OptionSpec>& table, std::string_view given) {
    std::vector<std::string> names;
    for (const auto& o : table)
        if (o.name == given) return {"--" + o.name};
        else if (o.name.starts_with(given)) names.push_back("--" + o.name);
    return names;
}

std::string unknownLong(const std::vector<OptionSpec>& table, std::string_view arg) {
    std::string_view given = arg.substr(2);
    given = given.substr(0, given.find('='));
    const auto names = matching(table, given);
    const std::string shown = "--" + std::string(given);
    if (names.size() < 2) return "unknown option '" + shown + "'";
    std::string list;
    for (const auto& n : names) list += (list.empty() ? "" : ", ") + n;
    return "ambiguous option '" + shown + "' (" + list + ")";
}

}  // namespace

bool CommandLine::has(std::string_view name) const {
    return std::any_of(options.begin(), options.end(), [&](const GivenOption& o) { return o.name == name; });
}

const std::string* CommandLine::value(std::string_view name) const {
    for (auto it = options.rbegin(); it != options.rend(); ++it)
        if (it->name == name) return &it->value;
    return nullptr;
}

std::vector<std::string> CommandLine::values(std::string_view name) const {
    std::vector<std::string> all;
    for (const auto& o : options)
        if (o.name == name) all.push_back(o.value);
    return all;
}

CommandLine parseCommandLine(const std::vector<OptionSpec>& table, const std::vector<std::string>& args) {
    // '-': operands come back in place, in order, whatever POSIXLY_CORRECT says; ':': a missing
    // value is told apart from an unknown option. The messages are ours (opterr = 0).
    std::string letters = "-:";
    std::vector<option> longs;
    for (std::size_t i = 0; i < table.size(); ++i) {
        const auto& o = table[i];
        const bool takesValue = !o.valueName.empty();
        if (o.letter) letters += std::string(1, o.letter) + (takesValue ? ":" : "");
        longs.push_back({o.name.c_str(), takesValue ? required_argument : no_argument, nullptr,
                         kLongBase + static_cast<int>(i)});
    }
    longs.push_back({nullptr, 0, nullptr, 0});
    auto byLetter = [&](int c) -> const OptionSpec* {
        for (const auto& o : table)
            if (o.letter && o.letter == c) return &o;
        return nullptr;
    };
    auto byCode = [&](int code) -> const OptionSpec* {
        const int i = code - kLongBase;
        return i >= 0 && i < static_cast<int>(table.size()) ? &table[static_cast<std::size_t>(i)] : nullptr;
    };

    std::vector<std::string> copies = args;
    std::vector<char*> argv;
    static char program[] = "program";
    argv.push_back(program);
    for (auto& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(argv.size()) - 1;

    CommandLine line;
    opterr = 0;
    optind = 0;  // 0, not 1: glibc then forgets everything about the previous command line
    for (;;) {
        const int c = getopt_long(argc, argv.data(), letters.c_str(), longs.data(), nullptr);
        if (c == -1) break;
        if (c == 1) {
            line.operands.emplace_back(optarg);
            continue;
        }
        if (c == ':') {
            const OptionSpec* o = optopt >= kLongBase ? byCode(optopt) : byLetter(optopt);
            const std::string shown = o ? (optopt >= kLongBase ? dashed(*o) : std::string("-") + char(optopt)) : "?";
            throw UsageError(shown + " needs a value" + (o ? " (" + o->valueName + ")" : ""));
        }
        if (c == '?') {
            if (const OptionSpec* o = byCode(optopt)) throw UsageError(dashed(*o) + " takes no value");
            if (optopt != 0) throw UsageError(std::string("unknown option '-") + char(optopt) + "'");
            throw UsageError(unknownLong(table, argv[static_cast<std::size_t>(optind - 1)]));
        }
        const OptionSpec* o = c >= kLongBase ? byCode(c) : byLetter(c);
        if (!o) throw UsageError("unknown option");  // not reached: getopt returns only what it was given
        if (!o->repeats && line.has(o->name)) throw UsageError(dashed(*o) + " given more than once");
        line.options.push_back({o->name, o->valueName.empty() ? std::string() : std::string(optarg)});
    }
    for (int i = optind; i < argc; ++i) line.operands.emplace_back(argv[static_cast<std::size_t>(i)]);
    return line;
}

std::string optionHelp(const std::vector<OptionSpec>& table) {
    std::ostringstream out;
    const std::string indent(kHelpColumn, ' ');
    for (const auto& o : table) {
        std::string left = o.letter ? std::string("  -") + o.letter + ", " : std::string(6, ' ');
        left += dashed(o);
        if (!o.valueName.empty()) left += "=" + o.valueName;
        const std::string help = wrapText(o.help, kHelpWidth - kHelpColumn, kHelpWidth - kHelpColumn);
        std::istringstream lines(help);
        std::string text;
        bool first = true;
        out << left;
        if (left.size() + 2 > kHelpColumn) out << '\n' << indent;
        else out << std::string(kHelpColumn - left.size(), ' ');
        while (std::getline(lines, text)) {
            if (!first) out << indent;
            out << text << '\n';
            first = false;
        }
        if (first) out << '\n';
    }
    return out.str();
}

std::string usageHint(std::string_view program) {
    return "Try '" + std::string(program) + " --help' for more information.";
}

}  // namespace host
