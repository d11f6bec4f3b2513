#pragma once
// Changing `parameters` from JSON settings given on a command line or in a file.
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "model/records.h"

namespace model {

// Applies the fields of `object` by name. Numeric fields take a number (every element), a list
// with one number per row (per slot; across all channels of a 16x59 field) or, for 16x59 fields,
// 16 lists of 59; true and false count as 1 and 0. Text fields take strings. "slot" takes an
// object of slot fields; "NaN", "Infinity" and "-Infinity" stand for those values. Names,
// kinds and shapes are checked, then every value against the settings table (checkParameters).
// ProjectedLength follows OverSampling; given, it must agree. ParameterFileFormat_ID cannot be
// changed, since a file with another one is refused when opened. Throws std::invalid_argument
// naming the field and its allowed values; `parameters` is unchanged then.
void applyOverrides(Parameters& parameters, const nlohmann::json& object);

// `text` with the bare words NaN, Infinity and -Infinity outside strings (as Python writes
// them), and numbers too large for a double, turned into the texts applyOverrides reads as
// those values: JSON itself has no way to write them.
std::string quoteNonFinite(std::string_view text);

// Settings JSON as the user gives it: quoteNonFinite, then parseJsonLimited.
nlohmann::json parseSettingsText(std::string_view text);

// The fields of `parameters` in the form applyOverrides takes back, in the record's order:
// numbers (whole ones as integers), lists of 16 per slot, 16 lists of 59 for the RPC fields,
// texts, null for a field that is always empty.
nlohmann::ordered_json settingsJson(const Parameters& parameters);

// The JSON object of settings in the file at `path`. Throws std::runtime_error when the file
// cannot be read (saying why; FIFOs and devices are refused) and std::invalid_argument when it
// is not JSON or nests lists and objects more than 32 levels deep.
nlohmann::json readSettingsFile(const std::string& path);

// One "NAME=VALUE" setting such as "OverSampling=8" or "slot.DATAslotMod=[1,2,3,...]". VALUE is
// read as JSON, and taken as a plain string when it is not JSON; nesting deeper than 32 levels
// is refused.
void applySetting(Parameters& parameters, std::string_view nameEqualsValue);

}  // namespace model
