#include "host/core/mat_file.h"

#include <gtest/gtest.h>
#include <matio.h>
#include <unistd.h>

#include <algorithm>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/scratch_dir.h"

namespace fs = std::filesystem;
using host::Value;

namespace {

const fs::path kFixtures = fs::path(ZUNO_TEST_DATA) / "mat";

using MatFileTest = testsupport::ScratchDirTest;

std::string errorOf(auto&& action) {
    return testsupport::failureOf(action);
}

std::string readBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeBytes(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

std::vector<double> iota(std::size_t n, double start, double step) {
    std::vector<double> v(n);
    for (std::size_t k = 0; k < n; ++k) v[k] = start + step * static_cast<double>(k);
    return v;
}

// Field names deliberately out of alphabetical order: the order is part of the data.
Value sampleVariables() {
    Value innermost = Value::record();
    innermost.set("zeta", Value::matrix(2, 3, iota(6, -1.25, 0.5), iota(6, 3, -1)));
    innermost.set("label", "Ω ≤ 2");
    Value middle = Value::record();
    middle.set("level3", innermost);
    middle.set("gain", -30);
    Value top = Value::record();
    top.set("title", "Trägerfrequenz µ");
    top.set("empty", Value());
    top.set("emptyText", "");
    top.set("row", Value::row({1, 2.5, -1e300}));
    top.set("column", Value::column(iota(16, 0.125, 0.25)));
    top.set("wide", Value::matrix(16, 59, iota(16 * 59, 1, 1)));
    top.set("phase", std::complex<double>(0.5, -2));
    top.set("level2", middle);
    top.set("noFields", Value::record());

    Value vars = Value::record();
    vars.set("fileParameters", top);
    vars.set("samplePoints", 983040);
    vars.set("ascii", "plain");
    return vars;
}

// What every interop fixture holds; the writers differ in the shape they give a 1-D vector.
Value fixtureVariables(bool trafficAsColumn) {
    std::vector<double> gains;
    for (int c = 1; c <= 59; ++c)
        for (int r = 1; r <= 16; ++r) gains.push_back(r + c / 100.0);
    const auto traffic = iota(16, -0.5, -0.5);
    Value inner = Value::record();
    inner.set("Name", "deep");
    inner.set("Level", 3);
    Value slot = Value::record();
    slot.set("RPCslotGain", Value::matrix(16, 59, gains));
    slot.set("TrafficGain", trafficAsColumn ? Value::column(traffic) : Value::row(traffic));
    slot.set("inner", inner);
    Value fp = Value::record();
    fp.set("ParameterFileFormat_ID", "Zuno-Fwd - Format 1.2");
    fp.set("Title", "Trägerfrequenz µ");
    fp.set("EmptyText", "");
    fp.set("Enabled", 1);
    fp.set("Count", -7);
    fp.set("Gain", std::complex<double>(1.5, -2.25));
    fp.set("Nothing", Value());
    fp.set("Lines", "first\nsecond");
    fp.set("slot", slot);
    Value vars = Value::record();
    vars.set("fileParameters", fp);
    vars.set("sampleRate", 9830400);
    return vars;
}

// What the live interop tests have the other tool write: b = [1 2; 3 4.5], a.z = 'Ω',
// a.y = uint16(7), c = [1+2i; -3i].
Value writtenByOtherTool() {
    Value a = Value::record();
    a.set("z", "Ω");
    a.set("y", 7);
    Value vars = Value::record();
    vars.set("b", Value::matrix(2, 2, {1, 3, 2, 4.5}));
    vars.set("a", a);
    vars.set("c", Value::matrix(2, 1, {1, 0}, {2, -3}));
    return vars;
}

// ---------------------------------------------------------------------------------------------
// Interop with other tools: both sides print every variable as lines "path kind data", numbers
// with 17 significant digits and texts as the hex of their UTF-8 bytes.

std::string hex(const std::string& s) {
    std::string out;
    char buf[3];
    for (const unsigned char c : s) {
        std::snprintf(buf, sizeof buf, "%02x", c);
        out += buf;
    }
    return out;
}

void printed(const Value& v, const std::string& path, std::ostringstream& out) {
    switch (v.kind()) {
        case Value::Kind::Empty: out << path << " 0x0\n"; return;
        case Value::Kind::Text: out << path << " text " << hex(v.text()) << '\n'; return;
        case Value::Kind::Record: {
            out << path << " record ";
            for (std::size_t i = 0; i < v.fieldCount(); ++i)
                out << (i ? "," : "") << v.fieldName(i);
            out << '\n';
            for (std::size_t i = 0; i < v.fieldCount(); ++i)
                printed(v.fieldValue(i), path + "." + v.fieldName(i), out);
            return;
        }
        case Value::Kind::Numeric: {
            out << path << ' ' << v.rows() << 'x' << v.cols() << (v.isComplex() ? " complex" : "");
            char buf[40];
            for (std::size_t k = 0; k < v.numel(); ++k) {
                std::snprintf(buf, sizeof buf, " %.17g", v.real()[k]);
                out << buf;
                if (v.isComplex()) {
                    std::snprintf(buf, sizeof buf, " %.17g", v.imag()[k]);
                    out << buf;
                }
            }
            out << '\n';
            return;
        }
    }
}

std::string printed(const Value& vars) {
    std::ostringstream out;
    for (std::size_t i = 0; i < vars.fieldCount(); ++i)
        printed(vars.fieldValue(i), vars.fieldName(i), out);
    return out.str();
}

// Standard output of a command; empty when it fails.
std::string run(const std::string& command) {
    std::string out;
    FILE* p = ::popen(command.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
    return ::pclose(p) == 0 ? out : "(failed: " + command + ")\n" + out;
}

const char* kPython = "/usr/bin/python3";

bool haveScipy() {
    return fs::exists(kPython) &&
           std::system("/usr/bin/python3 -c 'import scipy.io' 2>/dev/null") == 0;
}

bool haveOctave() {
    return std::system("command -v octave-cli >/dev/null 2>&1") == 0;
}

const char* kPythonListing = R"(
import sys
import numpy as np
from scipy.io import loadmat

def show(path, x):
    if x.dtype == object and x.shape == (1, 1) and x[0, 0] is None:  # a struct without fields
        print(path, 'record', '')
    elif x.dtype.names:
        print(path, 'record', ','.join(x.dtype.names))
        for n in x.dtype.names:
            show(path + '.' + n, x[0, 0][n])
    elif x.dtype.kind == 'U':
        print(path, 'text', ''.join(x.tolist()).encode('utf-8').hex())
    else:
        parts = [path, '%dx%d' % x.shape]
        if np.iscomplexobj(x):
            parts.append('complex')
        for v in x.flatten(order='F'):
            parts += ['%.17g' % v.real, '%.17g' % v.imag] if np.iscomplexobj(x) else ['%.17g' % v]
        print(' '.join(parts))

for name, value in loadmat(sys.argv[1]).items():
    if not name.startswith('__'):
        show(name, value)
)";

const char* kOctaveListing = R"(
1;
function show(p, x)
  if isstruct(x)
    f = fieldnames(x);
    printf('%s record %s\n', p, strjoin(f', ','));
    for i = 1:numel(f)
      show([p '.' f{i}], x.(f{i}));
    end
  elseif ischar(x)
    printf('%s text %s\n', p, sprintf('%02x', double(x)));
  else
    printf('%s %dx%d', p, rows(x), columns(x));
    v = double(x(:));
    if iscomplex(x)
      printf(' complex');
      v = [real(v) imag(v)].'(:);
    end
    if ~isempty(v)
      printf(' %.17g', v);
    end
    printf('\n');
  end
end
s = load(argv(){1});
f = fieldnames(s);
for i = 1:numel(f)
  show(f{i}, s.(f{i}));
end
)";

// ---------------------------------------------------------------------------------------------

TEST_F(MatFileTest, WrittenFilesReadBackUnchanged) {
    const auto file = path("settings.mat");
    const Value vars = sampleVariables();
    host::writeMatFile(file, vars);
    EXPECT_EQ(host::readMatFile(file), vars);

    // A second write replaces the file whole and leaves no temporary file behind.
    Value other = Value::record();
    other.set("only", "one");
    host::writeMatFile(file, other);
    EXPECT_EQ(host::readMatFile(file), other);
    EXPECT_EQ(folderContents(), std::vector<std::string>{"settings.mat"});

    // Writing through a link replaces the file it points to and keeps the link.
    fs::create_symlink("settings.mat", dir_ / "link.mat");
    host::writeMatFile(path("link.mat"), vars);
    EXPECT_TRUE(fs::is_symlink(dir_ / "link.mat"));
    EXPECT_EQ(host::readMatFile(path("settings.mat")), vars);
    fs::remove(dir_ / "link.mat");

    // Characters beyond 16 bits take two UTF-16 units; malformed UTF-8 is stored as U+FFFD.
    Value texts = Value::record();
    texts.set("astral", "a😀b");
    texts.set("broken", "x\xffy");
    host::writeMatFile(file, texts);
    texts.set("broken", "x\uFFFDy");
    EXPECT_EQ(host::readMatFile(file), texts);

    // Numbers without elements have no shape of their own once stored.
    Value zeroRows = Value::record();
    zeroRows.set("none", Value::matrix(0, 3, {}));
    host::writeMatFile(file, zeroRows);
    EXPECT_EQ(host::readMatFile(file).field("none"), Value());
}

TEST_F(MatFileTest, LargeWaveformsRoundTrip) {
    const std::size_t n = 983040;
    Value vars = Value::record();
    vars.set("samples", Value::matrix(n, 1, iota(n, -1, 2.0 / n), iota(n, 1, -1.0 / n)));
    vars.set("wave", Value::matrix(n, 2, iota(2 * n, 0, 1e-6)));
    const auto file = path("wave.mat");
    host::writeMatFile(file, vars);
    EXPECT_EQ(host::readMatFile(file), vars);
}

TEST_F(MatFileTest, ReadsFilesOfOtherTools) {
    EXPECT_EQ(host::readMatFile(kFixtures / "octave_v7.mat"), fixtureVariables(true));
    EXPECT_EQ(host::readMatFile(kFixtures / "octave_v6.mat"), fixtureVariables(true));
    EXPECT_EQ(host::readMatFile(kFixtures / "scipy_default.mat"), fixtureVariables(false));
    EXPECT_EQ(host::readMatFile(kFixtures / "scipy_column.mat"), fixtureVariables(true));
}

// Version 7.3 files are HDF5 containers whose links and sizes no reader bounds: they are refused
// before the library opens them, with the way to save them instead.
TEST_F(MatFileTest, RefusesVersion73FilesSayingHowToSaveThem) {
    const auto file = path("v73.mat");
    mat_t* mat = Mat_CreateVer(file.c_str(), nullptr, MAT_FT_MAT73);
    ASSERT_NE(mat, nullptr);
    double x[3] = {1, 2, 3};
    std::size_t one[2] = {1, 1};
    matvar_t* z = Mat_VarCreate("z", MAT_C_DOUBLE, MAT_T_DOUBLE, 2, one, x, 0);
    EXPECT_EQ(Mat_VarWrite(mat, z, MAT_COMPRESSION_NONE), 0);
    Mat_VarFree(z);
    Mat_Close(mat);
    EXPECT_EQ(errorOf([&] { host::readMatFile(file); }),
              "cannot read " + file +
                  ": it is a MAT file of version 7.3, which cannot be loaded; save it as version 7 "
                  "instead (save -v7)");
}

TEST_F(MatFileTest, RefusesContentItCannotHold) {
    const auto refused = [](const std::string& name) {
        return errorOf([&] { host::readMatFile(kFixtures / name); });
    };
    EXPECT_EQ(refused("refused_cell.mat"),
              "cannot read " + (kFixtures / "refused_cell.mat").string() +
                  ": fileParameters.list is a cell array, but only numbers, texts and single "
                  "structures can be loaded");
    EXPECT_NE(refused("refused_struct_array.mat").find("settings is a struct array (1x2)"),
              std::string::npos);
    EXPECT_NE(refused("refused_3d.mat").find("cube is a 3-dimensional array (2x3x4)"),
              std::string::npos);
    EXPECT_NE(refused("refused_sparse.mat").find("identity is a sparse matrix"), std::string::npos);
}

TEST_F(MatFileTest, UnreadableFilesGiveMessages) {
    const auto error = [](const std::string& file) {
        return errorOf([&] { host::readMatFile(file); });
    };
    EXPECT_EQ(error(path("missing.mat")),
              "cannot read " + path("missing.mat") + ": No such file or directory");
    EXPECT_EQ(error(dir_.string()),
              "cannot read " + dir_.string() + ": it is a folder, not a file");

    writeBytes(path("notes.mat"), "These are notes, not numbers.\n");
    EXPECT_EQ(error(path("notes.mat")),
              "cannot read " + path("notes.mat") + ": it is not a MAT file");

    // Cut short inside the first variable, and just after its tag.
    const auto whole = readBytes(kFixtures / "octave_v6.mat");
    for (const std::size_t keep : {whole.size() / 2, std::size_t{136}, whole.size() - 8}) {
        writeBytes(path("cut.mat"), whole.substr(0, keep));
        EXPECT_EQ(error(path("cut.mat")),
                  "cannot read " + path("cut.mat") + ": the file is damaged or incomplete")
            << keep;
    }
}

// Every single damaged byte of an uncompressed file and every cut must end in a message, never
// in a crash (the sanitizer build catches stray reads).
TEST_F(MatFileTest, DamagedFilesNeverCrash) {
    const auto whole = readBytes(kFixtures / "octave_v6.mat");
    const auto file = path("damaged.mat");
    std::size_t refused = 0;
    const auto tryRead = [&](const std::string& bytes) {
        writeBytes(file, bytes);
        try {
            host::readMatFile(file);
        } catch (const std::runtime_error&) {
            ++refused;
        }
    };
    // The large matrix in the middle is plain numbers; sample it sparsely.
    const auto isPlainData = [&](std::size_t pos) {
        return pos > 1700 && pos + 600 < whole.size() && pos % 32 != 0;
    };
    for (std::size_t pos = 0; pos < whole.size(); ++pos) {
        if (isPlainData(pos)) continue;
        auto bytes = whole;
        bytes[pos] = static_cast<char>(~bytes[pos]);
        tryRead(bytes);
    }
    for (std::size_t keep = 0; keep < whole.size(); keep += 8) tryRead(whole.substr(0, keep));
    EXPECT_GT(refused, 0u);
}

TEST_F(MatFileTest, FailedWritesExplainAndLeaveNothing) {
    const Value vars = sampleVariables();
    const auto error = [&](const std::string& file, const Value& v) {
        return errorOf([&] { host::writeMatFile(file, v); });
    };
    fs::create_directory(dir_ / "folder");
    EXPECT_EQ(error(path("folder"), vars), "cannot write " + path("folder") + ": it is a folder");
    writeBytes(path("plain"), "x");
    EXPECT_EQ(error(path("plain") + "/x.mat", vars),
              "cannot write " + path("plain") + "/x.mat: Not a directory");
    EXPECT_EQ(error(path("nowhere") + "/x.mat", vars),
              "cannot write " + path("nowhere") + "/x.mat: No such file or directory");

    Value badName = Value::record();
    badName.set("fileParameters", Value::record()).set("two words", 1);
    EXPECT_EQ(error(path("bad.mat"), badName),
              "cannot write " + path("bad.mat") +
                  ": \"fileParameters.two words\" is not a valid variable name (up to 63 "
                  "letters, digits and underscores, starting with a letter)");
    EXPECT_THROW(host::writeMatFile(path("x.mat"), Value(1)), std::invalid_argument);

    // Nesting is bounded the same way on both sides: 32 levels below a variable go through.
    const auto nested = [](int levels) {
        Value v = 1;
        for (int i = 0; i < levels; ++i) {
            Value r = Value::record();
            r.set("r", v);
            v = r;
        }
        return v;
    };
    Value deep = Value::record();
    deep.set("deep", nested(32));
    host::writeMatFile(path("deep.mat"), deep);
    EXPECT_EQ(host::readMatFile(path("deep.mat")), deep);
    fs::remove(path("deep.mat"));
    deep.set("deep", nested(33));
    EXPECT_NE(error(path("deep.mat"), deep).find("nested more than 32 levels deep"),
              std::string::npos);

    // A failed write keeps the file that was there.
    writeBytes(path("kept.mat"), "old");
    EXPECT_NE(error(path("kept.mat"), badName), "(no error)");
    EXPECT_EQ(readBytes(path("kept.mat")), "old");

    EXPECT_EQ(folderContents(), (std::vector<std::string>{"folder", "kept.mat", "plain"}));
    EXPECT_TRUE(fs::is_empty(dir_ / "folder"));
}

TEST_F(MatFileTest, ScipyReadsOurFilesAndWeReadItsFiles) {
    if (!haveScipy()) GTEST_SKIP() << "install python3-scipy to test interop with SciPy";
    const Value vars = sampleVariables();
    host::writeMatFile(path("ours.mat"), vars);
    writeBytes(path("listing.py"), kPythonListing);
    EXPECT_EQ(run("/usr/bin/python3 " + path("listing.py") + " " + path("ours.mat")),
              printed(vars));

    writeBytes(path("write.py"), R"(
import sys
import numpy as np
from scipy.io import savemat
savemat(sys.argv[1], {'b': np.array([[1.0, 2.0], [3.0, 4.5]]), 'a': {'z': 'Ω', 'y': np.uint16(7)},
                      'c': np.array([1 + 2j, -3j])}, oned_as='column')
)");
    run("/usr/bin/python3 " + path("write.py") + " " + path("theirs.mat"));
    EXPECT_EQ(host::readMatFile(path("theirs.mat")), writtenByOtherTool());
}

TEST_F(MatFileTest, OctaveReadsOurFilesAndWeReadItsFiles) {
    if (!haveOctave()) GTEST_SKIP() << "install octave to test interop with GNU Octave";
    const Value vars = sampleVariables();
    host::writeMatFile(path("ours.mat"), vars);
    writeBytes(path("listing.m"), kOctaveListing);
    EXPECT_EQ(run("octave-cli -q " + path("listing.m") + " " + path("ours.mat") + " 2>/dev/null"),
              printed(vars));

    writeBytes(path("write.m"),
               "a.z = 'Ω'; a.y = uint16(7); b = [1 2; 3 4.5]; c = [1+2i; -3i];\n"
               "save('-v7', argv(){1}, 'b', 'a', 'c');\n");
    run("octave-cli -q " + path("write.m") + " " + path("theirs.mat") + " 2>/dev/null");
    EXPECT_EQ(host::readMatFile(path("theirs.mat")), writtenByOtherTool());
}

}  // namespace
