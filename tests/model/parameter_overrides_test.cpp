#include "model/parameter_overrides.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include "tests/support/error_text.h"

using model::applyOverrides;
using model::applySetting;
using model::Parameters;
using nlohmann::json;

using testsupport::errorOf;

namespace {

json list16(double first, double rest) {
    json l = json::array();
    for (int i = 0; i < 16; ++i) l.push_back(i == 0 ? first : rest);
    return l;
}

}  // namespace

TEST(ParameterOverrides, TopLevelFieldsAndDerivedLength) {
    Parameters p = model::InitializeParameters();
    applyOverrides(p, json{{"OverSampling", 8}, {"IdleSlotGain", -12.5}, {"PhaseEq", false}});
    EXPECT_EQ(p.OverSampling, 8);
    EXPECT_EQ(p.ProjectedLength, 262144);
    EXPECT_EQ(p.IdleSlotGain, -12.5);
    EXPECT_EQ(p.PhaseEq, 0);

    applyOverrides(p, json{{"OverSampling", 2}, {"ProjectedLength", 65536}});
    EXPECT_EQ(p.ProjectedLength, 65536);  // given, it must agree
    applyOverrides(p, json::object());
    EXPECT_EQ(p.ProjectedLength, 65536);
    EXPECT_EQ(p.Mode, 1);
}

TEST(ParameterOverrides, SlotShapes) {
    Parameters p = model::InitializeParameters();
    json rows = json::array();
    for (int r = 0; r < 16; ++r) {
        json row = json::array();
        for (int c = 0; c < 59; ++c) row.push_back(r == 3 && c == 58 ? 1 : 0);
        rows.push_back(row);
    }
    applyOverrides(p, json{{"slot",
                            {{"RAslotGain", -6},
                             {"DATAslotMod", list16(3, 2)},
                             {"RPCslotGain", 5},
                             {"RPCslotValue", list16(0, 1)},
                             {"RPCslotActive", rows}}}});
    EXPECT_EQ(p.slot.RAslotGain, model::slotFill(-6));
    EXPECT_EQ(p.slot.DATAslotMod[0], 3);
    EXPECT_EQ(p.slot.DATAslotMod[15], 2);
    EXPECT_EQ(p.slot.RPCslotGain, dsp::Matrix(16, 59, 5));
    for (std::size_t c = 0; c < 59; ++c) {
        EXPECT_EQ(p.slot.RPCslotValue(0, c), 0);  // slot 1 in every channel
        EXPECT_EQ(p.slot.RPCslotValue(1, c), 1);
    }
    double active = 0;
    for (double x : p.slot.RPCslotActive.data) active += x;
    EXPECT_EQ(active, 1);
    EXPECT_EQ(p.slot.RPCslotActive(3, 58), 1);
    EXPECT_EQ(p.slot.RAslotActive, model::slotFill(1)) << "untouched fields keep their values";
}

TEST(ParameterOverrides, ErrorsNameTheFieldAndLeaveParametersAlone) {
    Parameters p = model::InitializeParameters();
    auto apply = [&](const json& j) { return errorOf([&] { applyOverrides(p, j); }); };
    EXPECT_EQ(apply(json{{"Foo", 1}}), "unknown field parameters.Foo");
    EXPECT_EQ(apply(json{{"slot", {{"Bar", 1}}}}), "unknown field parameters.slot.Bar");
    EXPECT_EQ(apply(json{{"slot", {{"DATAslotMod", json::array({1, 2, 3})}}}}),
              "parameters.slot.DATAslotMod: expected a number or a list of 16 (got [1,2,3]); each must be 1 (QPSK), "
              "2 (8-PSK) or 3 (16-QAM)");
    EXPECT_EQ(apply(json{{"slot", {{"RPCslotGain", json::array({json::array({1})})}}}}),
              "parameters.slot.RPCslotGain: expected a number, a list of 16 or 16 lists of 59 (got [[1]]); each must be "
              "a finite number of dB");
    EXPECT_EQ(apply(json{{"Mode", "full"}}), "parameters.Mode: expected a number (got \"full\"); it must be 1 (1xEV forward link) or 2 (PN sequence only)");
    EXPECT_EQ(apply(json{{"Mode", json::array({1})}}), "parameters.Mode: expected a number (got [1]); it must be 1 (1xEV forward link) or 2 (PN sequence only)");
    // A file with another format identifier would be refused when opened: none may be written.
    const std::string fixedId =
        "parameters.ParameterFileFormat_ID cannot be changed: it is always \"Zuno-Fwd - Format 1.2\", the format "
        "this program reads";
    EXPECT_EQ(apply(json{{"ParameterFileFormat_ID", 1}}), fixedId);
    EXPECT_EQ(apply(json{{"ParameterFileFormat_ID", "Zuno-Fwd - Format 1.1"}}), fixedId);
    // Names and values from the command line or a file reach messages escaped.
    EXPECT_EQ(apply(json{{"bell\x07\x1b[31m", 1}}), "unknown field parameters.bell\\x07\\x1B[31m");
    EXPECT_EQ(apply(json{{"slot", 1}}), "parameters.slot: expected an object of its fields (got 1)");
    EXPECT_EQ(apply(json{{"DATAsourceName", "x"}}), "parameters.DATAsourceName is always empty and cannot be set");
    EXPECT_NE(apply(json::array({1})), "(no error)");
    // The good field before the bad one is not applied either.
    EXPECT_NE(apply(json{{"OverSampling", 9}, {"Zzz", 1}}), "(no error)");
    EXPECT_EQ(p, model::InitializeParameters());
}

TEST(ParameterOverrides, SettingForms) {
    Parameters p = model::InitializeParameters();
    applySetting(p, "OverSampling=8");
    EXPECT_EQ(p.OverSampling, 8);
    EXPECT_EQ(p.ProjectedLength, 262144);
    applySetting(p, "slot.RAslotGain=-6");
    EXPECT_EQ(p.slot.RAslotGain, model::slotFill(-6));
    applySetting(p, "slot.DATAslotMod=[3,1,1,1,1,1,1,1,1,1,1,1,1,1,1,2]");
    EXPECT_EQ(p.slot.DATAslotMod[0], 3);
    EXPECT_EQ(p.slot.DATAslotMod[15], 2);
    applySetting(p, "parameters.Mode=2");
    EXPECT_EQ(p.Mode, 2);
    applySetting(p, "ParameterFileFormat_ID=Zuno-Fwd - Format 1.2");  // not JSON: taken as text
    applySetting(p, "ParameterFileFormat_ID=\"Zuno-Fwd - Format 1.2\"");
    EXPECT_EQ(p.ParameterFileFormat_ID, "Zuno-Fwd - Format 1.2");

    // Nesting is bounded before anything walks it (70000 levels would exhaust the stack).
    const std::string deep = std::string(70000, '[') + std::string(70000, ']');
    EXPECT_EQ(errorOf([&] { applySetting(p, "OverSampling=" + deep); }),
              "OverSampling: lists and objects are nested more than 32 levels deep");

    EXPECT_EQ(errorOf([&] { applySetting(p, "OverSampling=fast"); }),
              "parameters.OverSampling: expected a number (got \"fast\"); it must be a whole number from 2 to 30");
    EXPECT_EQ(errorOf([&] { applySetting(p, "Nope=1"); }), "unknown field parameters.Nope");
    EXPECT_EQ(errorOf([&] { applySetting(p, "OverSampling"); }),
              "a setting must read NAME=VALUE, as in OverSampling=8 (got \"OverSampling\")");
    EXPECT_EQ(errorOf([&] { applySetting(p, "=3"); }),
              "a setting must read NAME=VALUE, as in OverSampling=8 (got \"=3\")");
    EXPECT_EQ(errorOf([&] { applySetting(p, "slot..RAslotGain=1"); }), "\"slot..RAslotGain\" is not a field name");
}

TEST(ParameterOverrides, SettingsJsonIsTakenBackWhole) {
    Parameters p = model::InitializeParameters();
    p.OverSampling = 30;
    p.ProjectedLength = 983040;
    p.IdleSlotGain = -12.25;
    p.slot.DATAslotMod[15] = 3;
    p.slot.RAslotGain[0] = 0.1;
    p.slot.RPCslotGain(15, 58) = 7.5;  // last slot, last channel: rows and columns not swapped
    p.slot.RPCslotActive(2, 0) = 0;
    p.slot.RPCslotActive(0, 40) = 1;

    const auto j = model::settingsJson(p);
    EXPECT_EQ(j.begin().key(), "ParameterFileFormat_ID") << "the record's order, not the alphabet's";
    EXPECT_TRUE(j["OverSampling"].is_number_integer());
    EXPECT_TRUE(j["DATAsourceName"].is_null());
    ASSERT_EQ(j["slot"]["RAslotGain"].size(), 16u);
    EXPECT_EQ(j["slot"]["RAslotGain"][0].get<double>(), 0.1);
    ASSERT_EQ(j["slot"]["RPCslotGain"].size(), 16u);
    ASSERT_EQ(j["slot"]["RPCslotGain"][15].size(), 59u);
    EXPECT_EQ(j["slot"]["RPCslotGain"][15][58].get<double>(), 7.5);

    // Through text, as a script hands it back.
    Parameters back = model::InitializeParameters();
    applyOverrides(back, json::parse(j.dump()));
    EXPECT_EQ(back, p);
}
