#include "tools/gen_output.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "app/core/sigmf.h"
#include "app/core/waveform_files.h"
#include "host/core/mat_file.h"

namespace gen {

WaveformStats waveformStats(const dsp::CVec& w) {
    WaveformStats s;
    double sum = 0;
    for (const auto& v : w) {
        const double p = std::norm(v);
        sum += p;
        s.peak = std::max(s.peak, p);
    }
    s.peak = std::sqrt(s.peak);
    s.rms = w.empty() ? 0.0 : std::sqrt(sum / static_cast<double>(w.size()));
    s.crestDb = s.rms > 0 ? 20.0 * std::log10(s.peak / s.rms) : 0.0;
    return s;
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
void appendLittleEndian(std::vector<unsigned char>& out, T value) {
    unsigned char b[sizeof(T)];
    std::memcpy(b, &value, sizeof(T));
    if constexpr (std::endian::native == std::endian::big) std::reverse(b, b + sizeof(T));
    out.insert(out.end(), b, b + sizeof(T));
}

}  // namespace

void writeSamples(const std::string& path, const dsp::CVec& w, SampleFormat format) {
    std::vector<unsigned char> bytes;
    switch (format) {
        case SampleFormat::Ci16be:
        case SampleFormat::Torvik: {
            std::string why;
            if (!app::saveTorvikWaveform(w, path, 1.0, &why)) throw std::runtime_error(why);
            return;
        }
        case SampleFormat::Mat:
            host::writeMatFile(path, app::matExport(w));
            return;
        case SampleFormat::Ascii:
            host::writeMatFile(path, app::asciiExport(w));
            return;
        case SampleFormat::Sigmf:
            throw std::logic_error("a SigMF recording is written by writeSigmfRecording");
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
    app::writeFileAtomically(path, bytes.data(), bytes.size());
}

void writeSigmfRecording(const std::string& path, const dsp::CVec& w, const app::Parameters& parameters,
                         double sampleRate) {
    const app::SigmfRecording recording =
        app::frameRecording(parameters, w.size(), sampleRate, app::InitializeSigGenSettings(parameters).Frequency,
                            "zuno-gen " + app::InitializeAppInfo().Rev);
    app::writeSigmf(app::sigmfBaseName(path), w, recording);
}

void writeMarkers(const std::string& path, const std::array<dsp::Bits, 2>& markers) {
    std::vector<std::uint8_t> bytes(markers[0].begin(), markers[0].end());
    bytes.insert(bytes.end(), markers[1].begin(), markers[1].end());
    app::writeFileAtomically(path, bytes.data(), bytes.size());
}

}  // namespace gen
