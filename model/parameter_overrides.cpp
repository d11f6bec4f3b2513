#include "model/parameter_overrides.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "model/json_text.h"
#include "host/core/input_file.h"
#include "host/core/text.h"
#include "host/core/value.h"

namespace model {

namespace {

using nlohmann::json;

// Settings nest two levels (parameters.slot) and a 16x59 field is a list of lists; far deeper
// nesting or far more values are a mistake, whichever way the settings arrive.
constexpr std::uint64_t kMaxSettingsFileBytes = std::uint64_t{16} << 20;

std::string shown(const json& j) { return jsonExcerpt(j); }

bool isNumber(const json& j) {
    return j.is_number() || j.is_boolean();
}

double number(const json& j) {
    return j.is_boolean() ? (j.get<bool>() ? 1.0 : 0.0) : j.get<double>();
}

bool isNumberList(const json& j, std::size_t n) {
    if (!j.is_array() || j.size() != n) return false;
    for (const json& e : j)
        if (!isNumber(e)) return false;
    return true;
}

// The same numeric shape with new values.
void overrideNumeric(host::Value& target, const json& j, const std::string& path) {
    const std::size_t rows = target.rows(), cols = target.cols();
    std::vector<double>& data = target.real();
    if (isNumber(j)) {
        std::fill(data.begin(), data.end(), number(j));
        return;
    }
    if (rows * cols > 1 && isNumberList(j, rows)) {
        for (std::size_t r = 0; r < rows; ++r)
            for (std::size_t c = 0; c < cols; ++c) data[c * rows + r] = number(j[r]);
        return;
    }
    if (cols > 1 && j.is_array() && j.size() == rows) {
        bool allRows = true;
        for (const json& e : j) allRows = allRows && isNumberList(e, cols);
        if (allRows) {
            for (std::size_t r = 0; r < rows; ++r)
                for (std::size_t c = 0; c < cols; ++c) data[c * rows + r] = number(j[r][c]);
            return;
        }
    }
    std::string expected = "a number";
    if (rows * cols > 1 && cols == 1) expected += " or a list of " + std::to_string(rows);
    if (cols > 1)
        expected += ", a list of " + std::to_string(rows) + " or " + std::to_string(rows) + " lists of " +
                    std::to_string(cols);
    throw std::invalid_argument(path + ": expected " + expected + " (got " + shown(j) + ")");
}

void overrideRecord(host::Value& record, const json& object, const std::string& path);

void overrideField(host::Value& target, const json& j, const std::string& path) {
    switch (target.kind()) {
        case host::Value::Kind::Record:
            if (!j.is_object())
                throw std::invalid_argument(path + ": expected an object of its fields (got " + shown(j) + ")");
            overrideRecord(target, j, path);
            return;
        case host::Value::Kind::Text:
            if (!j.is_string()) throw std::invalid_argument(path + ": expected a string (got " + shown(j) + ")");
            target = host::Value(j.get<std::string>());
            return;
        case host::Value::Kind::Numeric:
            overrideNumeric(target, j, path);
            return;
        case host::Value::Kind::Empty:
            if (!j.is_null()) throw std::invalid_argument(path + " is always empty and cannot be set");
            return;
    }
}

void overrideRecord(host::Value& record, const json& object, const std::string& path) {
    for (const auto& [name, value] : object.items()) {
        const std::string fieldPath = path + "." + name;
        host::Value* target = record.find(name);
        if (!target) throw std::invalid_argument("unknown field " + textExcerpt(fieldPath, 120));
        overrideField(*target, value, fieldPath);
    }
}

nlohmann::ordered_json number(double x) {
    // Beyond 2^53 a double no longer tells whole numbers apart; such values stay doubles.
    constexpr double kExact = 9007199254740992.0;
    if (x == std::floor(x) && std::abs(x) <= kExact) return static_cast<std::int64_t>(x);
    return x;
}

nlohmann::ordered_json toJson(const host::Value& v) {
    switch (v.kind()) {
        case host::Value::Kind::Empty:
            return nullptr;
        case host::Value::Kind::Text:
            return v.text();
        case host::Value::Kind::Record: {
            auto object = nlohmann::ordered_json::object();
            for (std::size_t i = 0; i < v.fieldCount(); ++i) object[v.fieldName(i)] = toJson(v.fieldValue(i));
            return object;
        }
        case host::Value::Kind::Numeric:
            break;
    }
    if (v.numel() == 1) return number(v.scalar());
    auto rows = nlohmann::ordered_json::array();
    for (std::size_t r = 0; r < v.rows(); ++r) {
        if (v.cols() == 1) {
            rows.push_back(number(v.at(r, 0)));
            continue;
        }
        auto row = nlohmann::ordered_json::array();
        for (std::size_t c = 0; c < v.cols(); ++c) row.push_back(number(v.at(r, c)));
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace

nlohmann::ordered_json settingsJson(const Parameters& parameters) {
    return toJson(toValue(parameters));
}

void applyOverrides(Parameters& parameters, const json& object) {
    if (!object.is_object())
        throw std::invalid_argument("parameter settings must be a JSON object of parameters fields (got " +
                                    shown(object) + ")");
    // A file with another identifier is refused when opened, so none may be written.
    const std::string id = Parameters{}.ParameterFileFormat_ID;
    if (object.contains("ParameterFileFormat_ID") && object["ParameterFileFormat_ID"] != id)
        throw std::invalid_argument("parameters.ParameterFileFormat_ID cannot be changed: it is always \"" + id +
                                    "\", the format this program reads");
    host::Value v = toValue(parameters);
    overrideRecord(v, object, "parameters");
    Parameters result;
    fromValue(v, result);
    if (!object.contains("ProjectedLength")) result.ProjectedLength = projectedLength(result.OverSampling);
    parameters = std::move(result);
}

void applySetting(Parameters& parameters, std::string_view nameEqualsValue) {
    const std::size_t eq = nameEqualsValue.find('=');
    std::string_view name = nameEqualsValue.substr(0, eq);
    if (eq == std::string_view::npos || name.empty())
        throw std::invalid_argument("a setting must read NAME=VALUE, as in OverSampling=8 (got \"" +
                                    textExcerpt(nameEqualsValue) + "\")");
    const std::string_view text = nameEqualsValue.substr(eq + 1);
    json value;
    try {
        value = parseJsonLimited(text);
    } catch (const json::exception&) {
        value = std::string(text);
    } catch (const std::invalid_argument& e) {
        throw std::invalid_argument(textExcerpt(name) + ": " + e.what());
    }

    constexpr std::string_view kRoot = "parameters.";
    if (name.starts_with(kRoot)) name.remove_prefix(kRoot.size());

    json object = json::object();
    json* level = &object;
    while (true) {
        const std::size_t dot = name.find('.');
        const std::string part(name.substr(0, dot));
        if (part.empty())
            throw std::invalid_argument("\"" + textExcerpt(nameEqualsValue.substr(0, eq)) +
                                        "\" is not a field name");
        if (dot == std::string_view::npos) {
            (*level)[part] = std::move(value);
            break;
        }
        level = &(*level)[part];
        name.remove_prefix(dot + 1);
    }
    applyOverrides(parameters, object);
}

json readSettingsFile(const std::string& path) {
    const std::string text = host::InputFile(path).text(kMaxSettingsFileBytes);
    try {
        return parseJsonLimited(text);
    } catch (const json::exception& e) {
        throw std::invalid_argument(path + " is not valid JSON: " + host::printable(e.what()));
    } catch (const std::invalid_argument& e) {
        throw std::invalid_argument(path + " is not a settings file: " + e.what());
    }
}

}  // namespace model
