#include <gmock/gmock.h>

#include <cstdio>
#include <sys/wait.h>

#include "tests/hwio/sim_process.h"

using testing::HasSubstr;
using testsupport::SimProcess;

namespace {

const char* const kNoError = "0,\"No error\"";

// The command, then the error it left (or "no error").
std::string run(const SimProcess& sim, const std::string& command) { return sim.ask(command + ";:SYST:ERR?"); }

struct Output {
    int status;
    std::string text;
};

Output zunoGen(const std::string& args) {
    const std::string cmd = std::string(ZUNO_GEN_PATH) + " " + args + " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    std::string text;
    char buf[4096];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, p)) text.append(buf, n);
    const int status = pclose(p);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text};
}

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
    EXPECT_EQ(sim.ask("*IDN?"), "Zuno,Simulated Signal Generator,SIM0001,1.0");
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

    const Output rejected = zunoGen("--seed 3 --download " + sim.address() + " --set SigGenSettings.Amplitude=40");
    EXPECT_EQ(rejected.status, 1);
    EXPECT_THAT(rejected.text, HasSubstr("playback failed: Line 4 (\" :source:power:level:immediate:amplitude 40dbm\") "
                                         "failed: The instrument reported: -222,\"Data out of range\""));
    const Output refused = zunoGen("--seed 3 --download 127.0.0.1:1");
    EXPECT_EQ(refused.status, 1);
    EXPECT_THAT(refused.text, HasSubstr("download failed: Cannot connect"));
    EXPECT_THAT(zunoGen("--set SigGenSettings.Colour=1 --download 127.0.0.1:1").text,
                HasSubstr("SigGenSettings has no field 'Colour'"));
    EXPECT_THAT(zunoGen("--set SigGenSettings.Frequency=high --download 127.0.0.1:1").text,
                HasSubstr("SigGenSettings.Frequency takes a number, not 'high'"));
    EXPECT_THAT(zunoGen("--title X").text, HasSubstr("--title names the waveform of --download"));
}
