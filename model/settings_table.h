#pragma once
// The settings table: one row per field of `parameters` and `SigGenSettings` with its meaning,
// unit, allowed values and codes. Every check of a setting, every refusal message, the window's
// limits and the settings reference (zuno-gen --list-settings, docs/settings.md) are made from
// it, so that a range is written once.
#include <span>
#include <string>
#include <string_view>

#include "model/records.h"

namespace model {

enum class SettingKind {
    Text,     // free text, or fixed when `fixedText` is set
    Empty,    // always the empty value
    Flag,     // 0 or 1
    Code,     // one of `codes`
    Whole,    // a whole number from lo to hi
    Real,     // a number from lo to hi
    Derived,  // follows other fields; `derivedText` says how
};

struct SettingCode {
    double value;
    std::string_view name;
};

struct SettingRow {
    std::string_view record;  // "parameters" or "SigGenSettings"
    std::string_view name;    // as --set takes it: "OverSampling", "slot.RAslotGain"
    SettingKind kind = SettingKind::Text;
    std::string_view unit;
    std::string_view meaning;
    double lo = 0, hi = 0;               // Whole and Real
    std::span<const SettingCode> codes;  // Code
    // Real fields whose range binds what is typed only: stored values need only be finite.
    bool rangeWhenTyped = false;
    std::string note;         // Text: what it takes; Derived: the rule
    std::string defaultText;  // when the record's default is not shown as it is
};

std::span<const SettingRow> settingsTable();

// The row of `record`.`name`; throws std::logic_error for a field the table lacks.
const SettingRow& settingRow(std::string_view record, std::string_view name);

// The allowed values in words: "0 or 1", "a whole number from 2 to 30",
// "1 (rectangular), 2 (IS-95 standard) or 3 (IS-95 ACP-optimised)", "a number from -80 to 0 dB".
std::string allowedText(const SettingRow& row);

// Whether `v` is one of the row's values (any finite value for a range bound only when typed).
bool allows(const SettingRow& row, double v);

// Throws std::invalid_argument "WHERE is V; it must be ALLOWED" unless allows(row, v).
void checkSetting(const SettingRow& row, double v, const std::string& where);

// Every field of `p` against its row; messages start at `root` ("parameters", or
// "fileParameters" for a file). Throws std::invalid_argument naming the first field at fault and
// its allowed values.
void checkParameters(const Parameters& p, std::string_view root = "parameters");

// ProjectedLength against OverSampling, naming both. Settings that arrive (files, --set, JSON,
// Python) are checked so; the calculation itself does not read ProjectedLength.
void checkProjectedLength(const Parameters& p, std::string_view root = "parameters");
// As checkProjectedLength, but a ProjectedLength that another allowed OverSampling makes is one
// left behind when OverSampling changed (files saved before it followed, a dict of a file's
// settings with OverSampling changed): it is recomputed rather than refused.
void followProjectedLength(Parameters& p, std::string_view root = "parameters");

// The numeric fields of `s` against their rows, messages starting at "SigGenSettings".
void checkSigGenSettings(const SigGenSettings& s);

// The settings reference in Markdown: every row with meaning, unit, range, codes and default.
std::string settingsReference();

}  // namespace model
