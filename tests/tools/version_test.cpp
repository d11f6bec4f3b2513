// One version wherever a user, a recording or an instrument controller reads it: the About box's
// revision, the SigMF recorder, the simulator's *IDN? and every --version line.
#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <unistd.h>

#include "model/records.h"
#include "tests/hwio/sim_process.h"
#include "tests/tools/zuno_gen_run.h"
#include "zuno_version.h"

namespace fs = std::filesystem;

TEST(OneVersion, AboutRecorderIdentityAndVersionLinesAgree) {
    const std::string version(zuno::kVersion);
    EXPECT_EQ(model::InitializeAppInfo().Rev, version);

    testsupport::SimProcess sim;
    const std::string idn = sim.ask("*IDN?");
    EXPECT_EQ(idn.substr(idn.rfind(',') + 1), version) << idn;

    EXPECT_EQ(zunoGen("--version").text, "zuno-gen " + version + "\n");
    const fs::path dir = fs::temp_directory_path() / ("zuno-version-test-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const auto run = zunoGen("--set OverSampling=2 --seed 1 --format sigmf --out " + (dir / "w").string());
    ASSERT_EQ(run.status, 0) << run.text;
    std::ifstream meta(dir / "w.sigmf-meta");
    const auto json = nlohmann::json::parse(std::string(std::istreambuf_iterator<char>(meta), {}));
    EXPECT_EQ(json["global"]["core:recorder"], "zuno-gen " + version);
    fs::remove_all(dir);
}
