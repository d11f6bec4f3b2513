#include "model/carrier_file.h"

#include <cmath>
#include <limits>
#include <stdexcept>

#include "host/core/mat_file.h"
#include "model/parameter_overrides.h"
#include "model/record_fields.h"
#include "model/settings_source.h"

namespace model {

namespace {

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

std::string settingsField(std::size_t i) { return "Settings" + std::to_string(i + 1); }

const host::Value& field(const host::Value& v, const char* name) {
    const host::Value* f = v.find(name);
    if (!f) throw std::invalid_argument(std::string(kCarrierFileVariable) + "." + name + " is missing");
    return *f;
}

std::vector<double> rowOf(const host::Value& v, const char* name, std::size_t n) {
    const host::Value& f = field(v, name);
    if (!f.isNumeric() || f.isComplex() || f.numel() != n)
        throw std::invalid_argument(std::string(kCarrierFileVariable) + "." + name + " must hold " + std::to_string(n) +
                                    " real numbers, not " + f.describe());
    return f.real();
}

std::optional<double> optionalScalar(const host::Value& v, const char* name) {
    const double x = rowOf(v, name, 1)[0];
    return std::isnan(x) ? std::nullopt : std::optional<double>(x);
}

}  // namespace

host::Value carrierPlanVariable(const CarrierPlan& plan) {
    std::vector<double> offsets, gains, pns;
    for (const Carrier& c : plan.carriers) {
        offsets.push_back(c.offsetHz);
        gains.push_back(c.gainDb);
        pns.push_back(c.pnOffset ? *c.pnOffset : kNone);
    }
    host::Value v = host::Value::record();
    v.set("Offset", host::Value::row(offsets));
    v.set("Gain", host::Value::row(gains));
    v.set("PNOffset", host::Value::row(pns));
    for (std::size_t i = 0; i < kMaxCarriers; ++i)
        v.set(settingsField(i), i < plan.carriers.size() && plan.carriers[i].parameters
                                    ? toValue(*plan.carriers[i].parameters)
                                    : host::Value());
    v.set("NoiseCN", plan.noiseCnDb.value_or(kNone));
    v.set("CrestFactor", plan.crestDb.value_or(kNone));
    v.set("QuantizeOffsets", plan.quantizeOffsets ? 1.0 : 0.0);
    return v;
}

CarrierPlan carrierPlanFromVariable(const host::Value& v) {
    if (!v.isRecord()) throw std::invalid_argument(std::string(kCarrierFileVariable) + " must be a record");
    const host::Value& offsets = field(v, "Offset");
    const std::size_t n = offsets.isNumeric() ? offsets.numel() : 0;
    if (n > kMaxCarriers) throw std::invalid_argument("at most 4 carriers, not " + std::to_string(n));
    const auto off = rowOf(v, "Offset", n), gain = rowOf(v, "Gain", n), pn = rowOf(v, "PNOffset", n);
    CarrierPlan plan;
    for (std::size_t i = 0; i < n; ++i) {
        Carrier c{off[i], gain[i], {}, {}};
        if (!std::isnan(pn[i])) {
            if (pn[i] != std::floor(pn[i]) || pn[i] < 0 || pn[i] > 511)
                throw std::invalid_argument(std::string(kCarrierFileVariable) + ".PNOffset must be whole numbers from 0 to 511");
            c.pnOffset = static_cast<int>(pn[i]);
        }
        if (const host::Value* s = v.find(settingsField(i)); s && s->isRecord()) {
            Parameters p = InitializeParameters();
            fromValue(*s, p, UnknownFields::Ignore, std::string(kCarrierFileVariable) + "." + settingsField(i));
            c.parameters = p;
        }
        plan.carriers.push_back(std::move(c));
    }
    plan.noiseCnDb = optionalScalar(v, "NoiseCN");
    plan.crestDb = optionalScalar(v, "CrestFactor");
    const double q = rowOf(v, "QuantizeOffsets", 1)[0];
    if (q != 0 && q != 1) throw std::invalid_argument(std::string(kCarrierFileVariable) + ".QuantizeOffsets must be 0 or 1");
    plan.quantizeOffsets = q == 1;
    return plan;
}

nlohmann::ordered_json carrierPlanJson(const CarrierPlan& plan) {
    nlohmann::ordered_json carriers = nlohmann::ordered_json::array();
    for (const Carrier& c : plan.carriers) {
        nlohmann::ordered_json j = {{"offset_hz", c.offsetHz}, {"gain_db", c.gainDb}};
        if (c.pnOffset) j["pn_offset"] = *c.pnOffset;
        if (c.parameters) j["params"] = settingsJson(*c.parameters);
        carriers.push_back(std::move(j));
    }
    nlohmann::ordered_json j = {{"carriers", carriers}};
    if (plan.noiseCnDb) j["noise_cn_db"] = *plan.noiseCnDb;
    if (plan.crestDb) j["crest_db"] = *plan.crestDb;
    j["quantize_offsets"] = plan.quantizeOffsets;
    return j;
}

namespace {

double number(const nlohmann::json& j, const std::string& where) {
    if (!j.is_number()) throw std::invalid_argument(where + " must be a number, not " + j.dump());
    return j.get<double>();
}

}  // namespace

CarrierPlan carrierPlanFromJson(const nlohmann::json& w) {
    const std::string at = kCarrierJsonKey;
    if (!w.is_object()) throw std::invalid_argument(at + " must be an object");
    for (const auto& [key, value] : w.items())
        if (key != "carriers" && key != "noise_cn_db" && key != "crest_db" && key != "quantize_offsets")
            throw std::invalid_argument(at + "." + key +
                                        " is not a setting (carriers, noise_cn_db, crest_db, quantize_offsets)");
    CarrierPlan plan;
    if (w.contains("carriers")) {
        const auto& list = w["carriers"];
        if (!list.is_array()) throw std::invalid_argument(at + ".carriers must be a list");
        for (std::size_t i = 0; i < list.size(); ++i) {
            const std::string here = at + ".carriers[" + std::to_string(i) + "]";
            const auto& c = list[i];
            if (!c.is_object() || !c.contains("offset_hz")) throw std::invalid_argument(here + " must be an object with offset_hz");
            Carrier carrier;
            for (const auto& [key, value] : c.items()) {
                if (key == "offset_hz") carrier.offsetHz = number(value, here + ".offset_hz");
                else if (key == "gain_db") carrier.gainDb = number(value, here + ".gain_db");
                else if (key == "pn_offset") {
                    const double pn = number(value, here + ".pn_offset");
                    if (pn != std::floor(pn) || pn < 0 || pn > 511)
                        throw std::invalid_argument(here + ".pn_offset must be a whole number from 0 to 511");
                    carrier.pnOffset = static_cast<int>(pn);
                } else if (key == "params") {
                    if (value.is_string()) {
                        carrier.parameters = parametersFrom(value.get<std::string>());
                    } else if (value.is_object()) {
                        Parameters p = InitializeParameters();
                        applyOverrides(p, value);
                        carrier.parameters = p;
                    } else {
                        throw std::invalid_argument(here + ".params must be a file name or an object of settings");
                    }
                } else {
                    throw std::invalid_argument(here + "." + key + " is not a setting (offset_hz, gain_db, pn_offset, params)");
                }
            }
            plan.carriers.push_back(std::move(carrier));
        }
    }
    if (w.contains("noise_cn_db")) plan.noiseCnDb = number(w["noise_cn_db"], at + ".noise_cn_db");
    if (w.contains("crest_db")) plan.crestDb = number(w["crest_db"], at + ".crest_db");
    if (w.contains("quantize_offsets")) {
        if (!w["quantize_offsets"].is_boolean()) throw std::invalid_argument(at + ".quantize_offsets must be true or false");
        plan.quantizeOffsets = w["quantize_offsets"].get<bool>();
    }
    return plan;
}

CarrierPlan carrierPlanFrom(const std::string& path) {
    if (isParameterFile(path)) {
        host::MatReadOptions options;
        options.only = kCarrierFileVariable;
        options.maxVariableBytes = std::uint64_t{16} << 20;  // four parameter records at most
        const host::Value file = host::readMatFile(path, options);
        const host::Value* v = file.isRecord() ? file.find(kCarrierFileVariable) : nullptr;
        return v ? carrierPlanFromVariable(*v) : CarrierPlan{};
    }
    const nlohmann::json settings = readSettingsFile(path);
    return settings.is_object() && settings.contains(kCarrierJsonKey) ? carrierPlanFromJson(settings[kCarrierJsonKey])
                                                                       : CarrierPlan{};
}

}  // namespace model
