#include "app/core/parameter_file.h"

#include <exception>
#include <stdexcept>

#include "host/core/mat_file.h"

namespace app {

Parameters parametersFromFile(const host::Value& file, const std::string& filename, const std::string& expectedId) {
    auto refuse = [&](const char* why) { return std::runtime_error(filename + "\n" + why); };
    const host::Value* stored = file.isRecord() ? file.find(kParameterFileVariable) : nullptr;
    if (!stored) throw refuse("has an Invalid File Format.");
    const host::Value* id = stored->isRecord() ? stored->find("ParameterFileFormat_ID") : nullptr;
    if (!id) throw refuse("has an Invalid File Structure.");
    if (!id->isText() || id->text() != expectedId) throw refuse("has an Invalid File Parameter ID.");
    // Values are taken as stored, but every field must be there with its kind and shape: the
    // windows and the engine index into them without further checks.
    Parameters loaded;
    try {
        fromValue(*stored, loaded, UnknownFields::Ignore);
    } catch (const std::exception&) {
        throw refuse("has an Invalid File Structure.");
    }
    return loaded;
}

Parameters readParameterFile(const std::string& filename, const std::string& expectedId) {
    return parametersFromFile(host::readMatFile(filename), filename, expectedId);
}

void writeParameterFile(const std::string& filename, const Parameters& parameters) {
    host::Value file = host::Value::record();
    file.set(kParameterFileVariable, toValue(parameters));
    host::writeMatFile(filename, file);
}

}  // namespace app
