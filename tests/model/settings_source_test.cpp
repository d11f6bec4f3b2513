#include "model/settings_source.h"

#include <gtest/gtest.h>

#include <fstream>

#include "model/parameter_file.h"
#include "host/core/mat_file.h"
#include "tests/support/scratch_dir.h"

using SettingsSource = testsupport::ScratchDirTest;

TEST_F(SettingsSource, ParameterFilesByExtensionJsonOtherwise) {
    model::Parameters p = model::InitializeParameters();
    p.PilotOffsetIndex = 77;
    model::writeParameterFile(path("lab.MAT"), p);
    EXPECT_EQ(model::parametersFrom(path("lab.MAT")), p) << "the extension in any case";

    std::ofstream(path("lab.json")) << R"({"PilotOffsetIndex": 5, "slot": {"RAslotGain": -6}})";
    const model::Parameters fromJson = model::parametersFrom(path("lab.json"));
    EXPECT_EQ(fromJson.PilotOffsetIndex, 5);
    EXPECT_EQ(fromJson.slot.RAslotGain, model::slotFill(-6));
    EXPECT_EQ(fromJson.OverSampling, model::InitializeParameters().OverSampling) << "over the defaults";

    // The application's two-line refusal comes on one line.
    host::Value other = host::Value::record();
    other.set("samples", host::Value(1.0));
    host::writeMatFile(path("other.mat"), other);
    EXPECT_EQ(testsupport::failureOf([&] { model::parametersFrom(path("other.mat")); }),
              path("other.mat") + " has an Invalid File Format.");
}
