#include "model/parameter_overrides.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <optional>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "model/json_text.h"
#include "model/settings_table.h"
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

// NaN and the infinities as JSON cannot hold them: texts (see quoteNonFinite), taken as the
// numbers they name so that the field's check refuses them by name.
std::optional<double> nonFinite(const json& j) {
    if (!j.is_string()) return std::nullopt;
    const std::string& t = j.get_ref<const std::string&>();
    if (t == "NaN" || t == "nan") return std::nan("");
    if (t == "Infinity" || t == "inf" || t == "Inf") return HUGE_VAL;
    if (t == "-Infinity" || t == "-inf" || t == "-Inf") return -HUGE_VAL;
    return std::nullopt;
}

bool isNumber(const json& j) {
    return j.is_number() || j.is_boolean() || nonFinite(j);
}

double number(const json& j) {
    if (const auto x = nonFinite(j)) return *x;
    return j.is_boolean() ? (j.get<bool>() ? 1.0 : 0.0) : j.get<double>();
}

// What the field takes, from the settings table, for a refusal: "; each must be 0 or 1".
std::string allowedFor(const std::string& path, bool many) {
    constexpr std::string_view kRoot = "parameters.";
    const std::string_view name = std::string_view(path).substr(path.starts_with(kRoot) ? kRoot.size() : 0);
    for (const SettingRow& row : settingsTable())
        if (row.record == "parameters" && row.name == name) {
            const std::string allowed = allowedText(row);
            return allowed.empty() ? "" : (many ? "; each must be " : "; it must be ") + allowed;
        }
    return {};
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
    throw std::invalid_argument(path + ": expected " + expected + " (got " + shown(j) + ")" +
                                allowedFor(path, rows * cols > 1));
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

std::string quoteNonFinite(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    bool inString = false;
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (inString) {
            out += c;
            if (c == '\\' && i + 1 < text.size()) out += text[++i];
            else if (c == '"') inString = false;
            ++i;
            continue;
        }
        if (c == '"') {
            inString = true;
            out += c;
            ++i;
            continue;
        }
        // A bare word or number: NaN and the infinities, and numbers too large for a double,
        // become the texts nonFinite() reads.
        const bool number = c == '-' || (c >= '0' && c <= '9');
        const bool word = c == 'N' || c == 'I';
        if (!number && !word) {
            out += c;
            ++i;
            continue;
        }
        std::size_t end = i + 1;
        while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '.' ||
                                     text[end] == '+' || text[end] == '-'))
            ++end;
        const std::string token(text.substr(i, end - i));
        if (token == "NaN" || token == "Infinity" || token == "-Infinity") {
            out += "\"" + token + "\"";
        } else if (number && token.find_first_not_of("0123456789.eE+-") == std::string::npos &&
                   std::isinf(std::strtod(token.c_str(), nullptr))) {
            out += token[0] == '-' ? "\"-Infinity\"" : "\"Infinity\"";
        } else {
            out += token;
        }
        i = end;
    }
    return out;
}

json parseSettingsText(std::string_view text) { return parseJsonLimited(quoteNonFinite(text)); }

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
    // Derived: it follows OverSampling. A length given alone is meant for the OverSampling there
    // is, and refused when it disagrees; one given with OverSampling follows it when it is the
    // length of another OverSampling (a stale copy), and is refused otherwise.
    checkParameters(result);
    if (!object.contains("ProjectedLength")) result.ProjectedLength = projectedLength(result.OverSampling);
    if (object.contains("ProjectedLength") && !object.contains("OverSampling")) checkProjectedLength(result);
    else followProjectedLength(result);
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
        value = parseSettingsText(text);
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
        return parseSettingsText(text);
    } catch (const json::exception& e) {
        throw std::invalid_argument(path + " is not valid JSON: " + host::printable(e.what()));
    } catch (const std::invalid_argument& e) {
        throw std::invalid_argument(path + " is not a settings file: " + e.what());
    }
}

}  // namespace model
