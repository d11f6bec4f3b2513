#include "app/core/capture_file.h"

#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/core/sigmf.h"
#include "host/core/input_file.h"
#include "host/core/mat_file.h"

namespace app {

namespace {

constexpr std::uint64_t kMaxBytes = std::uint64_t{1} << 31;

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::vector<std::uint8_t> readBytes(const std::string& path) {
    host::InputFile file(path);
    if (file.size() > kMaxBytes) throw std::runtime_error("cannot read " + path + ": the file is larger than 2 GB");
    std::vector<std::uint8_t> bytes(file.size());
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(file.fd(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw std::runtime_error("cannot read " + path + ": " + std::strerror(errno));
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    return bytes;
}

enum class Word { F64, F32, I16 };

// Interleaved I and Q words in the given byte order.
dsp::CVec decode(const std::vector<std::uint8_t>& bytes, Word word, bool bigEndian, const std::string& path) {
    const std::size_t size = word == Word::F64 ? 8 : word == Word::F32 ? 4 : 2;
    if (bytes.size() % (2 * size) != 0)
        throw std::runtime_error(path + " is not a whole number of " + std::to_string(2 * size) +
                                 "-byte I/Q samples (" + std::to_string(bytes.size()) + " bytes)");
    const bool swap = bigEndian != (std::endian::native == std::endian::big);
    auto value = [&](std::size_t at) {
        std::uint8_t b[8];
        std::copy_n(bytes.data() + at, size, b);
        if (swap) std::reverse(b, b + size);
        if (word == Word::F64) return std::bit_cast<double>(b);
        if (word == Word::F32) {
            std::uint8_t f[4];
            std::copy_n(b, 4, f);
            return static_cast<double>(std::bit_cast<float>(f));
        }
        std::uint8_t i[2];
        std::copy_n(b, 2, i);
        return std::bit_cast<std::int16_t>(i) / 32767.0;
    };
    dsp::CVec out(bytes.size() / (2 * size));
    for (std::size_t t = 0; t < out.size(); ++t) out[t] = {value(2 * t * size), value((2 * t + 1) * size)};
    return out;
}

Capture readSigmf(const std::string& path) {
    const std::string base = app::sigmfBaseName(path);
    const std::string metaPath = base + ".sigmf-meta";
    nlohmann::json meta;
    try {
        meta = nlohmann::json::parse(host::InputFile(metaPath).text(std::uint64_t{16} << 20));
    } catch (const nlohmann::json::exception& e) {
        throw std::runtime_error(metaPath + " is not a SigMF meta file: " + e.what());
    }
    const auto global = meta.find("global");
    if (global == meta.end() || !global->is_object() || !global->contains("core:datatype"))
        throw std::runtime_error(metaPath + " names no data type (global core:datatype)");
    const auto& type = (*global)["core:datatype"];
    const std::string t = type.is_string() ? type.get<std::string>() : "";
    Word word;
    if (t.rfind("cf64", 0) == 0) word = Word::F64;
    else if (t.rfind("cf32", 0) == 0) word = Word::F32;
    else if (t.rfind("ci16", 0) == 0) word = Word::I16;
    else throw std::runtime_error(metaPath + ": data type " + type.dump() + " is not one zuno-ana reads (cf64, cf32, ci16)");
    Capture c;
    c.samples = decode(readBytes(base + ".sigmf-data"), word, endsWith(t, "_be"), base + ".sigmf-data");
    const auto rate = global->find("core:sample_rate");
    if (rate != global->end() && rate->is_number()) c.sampleRate = rate->get<double>();
    return c;
}

// The MAT exports: `samples` as N x 1 complex or N x 2 [I Q], or `wave` N x 2 with `sampleRate`.
Capture readMat(const std::string& path) {
    const host::Value v = host::readMatFile(path);
    Capture c;
    const char* name = v.hasField("wave") ? "wave" : v.hasField("samples") ? "samples" : nullptr;
    if (!name) throw std::runtime_error(path + " holds no waveform (a variable samples or wave)");
    const host::Value& m = v.field(name);
    if (!m.isNumeric()) throw std::runtime_error(path + ": " + name + " is not a numeric matrix");
    if (m.cols() == 1 || m.rows() == 1) {
        const std::size_t n = m.rows() * m.cols();
        c.samples.resize(n);
        for (std::size_t t = 0; t < n; ++t) c.samples[t] = m.rows() == 1 ? m.complexAt(0, t) : m.complexAt(t, 0);
    } else if (m.cols() == 2 && !m.isComplex()) {
        c.samples.resize(m.rows());
        for (std::size_t t = 0; t < m.rows(); ++t) c.samples[t] = {m.real()[t], m.real()[m.rows() + t]};
    } else {
        throw std::runtime_error(path + ": " + name + " is " + m.describe() + "; a waveform is N x 1 complex or N x 2 [I Q]");
    }
    if (v.hasField("sampleRate") && v.field("sampleRate").isNumeric() && v.field("sampleRate").real().size() == 1)
        c.sampleRate = v.field("sampleRate").real()[0];
    return c;
}

}  // namespace

CaptureFormat formatNamed(const std::string& name) {
    const std::string n = lower(name);
    if (n == "cf64") return CaptureFormat::Cf64;
    if (n == "cf32") return CaptureFormat::Cf32;
    if (n == "ci16be") return CaptureFormat::Ci16be;
    if (n == "ci16le") return CaptureFormat::Ci16le;
    if (n == "sigmf") return CaptureFormat::Sigmf;
    if (n == "mat") return CaptureFormat::Mat;
    throw std::runtime_error("unknown format \"" + name + "\" (cf64, cf32, ci16be, ci16le, sigmf or mat)");
}

CaptureFormat formatOfPath(const std::string& path) {
    const std::string p = lower(path);
    if (endsWith(p, ".sigmf-data") || endsWith(p, ".sigmf-meta") || endsWith(p, ".sigmf")) return CaptureFormat::Sigmf;
    if (endsWith(p, ".mat")) return CaptureFormat::Mat;
    if (endsWith(p, ".cf64")) return CaptureFormat::Cf64;
    if (endsWith(p, ".cf32")) return CaptureFormat::Cf32;
    if (endsWith(p, ".ci16le")) return CaptureFormat::Ci16le;
    if (endsWith(p, ".ci16be") || endsWith(p, ".ci16")) return CaptureFormat::Ci16be;
    // A base name whose recording exists beside it.
    if (::access((path + ".sigmf-meta").c_str(), F_OK) == 0) return CaptureFormat::Sigmf;
    throw std::runtime_error("the format of " + path + " does not follow from its name: give --format");
}

Capture readCapture(const std::string& path, CaptureFormat format) {
    switch (format) {
        case CaptureFormat::Sigmf: return readSigmf(path);
        case CaptureFormat::Mat: return readMat(path);
        case CaptureFormat::Cf64: return {decode(readBytes(path), Word::F64, false, path), std::nullopt};
        case CaptureFormat::Cf32: return {decode(readBytes(path), Word::F32, false, path), std::nullopt};
        case CaptureFormat::Ci16be: return {decode(readBytes(path), Word::I16, true, path), std::nullopt};
        case CaptureFormat::Ci16le: return {decode(readBytes(path), Word::I16, false, path), std::nullopt};
    }
    throw std::logic_error("capture format");
}

}  // namespace app
