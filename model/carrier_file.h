#pragma once
// The carriers, noise and crest-factor settings in parameter files, beside `fileParameters`
// (which stays as it is, so that stored files and other readers are unaffected):
//   MAT: the variable `fileCarriers`, a record of Offset, Gain and PNOffset (one value per
//        carrier, Hz, dB and PN offset or NaN for the main one), Settings1..4 (a carrier's own
//        parameters record, or empty for the main settings), NoiseCN and CrestFactor (dB, NaN
//        for none) and QuantizeOffsets (0 or 1);
//   JSON: the key "waveform": {"carriers": [{"offset_hz", "gain_db", "pn_offset", "params"}],
//        "noise_cn_db", "crest_db", "quantize_offsets"}, every key optional; "params" is a
//        parameter file's path or an object of parameter fields over the defaults.
#include <string>

#include <nlohmann/json.hpp>

#include "host/core/value.h"
#include "model/carriers.h"

namespace model {

inline constexpr const char* kCarrierFileVariable = "fileCarriers";
inline constexpr const char* kCarrierJsonKey = "waveform";

host::Value carrierPlanVariable(const CarrierPlan& plan);
// Throws std::invalid_argument naming the field that is missing or wrong.
CarrierPlan carrierPlanFromVariable(const host::Value& variable);

nlohmann::ordered_json carrierPlanJson(const CarrierPlan& plan);
CarrierPlan carrierPlanFromJson(const nlohmann::json& waveform);

// The plan a settings file holds (a parameter file's `fileCarriers`, a JSON file's "waveform"),
// or the plain plan when it holds none.
CarrierPlan carrierPlanFrom(const std::string& path);

}  // namespace model
