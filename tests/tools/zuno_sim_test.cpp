#include <gmock/gmock.h>

#include <cstdio>
#include <sys/wait.h>

#include "tests/hwio/sim_process.h"
#include "tests/tools/zuno_gen_run.h"
#include "zuno_version.h"

using testing::HasSubstr;
using testsupport::SimProcess;

namespace {

const char* const kNoError = "0,\"No error\"";

// The command, then the error it left (or "no error").
std::string run(const SimProcess& sim, const std::string& command) { return sim.ask(command + ";:SYST:ERR?"); }

using Output = testsupport::CommandOutput;

}  // namespace

TEST(ZunoSim, TakesBothPlaybackVariantsInLongShortAndMixedCase) {
    SimProcess sim;
    // A waveform to select first.
    sim.ask(":MEM:DATA \"arbi:W1\",#18" + std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8) + ";*OPC?");
    for (const char* line :
         {" :source:rad:arb:state off", " :source:rad:arb:wav \"arbi:W1\" ", " :source:freq:fix 2200000000Hz",
          " :source:power:level:immediate:amplitude -30dbm", " :source:rad:arb:clock:srate 6144000Hz",
          " :source:dm:bbfilter 2.1MHz", " :source:rad:ARB:rscaling 95", ":source:DM:IQAT:AUTO off", ":source:DM:IQAT 0",
          " :pow:alc:state off", " :source:rad:arb:marker:rfblank on", " :source:rad:arb:marker:polarity Neg",
          " :source:rad:arb:clock:ref ext", " :source:rad:arb:state on", " :output:state on",
          " :source:rad:arb:rfilter 250.0khz", " :source:rad:arb:rfilter 2.5Mhz", " :source:rad:arb:rfilter 8Mhz",
          " :source:rad:arb:rfilter through", " :source:dm:bbfilter 40MHz", " :source:dm:bbfilter Through",
          ":SOURce:FREQuency:CW 3GHZ", "FREQ 2.5e9", ":sour:pow:lev:imm:ampl -12.5DBM", "POWer -20",
          ":SOURCE:RADIO:ARB:CLOCK:SRATE 10MHz", "OUTPut1:STATe ON", ":OUTP 1"})
        EXPECT_EQ(run(sim, line), kNoError) << line;
    const auto st = sim.state();
    EXPECT_EQ(st["frequency"], 2.5e9);
    EXPECT_EQ(st["power"], -20);
    EXPECT_EQ(st["arb"]["sampleRate"], 10e6);
    EXPECT_EQ(st["arb"]["waveform"], "W1");
    EXPECT_EQ(st["arb"]["reconstructionFilter"], "THR");
    EXPECT_EQ(st["arb"]["markerPolarity"], "NEG");
    EXPECT_TRUE(st["arb"]["markerRfBlank"]);
    EXPECT_TRUE(st["arb"]["state"]);
    EXPECT_TRUE(st["output"]);
    EXPECT_FALSE(st["alc"]);
    EXPECT_FALSE(st["dm"]["iqAttenuationAuto"]);
    // Queries, and headers relative to the one before in the same message.
    EXPECT_EQ(sim.ask(":FREQ?;:POW?;:RAD:ARB:CLOCK:SRATE?;REF?"), "2500000000;-20;10000000;EXT");
    EXPECT_EQ(sim.ask("*IDN?"), "Zuno,Simulated Signal Generator,SIM0001," + std::string(zuno::kVersion));
    EXPECT_EQ(sim.ask("*OPC?"), "1");
}

TEST(ZunoSim, ErrorQueueHasTheStandardNumbers) {
    SimProcess sim;
    EXPECT_EQ(run(sim, ":source:rad:arb:bogus on"), "-113,\"Undefined header\"");
    EXPECT_EQ(run(sim, ":FREQ 7GHz"), "-222,\"Data out of range\"");
    EXPECT_EQ(run(sim, ":FREQ 50kHz"), "-222,\"Data out of range\"");
    EXPECT_EQ(run(sim, ":POW 21"), "-222,\"Data out of range\"");
    EXPECT_EQ(run(sim, ":RAD:ARB:RSC 0.5"), "-222,\"Data out of range\"");
    EXPECT_EQ(run(sim, ":DM:IQAT 41"), "-222,\"Data out of range\"");
    EXPECT_EQ(run(sim, ":RAD:ARB:CLOC:SRAT 101MHz"), "-222,\"Data out of range\"");
    EXPECT_EQ(run(sim, ":FREQ 1 furlong"), "-131,\"Invalid suffix\"");
    EXPECT_EQ(run(sim, ":FREQ high"), "-104,\"Data type error\"");
    EXPECT_EQ(run(sim, ":OUTP maybe"), "-224,\"Illegal parameter value\"");
    EXPECT_EQ(run(sim, ":DM:BBF 3MHz"), "-224,\"Illegal parameter value\"");
    EXPECT_EQ(run(sim, ":RAD:ARB:MARK:POL sideways"), "-224,\"Illegal parameter value\"");
    EXPECT_EQ(run(sim, ":OUTP"), "-109,\"Missing parameter\"");
    EXPECT_EQ(run(sim, ":RAD:ARB:WAV \"arbi:NONE\""), "-256,\"File name not found\"");
    EXPECT_EQ(run(sim, ":RAD:ARB:STAT ON"), "-221,\"Settings conflict\"");
    EXPECT_EQ(run(sim, ":MEM:DATA \"arbi:X\",#13abc"), "-161,\"Invalid block data\"");
    EXPECT_EQ(run(sim, ":MEM:DATA:MARK \"arbi:X\",#11a"), "-256,\"File name not found\"");
    sim.ask(":MEM:DATA \"arbi:X\",#14abcd;*OPC?");
    EXPECT_EQ(run(sim, ":MEM:DATA:MARK \"arbi:X\",#12ab"), "-161,\"Invalid block data\"");
    EXPECT_EQ(run(sim, ":MEM:DATA:MARK \"arbi:x\",#11" + std::string(1, '\x03')), kNoError);

    // The queue keeps its order until read; *CLS empties it, *RST restores the settings.
    sim.ask(":OUTP maybe;:FREQ 0;*OPC?");
    EXPECT_EQ(sim.state()["errors"].size(), 2u);
    EXPECT_EQ(sim.ask(":SYST:ERR?"), "-224,\"Illegal parameter value\"");
    sim.ask("*CLS;:FREQ 3e9;*OPC?");
    EXPECT_TRUE(sim.state()["errors"].empty());
    EXPECT_EQ(sim.ask(":SYSTEM:ERROR:NEXT?"), kNoError);
    sim.ask("*RST;*OPC?");
    EXPECT_EQ(sim.state()["frequency"], 1e9);
    EXPECT_EQ(sim.ask(":MEM:CAT?"), "\"X\"");
}

TEST(ZunoSim, FaultSwitchesAndUnknownCommandsToReject) {
    {
        SimProcess sim({"--reject", "POWer"});
        EXPECT_EQ(run(sim, ":source:power:level:immediate:amplitude -30dbm"), "-221,\"Settings conflict\"");
        EXPECT_EQ(run(sim, ":FREQ 1GHz"), kNoError);
    }
    {
        SimProcess sim({"--garbage"});
        EXPECT_NE(sim.ask("*IDN?").find('\xfe'), std::string::npos);
        EXPECT_NO_THROW(sim.state()) << "the simulator's own queries stay readable";
        // zuno-gen shows the junk escaped, never raw on the terminal.
        const Output junk = zunoGen("--seed 3 --set OverSampling=2 --download " + sim.address());
        EXPECT_EQ(junk.text.find_first_of(std::string("\x01\xfe\x7f", 3)), std::string::npos) << junk.text;
    }
    EXPECT_THROW(SimProcess({"--reject", ":no:such:command"}), std::runtime_error);
}

TEST(ZunoGenDownload, DownloadsAndPlaysWithSettingsFromTheCommandLine) {
    SimProcess sim;
    const Output ok = zunoGen("--seed 3 --download " + sim.address() +
                              " --title BENCH_7 --set SigGenSettings.Frequency=1e9 --set SigGenSettings.ALC=1");
    EXPECT_EQ(ok.status, 0) << ok.text;
    EXPECT_THAT(ok.text, HasSubstr("download: Waveform \"BENCH_7\" stored: 163840 samples with markers."));
    EXPECT_THAT(ok.text, HasSubstr(" :source:freq:fix 1000000000Hz -> 0,\"No error\""));
    EXPECT_THAT(ok.text, HasSubstr("playback: \"BENCH_7\" is playing"));
    const auto st = sim.state();
    EXPECT_EQ(st["memory"]["BENCH_7"]["samples"], 163840);
    EXPECT_EQ(st["frequency"], 1e9);
    EXPECT_TRUE(st["alc"]);
    EXPECT_TRUE(st["output"]);

    // A power outside the settings' range is refused before the instrument is asked; one the
    // instrument rejects stops the playback.
    EXPECT_THAT(zunoGen("--seed 3 --download " + sim.address() + " --set SigGenSettings.Amplitude=40").text,
                HasSubstr("SigGenSettings.Amplitude is 40; it must be a whole number from -136 to 20 dBm"));
    SimProcess picky({"--reject", ":POWer"});
    const Output rejected = zunoGen("--seed 3 --download " + picky.address() + " --set SigGenSettings.Amplitude=-40");
    EXPECT_EQ(rejected.status, 1);
    EXPECT_THAT(rejected.text, HasSubstr("playback failed: Line 4 (\" :source:power:level:immediate:amplitude -40dbm\") "
                                         "failed: The instrument reported: -221,\"Settings conflict\""));
    const Output refused = zunoGen("--seed 3 --download 127.0.0.1:1");
    EXPECT_EQ(refused.status, 1);
    EXPECT_THAT(refused.text, HasSubstr("download failed: Cannot connect"));
    EXPECT_THAT(zunoGen("--set SigGenSettings.Colour=1 --download 127.0.0.1:1").text,
                HasSubstr("SigGenSettings has no field 'Colour'"));
    EXPECT_THAT(zunoGen("--set SigGenSettings.Frequency=high --download 127.0.0.1:1").text,
                HasSubstr("SigGenSettings.Frequency takes a number, not 'high'"));
    EXPECT_THAT(zunoGen("--title X").text, HasSubstr("--title names the waveform of --download"));
}

// The settings panel's rule: capitals, only the characters a name may hold, at most 20 of them.
TEST(ZunoGenDownload, TitlesAreTakenAsThePanelTakesThemAndPrinted) {
    SimProcess sim;
    Output run = zunoGen("--seed 3 --download " + sim.address() + " --title 'my wave.1'");
    EXPECT_EQ(run.status, 0) << run.text;
    EXPECT_THAT(run.text, HasSubstr("title: MYWAVE1\n"));
    EXPECT_THAT(run.text, HasSubstr("playback: \"MYWAVE1\" is playing"));
    run = zunoGen("--seed 3 --download " + sim.address() + " --set SigGenSettings.Title=abcdefghij_klmnopqrstuvwxyz");
    EXPECT_THAT(run.text, HasSubstr("title: ABCDEFGHIJ_KLMNOPQRS\n"));
    run = zunoGen("--seed 3 --download " + sim.address() + " --title '...'");
    EXPECT_THAT(run.text, HasSubstr("title: BLANK\n"));
    const auto st = sim.state();
    for (const char* name : {"MYWAVE1", "ABCDEFGHIJ_KLMNOPQRS", "BLANK"}) EXPECT_TRUE(st["memory"].contains(name)) << name;
}

TEST(ZunoGenDownload, OverVxi11WithThePortmappersPort) {
    SimProcess sim;
    const Output run = zunoGen("--seed 3 --download TCPIP0::127.0.0.1::INSTR --portmapper " +
                               std::to_string(sim.portmapper()) + " --title VXI");
    EXPECT_EQ(run.status, 0) << run.text;
    EXPECT_THAT(run.text, HasSubstr("playback: \"VXI\" is playing"));
    const auto st = sim.state();
    EXPECT_EQ(st["memory"]["VXI"]["samples"], 163840);
    EXPECT_EQ(st["arb"]["waveform"], "VXI");
    EXPECT_TRUE(st["output"]);
}

TEST(ZunoSim, StatusRegistersAndCommonCommands) {
    SimProcess sim;
    EXPECT_EQ(sim.ask("*ESR?"), "128") << "power on";
    EXPECT_EQ(sim.ask("*ESR?"), "0") << "reading clears it";
    sim.tell("*ESE 60;*SRE 32");
    EXPECT_EQ(sim.ask("*ESE?;*SRE?"), "60;32");
    EXPECT_EQ(sim.ask("*STB?"), "0");
    sim.tell(":FREQ 7GHz");  // an execution error: EAV, and ESB with the service request bit
    EXPECT_EQ(sim.ask("*STB?"), "100");
    EXPECT_EQ(sim.ask("*IDN?;*STB?"), "Zuno,Simulated Signal Generator,SIM0001," + std::string(zuno::kVersion) + ";116") << "MAV: an answer waits";
    EXPECT_EQ(sim.ask(":SYST:ERR:COUN?"), "1");
    EXPECT_EQ(sim.ask("*ESR?;*STB?"), "16;20") << "read, ESB is gone; the error and an answer wait";
    sim.tell("*CLS");
    EXPECT_EQ(sim.ask(":SYST:ERR:COUN?"), "0");
    EXPECT_EQ(sim.ask("*STB?"), "0");
    EXPECT_EQ(sim.ask("*OPC;*ESR?"), "1");
    EXPECT_EQ(sim.ask("*TST?;*OPT?;*WAI;:SYSTem:VERSion?"), "0;002;1999.0");
    EXPECT_EQ(run(sim, "*ESE 256"), "-222,\"Data out of range\"");
    EXPECT_EQ(run(sim, "*SRE"), "-109,\"Missing parameter\"");
    EXPECT_EQ(run(sim, "*IDN"), "-113,\"Undefined header\"");
    EXPECT_EQ(sim.ask("*ESR?"), "48") << "command and execution errors";
    SimProcess small({"--memory", "8388608"});
    EXPECT_EQ(small.ask("*OPT?"), "001");
}

TEST(ZunoSim, NumericSettingsTakeMinimumMaximumAndDefault) {
    SimProcess sim;
    EXPECT_EQ(sim.ask(":FREQ? MAX;:FREQ? MIN;:FREQ? DEF"), "6000000000;100000;1000000000");
    EXPECT_EQ(sim.ask(":POW MAX;:POW?;:POW MINimum;:POW?"), "20;-136");
    EXPECT_EQ(sim.ask(":RAD:ARB:CLOC:SRAT? maximum;:RAD:ARB:RSC 50;:RAD:ARB:RSC DEF;:RAD:ARB:RSC?"), "100000000;100");
    EXPECT_EQ(sim.ask(":DM:IQAT MAX;:DM:IQAT?"), "40");
    EXPECT_EQ(run(sim, ":FREQ? HIGH"), "-224,\"Illegal parameter value\"");
    EXPECT_EQ(run(sim, ":FREQ MAXI"), "-104,\"Data type error\"");
}

TEST(ZunoSim, ThePlayingWaveformIsNotDeleted) {
    SimProcess sim;
    sim.ask(":MEM:DATA \"arbi:W1\",#14abcd;:RAD:ARB:WAV \"arbi:W1\";:RAD:ARB ON;*OPC?");
    EXPECT_EQ(run(sim, ":MEM:DEL \"arbi:w1\""), "-221,\"Settings conflict\"");
    EXPECT_EQ(sim.ask(":MEM:CAT?"), "\"W1\"");
    EXPECT_EQ(run(sim, ":RAD:ARB OFF;:MEM:DEL \"arbi:W1\""), kNoError);
    EXPECT_EQ(sim.ask(":MEM:CAT?"), "\"\"");
}
