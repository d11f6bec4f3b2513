// pyvisa-py (Debian python3-pyvisa-py) as an independent client of zuno-sim.
#include <gmock/gmock.h>

#include <memory>

#include "tests/hwio/sim_process.h"
#include "tests/tools/zuno_gen_run.h"

using testsupport::SimProcess;

namespace {

constexpr int kMissing = 77;
const char* const kMissingText = "pyvisa-py is not installed (Debian: python3-pyvisa python3-pyvisa-py)";

testsupport::CommandOutput pyvisa(const std::string& resource) {
    return testsupport::runCommand("timeout 60 /usr/bin/python3 " + std::string(ZUNO_PYVISA_CLIENT) + " '" + resource +
                                   "'");
}

// What pyvisa-py stored with a binary block: 1, -2, 3, -4 as big-endian 16-bit words.
const std::string kBlock("\x00\x01\xff\xfe\x00\x03\xff\xfc", 8);

}  // namespace

TEST(PyvisaClient, TheNewCommandsOverTheRawSocket) {
    SimProcess sim;
    const auto run = pyvisa("TCPIP0::127.0.0.1::" + std::to_string(sim.port()) + "::SOCKET");
    if (run.status == kMissing) GTEST_SKIP() << kMissingText;
    EXPECT_EQ(run.status, 0) << run.text;
    EXPECT_EQ(sim.samples("PYVISA"), kBlock);
}

// pyvisa-py asks the portmapper on port 111 only.
TEST(PyvisaClient, Vxi11WhereTheSimulatorHoldsPort111) {
    std::unique_ptr<SimProcess> sim;
    try {
        sim = std::make_unique<SimProcess>(std::vector<std::string>{"--portmapper", "111"});
    } catch (const std::runtime_error& e) {
        GTEST_SKIP() << "port 111 cannot be had here, so VXI-11 is tested with our own client only: " << e.what();
    }
    const auto run = pyvisa("TCPIP0::127.0.0.1::INSTR");
    if (run.status == kMissing) GTEST_SKIP() << kMissingText;
    EXPECT_EQ(run.status, 0) << run.text;
    EXPECT_EQ(sim->samples("PYVISA"), kBlock);

    // Our own client finds it where pyvisa-py does, with no port given.
    const auto gen = zunoGen("--seed 3 --set OverSampling=2 --download TCPIP0::127.0.0.1::INSTR --title ON_111");
    EXPECT_EQ(gen.status, 0) << gen.text;
    EXPECT_EQ(sim->state()["arb"]["waveform"], "ON_111");
}

// Without root: zuno-sim --netns runs the client in a network of its own, where the simulator
// holds port 111, and ends with the client's exit status.
TEST(PyvisaClient, Vxi11InTheSimulatorsOwnNetwork) {
    const std::string sim = testsupport::simulatorPath() + " --netns";
    const auto probe = testsupport::runCommand(sim + " -- sh -c 'exit 3'");
    if (probe.text.find("cannot make a user and network namespace") != std::string::npos)
        GTEST_SKIP() << "unprivileged user namespaces are switched off here: " << probe.text;
    EXPECT_EQ(probe.status, 3) << probe.text;
    EXPECT_THAT(probe.text, testing::HasSubstr("portmapper port 111")) << "port 111 without root";

    const auto run = testsupport::runCommand("timeout 120 " + sim + " -- /usr/bin/python3 " +
                                             std::string(ZUNO_PYVISA_CLIENT) + " TCPIP0::127.0.0.1::INSTR");
    if (run.status == kMissing) GTEST_SKIP() << kMissingText;
    EXPECT_EQ(run.status, 0) << run.text;
    EXPECT_THAT(run.text, testing::HasSubstr("ok"));

    // Without a namespace the command runs beside it all the same.
    EXPECT_EQ(testsupport::runCommand(testsupport::simulatorPath() + " --port 0 --portmapper 0 -- sh -c 'exit 4'").status,
              4);
    EXPECT_EQ(testsupport::runCommand(sim + " -- /nonexistent/program").status, 127);
}
