// What the Measure window writes of an analysis: the summary, the slot table, the code-domain
// bars with the channel on each code, and the ideal constellation points.
#include <gmock/gmock.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

#include "plots/core/measure_text.h"

using testing::ElementsAre;
using testing::HasSubstr;

namespace {

analyzer::Result sample() {
    analyzer::Result r;
    r.sampleRate = 6144000;
    r.oversampling = 5;
    r.pnOffset = 17;
    r.frameStartChips = 1234.5678;
    r.frequencyErrorHz = -0.126;
    r.rho = 0.9999876;
    r.rhoPilot = 0.99999;
    r.evmRmsPercent = 0.352;
    r.evmPeakPercent = 1.5;
    r.rhoWholeFrame = 0.512;
    r.evmRmsPercentWholeFrame = 97.63;
    r.channelFilter = "IS-95 standard baseband filter (pass 590 kHz, stop 740 kHz)";
    r.dataSource = 5;
    r.dataBitErrors = 3;
    r.dataBits = 25600;
    r.reference.filterType = engine::FilterKind::Is95Std;
    r.reference.phaseEqActive = false;
    for (auto& s : r.slotResults) {
        s.macCodePowerI.fill(-70);
        s.macCodePowerQ.fill(-70);
        s.trafficCodePower.fill(-75);
    }
    return r;
}

plots::SummaryLine lineOf(const std::vector<plots::SummaryLine>& lines, const std::string& tag) {
    for (const auto& l : lines)
        if (l.tag == tag) return l;
    return {tag, "", "(no " + tag + ")", ""};
}

std::string valueOf(const std::vector<plots::SummaryLine>& lines, const std::string& tag) { return lineOf(lines, tag).value; }

}  // namespace

TEST(MeasureText, SummaryNamesEveryFigureWithItsUnit) {
    analyzer::Result r = sample();
    auto lines = plots::measureSummary(r);
    EXPECT_EQ(valueOf(lines, "measureRho"), "0.999988");
    EXPECT_EQ(valueOf(lines, "measureEvm"), "0.35 % rms, 1.50 % peak");
    EXPECT_EQ(valueOf(lines, "measureFrequencyError"), "-0.13 Hz");
    EXPECT_EQ(valueOf(lines, "measureFrameStart"), "1234.568 chips");
    EXPECT_EQ(valueOf(lines, "measurePnOffset"), "17");
    EXPECT_EQ(valueOf(lines, "measureDataSource"), "PN9 sequence, 3 bit errors in 25600");
    EXPECT_EQ(valueOf(lines, "measureSampleRate"), "6.1440 MHz (5 x chip rate)");
    EXPECT_EQ(valueOf(lines, "measureReference"), "IS-95 standard, equalizer off");
    EXPECT_EQ(valueOf(lines, "measureRhoWholeFrame"), "0.512000");
    EXPECT_EQ(valueOf(lines, "measureEvmWholeFrame"), "97.63 % rms");
    EXPECT_EQ(lineOf(lines, "measureRho").label, "rho (active channels)");
    EXPECT_EQ(lineOf(lines, "measureRhoWholeFrame").label, "rho (whole frame)");
    EXPECT_EQ(valueOf(lines, "measureChannelFilter"), "IS-95 standard baseband filter (pass 590 kHz, stop 740 kHz)");
    r.referenceFound = true;
    r.referencesTried = 6;
    EXPECT_EQ(valueOf(plots::measureSummary(r), "measureReference"), "IS-95 standard, equalizer off (found: the best fit of 6)");
    r.referenceFound = false;
    EXPECT_EQ(valueOf(lines, "measureFrameRead"), "whole, within the capture");
    r.cyclic = true;
    EXPECT_EQ(valueOf(plots::measureSummary(r), "measureFrameRead"), "as one repeating frame");
    r.cyclic = false;

    // Other readings of the same samples, and a frame without traffic.
    r.alternatives = {{33, 2258.5}, {49, 3282.5}};
    r.dataSource.reset();
    r.dataBitErrors.reset();
    r.frequencyErrorHz = -0.001;  // rounds to zero: no sign
    lines = plots::measureSummary(r);
    EXPECT_EQ(valueOf(lines, "measureFrequencyError"), "0.00 Hz");
    EXPECT_EQ(valueOf(lines, "measurePnOffset"), "17 (also fits 33, 49)");
    EXPECT_EQ(lineOf(lines, "measurePnOffset").detail, "PN offset 33, frame start 2258.500 chips\nPN offset 49, frame start 3282.500 chips");
    // A frame of pilots only: a few in the line, every one in the detail.
    r.alternatives.clear();
    for (int k = 1; k < 32; ++k) r.alternatives.push_back({(17 + 16 * k) % 512, 1024.0 * k});
    lines = plots::measureSummary(r);
    EXPECT_EQ(valueOf(lines, "measurePnOffset"), "17 (also fits 33, 49, 65, ... 31 in all)");
    const std::string all = lineOf(lines, "measurePnOffset").detail;
    EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 30);
    EXPECT_EQ(valueOf(lines, "measureDataSource"), "none (no traffic)");
}

// Doubts head the summary, other sectors' pilots follow the data source, one per line; a clean
// reading of one sector has neither line.
TEST(MeasureText, SummaryLeadsWithTheWarningsAndListsOtherPilots) {
    analyzer::Result r = sample();
    const std::size_t clean = plots::measureSummary(r).size();
    EXPECT_EQ(valueOf(plots::measureSummary(r), "measureWarnings"), "(no measureWarnings)");
    EXPECT_EQ(valueOf(plots::measureSummary(r), "measureOtherPilots"), "(no measureOtherPilots)");
    r.warnings = {"slot 3 called idle, but the data positions hold power that fits no constellation",
                  "rho 0.500000 is far below rho pilot 0.990000: the channels may be misread"};
    r.otherPilots = {{37, -6.04, 2.304}, {101, -15.5, -7.6}};
    const auto lines = plots::measureSummary(r);
    ASSERT_EQ(lines.size(), clean + 2);
    EXPECT_EQ(lines.front().tag, "measureWarnings");
    EXPECT_EQ(lines.front().value, r.warnings[0] + "\n" + r.warnings[1]);
    EXPECT_EQ(valueOf(lines, "measureOtherPilots"), "PN 37 at -6.04 dB, delay 2.30 chips\nPN 101 at -15.50 dB, delay -7.60 chips");
    const auto source = std::find_if(lines.begin(), lines.end(), [](const auto& l) { return l.tag == "measureDataSource"; });
    ASSERT_NE(source + 1, lines.end());
    EXPECT_EQ(source[1].tag, "measureOtherPilots");
}

// The receiver's figures (clock, IQ errors) in the reading's column or the quality's; the
// carrier read only when it is not the centre one.
TEST(MeasureText, ClockIqErrorsAndCarrierHaveTheirColumns) {
    analyzer::Result r = sample();
    r.clockErrorPpm = -19.987;
    r.iqOffsetDbc = -38.24;
    r.iqGainImbalanceDb = 0.5;
    r.iqQuadratureErrorDeg = -1.234;
    auto lines = plots::measureSummary(r);
    EXPECT_EQ(valueOf(lines, "measureClockError"), "-19.99 ppm");
    EXPECT_EQ(valueOf(lines, "measureIqErrors"), "origin offset -38.2 dBc, gain imbalance 0.50 dB, quadrature error -1.23\u00b0");
    EXPECT_EQ(lineOf(lines, "measureIqErrors").column, 0);
    EXPECT_EQ(lineOf(lines, "measureClockError").column, 1);
    EXPECT_EQ(lineOf(lines, "measureRho").column, 0);
    EXPECT_EQ(lineOf(lines, "measurePnOffset").column, 1);
    EXPECT_EQ(valueOf(lines, "measureCarrierOffset"), "(no measureCarrierOffset)");
    r.carrierOffsetHz = -1250000;
    EXPECT_EQ(valueOf(plots::measureSummary(r), "measureCarrierOffset"), "-1250.000 kHz from the centre");
}

TEST(MeasureText, EchoesAndFramesOnlyWhenThereAreAny) {
    analyzer::Result r = sample();
    r.channel.assign(33, {});
    r.channel[16] = 1;
    r.channel[15] = 0.01;  // -40 dB: too weak to name
    auto lines = plots::measureSummary(r);
    EXPECT_EQ(valueOf(lines, "measureChannel"), "(no measureChannel)");
    EXPECT_EQ(valueOf(lines, "measureRhoEqualized"), "(no measureRhoEqualized)");
    EXPECT_EQ(valueOf(lines, "measureFrames"), "(no measureFrames)");

    r.channel[21] = std::polar(0.5, -std::numbers::pi / 2);  // 2.5 chips after the main ray, -6 dB
    r.channel[12] = 0.1;                                     // 2 chips before it, -20 dB
    r.rhoEqualized = 0.9999;
    r.frames.resize(2);
    lines = plots::measureSummary(r);
    EXPECT_EQ(valueOf(lines, "measureChannel"), "-2.0 chips: -20.00 dB, 0.0\u00b0\n+2.5 chips: -6.02 dB, -90.0\u00b0");
    EXPECT_EQ(lineOf(lines, "measureChannel").column, 1);
    EXPECT_EQ(valueOf(lines, "measureRhoEqualized"), "0.999900");
    EXPECT_EQ(lineOf(lines, "measureRhoEqualized").column, 0);
    EXPECT_THAT(valueOf(lines, "measureFrames"), HasSubstr("2, the figures averaged"));
}

TEST(MeasureText, FrameRowsShowADashWhereNoFrameWasRead) {
    analyzer::FrameSummary read{16384.25, 9, -12.345, 3.456, 0.9999, 0.99995, 1.234, "kept", {}};
    EXPECT_THAT(plots::frameRow(read, 2),
                ElementsAre("2", "16384.250", "kept", "-12.35", "3.46", "0.999900", "0.999950", "1.23", ""));
    EXPECT_EQ(plots::frameRow(read, 2).size(), plots::kFrameColumns.size());
    analyzer::FrameSummary none;
    none.startChips = 32768;
    none.lock = "none";
    none.warnings = {"no pilot", "short"};
    EXPECT_THAT(plots::frameRow(none, 3), ElementsAre("3", "32768.000", "none", "\u2014", "\u2014", "\u2014", "\u2014",
                                                      "\u2014", "no pilot; short"));
}

TEST(MeasureText, SlotRowsAndTheirRpcChannels) {
    analyzer::SlotResult s;
    s.macActive = true;
    s.ra = analyzer::ChannelReading{1, -3};
    s.rpc[0] = analyzer::ChannelReading{0, -6.5};    // MAC index 5
    s.rpc[58] = analyzer::ChannelReading{1, 10};     // MAC index 63
    s.traffic = analyzer::Modulation::Qam16;
    s.trafficPowerDb = -0.004;
    s.rho = 0.99995;
    s.evmRmsPercent = 0.7071;
    EXPECT_THAT(plots::slotRow(s, 3),
                ElementsAre("3", "active", "bit 1, -3.00 dB", "2", "16-QAM", "0.00", "\u2014", "0.999950", "0.71"));
    EXPECT_EQ(plots::rpcChannelsText(s), "MAC index 5: bit 0, -6.50 dB\nMAC index 63: bit 1, 10.00 dB");
    EXPECT_EQ(plots::slotRow(s, 3).size(), plots::kSlotColumns.size());

    analyzer::SlotResult idle;
    idle.idlePowerDb = -10.02;
    EXPECT_THAT(plots::slotRow(idle, 16), ElementsAre("16", "idle", "off", "0", "idle", "\u2014", "-10.02", "0.000000", "0.00"));
    EXPECT_EQ(plots::rpcChannelsText(idle), "No RPC channel on");
}

TEST(MeasureText, EachChannelLightsTheBarOfItsWalshCodeAndBranch) {
    analyzer::SlotResult s = sample().slotResults[0];
    // RA on MAC index 4 and RPC on MAC index 5 (the two branches), as the analyzer places them.
    s.ra = analyzer::ChannelReading{0, -3};
    s.rpc[0] = analyzer::ChannelReading{1, -7.25};
    const int ra = analyzer::macWalshFunction(4) + (analyzer::macOnQuadrature(4) ? plots::kMacQFirstBar : 0);
    const int rpc = analyzer::macWalshFunction(5) + (analyzer::macOnQuadrature(5) ? plots::kMacQFirstBar : 0);
    ASSERT_NE(ra, rpc);
    (ra < plots::kMacQFirstBar ? s.macCodeOnI[ra] : s.macCodeOnQ[ra - plots::kMacQFirstBar]) = true;
    (rpc < plots::kMacQFirstBar ? s.macCodePowerI[rpc] : s.macCodePowerQ[rpc - plots::kMacQFirstBar]) = -7.25;
    (rpc < plots::kMacQFirstBar ? s.macCodeOnI[rpc] : s.macCodeOnQ[rpc - plots::kMacQFirstBar]) = true;
    s.traffic = analyzer::Modulation::Qpsk;
    s.trafficCodePower[15] = -12;

    const auto bars = plots::codeDomainBars(s);
    ASSERT_EQ(bars.size(), std::size_t(plots::kCodeBars));
    std::vector<int> on;
    for (const auto& b : bars) {
        EXPECT_EQ(b.position, double(&b - bars.data()));
        if (b.on && b.position < plots::kTrafficFirstBar) on.push_back(int(b.position));
    }
    EXPECT_THAT(on, ElementsAre(std::min(ra, rpc), std::max(ra, rpc)));
    EXPECT_EQ(bars[std::size_t(rpc)].powerDb, -7.25);
    EXPECT_TRUE(bars[plots::kTrafficFirstBar].on);
    EXPECT_EQ(bars[plots::kCodeBars - 1].powerDb, -12);

    EXPECT_EQ(plots::codeBarText(s, rpc), "MAC Q, Walsh 34 (MAC index 5): -7.25 dB, on, bit 1");
    EXPECT_EQ(plots::codeBarText(s, ra), "MAC I, Walsh 2 (MAC index 4, RA): -70.00 dB, on, bit 0");
    EXPECT_EQ(plots::codeBarText(s, 40), "MAC I, Walsh 40: -70.00 dB, off");  // no MAC index rides there
    EXPECT_EQ(plots::codeBarText(s, plots::kCodeBars - 1), "Traffic, Walsh 15: -12.00 dB, on");
    EXPECT_EQ(plots::codeBarText(s, plots::kCodeBars), "");
    EXPECT_EQ(plots::codeBarText(s, -1), "");

    // A slot without traffic shows its traffic codes as unused.
    s.traffic = analyzer::Modulation::Idle;
    EXPECT_FALSE(plots::codeDomainBars(s)[plots::kTrafficFirstBar].on);
}

TEST(MeasureText, IdealPointsAtUnitMeanPower) {
    EXPECT_TRUE(plots::idealConstellation(analyzer::Modulation::Idle).empty());
    for (auto [m, count] : {std::pair{analyzer::Modulation::Qpsk, 4u}, {analyzer::Modulation::Psk8, 8u},
                            {analyzer::Modulation::Qam16, 16u}}) {
        const dsp::CVec points = plots::idealConstellation(m);
        ASSERT_EQ(points.size(), count) << plots::modulationName(m);
        double power = 0;
        for (std::size_t a = 0; a < points.size(); ++a) {
            power += std::norm(points[a]);
            for (std::size_t b = 0; b < a; ++b) EXPECT_GT(std::abs(points[a] - points[b]), 0.3);  // all distinct
        }
        EXPECT_NEAR(power / double(count), 1, 1e-12) << plots::modulationName(m);
    }
}

TEST(MeasureText, PositionsAndIdealMacPointsOfTheFramesSlots) {
    analyzer::Result r;
    r.slotResults[0].macActive = true;
    r.slotResults[0].traffic = analyzer::Modulation::Psk8;
    EXPECT_EQ(plots::chipKind(r, 0), plots::ChipKind::Traffic);
    EXPECT_EQ(plots::chipKind(r, 400), plots::ChipKind::Mac);
    EXPECT_EQ(plots::chipKind(r, 464), plots::ChipKind::Pilot);
    EXPECT_EQ(plots::chipKind(r, 1024 + 623), plots::ChipKind::Mac);
    EXPECT_EQ(plots::chipKind(r, 1024 + 624), plots::ChipKind::Traffic);
    EXPECT_EQ(plots::chipKind(r, 2048), plots::ChipKind::Idle);         // slot 2: nothing on
    EXPECT_EQ(plots::chipKind(r, 2048 + 410), plots::ChipKind::Idle);
    EXPECT_EQ(plots::chipKind(r, 32767 - 500), plots::ChipKind::Pilot);

    analyzer::SlotResult s;
    s.ra = analyzer::ChannelReading{1, 0};      // MAC index 4: I
    s.rpc[2] = analyzer::ChannelReading{0, -6};  // MAC index 7: Q
    const dsp::CVec ideal = plots::idealMacPoints(s);
    ASSERT_EQ(ideal.size(), 2u);
    EXPECT_EQ(ideal[0], dsp::cplx(-1, 0));
    EXPECT_NEAR(ideal[1].imag(), std::pow(10, -6 / 20.0), 1e-12);
    EXPECT_EQ(ideal[1].real(), 0);
}

TEST(MeasureText, CsvKeepsCommasAndQuotesInsideTheirFields) {
    analyzer::Result r = sample();
    r.channelFilter = "a \"quoted\", filter";
    const std::string csv = plots::measureCsv(r);
    EXPECT_NE(csv.find("\n\"Measured after\",\"a \"\"quoted\"\", filter\"\n"), std::string::npos) << csv;
    // 1 heading, the summary, a blank line, the table's heading and 16 rows.
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), long(1 + plots::measureSummary(r).size() + 1 + 1 + 16));
}
