#pragma once
// Where a command-line program or script takes its settings from.
#include <string>
#include <string_view>

#include "model/records.h"

namespace model {

// A name ending in ".mat" (any case): a parameter file rather than JSON settings.
bool isParameterFile(const std::string& path);

// A name ending in ".mat" (any case) is a parameter file, checked as the application checks a
// file it opens; its refusal comes on one line. Any other name is a JSON file of fields applied
// over the defaults (applyOverrides).
Parameters parametersFrom(const std::string& path);

// JSON text of settings as a script hands it over: parsed within the limits of a settings file
// and applied with applyOverrides. Throws std::invalid_argument saying why it is refused.
void applySettingsText(Parameters& parameters, std::string_view text);

}  // namespace model
