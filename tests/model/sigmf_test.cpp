#include "model/sigmf.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;
using nlohmann::json;

TEST(Sigmf, SlotLabelsFollowTheChannelSwitches) {
    model::Parameters p;
    p.OverSampling = 2;
    p.DATAchnActive = 1;
    p.MACchnActive = 1;
    p.slot.DATAslotMod = {1, 2, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    p.slot.DATAslotActive[3] = 0;
    p.slot.RAslotActive[4] = 0;
    p.slot.RPCslotActiveChn[4] = 0;  // slot 5: neither RA nor RPC
    p.slot.RAslotActive[5] = 0;      // slot 6: RPC alone keeps the MAC active
    const auto r = model::frameRecording(p, 65536, 2457600, 2.2e9, "zuno-test 1");
    ASSERT_EQ(r.annotations.size(), 16u);
    EXPECT_EQ(r.annotations[0].label, "slot 1: traffic QPSK, MAC active");
    EXPECT_EQ(r.annotations[1].label, "slot 2: traffic 8-PSK, MAC active");
    EXPECT_EQ(r.annotations[2].label, "slot 3: traffic 16-QAM, MAC active");
    EXPECT_EQ(r.annotations[3].label, "slot 4: traffic idle, MAC active");
    EXPECT_EQ(r.annotations[4].label, "slot 5: traffic QPSK, MAC idle");
    EXPECT_EQ(r.annotations[5].label, "slot 6: traffic QPSK, MAC active");
    EXPECT_EQ(r.annotations[15].sampleStart, 15u * 4096);
    EXPECT_EQ(r.annotations[15].sampleCount, 4096u);

    // The channel switches gate every slot; a PN-only frame carries neither.
    p.MACchnActive = 0;
    p.DATAchnActive = 0;
    EXPECT_EQ(model::frameRecording(p, 65536, 1, 1, "").annotations[0].label, "slot 1: traffic idle, MAC idle");
    p.Mode = 2;
    EXPECT_EQ(model::frameRecording(p, 65536, 1, 1, "").annotations[0].label, "slot 1: PN only");

    for (const char* name : {"x", "x.sigmf", "x.sigmf-meta", "x.sigmf-data"}) EXPECT_EQ(model::sigmfBaseName(name), "x");
    EXPECT_EQ(model::sigmfBaseName(".sigmf"), ".sigmf");
}

TEST(Sigmf, RecordingReadsBack) {
    const fs::path dir = fs::temp_directory_path() / ("zuno-sigmf-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    model::Parameters p;
    p.OverSampling = 2;
    dsp::CVec w(65536);
    w[0] = {0.5, -0.25};
    w[65535] = {1e-3, 3.0};
    const std::string base = (dir / "frame").string();
    model::writeSigmf(base, w, model::frameRecording(p, w.size(), 2457600, 2.2e9, "zuno-test 1.2"));

    const json meta = json::parse(std::ifstream(base + ".sigmf-meta"));
    const json& g = meta.at("global");
    EXPECT_EQ(g.at("core:datatype"), "cf32_le");
    EXPECT_EQ(g.at("core:version"), "1.2.0");
    EXPECT_EQ(g.at("core:sample_rate"), 2457600.0);
    EXPECT_EQ(g.at("core:recorder"), "zuno-test 1.2");
    EXPECT_NE(g.at("core:description").get<std::string>().find("oversampling 2"), std::string::npos);
    ASSERT_EQ(meta.at("captures").size(), 1u);
    EXPECT_EQ(meta.at("captures")[0].at("core:sample_start"), 0);
    EXPECT_EQ(meta.at("captures")[0].at("core:frequency"), 2.2e9);
    ASSERT_EQ(meta.at("annotations").size(), 16u);
    EXPECT_EQ(meta.at("annotations")[1].at("core:sample_start"), 4096);
    EXPECT_EQ(meta.at("annotations")[1].at("core:sample_count"), 4096);
    EXPECT_EQ(meta.at("annotations")[1].at("core:label"), "slot 2: traffic idle, MAC idle");

    std::ifstream in(base + ".sigmf-data", std::ios::binary);
    const std::string data{std::istreambuf_iterator<char>(in), {}};
    ASSERT_EQ(data.size(), w.size() * 8);
    float f[4];
    std::memcpy(f, data.data(), 8);
    std::memcpy(f + 2, data.data() + data.size() - 8, 8);
    EXPECT_EQ(f[0], 0.5f);
    EXPECT_EQ(f[1], -0.25f);
    EXPECT_EQ(f[2], 1e-3f);
    EXPECT_EQ(f[3], 3.0f);

    try {
        model::writeSigmf((dir / "missing" / "x").string(), w, {});
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("missing/x.sigmf-data"), std::string::npos) << e.what();
    }
    fs::remove_all(dir);
}
