#include "model/settings_table.h"

#include <array>
#include <cmath>
#include <sstream>
#include <stdexcept>
#include <utility>
#include <vector>

#include "engine/frame.h"
#include "engine/frame_layout.h"
#include "engine/pn_codes.h"
#include "host/core/number_text.h"

namespace model {

namespace {

using K = SettingKind;

constexpr std::array kModes{SettingCode{1, "1xEV forward link"}, SettingCode{2, "PN sequence only"}};
constexpr std::array kSources{SettingCode{1, "all zeros"},        SettingCode{2, "all ones"},
                              SettingCode{3, "alternating 0101"}, SettingCode{4, "alternating 1010"},
                              SettingCode{5, "PN9 sequence"},     SettingCode{6, "PN15 sequence"}};
constexpr std::array kModulations{SettingCode{1, "QPSK"}, SettingCode{2, "8-PSK"}, SettingCode{3, "16-QAM"}};
constexpr std::array kFilters{SettingCode{1, "rectangular"}, SettingCode{2, "IS-95 standard"},
                              SettingCode{3, "IS-95 ACP-optimised"}};
constexpr std::array kPlayerFilters{SettingCode{1, "2.1 MHz"}, SettingCode{2, "40 MHz"}, SettingCode{3, "through"}};
constexpr std::array kOnOff{SettingCode{0, "off"}, SettingCode{1, "on"}};
constexpr std::array kClockRefs{SettingCode{0, "internal"}, SettingCode{1, "external"}};
constexpr std::array kPolarities{SettingCode{0, "positive"}, SettingCode{1, "negative"}};

constexpr double kMinGainDb = -30, kMaxGainDb = 30;

SettingRow row(std::string_view record, std::string_view name, K kind, std::string_view unit,
               std::string_view meaning) {
    SettingRow r;
    r.record = record;
    r.name = name;
    r.kind = kind;
    r.unit = unit;
    r.meaning = meaning;
    return r;
}
SettingRow p(std::string_view name, K kind, std::string_view unit, std::string_view meaning) {
    return row("parameters", name, kind, unit, meaning);
}
SettingRow s(std::string_view name, K kind, std::string_view unit, std::string_view meaning) {
    return row("SigGenSettings", name, kind, unit, meaning);
}
SettingRow range(SettingRow r, double lo, double hi) {
    r.lo = lo;
    r.hi = hi;
    return r;
}
SettingRow coded(SettingRow r, std::span<const SettingCode> codes) {
    r.codes = codes;
    return r;
}
SettingRow noted(SettingRow r, std::string note) {
    r.note = std::move(note);
    return r;
}

const std::vector<SettingRow>& rows() {
    static const std::vector<SettingRow> table = [] {
        std::vector<SettingRow> t{
            noted(p("ParameterFileFormat_ID", K::Text, "", "identifies a parameter file; a file with another one is not opened"),
                  "always \"" + Parameters{}.ParameterFileFormat_ID + "\""),
            coded(p("Mode", K::Code, "", "format mode: the full frame, or the short PN code alone"), kModes),
            range(p("PilotOffsetIndex", K::Whole, "64 chips", "pilot PN offset index of the sector"), 0,
                  engine::kMaxPilotOffset),
            p("MACchnActive", K::Flag, "", "MAC channel (RA and RPC channels) on"),
            p("DATAchnActive", K::Flag, "", "traffic channel on"),
            coded(p("DATAsourceType", K::Code, "", "data source of the traffic channel"), kSources),
            p("DATAsourceName", K::Empty, "", "carried in records and files, never used"),
            p("IdleSlotGainActive", K::Flag, "", "noise in idle slots on"),
            range(p("IdleSlotGain", K::Real, "dB", "power of the idle-slot noise relative to the pilot channel"), -80, 0),
            p("slot.DATAslotActive", K::Flag, "", "16 x 1, per slot: traffic burst on"),
            coded(p("slot.DATAslotMod", K::Code, "", "16 x 1, per slot: traffic modulation"), kModulations),
            p("slot.RAslotActive", K::Flag, "", "16 x 1, per slot: RA channel on"),
            p("slot.RAslotValue", K::Flag, "", "16 x 1, per slot: RA bit"),
            range(p("slot.RAslotGain", K::Real, "dB", "16 x 1, per slot: RA channel gain relative to the pilot channel"),
                  kMinGainDb, kMaxGainDb),
            p("slot.RPCslotActiveChn", K::Flag, "", "16 x 1, per slot: the slot carries RPC channels"),
            p("slot.RPCslotActive", K::Flag, "",
              "16 x 59, row = slot, column j = MAC index j + 4: RPC channel on in the slot"),
            p("slot.RPCslotValue", K::Flag, "", "16 x 59 as RPCslotActive: RPC bit"),
            range(p("slot.RPCslotGain", K::Real, "dB", "16 x 59 as RPCslotActive: RPC channel gain relative to the pilot channel"),
                  kMinGainDb, kMaxGainDb),
            range(p("OverSampling", K::Whole, "samples per chip", "oversampling ratio R; the sample rate is R x 1228800 Hz"),
                  engine::kMinOversampling, engine::kMaxOversampling),
            coded(p("FilterType", K::Code, "", "baseband filter"), kFilters),
            p("PhaseEq", K::Flag, "", "transmit phase equalizer on"),
            p("MirrorSpectrum", K::Flag, "", "spectrum mirrored (I and Q swapped)"),
            noted(p("ProjectedLength", K::Derived, "samples", "samples of the waveform"),
                  "32768 x OverSampling; follows OverSampling: one left from another OverSampling is "
                  "recomputed, any other value that disagrees is refused"),
            noted(s("Title", K::Text, "", "name of the waveform in the instrument's memory"),
                  "capitals, digits and _ $ & # + - [ ], at most 20 characters"),
            range(s("Frequency", K::Real, "Hz", "carrier frequency"), 100e3, 6e9),
            range(s("Amplitude", K::Whole, "dBm", "output power"), -136, 20),
            range(s("SamplingRate", K::Real, "Hz", "sample clock of the waveform player"), 1, 100e6),
            coded(s("BBfilter", K::Code, "", "reconstruction filter of the player"), kPlayerFilters),
            range(s("Scaling", K::Real, "%", "waveform scaling in the player"), 1, 100),
            range(s("ModAtten", K::Whole, "dB", "modulator attenuation"), 0, 40),
            coded(s("RFblanking", K::Code, "", "RF blanking by marker 2"), kOnOff),
            coded(s("ALC", K::Code, "", "automatic level control"), kOnOff),
            coded(s("ArbRefSource", K::Code, "", "clock reference of the player"), kClockRefs),
            coded(s("MarkerPolarity", K::Code, "", "polarity of the markers"), kPolarities),
        };
        // The normalising in the RPC setup may store gains beyond what is typed.
        for (SettingRow& r : t)
            if (r.name == "slot.RPCslotGain") r.rangeWhenTyped = true;
            else if (r.name == "slot.RPCslotActive") r.defaultText = "column 1 (MAC index 5) 1, the others 0";
            else if (r.name == "SamplingRate") r.defaultText = "1228800 x OverSampling";
        return t;
    }();
    return table;
}

std::string withUnit(double v, std::string_view unit) {
    std::string t = host::numberText(v);
    // Units of one word are said with the number ("30 dB"); "samples per chip" goes without.
    if (!unit.empty() && unit.find(' ') == std::string_view::npos) t += (unit == "%" ? "" : " ") + std::string(unit);
    return t;
}

// The numbers of `v` with where each sits, as the settings name it.
std::string elementPlace(const std::string& where, const host::Value& v, std::size_t r, std::size_t c) {
    if (v.numel() == 1) return where;
    std::string place = where + " of slot " + std::to_string(r + 1);
    if (v.cols() > 1) place += ", channel " + std::to_string(c + 1);
    return place;
}

const host::Value* fieldOf(const host::Value& record, std::string_view name) {
    const host::Value* v = &record;
    while (v) {
        const std::size_t dot = name.find('.');
        v = v->find(std::string(name.substr(0, dot)));
        if (dot == std::string_view::npos) break;
        name.remove_prefix(dot + 1);
    }
    return v;
}

void checkRecord(const host::Value& record, std::string_view recordName, std::string_view root) {
    for (const SettingRow& row : rows()) {
        if (row.record != recordName) continue;
        const host::Value* v = fieldOf(record, row.name);
        if (!v || v->kind() != host::Value::Kind::Numeric) continue;
        const std::string where = std::string(root) + "." + std::string(row.name);
        for (std::size_t c = 0; c < v->cols(); ++c)
            for (std::size_t r = 0; r < v->rows(); ++r) {
                const double x = v->real()[c * v->rows() + r];
                if (!allows(row, x)) checkSetting(row, x, elementPlace(where, *v, r, c));
            }
    }
}

std::string defaultOf(const SettingRow& row, const host::Value& record) {
    if (!row.defaultText.empty()) return row.defaultText;
    const host::Value* v = fieldOf(record, row.name);
    if (!v || v->isEmpty()) return "empty";
    if (v->isText()) return "\"" + v->text() + "\"";
    const std::vector<double>& x = v->real();
    for (double e : x)
        if (e != x.front()) return "varies";
    std::string t = host::numberText(x.front());
    return v->numel() > 1 ? "all " + t : t;
}

std::string rangeColumn(const SettingRow& row) {
    switch (row.kind) {
        case K::Text:
        case K::Derived:
            return row.note;
        case K::Empty:
            return "empty";
        case K::Code: {
            std::string t;
            for (const SettingCode& c : row.codes)
                t += (t.empty() ? "" : "<br>") + host::numberText(c.value) + " " + std::string(c.name);
            return t;
        }
        case K::Flag:
            return "0 off, 1 on";
        case K::Whole:
        case K::Real:
            break;
    }
    std::string t = (row.kind == K::Whole ? "whole numbers " : "") + host::numberText(row.lo) + " to " +
                    host::numberText(row.hi);
    if (row.rangeWhenTyped) t += " as typed; normalising may store any finite value";
    return t;
}

}  // namespace

std::span<const SettingRow> settingsTable() { return rows(); }

const SettingRow& settingRow(std::string_view record, std::string_view name) {
    for (const SettingRow& r : rows())
        if (r.record == record && r.name == name) return r;
    throw std::logic_error("the settings table has no row " + std::string(record) + "." + std::string(name));
}

std::string allowedText(const SettingRow& row) {
    switch (row.kind) {
        case K::Flag:
            return "0 or 1";
        case K::Code: {
            std::string t;
            for (std::size_t i = 0; i < row.codes.size(); ++i) {
                if (i > 0) t += i + 1 == row.codes.size() ? " or " : ", ";
                t += host::numberText(row.codes[i].value) + " (" + std::string(row.codes[i].name) + ")";
            }
            return t;
        }
        case K::Whole:
            return "a whole number from " + host::numberText(row.lo) + " to " + withUnit(row.hi, row.unit);
        case K::Real:
            if (row.rangeWhenTyped) return "a finite number of " + std::string(row.unit);
            return "a number from " + host::numberText(row.lo) + " to " + withUnit(row.hi, row.unit);
        case K::Derived:
            return row.note;
        case K::Text:
        case K::Empty:
            break;
    }
    return {};
}

bool allows(const SettingRow& row, double v) {
    switch (row.kind) {
        case K::Flag:
            return v == 0 || v == 1;
        case K::Code:
            for (const SettingCode& c : row.codes)
                if (v == c.value) return true;
            return false;
        case K::Whole:
            return v >= row.lo && v <= row.hi && v == std::trunc(v);
        case K::Real:
            return row.rangeWhenTyped ? std::isfinite(v) : v >= row.lo && v <= row.hi;
        case K::Derived:
            return std::isfinite(v);
        case K::Text:
        case K::Empty:
            break;
    }
    return false;
}

void checkSetting(const SettingRow& row, double v, const std::string& where) {
    if (!allows(row, v))
        throw std::invalid_argument(where + " is " + host::numberText(v) + "; it must be " + allowedText(row));
}

void checkParameters(const Parameters& p, std::string_view root) { checkRecord(toValue(p), "parameters", root); }

void checkProjectedLength(const Parameters& p, std::string_view root) {
    if (p.ProjectedLength != projectedLength(p.OverSampling))
        throw std::invalid_argument(std::string(root) + ".ProjectedLength is " + host::numberText(p.ProjectedLength) +
                                    " but " + std::string(root) + ".OverSampling " + host::numberText(p.OverSampling) +
                                    " makes " + host::numberText(projectedLength(p.OverSampling)) +
                                    "; it must be 32768 x OverSampling");
}

void followProjectedLength(Parameters& p, std::string_view root) {
    const double k = p.ProjectedLength / static_cast<double>(engine::kChipsPerFrame);
    if (k == std::trunc(k) && k >= engine::kMinOversampling && k <= engine::kMaxOversampling)
        p.ProjectedLength = projectedLength(p.OverSampling);
    checkProjectedLength(p, root);
}

void checkSigGenSettings(const SigGenSettings& s) { checkRecord(toValue(s), "SigGenSettings", "SigGenSettings"); }

std::string settingsReference() {
    std::ostringstream out;
    out << "# Settings reference\n\n"
           "Every field of the frame settings (`parameters`, stored as `fileParameters` in a parameter\n"
           "file) and of the signal generator settings (`SigGenSettings`). zuno-gen takes them with\n"
           "`--set NAME=VALUE` (`--set SigGenSettings.NAME=VALUE` for the second table), JSON settings\n"
           "files and the Python module as dicts, by the names below; a value outside its range, a code\n"
           "not listed, NaN, infinity or a value of the wrong kind or shape is refused, naming the field.\n"
           "Per-slot fields hold 16 values (one per slot) or 16 x 59 (one per slot and RPC channel).\n"
           "This page is what `zuno-gen --list-settings` prints.\n";
    const std::pair<std::string_view, host::Value> records[] = {
        {"parameters", toValue(InitializeParameters())},
        {"SigGenSettings", toValue(InitializeSigGenSettings(InitializeParameters()))},
    };
    for (const auto& [name, defaults] : records) {
        out << "\n## " << name << "\n\n| Field | Meaning | Unit | Range | Default |\n|---|---|---|---|---|\n";
        for (const SettingRow& row : rows())
            if (row.record == name)
                out << "| `" << row.name << "` | " << row.meaning << " | " << row.unit << " | " << rangeColumn(row)
                    << " | " << defaultOf(row, defaults) << " |\n";
    }
    return out.str();
}

}  // namespace model
