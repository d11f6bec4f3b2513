#include "model/parameter_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>


namespace fs = std::filesystem;
using host::Value;

namespace {

class ParameterFile : public testing::Test {
protected:
    fs::path dir = fs::temp_directory_path() / ("zuno-params-" + std::to_string(::getpid()));
    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override { fs::remove_all(dir); }
    std::string at(const char* name) const { return (dir / name).string(); }
    std::string refusal(const char* name) {
        try {
            model::readParameterFile(at(name));
        } catch (const std::runtime_error& e) {
            return e.what();
        }
        return "(accepted)";
    }
};

model::Parameters edited() {
    model::Parameters p;
    p.PilotOffsetIndex = 77;
    p.OverSampling = 30;
    p.ProjectedLength = 983040;
    p.slot.DATAslotMod[3] = 3;
    p.slot.RPCslotGain(15, 58) = 12.5;
    return p;
}

// Compares a record value with SciPy's reading of it (see the script below), in field order.
void expectSame(const Value& ours, const nlohmann::json& theirs, const std::string& path) {
    SCOPED_TRACE(path);
    if (ours.isRecord()) {
        ASSERT_EQ(ours.fieldNames(), theirs.at("names").get<std::vector<std::string>>());
        for (std::size_t i = 0; i < ours.fieldCount(); ++i)
            expectSame(ours.fieldValue(i), theirs.at("fields").at(ours.fieldName(i)), path + "." + ours.fieldName(i));
    } else if (ours.isText()) {
        EXPECT_EQ(ours.text(), theirs.get<std::string>());
    } else if (ours.isEmpty()) {
        EXPECT_EQ(theirs.at("data").size(), 0u);
    } else {
        EXPECT_EQ(theirs.at("shape"), nlohmann::json::array({ours.rows(), ours.cols()}));
        EXPECT_EQ(theirs.at("data").get<std::vector<double>>(), ours.real());
    }
}

}  // namespace

TEST_F(ParameterFile, RoundTripAndRefusals) {
    model::writeParameterFile(at("p.mat"), edited());
    EXPECT_EQ(model::readParameterFile(at("p.mat")), edited());

    // The window tests go through every refusal.
    model::Parameters older;
    older.ParameterFileFormat_ID = "Zuno-Fwd - Format 1.1";
    model::writeParameterFile(at("otherid.mat"), older);
    EXPECT_EQ(refusal("otherid.mat"), at("otherid.mat") + "\nhas an Invalid File Parameter ID.");
    EXPECT_EQ(refusal("absent.mat"), "cannot read " + at("absent.mat") + ": No such file or directory");
    // The identifier the running application expects decides.
    EXPECT_NO_THROW(model::readParameterFile(at("otherid.mat"), "Zuno-Fwd - Format 1.1"));
}

TEST_F(ParameterFile, SciPyReadsWhatTheApplicationWrites) {
    if (std::system("/usr/bin/python3 -c 'import scipy.io' 2>/dev/null") != 0)
        GTEST_SKIP() << "/usr/bin/python3 with scipy is not installed";
    model::writeParameterFile(at("app.mat"), edited());
    std::ofstream(at("read.py")) << R"(import json, sys
import numpy as np
from scipy.io import loadmat
def describe(v):
    if v.dtype.names:
        s = v[0, 0]
        return {'names': list(v.dtype.names), 'fields': {n: describe(s[n]) for n in v.dtype.names}}
    if v.dtype.kind == 'U':
        return str(v[0]) if v.size else ''
    return {'shape': list(v.shape), 'data': [float(x) for x in v.flatten(order='F')]}
f = loadmat(sys.argv[1])
json.dump(describe(f['fileParameters']), open(sys.argv[2], 'w'))
)";
    const std::string cmd = "/usr/bin/python3 " + at("read.py") + " " + at("app.mat") + " " + at("out.json");
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    expectSame(model::toValue(edited()), nlohmann::json::parse(std::ifstream(at("out.json"))), "fileParameters");
}
