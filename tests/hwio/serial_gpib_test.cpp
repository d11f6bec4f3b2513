#include <gmock/gmock.h>

#include <cstdlib>

#include "hwio/link.h"
#include "sim_process.h"
#include "zuno_version.h"

using testing::HasSubstr;
using testsupport::SimProcess;

namespace {

hwio::Config serial(const std::string& handshake = "Xon/Xoff", std::int32_t baud = 9600) {
    hwio::Config c;
    c.type = "RS232";
    c.RS232 = hwio::Config::Rs232{1, baud, handshake};
    return c;
}

hwio::Options on(const std::string& device) {
    hwio::Options o;
    o.serialDevice = device;
    o.timeout = 2;
    return o;
}

hwio::Config gpib(std::int32_t primary, std::int32_t secondary = -1) {
    hwio::Config c;
    c.type = "GPIB";
    c.GPIB = hwio::Config::Gpib{0, primary, secondary};
    return c;
}

hwio::Options standIn() {
    hwio::Options o;
    o.gpibLibrary = (testsupport::buildDir() / "tests" / "gpib-standin" / "libgpib.so.0").string();
    o.timeout = 2;
    return o;
}

}  // namespace

TEST(SerialLink, TalksToTheInstrumentOverAPseudoTerminal) {
    SimProcess sim({"--serial"});
    ASSERT_FALSE(sim.serial().empty());
    const auto o = on(sim.serial());
    for (const char* handshake : {"Xon/Xoff", "RTS/CTS", "none"}) {
        const auto r = hwio::hwIO(hwio::kPing, serial(handshake, 19200), {}, nullptr, o);
        EXPECT_EQ(r.status, 0) << handshake << ": " << r.response;
        EXPECT_EQ(r.response, "Zuno,Simulated Signal Generator,SIM0001," + std::string(zuno::kVersion));
    }
    EXPECT_EQ(hwio::hwIO(hwio::kSend, serial(), " :source:freq:fix 3000000000Hz", nullptr, o).status, 0);
    EXPECT_EQ(sim.state()["frequency"], 3e9);
    auto r = hwio::hwIO(hwio::kSend, serial(), " :source:freq:fix 7000000000Hz", nullptr, o);
    EXPECT_EQ(r.response, "The instrument reported: -222,\"Data out of range\"");

    std::vector<std::complex<double>> iq(3000);
    for (std::size_t k = 0; k < iq.size(); ++k) iq[k] = {std::cos(k * 0.01), std::sin(k * 0.013)};
    std::vector<std::uint8_t> m1(iq.size(), 1), m2(iq.size(), 0);
    hwio::Waveform w;
    w.iq = iq;
    w.marker1 = m1;
    w.marker2 = m2;
    w.name = "SERIAL";
    r = hwio::hwIO(hwio::kDownload, serial(), {}, &w, o);
    ASSERT_EQ(r.status, 0) << r.response;
    EXPECT_EQ(sim.samples("SERIAL"), hwio::iqBytes(iq, "norm", 1));
    EXPECT_EQ(sim.markers("SERIAL"), std::string(iq.size(), '\x01'));
    EXPECT_EQ(hwio::hwIO(hwio::kLocal, serial(), {}, nullptr, o).status, 0);
    EXPECT_FALSE(sim.state()["remote"]);
}

TEST(SerialLink, SettingsThePortCannotTakeAreRefused) {
    SimProcess sim({"--serial"});
    const auto o = on(sim.serial());
    auto r = hwio::hwIO(hwio::kPing, serial("Xon"), {}, nullptr, o);
    EXPECT_EQ(r.status, hwio::kBadArgument);
    EXPECT_THAT(r.response, HasSubstr("RS232.handshake \"Xon\" is not Xon/Xoff, RTS/CTS or None"));
    r = hwio::hwIO(hwio::kPing, serial("None", 12345), {}, nullptr, o);
    EXPECT_EQ(r.status, hwio::kBadArgument);
    EXPECT_THAT(r.response, HasSubstr("RS232.baudrate 12345"));
    r = hwio::hwIO(hwio::kPing, serial(), {}, nullptr, on("/dev/no-such-port"));
    EXPECT_EQ(r.status, hwio::kConnectFailed);
    EXPECT_THAT(r.response, HasSubstr("Cannot open the serial port /dev/no-such-port"));
    r = hwio::hwIO(hwio::kPing, serial(), {}, nullptr, on("/dev/null"));
    EXPECT_THAT(r.response, HasSubstr("/dev/null is not a serial port"));
    auto c = serial();
    c.RS232->port = 0;
    EXPECT_THAT(hwio::hwIO(hwio::kPing, c).response, HasSubstr("RS232.port 0 is not a serial port number"));
}

TEST(GpibLink, GoesThroughTheRunTimeLoadedLibrary) {
    SimProcess sim;
    ::setenv("ZUNO_GPIB_SIM", std::to_string(sim.port()).c_str(), 1);
    ::setenv("ZUNO_GPIB_PAD", "19", 1);
    const auto o = standIn();
    auto r = hwio::hwIO(hwio::kPing, gpib(19), {}, nullptr, o);
    EXPECT_EQ(r.status, 0) << r.response;
    EXPECT_EQ(r.response, "Zuno,Simulated Signal Generator,SIM0001," + std::string(zuno::kVersion));
    r = hwio::hwIO(hwio::kSend, gpib(19), ":OUTP:STAT ON", nullptr, o);
    EXPECT_EQ(r.status, 0) << r.response;
    EXPECT_TRUE(sim.state()["output"]);
    r = hwio::hwIO(hwio::kSend, gpib(19), ":source:dm:bbfilter 3MHz", nullptr, o);
    EXPECT_EQ(r.response, "The instrument reported: -224,\"Illegal parameter value\"");

    std::vector<std::complex<double>> iq{{1, 0}, {0, -1}, {0.5, 0.5}};
    hwio::Waveform w;
    w.iq = iq;
    w.name = "BUS";
    r = hwio::hwIO(hwio::kDownload, gpib(19), {}, &w, o);
    ASSERT_EQ(r.status, 0) << r.response;
    EXPECT_EQ(sim.samples("BUS"), hwio::iqBytes(iq, "norm", 1));
    EXPECT_EQ(hwio::hwIO(hwio::kLocal, gpib(19), {}, nullptr, o).status, 0);
    EXPECT_FALSE(sim.state()["remote"]);

    r = hwio::hwIO(hwio::kPing, gpib(7), {}, nullptr, o);
    EXPECT_EQ(r.status, hwio::kConnectFailed);
    EXPECT_THAT(r.response, HasSubstr("GPIB0 primary address 7"));
    EXPECT_THAT(r.response, HasSubstr("no device listens at that address"));
    r = hwio::hwIO(hwio::kPing, gpib(31), {}, nullptr, o);
    EXPECT_EQ(r.status, hwio::kBadArgument);
    EXPECT_THAT(r.response, HasSubstr("GPIB.primary 31"));
    r = hwio::hwIO(hwio::kPing, gpib(19, 40), {}, nullptr, o);
    EXPECT_THAT(r.response, HasSubstr("GPIB.secondary 40"));
}

TEST(GpibLink, MissingLibrarySaysWhatToInstall) {
    hwio::Options o;
    o.gpibLibrary = "libgpib-not-installed.so.0";
    const auto r = hwio::hwIO(hwio::kPing, gpib(19), {}, nullptr, o);
    EXPECT_EQ(r.status, hwio::kNoDriver);
    EXPECT_THAT(r.response, HasSubstr("GPIB needs the linux-gpib library libgpib-not-installed.so.0"));
    EXPECT_THAT(r.response, HasSubstr("or connect the instrument over TCP/IP"));
}
