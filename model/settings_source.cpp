#include "model/settings_source.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "model/carrier_file.h"
#include "model/json_text.h"
#include "model/parameter_file.h"
#include "model/parameter_overrides.h"

namespace model {

bool isParameterFile(const std::string& path) {
    if (path.size() < 4) return false;
    std::string ext = path.substr(path.size() - 4);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".mat";
}

void applySettingsText(Parameters& parameters, std::string_view text) {
    nlohmann::json settings;
    try {
        settings = parseSettingsText(text);
    } catch (const nlohmann::json::exception& e) {
        throw std::invalid_argument("settings refused: " + textExcerpt(e.what(), 200));
    } catch (const std::invalid_argument& e) {
        throw std::invalid_argument(std::string("settings refused: ") + e.what());
    }
    applyOverrides(parameters, settings);
}

Parameters parametersFrom(const std::string& path) {
    if (!isParameterFile(path)) {
        Parameters parameters = InitializeParameters();
        nlohmann::json fields = readSettingsFile(path);
        // The carriers and noise are read apart (carrierPlanFrom).
        if (fields.is_object()) fields.erase(kCarrierJsonKey);
        applyOverrides(parameters, fields);
        return parameters;
    }
    try {
        return readParameterFile(path);
    } catch (const std::runtime_error& e) {
        // The application shows these in a box, over two lines; a terminal takes one.
        std::string why = e.what();
        std::replace(why.begin(), why.end(), '\n', ' ');
        throw std::runtime_error(why);
    }
}

}  // namespace model
