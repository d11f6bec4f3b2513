#include "model/records.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app_state.h"
#include "host/core/compare.h"
#include "tests/support/error_text.h"

using model::fromValue;
using model::toValue;
using host::Value;

using testsupport::errorOf;

TEST(Records, FieldOrderFollowsTheTables) {
    using Names = std::vector<std::string>;
    const model::Parameters p = model::InitializeParameters();
    EXPECT_EQ(toValue(p).fieldNames(),
              (Names{"ParameterFileFormat_ID", "Mode", "PilotOffsetIndex", "MACchnActive", "DATAchnActive",
                     "DATAsourceType", "DATAsourceName", "IdleSlotGainActive", "IdleSlotGain", "slot",
                     "OverSampling", "FilterType", "PhaseEq", "MirrorSpectrum", "ProjectedLength"}));
    EXPECT_EQ(toValue(p).field("slot").fieldNames(),
              (Names{"DATAslotActive", "DATAslotMod", "RAslotActive", "RAslotValue", "RAslotGain",
                     "RPCslotActiveChn", "RPCslotActive", "RPCslotValue", "RPCslotGain"}));
    EXPECT_EQ(toValue(model::InitializeAppInfo()).fieldNames(),
              (Names{"Name", "Platform", "Rev", "Date", "Notes", "NotesLine2", "NotesLine3", "NotesLine4",
                     "NotesLine5", "NotesLine6", "NotesLine7", "ApplicationFunction", "ParameterFileExtension",
                     "ClientWindows", "LastCaluclatedParameterSet", "LastCalcTimeStamp"}));
    const Value c = toValue(model::InitializeConfiguration());
    EXPECT_EQ(c.fieldNames(), (Names{"type", "GPIB", "RS232", "TCPIP", "BBGtype", "LastParameterFilename"}));
    EXPECT_EQ(c.field("GPIB").fieldNames(), (Names{"board", "primary", "secondary"}));
    EXPECT_EQ(c.field("RS232").fieldNames(), (Names{"port", "baudrate", "handshake"}));
    EXPECT_EQ(c.field("TCPIP").fieldNames(), (Names{"address", "board"}));
    EXPECT_EQ(toValue(model::InitializeSigGenSettings(p)).fieldNames(),
              (Names{"Title", "Frequency", "Amplitude", "SamplingRate", "BBfilter", "Scaling", "ModAtten",
                     "RFblanking", "ALC", "ArbRefSource", "MarkerPolarity"}));
}

TEST(Records, DefaultsAndDerivedFields) {
    model::Parameters p = model::InitializeParameters();
    EXPECT_EQ(p.ProjectedLength, 163840);
    EXPECT_EQ(model::InitializeSigGenSettings(p).SamplingRate, 6144000);
    p.OverSampling = 30;
    EXPECT_EQ(model::InitializeSigGenSettings(p).SamplingRate, 36864000);
    EXPECT_EQ(model::projectedLength(30), 983040);
    EXPECT_EQ(model::projectedLength(2), 65536);
    EXPECT_EQ(model::samplingRate(2), 2457600);

    const Value v = toValue(model::InitializeParameters());
    EXPECT_EQ(v.field("ParameterFileFormat_ID").text(), "Zuno-Fwd - Format 1.2");
    EXPECT_TRUE(v.field("DATAsourceName").isEmpty());
    const Value& slot = v.field("slot");
    EXPECT_EQ(slot.field("RAslotGain"), Value::column(std::vector<double>(16, -3)));
    const Value& active = slot.field("RPCslotActive");
    ASSERT_EQ(active.rows(), 16u);
    ASSERT_EQ(active.cols(), 59u);
    double sum = 0;
    for (double x : active.real()) sum += x;
    EXPECT_EQ(sum, 16);
    for (std::size_t r = 0; r < 16; ++r) EXPECT_EQ(active.at(r, 0), 1) << "slot " << r + 1;

    const model::AppInfo info = model::InitializeAppInfo();
    EXPECT_TRUE(info.ClientWindows.empty());
    EXPECT_FALSE(info.LastCaluclatedParameterSet.has_value());
    EXPECT_TRUE(toValue(info).field("LastCalcTimeStamp").isEmpty());
    EXPECT_TRUE(toValue(model::InitializeConfiguration()).field("LastParameterFilename").isEmpty());

    app::AppState state;
    EXPECT_EQ(state.parameters, model::InitializeParameters());
    EXPECT_EQ(state.SigGenSettings.SamplingRate, 6144000);
    EXPECT_TRUE(state.waveform.empty());
}

TEST(Records, RoundTripEveryRecord) {
    model::Parameters p = model::InitializeParameters();
    p.Mode = 2;
    p.slot.DATAslotMod[15] = 3;
    p.slot.RPCslotGain(4, 58) = -12.25;
    p.OverSampling = 8;
    model::Parameters p2;
    p2.OverSampling = 2;
    fromValue(toValue(p), p2);
    EXPECT_EQ(p2, p);

    model::AppInfo info = model::InitializeAppInfo();
    info.ClientWindows = {3, 7};
    info.LastCaluclatedParameterSet = p;
    info.LastCalcTimeStamp = {2001, 12, 6, 9, 5, 3.5};
    model::AppInfo info2;
    fromValue(toValue(info), info2);
    EXPECT_EQ(info2, info);
    EXPECT_TRUE(host::compareStruct(toValue(info).field("LastCaluclatedParameterSet"), toValue(p)));

    model::Configuration c = model::InitializeConfiguration();
    c.type = "TCPIP";
    c.TCPIP.address = "10.0.0.7:5025";
    c.RS232.baudrate = 115200;
    c.LastParameterFilename = "/tmp/a.mat";
    model::Configuration c2;
    fromValue(toValue(c), c2);
    EXPECT_EQ(c2, c);

    model::SigGenSettings s = model::InitializeSigGenSettings(p);
    s.Scaling = 70.5;
    model::SigGenSettings s2;
    fromValue(toValue(s), s2);
    EXPECT_EQ(s2, s);
}

TEST(Records, ReadingAcceptsWhatFilesCommonlyHold) {
    Value v = toValue(model::InitializeParameters());
    // Per-slot rows, fields in another order, and an empty numeric for an empty text.
    Value slot = v.field("slot");
    std::vector<double> mods(16, 2);
    mods[0] = 3;
    slot.set("DATAslotMod", Value::row(mods));
    Value reordered = Value::record();
    for (std::size_t i = v.fieldCount(); i-- > 0;)
        reordered.set(v.fieldName(i), v.fieldName(i) == "slot" ? slot : v.fieldValue(i));
    model::Parameters p;
    fromValue(reordered, p);
    EXPECT_EQ(p.slot.DATAslotMod[0], 3);
    EXPECT_EQ(p.slot.DATAslotMod[15], 2);
    EXPECT_EQ(toValue(p).fieldNames(), v.fieldNames());

    Value c = toValue(model::InitializeConfiguration());
    c.set("LastParameterFilename", Value::matrix(0, 0, {}));
    model::Configuration conf;
    conf.LastParameterFilename = "stale";
    fromValue(c, conf);
    EXPECT_EQ(conf.LastParameterFilename, "");
}

TEST(Records, ReadingErrorsNameThePath) {
    const Value good = toValue(model::InitializeParameters());
    model::Parameters p;
    p.Mode = 7;
    auto readWith = [&](auto change) {
        Value v = good;
        change(v);
        return errorOf([&] { fromValue(v, p); });
    };
    EXPECT_EQ(readWith([](Value& v) { v.field("slot").set("RPCslotGain", Value::filled(3, 3, 0)); }),
              "parameters.slot.RPCslotGain must be a 16x59 numeric matrix (got 3x3)");
    EXPECT_EQ(readWith([](Value& v) { v.field("slot").set("DATAslotMod", Value::filled(4, 4, 1)); }),
              "parameters.slot.DATAslotMod must be a 16x1 numeric column (got 4x4)");
    EXPECT_EQ(readWith([](Value& v) {
                  Value r = Value::record();
                  for (const auto& n : v.fieldNames())
                      if (n != "OverSampling") r.set(n, v.field(n));
                  v = r;
              }),
              "parameters.OverSampling is missing");
    EXPECT_EQ(readWith([](Value& v) { v.set("Mode", "1"); }), "parameters.Mode must be a real number (got text \"1\")");
    EXPECT_EQ(readWith([](Value& v) { v.set("Mode", std::complex<double>(1, 1)); }),
              "parameters.Mode must be a real number (got 1x1 complex)");
    EXPECT_EQ(readWith([](Value& v) { v.set("ParameterFileFormat_ID", 1.2); }),
              "parameters.ParameterFileFormat_ID must be a text (got 1x1)");
    EXPECT_EQ(readWith([](Value& v) { v.set("DATAsourceName", "x"); }),
              "parameters.DATAsourceName must be empty (got text \"x\")");
    EXPECT_EQ(readWith([](Value& v) { v.set("slot", 1); }), "parameters.slot must be a record (got 1x1)");
    EXPECT_EQ(p.Mode, 7) << "a failed read leaves the record alone";

    model::AppInfo info;
    Value iv = toValue(info);
    iv.set("LastCalcTimeStamp", Value::row({2001, 12, 6}));
    EXPECT_EQ(errorOf([&] { fromValue(iv, info); }),
              "appInfo.LastCalcTimeStamp must be empty or a 1x6 numeric row (got 1x3)");
    iv = toValue(info);
    Value snapshot = good;
    snapshot.field("slot").set("RAslotGain", "loud");
    iv.set("LastCaluclatedParameterSet", snapshot);
    EXPECT_EQ(errorOf([&] { fromValue(iv, info); }),
              "appInfo.LastCaluclatedParameterSet.slot.RAslotGain must be a 16x1 numeric column (got text \"loud\")");
}

TEST(Records, UnknownFieldsRejectedOrIgnored) {
    Value v = toValue(model::InitializeParameters());
    v.field("slot").set("Extra", 1);
    model::Parameters p;
    EXPECT_EQ(errorOf([&] { fromValue(v, p); }), "parameters.slot.Extra is not a known field");
    p.Mode = 5;
    fromValue(v, p, model::UnknownFields::Ignore);
    EXPECT_EQ(p, model::InitializeParameters());
    EXPECT_EQ(toValue(p).field("slot").fieldCount(), 9u);
}
