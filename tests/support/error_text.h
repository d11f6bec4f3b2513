#pragma once
// The message of the std::invalid_argument an action throws, or "(no error)".
#include <stdexcept>
#include <string>

namespace testsupport {

inline std::string errorOf(auto&& action) {
    try {
        action();
    } catch (const std::invalid_argument& e) {
        return e.what();
    }
    return "(no error)";
}

}  // namespace testsupport
