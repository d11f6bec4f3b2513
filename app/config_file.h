#pragma once
// The configuration file: `configuration` stored as the variable `fileParameters`.
#include <optional>
#include <string>

#include "model/records.h"

namespace app {

// Nothing when there is no file yet (the first run). A file that cannot be read, has no
// `fileParameters` or does not hold a configuration record is an error (std::runtime_error
// with the reason): the user is told and the defaults are used.
std::optional<model::Configuration> loadConfig(const std::string& path);
// Throws std::runtime_error with the writer's reason.
void saveConfig(const std::string& path, const model::Configuration& configuration);

}  // namespace app
