#include "app/config_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <stdexcept>

#include "host/core/mat_file.h"

namespace app {

namespace {
constexpr const char* kVariable = "fileParameters";
}

std::optional<model::Configuration> loadConfig(const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 && errno == ENOENT) return std::nullopt;
    // A configuration is a few hundred bytes: read only its variable, and not much of it.
    const host::Value file = host::readMatFile(path, host::MatReadOptions{kVariable, std::uint64_t{1} << 20});
    const host::Value* stored = file.find(kVariable);
    if (!stored) throw std::runtime_error(path + " holds no variable " + kVariable + ".");
    // Fields a later version added are dropped; a missing or malformed one means the file is
    // not ours to trust.
    model::Configuration configuration;
    try {
        model::fromValue(*stored, configuration, model::UnknownFields::Ignore, kVariable);
    } catch (const std::exception& e) {
        throw std::runtime_error(e.what());
    }
    return configuration;
}

void saveConfig(const std::string& path, const model::Configuration& configuration) {
    host::Value file = host::Value::record();
    file.set(kVariable, model::toValue(configuration));
    host::writeMatFile(path, file);
}

}  // namespace app
