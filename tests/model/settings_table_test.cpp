// The settings table against the records and the engine, and one refusal per kind of bad
// value on every way settings arrive.
#include "model/settings_table.h"

#include <gmock/gmock.h>

#include <cmath>
#include <fstream>
#include <set>

#include "host/core/mat_file.h"
#include "host/core/number_text.h"
#include "model/calculate.h"
#include "model/parameter_file.h"
#include "model/parameter_overrides.h"
#include "model/settings_source.h"
#include "tests/support/scratch_dir.h"

using testing::HasSubstr;

namespace {

std::string whyRefused(auto&& action) {
    try {
        action();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(accepted)";
}

// "slot.RAslotGain" for every numeric or text field of `v`, nested records walked.
void fieldNames(const host::Value& v, const std::string& prefix, std::set<std::string>& out) {
    for (std::size_t i = 0; i < v.fieldCount(); ++i) {
        const std::string name = prefix + v.fieldName(i);
        if (v.fieldValue(i).isRecord()) fieldNames(v.fieldValue(i), name + ".", out);
        else out.insert(name);
    }
}

std::set<std::string> tableNames(std::string_view record) {
    std::set<std::string> names;
    for (const model::SettingRow& row : model::settingsTable())
        if (row.record == record) names.insert(std::string(row.name));
    return names;
}

}  // namespace

TEST(SettingsTable, HasOneRowPerFieldOfBothRecords) {
    std::set<std::string> parameters, sigGen;
    fieldNames(model::toValue(model::Parameters{}), "", parameters);
    fieldNames(model::toValue(model::SigGenSettings{}), "", sigGen);
    EXPECT_EQ(tableNames("parameters"), parameters);
    EXPECT_EQ(tableNames("SigGenSettings"), sigGen);
    // The defaults are allowed values, so a file saved with them opens.
    EXPECT_NO_THROW(model::checkParameters(model::InitializeParameters()));
    EXPECT_NO_THROW(model::checkSigGenSettings(model::InitializeSigGenSettings(model::InitializeParameters())));
    const std::string reference = model::settingsReference();
    for (const auto& name : parameters) EXPECT_THAT(reference, HasSubstr("| `" + name + "` |"));
    EXPECT_THAT(reference, HasSubstr("| 1 rectangular<br>2 IS-95 standard<br>3 IS-95 ACP-optimised | 3 |"));
    EXPECT_THAT(reference, HasSubstr("| whole numbers 2 to 30 | 5 |"));
}

// Every code and both ends of every range the table allows computes; one step past is refused
// by the engine's arguments with the table's words.
TEST(SettingsTable, WhatItAllowsTheEngineComputes) {
    for (const model::SettingRow& row : model::settingsTable()) {
        if (row.record != "parameters" || row.name.find('.') != std::string_view::npos) continue;
        std::vector<double> good, bad;
        if (row.kind == model::SettingKind::Code) {
            for (const auto& c : row.codes) good.push_back(c.value);
            bad = {row.codes.front().value - 1, row.codes.back().value + 1, 1.5, NAN};
        } else if (row.kind == model::SettingKind::Whole || row.kind == model::SettingKind::Real) {
            good = {row.lo, row.hi};
            bad = {row.lo - 1, row.hi + 1, INFINITY, NAN};
        } else {
            continue;
        }
        const std::string field = std::string(row.name);
        for (double v : good) {
            model::Parameters p = model::InitializeParameters();
            model::applySetting(p, field + "=" + host::numberText(v));
            p.DATAchnActive = 1;
            EXPECT_NO_THROW(model::Calculate(p)) << field << " " << v;
        }
        for (double v : bad) {
            model::Parameters p = model::InitializeParameters();
            host::Value record = model::toValue(p);
            record.set(field, host::Value(v));
            model::fromValue(record, p);
            EXPECT_EQ(whyRefused([&] { model::frameArguments(p, {}); }),
                      "parameters." + field + " is " + host::numberText(v) + "; it must be " + model::allowedText(row));
        }
    }
}

using StrictSettings = testsupport::ScratchDirTest;

// Each bad value through --set, a JSON file, the JSON text the Python module hands over and a
// parameter file: refused, naming the field and what it takes.
TEST_F(StrictSettings, EveryPathRefusesByName) {
    struct Case {
        const char* field;
        const char* json;         // the value as JSON text
        host::Value inFile;       // the value as a parameter file holds it
        std::string why;          // the message after the field's path
    };
    const std::string filters = "it must be 1 (rectangular), 2 (IS-95 standard) or 3 (IS-95 ACP-optimised)";
    const std::vector<Case> cases{
        {"FilterType", "9", host::Value(9.0), " is 9; " + filters},
        {"OverSampling", "NaN", host::Value(NAN), " is NaN; it must be a whole number from 2 to 30"},
        {"OverSampling", "31", host::Value(31.0), " is 31; it must be a whole number from 2 to 30"},
        {"IdleSlotGain", "-Infinity", host::Value(-INFINITY), " is -Inf; it must be a number from -80 to 0 dB"},
        {"IdleSlotGain", "1e999", host::Value(INFINITY), " is Inf; it must be a number from -80 to 0 dB"},
        {"DATAsourceType", "7", host::Value(7.0), " is 7; it must be 1 (all zeros), 2 (all ones), 3 (alternating 0101), "
                                                  "4 (alternating 1010), 5 (PN9 sequence) or 6 (PN15 sequence)"},
        {"slot.DATAslotMod", "[1,1,4,1,1,1,1,1,1,1,1,1,1,1,1,1]", {}, " of slot 3 is 4; it must be 1 (QPSK), 2 (8-PSK) or 3 (16-QAM)"},
        {"slot.RPCslotGain", "NaN", {}, " of slot 1, channel 1 is NaN; it must be a finite number of dB"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.field) + "=" + c.json);
        const std::string expected = std::string("parameters.") + c.field + c.why;
        model::Parameters p = model::InitializeParameters();
        EXPECT_EQ(whyRefused([&] { model::applySetting(p, std::string(c.field) + "=" + c.json); }), expected);

        // {"slot": {"DATAslotMod": ...}} or {"FilterType": 9}
        const std::string name = c.field;
        const std::string object = name.starts_with("slot.")
                                       ? "{\"slot\": {\"" + name.substr(5) + "\": " + c.json + "}}"
                                       : "{\"" + name + "\": " + c.json + "}";
        EXPECT_EQ(whyRefused([&] { model::applySettingsText(p, object); }), expected);
        std::ofstream(path("s.json")) << object;
        EXPECT_EQ(whyRefused([&] { model::parametersFrom(path("s.json")); }), expected);
        EXPECT_EQ(p, model::InitializeParameters()) << "nothing applied";

        if (c.inFile.isEmpty()) continue;
        host::Value stored = model::toValue(model::Parameters{});
        stored.set(name, c.inFile);
        host::Value file = host::Value::record();
        file.set("fileParameters", stored);
        host::writeMatFile(path("p.mat"), file);
        EXPECT_EQ(whyRefused([&] { model::parametersFrom(path("p.mat")); }),
                  path("p.mat") + " has an Invalid File Setting. fileParameters." + name + c.why);
    }

    // A wrong kind or shape names the field and what it takes.
    model::Parameters p = model::InitializeParameters();
    EXPECT_EQ(whyRefused([&] { model::applySettingsText(p, R"({"OverSampling": "8"})"); }),
              "parameters.OverSampling: expected a number (got \"8\"); it must be a whole number from 2 to 30");
    EXPECT_EQ(whyRefused([&] { model::applySetting(p, "FilterType=[1,2]"); }),
              "parameters.FilterType: expected a number (got [1,2]); " + filters);
    EXPECT_EQ(whyRefused([&] { model::applySetting(p, "slot.RAslotValue=[1,0]"); }),
              "parameters.slot.RAslotValue: expected a number or a list of 16 (got [1,0]); each must be 0 or 1");
    // NaN inside a text stays text.
    EXPECT_EQ(model::quoteNonFinite(R"({"a": "NaN, Infinity", "b": [NaN, -Infinity, 1e5, -1e999]})"),
              R"({"a": "NaN, Infinity", "b": ["NaN", "-Infinity", 1e5, "-Infinity"]})");
}

// ProjectedLength follows OverSampling: a stale length (that of another OverSampling) is
// recomputed, a length given alone or matching no OverSampling is refused.
TEST_F(StrictSettings, ProjectedLengthFollowsOverSampling) {
    model::Parameters p = model::InitializeParameters();
    model::applySetting(p, "OverSampling=8");
    EXPECT_EQ(p.ProjectedLength, 262144);
    model::applySettingsText(p, R"({"OverSampling": 3, "ProjectedLength": 98304})");
    EXPECT_EQ(p.ProjectedLength, 98304);
    // A file's settings with OverSampling changed, as a script builds them.
    model::applySettingsText(p, R"({"OverSampling": 8, "ProjectedLength": 163840})");
    EXPECT_EQ(p.ProjectedLength, 262144);
    EXPECT_EQ(whyRefused([&] { model::applySettingsText(p, R"({"OverSampling": 3, "ProjectedLength": 163841})"); }),
              "parameters.ProjectedLength is 163841 but parameters.OverSampling 3 makes 98304; it must be 32768 x OverSampling");
    EXPECT_EQ(whyRefused([&] { model::applySetting(p, "ProjectedLength=163840"); }),
              "parameters.ProjectedLength is 163840 but parameters.OverSampling 8 makes 262144; it must be 32768 x OverSampling");

    // A file the application saved opens unchanged; one saved stale opens with the length
    // recomputed; one edited by hand to a length of no OverSampling is refused.
    p.OverSampling = 30;
    p.ProjectedLength = model::projectedLength(30);
    p.slot.RPCslotGain(2, 4) = -47.5;  // normalising may store gains beyond what is typed
    model::writeParameterFile(path("saved.mat"), p);
    EXPECT_EQ(model::readParameterFile(path("saved.mat")), p);
    host::Value file = host::readMatFile(path("saved.mat"));
    file.field("fileParameters").set("ProjectedLength", host::Value(163840.0));
    host::writeMatFile(path("stale.mat"), file);
    EXPECT_EQ(model::readParameterFile(path("stale.mat")), p);
    file.field("fileParameters").set("ProjectedLength", host::Value(5.0));
    host::writeMatFile(path("edited.mat"), file);
    EXPECT_EQ(whyRefused([&] { model::readParameterFile(path("edited.mat")); }),
              path("edited.mat") + "\nhas an Invalid File Setting.\nfileParameters.ProjectedLength is 5 but "
                                   "fileParameters.OverSampling 30 makes 983040; it must be 32768 x OverSampling");
}
