#include "model/capture_file.h"

#include <unistd.h>

#include <cctype>
#include <stdexcept>

namespace model {

namespace {

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

const char* const kCaptureFormatNames = "cf64, cf32, ci16be, ci16le, torvik, sigmf, mat or ascii";

CaptureFormat formatNamed(const std::string& name) {
    const std::string n = lower(name);
    if (n == "cf64") return CaptureFormat::Cf64;
    if (n == "cf32") return CaptureFormat::Cf32;
    if (n == "ci16be") return CaptureFormat::Ci16be;
    if (n == "ci16le") return CaptureFormat::Ci16le;
    if (n == "torvik") return CaptureFormat::Ci16be;  // the same headerless big-endian file
    if (n == "sigmf") return CaptureFormat::Sigmf;
    // The ASCII export is a MAT file too, its samples as [I Q] columns.
    if (n == "mat" || n == "ascii") return CaptureFormat::Mat;
    throw std::runtime_error("unknown format \"" + name + "\" (" + std::string(kCaptureFormatNames) + ")");
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
    const CaptureSource source(path, format);
    // Read whole, samples take 16 bytes each: beyond 2 GB of them the caller must read in pieces.
    constexpr std::uint64_t kMaxWhole = std::uint64_t{1} << 27;
    if (source.sampleCount() > kMaxWhole)
        throw std::runtime_error("cannot read " + path + ": it holds " + std::to_string(source.sampleCount()) +
                                 " samples, more than the " + std::to_string(kMaxWhole) + " read at once");
    return {source.read(0, static_cast<std::size_t>(source.sampleCount())), source.sampleRate()};
}

}  // namespace model
