#include "model/sample_output.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "model/parameter_file.h"
#include "model/sigmf.h"
#include "model/torvik.h"
#include "model/waveform_files.h"
#include "host/core/mat_file.h"
#include "zuno_version.h"

namespace model {

const char* const kSampleFormatNames = "cf64, cf32, ci16be, torvik, mat, ascii or sigmf";

std::optional<SampleFormat> sampleFormat(std::string_view name) {
    if (name == "cf64") return SampleFormat::Cf64;
    if (name == "cf32") return SampleFormat::Cf32;
    if (name == "ci16be") return SampleFormat::Ci16be;
    if (name == "torvik") return SampleFormat::Torvik;
    if (name == "mat") return SampleFormat::Mat;
    if (name == "ascii") return SampleFormat::Ascii;
    if (name == "sigmf") return SampleFormat::Sigmf;
    return std::nullopt;
}


std::string summaryLine(const dsp::CVec& w, double sampleRate) {
    const auto s = waveformStats(w);
    char line[200];
    std::snprintf(line, sizeof line, "%zu samples at %.0f Hz, peak %.6g, RMS %.6g, crest factor %.2f dB", w.size(),
                  sampleRate, s.peak, s.rms, s.crestDb);
    return line;
}

namespace {

template <class T>
void appendLittleEndian(std::vector<std::uint8_t>& out, T value) {
    std::uint8_t b[sizeof(T)];
    std::memcpy(b, &value, sizeof(T));
    if constexpr (std::endian::native == std::endian::big) std::reverse(b, b + sizeof(T));
    out.insert(out.end(), b, b + sizeof(T));
}

}  // namespace

std::vector<std::uint8_t> sampleBytes(const dsp::CVec& w, SampleFormat format, const std::string& path) {
    std::vector<std::uint8_t> bytes;
    switch (format) {
        case SampleFormat::Ci16be:
        case SampleFormat::Torvik:
            return torvikBytes(w);
        case SampleFormat::Mat:
            return host::matFileBytes(matExport(w), path);
        case SampleFormat::Ascii:
            return host::matFileBytes(asciiExport(w), path);
        case SampleFormat::Sigmf:
            throw std::logic_error("a SigMF recording is two files, prepared by prepareOutputs");
        case SampleFormat::Cf64:
            bytes.reserve(w.size() * 16);
            for (const auto& v : w) {
                appendLittleEndian(bytes, v.real());
                appendLittleEndian(bytes, v.imag());
            }
            break;
        case SampleFormat::Cf32:
            bytes.reserve(w.size() * 8);
            for (const auto& v : w) {
                appendLittleEndian(bytes, static_cast<float>(v.real()));
                appendLittleEndian(bytes, static_cast<float>(v.imag()));
            }
            break;
    }
    return bytes;
}

namespace {

// (option, file) of every output, in the order they are written.
std::vector<std::pair<std::string, std::string>> outputFiles(const SampleOutputs& o) {
    std::vector<std::pair<std::string, std::string>> files;
    if (o.out && o.format == SampleFormat::Sigmf) {
        const std::string base = sigmfBaseName(*o.out);
        files.emplace_back("--out", base + ".sigmf-data");
        files.emplace_back("--out", base + ".sigmf-meta");
    } else if (o.out) {
        files.emplace_back("--out", *o.out);
    }
    if (o.markers) files.emplace_back("--markers", *o.markers);
    if (o.saveParams) files.emplace_back("--save-params", *o.saveParams);
    return files;
}

}  // namespace

void checkDistinctOutputs(const SampleOutputs& options) {
    const auto files = outputFiles(options);
    std::vector<std::string> targets;
    for (const auto& [option, path] : files) targets.push_back(host::outputTarget(path));
    for (std::size_t i = 0; i < files.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (!targets[i].empty() && targets[i] == targets[j])
                throw std::invalid_argument(files[j].first + " " + files[j].second + " and " + files[i].first + " " +
                                            files[i].second + " are the same file; give each output its own");
}

std::vector<host::PendingFile> prepareOutputs(const SampleOutputs& o, const dsp::CVec& w,
                                              const std::array<dsp::Bits, 2>& markers,
                                              const Parameters& parameters, double sampleRate,
                                              const CarrierPlan& plan) {
    std::vector<host::PendingFile> files;
    if (o.out && o.format == SampleFormat::Sigmf) {
        const SigmfRecording recording =
            frameRecording(parameters, w.size(), sampleRate, InitializeSigGenSettings(parameters).Frequency,
                                zuno::versionLine("zuno-gen"));
        for (auto& f : prepareSigmf(sigmfBaseName(*o.out), w, recording)) files.push_back(std::move(f));
    } else if (o.out) {
        files.emplace_back(*o.out, sampleBytes(w, o.format, *o.out));
    }
    if (o.markers) {
        std::vector<std::uint8_t> bytes(markers[0].begin(), markers[0].end());
        bytes.insert(bytes.end(), markers[1].begin(), markers[1].end());
        files.emplace_back(*o.markers, bytes);
    }
    if (o.saveParams)
        files.emplace_back(*o.saveParams, host::matFileBytes(parameterFileVariables(parameters, plan), *o.saveParams));
    return files;
}

}  // namespace model
