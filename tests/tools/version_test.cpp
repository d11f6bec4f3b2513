// One version wherever a user, a recording or an instrument controller reads it: the About box's
// revision, the SigMF recorder, the simulator's *IDN? and every --version line.
#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

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

// Every program prints the same line shape with the same version, the window program without a display.
TEST(OneVersion, EveryProgramsVersionLine) {
    std::vector<std::pair<std::string, std::string>> programs = {
        {"zuno-gen", ZUNO_GEN_PATH}, {"zuno-ana", ZUNO_ANA_PATH}, {"zuno-sim", testsupport::simulatorPath()}};
#ifdef ZUNO_FWD_PATH
    programs.emplace_back("zuno-fwd", ZUNO_FWD_PATH);
#endif
    for (const auto& [name, path] : programs) {
        const auto run = testsupport::runCommand("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + path + " --version");
        EXPECT_EQ(run.status, 0) << name;
        EXPECT_EQ(run.text, name + " " + std::string(zuno::kVersion) + "\n");
    }
}
