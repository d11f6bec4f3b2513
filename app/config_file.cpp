#include "app/config_file.h"

#include <exception>

#include "host/core/mat_file.h"

namespace app {

namespace {
constexpr const char* kVariable = "fileParameters";
}

std::optional<Configuration> loadConfig(const std::string& path) {
    try {
        const host::Value file = host::readMatFile(path);
        const host::Value* stored = file.find(kVariable);
        if (!stored) return std::nullopt;
        // Fields a later version added are dropped; a missing or malformed one means the file is
        // not ours to trust, and the defaults are the safer start.
        Configuration configuration;
        fromValue(*stored, configuration, UnknownFields::Ignore);
        return configuration;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

void saveConfig(const std::string& path, const Configuration& configuration) {
    try {
        host::Value file = host::Value::record();
        file.set(kVariable, toValue(configuration));
        host::writeMatFile(path, file);
    } catch (const std::exception&) {
    }
}

}  // namespace app
