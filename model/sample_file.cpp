#include "model/sample_file.h"

#include <algorithm>
#include <stdexcept>

#include "model/capture_file.h"
#include "model/json_text.h"
#include "model/sigmf.h"
#include "model/waveform_files.h"
#include "host/core/input_file.h"
#include "host/core/mat_file.h"
#include "zuno_version.h"

namespace model {

namespace {

const char* const kMarkerLabels[2] = {"marker 1", "marker 2"};

const char* formatName(SampleFormat f) {
    switch (f) {
        case SampleFormat::Cf64: return "cf64";
        case SampleFormat::Cf32: return "cf32";
        case SampleFormat::Ci16be: return "ci16be";
        case SampleFormat::Torvik: return "torvik";
        case SampleFormat::Mat: return "mat";
        case SampleFormat::Ascii: return "ascii";
        case SampleFormat::Sigmf: break;
    }
    return "sigmf";
}

void checkMarkers(const SampleFile& file) {
    if (!file.markers) return;
    for (const auto& row : *file.markers)
        if (row.size() != file.samples.size())
            throw std::invalid_argument("markers must be 2 rows of " + std::to_string(file.samples.size()) +
                                        " values, one per sample, not " + std::to_string(row.size()));
}

// Runs of a high marker, as SigMF annotations.
void markerAnnotations(const std::array<dsp::Bits, 2>& markers, std::vector<SigmfAnnotation>& out) {
    for (std::size_t r = 0; r < 2; ++r) {
        const dsp::Bits& row = markers[r];
        for (std::size_t k = 0; k < row.size();) {
            if (!row[k]) {
                ++k;
                continue;
            }
            const std::size_t start = k;
            while (k < row.size() && row[k]) ++k;
            out.push_back({start, k - start, kMarkerLabels[r]});
        }
    }
}

host::Value markerColumns(const std::array<dsp::Bits, 2>& markers) {
    const std::size_t n = markers[0].size();
    std::vector<double> columns(2 * n);
    for (std::size_t k = 0; k < n; ++k) {
        columns[k] = markers[0][k] ? 1 : 0;
        columns[n + k] = markers[1][k] ? 1 : 0;
    }
    return host::Value::matrix(n, 2, std::move(columns));
}

// The MAT file's `markers`, N x 2 of 0 and 1, when it has them.
std::optional<std::array<dsp::Bits, 2>> matMarkers(const std::string& path, std::size_t samples) {
    const host::Value v = host::readMatFile(path);
    if (!v.hasField("markers")) return std::nullopt;
    const host::Value& m = v.field("markers");
    if (!m.isNumeric() || m.rows() != samples || m.cols() != 2)
        throw std::runtime_error(path + ": markers is " + m.describe() + ", not " + std::to_string(samples) +
                                 " x 2 (one row per sample)");
    std::array<dsp::Bits, 2> out{dsp::Bits(samples), dsp::Bits(samples)};
    for (std::size_t r = 0; r < 2; ++r)
        for (std::size_t k = 0; k < samples; ++k) out[r][k] = m.real()[r * samples + k] != 0;
    return out;
}

// The meta file's centre frequency and marker annotations.
void sigmfExtras(const std::string& path, SampleFile& file) {
    const std::string metaPath = sigmfBaseName(path) + ".sigmf-meta";
    constexpr JsonLimits limits{32, std::size_t{1} << 24, std::size_t{16} << 20};
    const nlohmann::json meta = parseJsonLimited(host::InputFile(metaPath).text(limits.maxBytes), limits);
    if (const auto captures = meta.find("captures"); captures != meta.end() && captures->is_array() &&
                                                        !captures->empty() && (*captures)[0].is_object()) {
        const auto f = (*captures)[0].find("core:frequency");
        if (f != (*captures)[0].end() && f->is_number()) file.frequency = f->get<double>();
    }
    const auto annotations = meta.find("annotations");
    if (annotations == meta.end() || !annotations->is_array()) return;
    const std::size_t n = file.samples.size();
    for (const auto& a : *annotations) {
        if (!a.is_object()) continue;
        const auto label = a.find("core:label");
        if (label == a.end() || !label->is_string()) continue;
        const auto r = std::find(std::begin(kMarkerLabels), std::end(kMarkerLabels), label->get<std::string>());
        if (r == std::end(kMarkerLabels)) continue;
        const auto start = a.find("core:sample_start");
        const auto count = a.find("core:sample_count");
        if (start == a.end() || count == a.end() || !start->is_number_unsigned() || !count->is_number_unsigned() ||
            start->get<std::uint64_t>() > n || count->get<std::uint64_t>() > n - start->get<std::uint64_t>())
            throw std::runtime_error(metaPath + ": a " + label->get<std::string>() +
                                     " annotation lies outside the recording's " + std::to_string(n) + " samples");
        if (!file.markers) file.markers = std::array<dsp::Bits, 2>{dsp::Bits(n), dsp::Bits(n)};
        dsp::Bits& row = (*file.markers)[static_cast<std::size_t>(r - std::begin(kMarkerLabels))];
        std::fill_n(row.begin() + static_cast<std::ptrdiff_t>(start->get<std::uint64_t>()),
                    static_cast<std::ptrdiff_t>(count->get<std::uint64_t>()), 1);
    }
}

CaptureFormat captureFormat(SampleFormat f) {
    switch (f) {
        case SampleFormat::Cf64: return CaptureFormat::Cf64;
        case SampleFormat::Cf32: return CaptureFormat::Cf32;
        case SampleFormat::Ci16be:
        case SampleFormat::Torvik: return CaptureFormat::Ci16be;
        case SampleFormat::Mat:
        case SampleFormat::Ascii: return CaptureFormat::Mat;
        case SampleFormat::Sigmf: break;
    }
    return CaptureFormat::Sigmf;
}

}  // namespace

std::vector<host::PendingFile> prepareSampleFile(const std::string& path, SampleFormat format, const SampleFile& file,
                                                 const Parameters& parameters) {
    checkMarkers(file);
    const bool record = format == SampleFormat::Mat || format == SampleFormat::Ascii;
    if (format != SampleFormat::Sigmf && (file.frequency || (!record && (file.sampleRate || file.markers))))
        throw std::invalid_argument(std::string(formatName(format)) + " holds " +
                                    (record ? "the rate and markers but no centre frequency: sigmf holds all three"
                                            : "samples only: the rate and markers go in mat, ascii or sigmf, the "
                                              "centre frequency in sigmf"));
    std::vector<host::PendingFile> files;
    if (record) {
        host::Value v = format == SampleFormat::Mat ? matExport(file.samples) : asciiExport(file.samples);
        if (file.sampleRate) v.set("sampleRate", *file.sampleRate);
        if (file.markers) v.set("markers", markerColumns(*file.markers));
        files.emplace_back(path, host::matFileBytes(v, path));
    } else if (format == SampleFormat::Sigmf) {
        const SigGenSettings sig = InitializeSigGenSettings(parameters);
        SigmfRecording recording =
            frameRecording(parameters, file.samples.size(), file.sampleRate.value_or(sig.SamplingRate),
                           file.frequency.value_or(sig.Frequency), zuno::versionLine("zuno-gen"));
        if (file.markers) {
            markerAnnotations(*file.markers, recording.annotations);
            // Readers expect annotations in the order of their first sample.
            std::stable_sort(recording.annotations.begin(), recording.annotations.end(),
                             [](const SigmfAnnotation& a, const SigmfAnnotation& b) { return a.sampleStart < b.sampleStart; });
        }
        files = prepareSigmf(sigmfBaseName(path), file.samples, recording);
    } else {
        files.emplace_back(path, sampleBytes(file.samples, format, path));
    }
    return files;
}

SampleFile readSampleFile(const std::string& path, std::optional<SampleFormat> format) {
    const CaptureFormat kind = format ? captureFormat(*format) : formatOfPath(path);
    Capture capture = readCapture(path, kind);
    SampleFile file;
    file.samples = std::move(capture.samples);
    file.sampleRate = capture.sampleRate;
    if (kind == CaptureFormat::Mat) file.markers = matMarkers(path, file.samples.size());
    if (kind == CaptureFormat::Sigmf) sigmfExtras(path, file);
    return file;
}

}  // namespace model
