#include "model/parameter_file.h"

#include "model/carrier_file.h"

#include <exception>
#include <stdexcept>

#include "host/core/mat_file.h"
#include "model/settings_table.h"

namespace model {

Parameters parametersFromFile(const host::Value& file, const std::string& filename, const std::string& expectedId) {
    auto refuse = [&](const std::string& why) { return std::runtime_error(filename + "\n" + why); };
    // A structure refusal names the first field that does not fit on a line of its own.
    auto badStructure = [&](const std::string& reason) {
        return refuse("has an Invalid File Structure.\n" + reason);
    };
    const host::Value* stored = file.isRecord() ? file.find(kParameterFileVariable) : nullptr;
    if (!stored) throw refuse("has an Invalid File Format.");
    const std::string path = kParameterFileVariable;
    if (!stored->isRecord()) throw badStructure(path + " must be a record (got " + stored->describe() + ")");
    const host::Value* id = stored->find("ParameterFileFormat_ID");
    if (!id) throw badStructure(path + ".ParameterFileFormat_ID is missing");
    if (!id->isText() || id->text() != expectedId) throw refuse("has an Invalid File Parameter ID.");
    // Values are taken as stored, but every field must be there with its kind and shape: the
    // windows and the engine index into them without further checks.
    Parameters loaded;
    try {
        fromValue(*stored, loaded, UnknownFields::Ignore, path);
    } catch (const std::exception& e) {
        throw badStructure(e.what());
    }
    // A value none of its field's is refused here rather than taken for another or failing
    // later; the application never saves one.
    try {
        checkParameters(loaded, path);
        followProjectedLength(loaded, path);
    } catch (const std::invalid_argument& e) {
        throw refuse(std::string(kInvalidSetting) + "\n" + e.what());
    }
    return loaded;
}

Parameters readParameterFile(const std::string& filename, const std::string& expectedId) {
    // A parameter record is some 25 KB: nothing else in the file is decompressed, and a record
    // thousands of times larger is not one of ours.
    host::MatReadOptions options;
    options.only = kParameterFileVariable;
    options.maxVariableBytes = std::uint64_t{4} << 20;
    return parametersFromFile(host::readMatFile(filename, options), filename, expectedId);
}

host::Value parameterFileVariables(const Parameters& parameters, const CarrierPlan& plan) {
    host::Value file = host::Value::record();
    file.set(kParameterFileVariable, toValue(parameters));
    if (!plan.plain()) file.set(kCarrierFileVariable, carrierPlanVariable(plan));
    return file;
}

void writeParameterFile(const std::string& filename, const Parameters& parameters, const CarrierPlan& plan) {
    host::writeMatFile(filename, parameterFileVariables(parameters, plan));
}

}  // namespace model
