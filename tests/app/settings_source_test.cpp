#include "app/core/settings_source.h"

#include <gtest/gtest.h>

#include <fstream>

#include "app/core/parameter_file.h"
#include "host/core/mat_file.h"
#include "tests/support/scratch_dir.h"

using SettingsSource = testsupport::ScratchDirTest;

TEST_F(SettingsSource, ParameterFilesByExtensionJsonOtherwise) {
    app::Parameters p = app::InitializeParameters();
    p.PilotOffsetIndex = 77;
    app::writeParameterFile(path("lab.MAT"), p);
    EXPECT_EQ(app::parametersFrom(path("lab.MAT")), p) << "the extension in any case";

    std::ofstream(path("lab.json")) << R"({"PilotOffsetIndex": 5, "slot": {"RAslotGain": -6}})";
    const app::Parameters fromJson = app::parametersFrom(path("lab.json"));
    EXPECT_EQ(fromJson.PilotOffsetIndex, 5);
    EXPECT_EQ(fromJson.slot.RAslotGain, app::slotFill(-6));
    EXPECT_EQ(fromJson.OverSampling, app::InitializeParameters().OverSampling) << "over the defaults";

    // The application's two-line refusal comes on one line.
    host::Value other = host::Value::record();
    other.set("samples", host::Value(1.0));
    host::writeMatFile(path("other.mat"), other);
    EXPECT_EQ(testsupport::failureOf([&] { app::parametersFrom(path("other.mat")); }),
              path("other.mat") + " has an Invalid File Format.");
}
