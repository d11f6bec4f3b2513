#include "model/carrier_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "host/core/mat_file.h"
#include "model/parameter_file.h"
#include "model/settings_source.h"

namespace fs = std::filesystem;
using testing::HasSubstr;

namespace {

model::CarrierPlan samplePlan() {
    model::CarrierPlan plan;
    model::Parameters own = model::InitializeParameters();
    own.PilotOffsetIndex = 300;
    own.DATAchnActive = 1;
    plan.carriers = {model::Carrier{-1250000, 0, {}, {}}, model::Carrier{0, -3, {}, 17},
                     model::Carrier{1250000, -6.5, own, {}}};
    plan.noiseCnDb = 20;
    plan.crestDb = 8;
    plan.quantizeOffsets = true;
    return plan;
}

void expectSame(const model::CarrierPlan& a, const model::CarrierPlan& b) {
    ASSERT_EQ(a.carriers.size(), b.carriers.size());
    for (std::size_t i = 0; i < a.carriers.size(); ++i) {
        EXPECT_EQ(a.carriers[i].offsetHz, b.carriers[i].offsetHz);
        EXPECT_EQ(a.carriers[i].gainDb, b.carriers[i].gainDb);
        EXPECT_EQ(a.carriers[i].pnOffset, b.carriers[i].pnOffset);
        ASSERT_EQ(a.carriers[i].parameters.has_value(), b.carriers[i].parameters.has_value());
        if (a.carriers[i].parameters) {
            EXPECT_EQ(*a.carriers[i].parameters, *b.carriers[i].parameters);
        }
    }
    EXPECT_EQ(a.noiseCnDb, b.noiseCnDb);
    EXPECT_EQ(a.crestDb, b.crestDb);
    EXPECT_EQ(a.quantizeOffsets, b.quantizeOffsets);
}

}  // namespace

// Both file forms keep every carrier setting, and the parameter record beside them is untouched.
TEST(CarrierFile, ParameterFilesAndJsonKeepThePlanBesideTheParameters) {
    const fs::path dir = fs::temp_directory_path() / ("carrier-file-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const model::CarrierPlan plan = samplePlan();
    model::Parameters main = model::InitializeParameters();
    main.PilotOffsetIndex = 44;

    const std::string mat = (dir / "p.mat").string();
    host::writeMatFile(mat, model::parameterFileVariables(main, plan));
    expectSame(model::carrierPlanFrom(mat), plan);
    EXPECT_EQ(model::readParameterFile(mat), main);
    // A file of one frame holds fileParameters alone, as before.
    EXPECT_FALSE(model::parameterFileVariables(main).hasField(model::kCarrierFileVariable));

    const std::string json = (dir / "p.json").string();
    std::ofstream(json) << nlohmann::json{{"PilotOffsetIndex", 44}, {"waveform", model::carrierPlanJson(plan)}}.dump();
    expectSame(model::carrierPlanFrom(json), plan);
    EXPECT_EQ(model::parametersFrom(json).PilotOffsetIndex, 44);

    std::ofstream(json) << R"({"waveform": {"carriers": [{"offset_hz": 1e6, "gain": 1}]}})";
    try {
        model::carrierPlanFrom(json);
        FAIL() << "no error";
    } catch (const std::invalid_argument& e) {
        EXPECT_THAT(e.what(), HasSubstr("waveform.carriers[0].gain is not a setting"));
    }
    std::ofstream(json) << R"({"waveform": {"carriers": [{"offset_hz": 1e6, "pn_offset": 600}]}})";
    EXPECT_THROW(model::carrierPlanFrom(json), std::invalid_argument);
    fs::remove_all(dir);
}
