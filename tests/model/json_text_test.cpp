// JSON from outside: limits on what is parsed and bounded quotes of what is refused.
#include "model/json_text.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "model/parameter_overrides.h"
#include "model/records.h"

namespace {

using nlohmann::json;

json nested(int depth) {
    json v = json::array();
    for (int i = 0; i < depth; ++i) v = json::array({std::move(v)});
    return v;
}

std::string refusal(auto&& action) {
    try {
        action();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(accepted)";
}

TEST(JsonText, ExcerptsAreBoundedWhateverTheValue) {
    EXPECT_EQ(model::jsonExcerpt(nested(100000)), std::string(60, '[') + "...");
    EXPECT_EQ(model::jsonExcerpt(json::parse(R"({"a":[1,2.5,"x"],"b":{"c":null}})")), R"({"a":[1,2.5,"x"],"b":{"c":null}})");
    EXPECT_EQ(model::jsonExcerpt(json(std::string(1 << 20, 'y')), 10), "\"yyyyyyyyy...");
    EXPECT_EQ(model::jsonExcerpt(json::array({json::array(), json::object()})), "[[],{}]");
    EXPECT_EQ(model::textExcerpt("line\nend"), model::textExcerpt("line\nend", 100));
    EXPECT_EQ(model::textExcerpt(std::string(1000, 'z'), 5), "zzzzz...");
}

TEST(JsonText, ParsingStopsAtTheLimits) {
    const std::string deep = std::string(80000, '[') + std::string(80000, ']');
    EXPECT_EQ(refusal([&] { model::parseJsonLimited(deep); }), "lists and objects are nested more than 32 levels deep");
    EXPECT_EQ(refusal([&] { model::parseJsonLimited(std::string(34, '[') + std::string(34, ']')); }),
              "lists and objects are nested more than 32 levels deep");
    EXPECT_EQ(refusal([&] { model::parseJsonLimited(std::string(33, '[') + std::string(33, ']')); }), "(accepted)");
    EXPECT_EQ(refusal([&] { model::parseJsonLimited("[1,2,3,4]", {32, 4, 100}); }), "it holds more than 4 values");
    EXPECT_EQ(refusal([&] { model::parseJsonLimited("[1,2,3]", {32, 4, 100}); }), "(accepted)");
    EXPECT_EQ(refusal([&] { model::parseJsonLimited(std::string(200, ' ') + "1", {32, 4, 100}); }),
              "the text is longer than 0 MB");
}

// Every way settings arrive quotes a bad value by its start only, however deep or long it is.
TEST(JsonText, SettingsRefusalsQuoteABoundedStart) {
    model::Parameters p = model::InitializeParameters();
    const std::string deepMessage = refusal([&] { model::applyOverrides(p, {{"OverSampling", nested(100000)}}); });
    EXPECT_EQ(deepMessage, "parameters.OverSampling: expected a number (got " + std::string(60, '[') +
                                "...); it must be a whole number from 2 to 30");
    const std::string longName(1 << 20, 'n');
    EXPECT_LT(refusal([&] { model::applyOverrides(p, {{longName, 1}}); }).size(), 200u);
    EXPECT_LT(refusal([&] { model::applySetting(p, longName); }).size(), 200u);
    EXPECT_LT(refusal([&] { model::applySetting(p, longName + "=1"); }).size(), 200u);
    EXPECT_LT(refusal([&] { model::applySetting(p, "OverSampling=\"" + longName + "\""); }).size(), 200u);
    EXPECT_EQ(refusal([&] { model::applySetting(p, "OverSampling=" + std::string(80000, '[')); }),
              "OverSampling: lists and objects are nested more than 32 levels deep");
}

}  // namespace
