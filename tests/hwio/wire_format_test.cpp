#include <gmock/gmock.h>

#include "hwio/link.h"
#include "hwio/transport.h"

using testing::HasSubstr;

namespace {

std::string addressError(const std::string& address) {
    try {
        hwio::parseTcpipAddress(address);
    } catch (const hwio::LinkError& e) {
        EXPECT_EQ(e.status(), hwio::kBadArgument);
        return e.what();
    }
    return "(accepted)";
}

int word(const std::string& bytes, std::size_t at) {
    return static_cast<std::int16_t>((static_cast<unsigned char>(bytes[at]) << 8) | static_cast<unsigned char>(bytes[at + 1]));
}

}  // namespace

TEST(TcpipAddress, HostPortAndSocketResourceForms) {
    auto e = hwio::parseTcpipAddress("10.1.2.3");
    EXPECT_EQ(e.host, "10.1.2.3");
    EXPECT_EQ(e.port, 5025);
    e = hwio::parseTcpipAddress(" siggen.lab:5026 ");
    EXPECT_EQ(e.host, "siggen.lab");
    EXPECT_EQ(e.port, 5026);
    e = hwio::parseTcpipAddress("TCPIP0::192.168.0.7::5025::SOCKET");
    EXPECT_EQ(e.host, "192.168.0.7");
    EXPECT_EQ(e.port, 5025);
    e = hwio::parseTcpipAddress("tcpip1::gen-2::6000::socket");
    EXPECT_EQ(e.host, "gen-2");
    EXPECT_EQ(e.port, 6000);
    e = hwio::parseTcpipAddress("[::1]:7000");
    EXPECT_EQ(e.host, "::1");
    EXPECT_EQ(e.port, 7000);
    EXPECT_FALSE(e.vxi11);
}

TEST(TcpipAddress, Vxi11ResourcesWithTheirPortmapperPort) {
    auto e = hwio::parseTcpipAddress("TCPIP0::10.1.2.3::INSTR");
    EXPECT_TRUE(e.vxi11);
    EXPECT_EQ(e.host, "10.1.2.3");
    EXPECT_FALSE(e.portGiven) << "the portmapper's usual port, or the option's";
    EXPECT_EQ(e.device, "inst0");
    e = hwio::parseTcpipAddress("tcpip::gen-2::inst1::instr");
    EXPECT_EQ(e.host, "gen-2");
    EXPECT_EQ(e.device, "inst1");
    e = hwio::parseTcpipAddress("TCPIP0::127.0.0.1:4111::INSTR");
    EXPECT_EQ(e.host, "127.0.0.1");
    EXPECT_TRUE(e.portGiven);
    EXPECT_EQ(e.port, 4111);
    e = hwio::parseTcpipAddress("TCPIP0::[::1]:4111::gpib0,19::INSTR");
    EXPECT_EQ(e.host, "::1");
    EXPECT_EQ(e.port, 4111);
    EXPECT_EQ(e.device, "gpib0,19");
}

TEST(TcpipAddress, EverythingElseIsRefusedWithAReason) {
    EXPECT_THAT(addressError(""), HasSubstr("TCPIP.address is empty"));
    EXPECT_THAT(addressError("0.0.0.0"), HasSubstr("placeholder 0.0.0.0"));
    EXPECT_THAT(addressError("host:"), HasSubstr("not a number from 1 to 65535"));
    EXPECT_THAT(addressError("host:70000"), HasSubstr("\"70000\""));
    EXPECT_THAT(addressError("host:0"), HasSubstr("from 1 to 65535"));
    EXPECT_THAT(addressError("my host"), HasSubstr("the character ' '"));
    EXPECT_THAT(addressError("TCPIP0::10.0.0.1::5025"), HasSubstr("TCPIP0::host::port::SOCKET"));
    EXPECT_THAT(addressError("TCPIP0::10.0.0.1::a::b::INSTR"), HasSubstr("TCPIP0::host::INSTR"));
    EXPECT_THAT(addressError("TCPIP0::10.0.0.1::in st0::INSTR"), HasSubstr("no VXI-11 device name"));
    EXPECT_THAT(addressError("TCPIP0::0.0.0.0::INSTR"), HasSubstr("placeholder 0.0.0.0"));
    EXPECT_THAT(addressError("TCPIP0::h:0::INSTR"), HasSubstr("from 1 to 65535"));
    EXPECT_THAT(addressError("TCPIPX::h::1::SOCKET"), HasSubstr("TCPIP or TCPIPn"));
    EXPECT_THAT(addressError("[::1"), HasSubstr("bracket"));
}

TEST(DownloadBytes, IqIsNormalisedBigEndianSixteenBit) {
    const std::vector<std::complex<double>> iq{{0.5, -0.25}, {-2.0, 1.0}, {0.0, 0.0}};
    const std::string b = hwio::iqBytes(iq, "norm", 1);
    ASSERT_EQ(b.size(), 12u);
    EXPECT_EQ(word(b, 0), 8192);  // 0.5 / 2 of full scale, rounded
    EXPECT_EQ(word(b, 2), -4096);
    EXPECT_EQ(word(b, 4), -32767);  // the largest magnitude is full scale
    EXPECT_EQ(word(b, 6), 16384);
    EXPECT_EQ(static_cast<unsigned char>(b[4]), 0x80);
    EXPECT_EQ(static_cast<unsigned char>(b[5]), 0x01);

    // Without "norm" the values are fractions of full scale, clipped.
    const std::string raw = hwio::iqBytes(iq, "none", 1);
    EXPECT_EQ(word(raw, 0), 16384);
    EXPECT_EQ(word(raw, 4), -32767);
    // Half scale keeps the proportions.
    EXPECT_EQ(word(hwio::iqBytes(iq, "NORM", 0.5), 4), -16384);
    // Silence stays silent.
    EXPECT_EQ(hwio::iqBytes(std::vector<std::complex<double>>(2), "norm", 1), std::string(8, '\0'));
    EXPECT_THROW(hwio::iqBytes(std::vector<std::complex<double>>{{NAN, 0}}, "norm", 1), std::invalid_argument);
}

TEST(DownloadBytes, MarkersShareOneBytePerSample) {
    const std::vector<std::uint8_t> m1{1, 0, 1, 0}, m2{0, 0, 1, 1};
    EXPECT_EQ(hwio::markerBytes(m1, m2, 4), std::string("\x01\x00\x03\x02", 4));
    EXPECT_EQ(hwio::markerBytes(m1, {}, 4), std::string("\x01\x00\x01\x00", 4));
}

TEST(HwIO, InterfaceMisuseThrowsButLinkProblemsReturnAStatus) {
    hwio::Config c;
    c.type = "TCPIP";
    EXPECT_THROW(hwio::hwIO(6, c), std::invalid_argument);
    EXPECT_THROW(hwio::hwIO(hwio::kDownload, c), std::invalid_argument);
    auto r = hwio::hwIO(hwio::kPing, c);
    EXPECT_EQ(r.status, hwio::kBadArgument);
    EXPECT_THAT(r.response, HasSubstr("no TCPIP.address"));
    c.type = "USB";
    r = hwio::hwIO(hwio::kPing, c);
    EXPECT_EQ(r.status, hwio::kBadArgument);
    EXPECT_THAT(r.response, HasSubstr("\"USB\" is not GPIB, RS232 or TCPIP"));
}
