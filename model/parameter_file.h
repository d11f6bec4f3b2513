#pragma once
// Parameter files: the record file with the one variable `fileParameters`, read and checked the
// same way by the application and by zuno-gen.
#include <string>

#include "model/carriers.h"
#include "model/records.h"
#include "host/core/value.h"

namespace model {

inline constexpr const char* kParameterFileVariable = "fileParameters";
// The refusal of a file whose fields fit but hold a value the settings table does not allow.
inline constexpr const char* kInvalidSetting = "has an Invalid File Setting.";

// Reads and checks a parameter file. Every refusal is a std::runtime_error whose message is what
// the user is shown: the reader's own message for a file that cannot be read, otherwise the
// file name, a line break and one of "has an Invalid File Format." (no `fileParameters`),
// "has an Invalid File Structure." (no format identifier, or a field missing or of the wrong
// kind or shape; a third line names the first such field and why), "has an Invalid File Parameter ID."
// (an identifier other than `expectedId`) or kInvalidSetting (a value outside its field's range
// or codes, NaN, infinity, or a ProjectedLength that disagrees with OverSampling; a third line
// names the field and its allowed values). Fields the record does not know are dropped.
Parameters readParameterFile(const std::string& filename,
                             const std::string& expectedId = Parameters{}.ParameterFileFormat_ID);

// The checks above on a file already read (`file` holds its variables).
Parameters parametersFromFile(const host::Value& file, const std::string& filename,
                              const std::string& expectedId = Parameters{}.ParameterFileFormat_ID);

// The variables of a parameter file holding `parameters`, and `fileCarriers` beside them when
// the plan is more than the one frame.
host::Value parameterFileVariables(const Parameters& parameters, const CarrierPlan& plan = {});

// Writes `parameters` (and `plan` when it is more than the one frame) as a parameter file,
// replacing `filename` whole; throws std::runtime_error with the writer's message.
void writeParameterFile(const std::string& filename, const Parameters& parameters, const CarrierPlan& plan = {});

}  // namespace model
