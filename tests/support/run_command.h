#pragma once
// A command line run to its end: its exit status and its standard output and error together.
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

namespace testsupport {

struct CommandOutput {
    int status;  // the exit status; -1 when the command did not exit by itself
    std::string text;
};

inline CommandOutput runCommand(const std::string& command) {
    FILE* p = ::popen((command + " 2>&1").c_str(), "r");
    if (!p) return {-1, "cannot run " + command};
    std::string text;
    std::array<char, 4096> buf{};
    while (const std::size_t n = std::fread(buf.data(), 1, buf.size(), p)) text.append(buf.data(), n);
    const int status = ::pclose(p);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text};
}

}  // namespace testsupport
