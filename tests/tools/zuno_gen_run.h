#pragma once
// zuno-gen of the build tree run with `args`.
#include <string>

#include "tests/support/run_command.h"

inline testsupport::CommandOutput zunoGen(const std::string& args) {
    return testsupport::runCommand(std::string(ZUNO_GEN_PATH) + " " + args);
}
