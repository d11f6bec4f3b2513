// zuno-ana on the generator's files in every format, its JSON, and its refusals.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <nlohmann/json.hpp>

#include "tests/analyzer/receiver.h"
#include "tests/support/scratch_dir.h"
#include "tests/tools/zuno_gen_run.h"

namespace {

testsupport::CommandOutput zunoAna(const std::string& args) {
    return testsupport::runCommand(std::string(ZUNO_ANA_PATH) + " " + args);
}

class ZunoAna : public testsupport::ScratchDirTest {};

TEST_F(ZunoAna, ReadsEveryFormatOfTheGeneratorAndTheApplication) {
    // Traffic of the PN9 source in every slot, RA on, PN offset 70, mirror on, R = 3.
    const std::string frame =
        "--seed 3 --set OverSampling=3 --set PilotOffsetIndex=70 --set MirrorSpectrum=1 --set DATAchnActive=1 "
        "--set MACchnActive=1 --set slot.DATAslotActive=1 --set slot.RAslotActive=1 --set DATAsourceType=5 "
        "--set slot.DATAslotMod=3 --set IdleSlotGainActive=0";
    const struct {
        const char* genFormat;
        const char* file;
        const char* anaArgs;
    } cases[] = {
        {"cf64", "a.cf64", ""},
        {"cf32", "a.cf32", ""},
        {"ci16be", "a.ci16be", ""},
        {"mat", "a.mat", ""},
        {"ascii", "b.mat", ""},
        {"sigmf", "s", ""},
        {"cf64", "noext", "--format cf64 --rate 3686400"},
        {"torvik", "t.bin", "--format=torvik"},
        {"ascii", "c.dat", "--format ascii"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const auto gen = zunoGen(frame + " --format " + c.genFormat + " --out " + path(c.file));
        ASSERT_EQ(gen.status, 0) << gen.text;
        for (const std::string& input : {path(c.file), std::string(c.genFormat) == "sigmf" ? path("s.sigmf-meta") : path(c.file)}) {
            const auto ana = zunoAna(input + " --json " + c.anaArgs);
            ASSERT_EQ(ana.status, 0) << ana.text;
            const auto j = nlohmann::json::parse(ana.text);
            EXPECT_EQ(j["sample_rate"], 3686400.0);
            EXPECT_EQ(j["oversampling"], 3);
            EXPECT_EQ(j["pn_offset"], 70);
            EXPECT_EQ(j["mirror_spectrum"], 1);
            EXPECT_NEAR(j["frame_start_chips"].get<double>(), 0, 0.02);
            EXPECT_NEAR(j["frequency_error_hz"].get<double>(), 0, 0.5);
            const bool sixteenBits = std::string(c.genFormat) == "ci16be" || std::string(c.genFormat) == "torvik";
            EXPECT_GT(j["rho"].get<double>(), sixteenBits ? 0.999 : 0.9999);
            EXPECT_EQ(j["data_source"], 5);
            EXPECT_EQ(j["data_bit_errors"], 0);
            ASSERT_EQ(j["slots"].size(), 16u);
            for (const auto& s : j["slots"]) {
                EXPECT_EQ(s["mac"], "active");
                EXPECT_EQ(s["traffic"], "16-QAM");
                EXPECT_EQ(s["rpc"].size(), 59u);
                for (const auto& c : s["rpc"]) EXPECT_TRUE(c.is_null() || (c.contains("bit") && c.contains("gain_db")));
                EXPECT_TRUE(s["idle_power_db"].is_null());
                for (const char* key : {"ra_bit", "ra_gain_db", "traffic_power_db", "rho"}) EXPECT_TRUE(s.contains(key));
            }
            for (const char* key : {"rho_pilot", "evm_rms_percent", "evm_peak_percent", "rho_whole_frame",
                                    "evm_rms_percent_whole_frame", "channel_filter", "reference_filter", "alternatives"})
                EXPECT_TRUE(j.contains(key)) << key;
            EXPECT_EQ(j["cyclic"], true);
        }
    }
    // The readable summary and its per-slot table.
    const auto text = zunoAna(path("a.cf64"));
    EXPECT_EQ(text.status, 0);
    EXPECT_NE(text.text.find("PN offset 70, frame start 0.000 chips"), std::string::npos) << text.text;
    EXPECT_NE(text.text.find("data source 5 (PN9), 0 bit errors in 102400 bits"), std::string::npos) << text.text;
    EXPECT_NE(text.text.find("  16  active"), std::string::npos) << text.text;

    // The reference left to be found: the standard filter without equalizer that made this frame,
    // said in the JSON and the summary.
    ASSERT_EQ(zunoGen(frame + " --set FilterType=2 --set PhaseEq=0 --format cf64 --out " + path("std.cf64")).status, 0);
    const auto found = nlohmann::json::parse(zunoAna(path("std.cf64") + " --reference auto --json").text);
    EXPECT_EQ(found["reference_filter"], "std");
    EXPECT_EQ(found["reference_equalizer"], 0);
    EXPECT_EQ(found["reference_found"], true);
    EXPECT_GT(found["rho"].get<double>(), 0.9999);
    EXPECT_NE(zunoAna(path("std.cf64") + " --reference auto --no-eq").text.find("reference: filter std, equalizer off (best fit found)"),
              std::string::npos);

    // A frame and a half of the repeating output whose slot 1 starts three quarters in: no whole
    // frame follows the start, so the first frame's worth is read as cyclic, and said so.
    {
        std::ifstream in(path("a.cf64"), std::ios::binary);
        const std::string one((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::size_t quarter = one.size() / 4;
        std::ofstream(path("long.cf64"), std::ios::binary) << one.substr(quarter) << one.substr(0, 3 * quarter);
    }
    const auto longJson = zunoAna(path("long.cf64") + " --rate 3686400 --json");
    ASSERT_EQ(longJson.status, 0) << longJson.text;
    const auto lj = nlohmann::json::parse(longJson.text);
    EXPECT_EQ(lj["cyclic"], true);
    EXPECT_NEAR(lj["frame_start_chips"].get<double>(), 24576, 0.02);
    EXPECT_GT(lj["rho"].get<double>(), 0.9999);
    EXPECT_EQ(lj["data_bit_errors"], 0);
    EXPECT_NE(zunoAna(path("long.cf64") + " --rate 3686400").text.find("read as one repeating frame: the first 98304 samples (no whole frame "
                                                   "follows the start found)"),
              std::string::npos);

    // Readings that round to zero print without a sign (this frame reads -1e-10 chips, -1e-10 Hz).
    ASSERT_EQ(zunoGen("--seed 3 --set MACchnActive=1 --set DATAchnActive=1 --set OverSampling=8 "
                      "--set PilotOffsetIndex=77 --set slot.DATAslotMod=[1,2,3,1,2,3,1,2,3,1,2,3,1,2,3,1] --out " +
                      path("z.cf32") + " --format cf32")
                  .status,
              0);
    const auto zero = zunoAna(path("z.cf32"));
    EXPECT_FALSE(std::regex_search(zero.text, std::regex(R"(-0\.0+(?![0-9]))"))) << zero.text;
}

// A capture as an SDR takes it: 2.5 MHz, a carrier 1.5 kHz off, a clock 15 ppm fast, two frames.
TEST_F(ZunoAna, ReadsACaptureAtARateThatIsNoMultipleOfTheChipRate) {
    ASSERT_EQ(zunoGen("--seed 4 --set OverSampling=2 --set PilotOffsetIndex=123 --set DATAchnActive=1 --set MACchnActive=1 "
                      "--set slot.DATAslotActive=1 --set slot.RAslotActive=1 --set DATAsourceType=6 --set IdleSlotGainActive=0 "
                      "--format cf64 --out " + path("r2.cf64"))
                  .status,
              0);
    std::ifstream in(path("r2.cf64"), std::ios::binary);
    dsp::CVec frame(32768 * 2);
    in.read(reinterpret_cast<char*>(frame.data()), static_cast<std::streamsize>(frame.size() * sizeof(dsp::cplx)));
    ASSERT_TRUE(in);
    analyzertest::Receiver rx;
    rx.rate = 2.5e6, rx.frequencyHz = 1500, rx.clockPpm = 15, rx.startChips = 1000.25, rx.snrDb = 40;
    dsp::Rng rng(2);
    const dsp::CVec x = analyzertest::receive(frame, 2, rx, rng);
    {
        std::ofstream out(path("sdr.cf32"), std::ios::binary);
        for (const dsp::cplx& v : x) {
            const float iq[2] = {static_cast<float>(v.real()), static_cast<float>(v.imag())};
            out.write(reinterpret_cast<const char*>(iq), sizeof iq);
        }
    }
    const auto ana = zunoAna(path("sdr.cf32") + " --rate 2500000 --json");
    ASSERT_EQ(ana.status, 0) << ana.text;
    const auto j = nlohmann::json::parse(ana.text);
    EXPECT_EQ(j["sample_rate"], 2500000.0);
    EXPECT_EQ(j["oversampling"], 2);
    EXPECT_EQ(j["pn_offset"], 123);
    EXPECT_NEAR(j["frame_start_chips"].get<double>(), 32768 - 1000.25, 0.01);
    EXPECT_NEAR(j["frequency_error_hz"].get<double>(), 1500, 1);
    EXPECT_NEAR(j["clock_error_ppm"].get<double>(), 15, 0.2);
    EXPECT_LT(j["iq_offset_dbc"].get<double>(), -50);
    EXPECT_NEAR(j["iq_gain_imbalance_db"].get<double>(), 0, 0.02);
    EXPECT_NEAR(j["iq_quadrature_error_deg"].get<double>(), 0, 0.1);
    EXPECT_GT(j["rho"].get<double>(), 0.999);
    EXPECT_EQ(j["data_source"], 6);
    EXPECT_EQ(j["data_bit_errors"], 0);
    EXPECT_EQ(j["cyclic"], false);
    const auto text = zunoAna(path("sdr.cf32") + " --rate 2500000");
    EXPECT_NE(text.text.find(" samples at 2500000 Hz (R = 2, resampled)"), std::string::npos) << text.text;
    EXPECT_NE(text.text.find("sample clock error 15.0"), std::string::npos) << text.text;
}

TEST_F(ZunoAna, BadInputEndsWithAMessageAndNonZeroStatus) {
    ASSERT_EQ(zunoGen("--seed 1 --set OverSampling=2 --out " + path("f.cf32") + " --format cf32").status, 0);
    std::ofstream(path("short.cf64"), std::ios::binary) << std::string(1600, '\0');
    std::ofstream(path("odd.cf32"), std::ios::binary) << std::string(7, '\0');
    std::ofstream(path("zeros.cf64"), std::ios::binary) << std::string(32768 * 2 * 16, '\0');
    std::ofstream(path("x.sigmf-meta")) << "{ not json";
    const struct {
        std::string args;
        std::string message;
    } cases[] = {
        {path("f.unknown"), "zuno-ana: the format of " + path("f.unknown") + " does not follow from its name: give --format"},
        {path("missing.cf64"), "zuno-ana: cannot read " + path("missing.cf64")},
        {path("short.cf64") + " --rate 2457600", "zuno-ana: the capture holds 100 samples; one frame at 2457600 Hz takes 65536"},
        {path("odd.cf32"), "is not a whole number of 8-byte I/Q samples (7 bytes)"},
        {path("f.cf32") + " --rate 250000000",
         "zuno-ana: the sample rate 250000000 Hz is outside what the analyzer reads, 1228800 to 200000000 Hz"},
        {path("zeros.cf64"),
         "zuno-ana: no pilot within +-25 kHz at 2457600 Hz (every PN offset, sample clocks within +-200 ppm)"},
        {path("x.sigmf-meta"), "is not a SigMF meta file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const auto r = zunoAna(c.args);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.text.find(c.message), std::string::npos) << r.text;
    }
}

// Command lines it cannot use end with status 2, the message and a pointer to --help, on one line
// each (no escaped line breaks).
TEST_F(ZunoAna, UsageErrorsEndWithStatusTwo) {
    ASSERT_EQ(zunoGen("--seed 1 --set OverSampling=2 --out " + path("f.cf32") + " --format cf32").status, 0);
    std::ofstream(path("short.cf64"), std::ios::binary) << std::string(1600, '\0');
    const struct {
        std::string args;
        std::string message;
    } cases[] = {
        {"", "zuno-ana: no input file\nTry 'zuno-ana --help' for more information.\n"},
        {path("f.cf32") + " --format wav",
         "zuno-ana: --format: unknown format \"wav\" (cf64, cf32, ci16be, ci16le, torvik, sigmf, mat or ascii)"},
        {path("f.cf32") + " --pn-offset=600", "zuno-ana: --pn-offset must be a whole number from 0 to 511"},
        {path("f.cf32") + " --reference iir", "zuno-ana: --reference must be std, acp, rect or auto, not \"iir\""},
        {path("f.cf32") + " --frames 0", "zuno-ana: --frames must be a whole number from 1 on"},
        {path("f.cf32") + " --rate", "zuno-ana: --rate needs a value (HZ)"},
        {path("f.cf32") + " --rate=fast", "zuno-ana: --rate needs a number, not \"fast\""},
        {path("f.cf32") + " --speed 3", "zuno-ana: unknown option '--speed'"},
        {path("f.cf32") + " " + path("f.cf32"), "zuno-ana: one input file only"},
        {path("short.cf64"), "does not say its sample rate and is not one frame long: give --rate"},
        {"- --rate 2457600", "zuno-ana: standard input needs --format"},
        {"- --format mat", "zuno-ana: a MAT file is read whole: it cannot be followed or read from standard input"},
        {path("f.cf32") + " --follow", "zuno-ana: --follow needs --rate, or a SigMF recording that says its rate"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const auto r = zunoAna(c.args + " < /dev/null");
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.text.find(c.message), std::string::npos) << r.text;
        EXPECT_NE(r.text.find("Try 'zuno-ana --help' for more information."), std::string::npos) << r.text;
        EXPECT_EQ(r.text.find("\\x0A"), std::string::npos) << r.text;
    }
    // Every option is described in --help, the exit statuses too.
    const auto help = zunoAna("--help");
    EXPECT_EQ(help.status, 0);
    for (const char* option : {"--format=FORMAT", "--rate=HZ", "--pn-offset=N", "--offset=HZ", "--reference=NAME", "--no-eq",
                               "--frames=N", "--follow", "--json", "--help", "--version", "2 usage error"})
        EXPECT_NE(help.text.find(option), std::string::npos) << option;
}

// --opt=value, options after "--" taken as the input, and "-" for standard input (a file or a
// pipe), as zuno-gen writes samples.
TEST_F(ZunoAna, ReadsOptionsTheUsualWaysAndStandardInput) {
    ASSERT_EQ(zunoGen("--seed 2 --set OverSampling=5 --set PilotOffsetIndex=33 --set DATAchnActive=1 --format cf64 --out " +
                      path("-lead.cf64"))
                  .status,
              0);
    for (const std::string& command :
         {"cd " + dir_.string() + " && " + ZUNO_ANA_PATH + " --json --rate=6144000 -- -lead.cf64",
          std::string(ZUNO_ANA_PATH) + " - --format cf64 --rate 6144000 --json < " + path("-lead.cf64"),
          "cat " + path("-lead.cf64") + " " + path("-lead.cf64") + " | " + ZUNO_ANA_PATH + " - --format=cf64 --rate 6144000 --json"}) {
        SCOPED_TRACE(command);
        const auto r = testsupport::runCommand(command);
        ASSERT_EQ(r.status, 0) << r.text;
        const auto j = nlohmann::json::parse(r.text);
        EXPECT_EQ(j["pn_offset"], 33);
        EXPECT_EQ(j["oversampling"], 5);
        EXPECT_GT(j["rho"].get<double>(), 0.9999);
    }
}

// Meta files built to exhaust the reader: refused with a message that quotes only a short start.
TEST_F(ZunoAna, HostileSigmfMetaIsRefusedWithAShortQuote) {
    std::ofstream(path("d.sigmf-data"), std::ios::binary) << std::string(64, '\0');
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    std::ofstream(path("d.sigmf-meta")) << R"({"global": {"core:datatype": )" << deep << "}}";
    const auto r = zunoAna(path("d.sigmf-meta"));
    EXPECT_EQ(r.status, 1) << r.text.substr(0, 300);
    EXPECT_NE(r.text.find("nested more than 32 levels deep"), std::string::npos) << r.text.substr(0, 300);

    std::string wide = R"({"global": {"core:datatype": [)";
    for (int i = 0; i < 100000; ++i) wide += "{\"a\": [1, 2, \"three\"]},";
    std::ofstream(path("d.sigmf-meta")) << wide << "0]}}";
    const auto w = zunoAna(path("d.sigmf-meta"));
    EXPECT_EQ(w.status, 1);
    EXPECT_NE(w.text.find(R"(data type [{"a":[1,2,"three"]},{"a":[1,2,"three"]},{"a":[1,2,"three"]}... is not one)"), std::string::npos) << w.text.substr(0, 300);
    EXPECT_LT(w.text.size(), 400u);
}

// A capture of several frames is read frame by frame, every whole frame unless --frames limits
// it (the samples after the last frame read then left unread, and said so).
TEST_F(ZunoAna, ACaptureIsReadFrameByFrame) {
    ASSERT_EQ(zunoGen("--seed 1 --set OverSampling=2 --set PilotOffsetIndex=9 --out " + path("f.cf32") + " --format cf32").status, 0);
    std::ifstream in(path("f.cf32"), std::ios::binary);
    const std::string frame{std::istreambuf_iterator<char>(in), {}};
    // Five frames whose first starts 1000 samples (500 chips) in: four whole ones.
    std::ofstream(path("long.cf32"), std::ios::binary) << frame.substr(frame.size() - 8000) << frame << frame << frame << frame
                                                       << frame.substr(0, frame.size() - 8000);
    const auto all = zunoAna(path("long.cf32") + " --rate 2457600 --json");
    ASSERT_EQ(all.status, 0) << all.text;
    const auto j = nlohmann::json::parse(all.text);
    EXPECT_EQ(j["pn_offset"], 9);
    EXPECT_NEAR(j["frame_start_chips"].get<double>(), 500, 0.01);
    ASSERT_EQ(j["frames"].size(), 4u);
    for (std::size_t k = 0; k < 4; ++k) {
        const auto& f = j["frames"][k];
        EXPECT_NEAR(f["frame_start_chips"].get<double>(), 500 + 32768.0 * static_cast<double>(k), 0.01);
        EXPECT_EQ(f["lock"], k == 0 ? "acquired" : "kept");
        for (const char* key : {"pn_offset", "frequency_error_hz", "clock_error_ppm", "rho", "rho_pilot", "evm_rms_percent", "warnings"})
            EXPECT_TRUE(f.contains(key)) << key;
    }
    EXPECT_FALSE(j.contains("samples_read"));

    const auto two = nlohmann::json::parse(zunoAna(path("long.cf32") + " --rate 2457600 --json --frames 2").text);
    EXPECT_EQ(two["frames"].size(), 2u);
    EXPECT_EQ(two["samples_in_file"], 5 * 65536);
    EXPECT_LT(two["samples_read"].get<double>(), 4 * 65536);
    const auto summary = zunoAna(path("long.cf32") + " --rate 2457600 --frames=3");
    EXPECT_NE(summary.text.find("327680 samples at 2457600 Hz"), std::string::npos) << summary.text;
    EXPECT_NE(summary.text.find("3 frames read; the figures are their averages"), std::string::npos) << summary.text;
    EXPECT_TRUE(std::regex_search(summary.text, std::regex(R"(\n\s+3\s+66036\.000\s+9\s.*kept)"))) << summary.text;
}

// The exit status, the output and the peak resident size (kB) of zuno-ana with `args`.
struct Measured {
    int status = -1;
    std::string text;
    long peakKb = 0;
};

Measured measuredAna(const std::vector<std::string>& args) {
    int out[2];
    if (::pipe(out) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::dup2(out[1], 2);
        ::close(out[0]);
        std::vector<char*> argv{const_cast<char*>(ZUNO_ANA_PATH)};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(ZUNO_ANA_PATH, argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    Measured m;
    char buf[4096];
    for (ssize_t n; (n = ::read(out[0], buf, sizeof buf)) > 0;) m.text.append(buf, static_cast<std::size_t>(n));
    ::close(out[0]);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    m.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    m.peakKb = usage.ru_maxrss;
    return m;
}

// Captures of any size are read within a bounded memory: files of zeros of 2 GB and 3 GB (sparse,
// taking no disk) at the highest oversampling.
TEST_F(ZunoAna, CapturesOfAnySizeAreReadWithinBoundedMemory) {
#ifdef __SANITIZE_ADDRESS__
    constexpr long kBoundKb = 600 * 1024;  // the sanitizer's shadow and the memory it holds back
#else
    constexpr long kBoundKb = 300 * 1024;
#endif
    for (const char* size : {"2G", "3G"}) {
        SCOPED_TRACE(size);
        ASSERT_EQ(testsupport::runCommand("truncate -s " + std::string(size) + " " + path("big.ci16le")).status, 0);
        const auto r = measuredAna({path("big.ci16le"), "--rate", "78643200"});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.text.find("zuno-ana: no pilot within +-25 kHz at 78643200 Hz"), std::string::npos) << r.text;
        EXPECT_LT(r.peakKb, kBoundKb);
        std::filesystem::remove(path("big.ci16le"));
    }
}

}  // namespace

// A reading that fails its own checks is printed whole but ends with status 3 and says why; a
// clean one ends with 0 and no warnings.
TEST_F(ZunoAna, AReadingWithDoubtsEndsWithStatusThree) {
    const std::string frame = "--seed 3 --set OverSampling=2 --set PilotOffsetIndex=70 --set DATAchnActive=1 --set MACchnActive=1 "
                              "--set slot.DATAslotActive=[1,1,0,1,1,1,0,1,1,1,1,0,1,1,1,1] --set DATAsourceType=6 --format cf32";
    ASSERT_EQ(zunoGen(frame + " --set IdleSlotGainActive=0 --out " + path("clean.cf32")).status, 0);
    const auto clean = zunoAna(path("clean.cf32") + " --json");
    ASSERT_EQ(clean.status, 0) << clean.text;
    const auto c = nlohmann::json::parse(clean.text);
    EXPECT_EQ(c["warnings"], nlohmann::json::array());
    EXPECT_EQ(c["other_pilots"], nlohmann::json::array());

    // Idle noise as loud as the pilot in the idle slots: no reading of it is sure, and the one
    // made says why (which checks fail depends on what the noise is taken for).
    ASSERT_EQ(zunoGen(frame + " --set IdleSlotGainActive=1 --set IdleSlotGain=0 --out " + path("loud.cf32")).status, 0);
    const auto loud = zunoAna(path("loud.cf32") + " --json");
    EXPECT_EQ(loud.status, 3);
    const auto j = nlohmann::json::parse(loud.text);
    ASSERT_FALSE(j["warnings"].empty());
    const auto summary = zunoAna(path("loud.cf32"));
    EXPECT_EQ(summary.status, 3);
    EXPECT_NE(summary.text.find("\nwarning: " + j["warnings"][0].get<std::string>() + "\n"), std::string::npos) << summary.text;
    EXPECT_NE(zunoAna("--help").text.find("3 read with doubts"), std::string::npos);
}

// Each carrier of zuno-gen's multi-carrier waveform reads as its own frame when named by offset.
TEST_F(ZunoAna, OneCarrierOfSeveralIsReadByItsOffset) {
    ASSERT_EQ(zunoGen("--seed 3 --set OverSampling=8 --set DATAchnActive=1 --carrier -1250000 --carrier 1250000,-3,40 "
                      "--out " + path("mc") + " --format sigmf")
                  .status,
              0);
    for (const auto& [offset, pn] : {std::pair{"-1250000", 0}, std::pair{"1250000", 40}}) {
        const auto run = zunoAna(path("mc.sigmf-meta") + " --json --offset " + offset);
        ASSERT_EQ(run.status, 0) << run.text;
        const auto j = nlohmann::json::parse(run.text);
        EXPECT_EQ(j["pn_offset"], pn) << offset;
        EXPECT_GT(j["rho"].get<double>(), 0.9999) << offset;
        EXPECT_EQ(j["offset_hz"], std::stod(offset));
    }
    const auto outside = zunoAna(path("mc.sigmf-meta") + " --offset 4500000");
    EXPECT_NE(outside.status, 0);
    EXPECT_NE(outside.text.find("does not lie inside the band"), std::string::npos) << outside.text;
}

// --follow on a pipe from a process that writes a frame at a time: one JSON line per frame, the
// lock kept, the end of the pipe the end (status 0).
TEST_F(ZunoAna, FollowsAPipeFrameByFrame) {
    ASSERT_EQ(zunoGen("--seed 4 --set OverSampling=2 --set PilotOffsetIndex=21 --set DATAchnActive=1 --format cf32 --out " +
                      path("f.cf32"))
                  .status,
              0);
    const std::string f = path("f.cf32");
    const auto r = testsupport::runCommand("(head -c 4000 " + f + "; for i in 1 2 3; do sleep 0.2; cat " + f + "; done) | " +
                                           ZUNO_ANA_PATH + " - --follow --format cf32 --rate 2457600 --json");
    ASSERT_EQ(r.status, 0) << r.text;
    std::istringstream lines(r.text);
    std::vector<nlohmann::json> frames;
    for (std::string line; std::getline(lines, line);) frames.push_back(nlohmann::json::parse(line));
    // 500 samples of the frame's start, then three frames: the last ends with the pipe.
    ASSERT_EQ(frames.size(), 3u) << r.text;
    for (std::size_t k = 0; k < frames.size(); ++k) {
        EXPECT_EQ(frames[k]["frame"], k + 1);
        EXPECT_EQ(frames[k]["pn_offset"], 21);
        EXPECT_EQ(frames[k]["lock"], k == 0 ? "acquired" : "kept");
        EXPECT_NEAR(frames[k]["frame_start_chips"].get<double>(), 250 + 32768.0 * static_cast<double>(k), 0.01);
        EXPECT_GT(frames[k]["rho"].get<double>(), 0.9999);
    }
    const auto text = testsupport::runCommand("cat " + f + " " + f + " | " + ZUNO_ANA_PATH + " - --follow --format cf32 --rate 2457600");
    EXPECT_EQ(text.status, 0);
    EXPECT_NE(text.text.find("frame 2 at 32768.000 chips: PN 21, frequency 0.00 Hz, clock 0.00 ppm, rho 0.99"),
              std::string::npos)
        << text.text;
}

// --follow on a file that grows: a line per frame as the frames are appended, and SIGTERM ends it
// with status 0.
TEST_F(ZunoAna, FollowsAGrowingFileUntilStopped) {
    ASSERT_EQ(zunoGen("--seed 4 --set OverSampling=2 --set PilotOffsetIndex=21 --set DATAchnActive=1 --format cf32 --out " +
                      path("f.cf32"))
                  .status,
              0);
    std::ifstream in(path("f.cf32"), std::ios::binary);
    const std::string frame{std::istreambuf_iterator<char>(in), {}};
    std::ofstream(path("grow.cf32"), std::ios::binary) << frame;
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::close(out[0]);
        ::execl(ZUNO_ANA_PATH, ZUNO_ANA_PATH, path("grow.cf32").c_str(), "--follow", "--rate", "2457600", nullptr);
        ::_exit(127);
    }
    ::close(out[1]);
    std::string text;
    // Lines as they come; a generous bound only so that a hang cannot stall the suite.
    auto readLines = [&](std::size_t count) {
        while (static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) < count) {
            pollfd p{out[0], POLLIN, 0};
            if (::poll(&p, 1, 120000) <= 0) return false;
            char buf[4096];
            const ssize_t n = ::read(out[0], buf, sizeof buf);
            if (n <= 0) return false;
            text.append(buf, static_cast<std::size_t>(n));
        }
        return true;
    };
    auto append = [&] { std::ofstream(path("grow.cf32"), std::ios::binary | std::ios::app) << frame; };
    // The first search takes two frames and a little more; each further frame is read once the
    // frame after it has begun to arrive.
    append(), append();
    ASSERT_TRUE(readLines(2)) << text;
    append();
    ASSERT_TRUE(readLines(3)) << text;
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(out[0]);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_NE(text.find("frame 1 at 0.000 chips: PN 21"), std::string::npos) << text;
    EXPECT_NE(text.find("frame 3 at 65536.000 chips: PN 21"), std::string::npos) << text;
}

