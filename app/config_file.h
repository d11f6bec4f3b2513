#pragma once
// The configuration file: `configuration` stored as the variable `fileParameters`.
#include <optional>
#include <string>

#include "app/core/records.h"

namespace app {

// Nothing when the file is missing, unreadable, has no `fileParameters` or does not hold a
// configuration record.
std::optional<Configuration> loadConfig(const std::string& path);
// Failures are ignored: the configuration is a convenience, never worth an error at shutdown.
void saveConfig(const std::string& path, const Configuration& configuration);

}  // namespace app
