#include "model/waveform_files.h"

#include <cmath>
#include <exception>
#include <stdexcept>
#include <vector>

#include "model/torvik.h"
#include "host/core/output_file.h"

namespace model {

namespace {

host::Value iqColumns(const dsp::CVec& w) {
    std::vector<double> columns(2 * w.size());
    for (std::size_t k = 0; k < w.size(); ++k) {
        columns[k] = w[k].real();
        columns[w.size() + k] = w[k].imag();
    }
    return host::Value::matrix(w.size(), 2, std::move(columns));
}

host::Value variables(std::initializer_list<std::pair<const char*, host::Value>> vars) {
    host::Value file = host::Value::record();
    for (const auto& [name, value] : vars) file.set(name, value);
    return file;
}

}  // namespace

host::Value asciiExport(const dsp::CVec& waveform) { return variables({{"samples", iqColumns(waveform)}}); }

host::Value matExport(const dsp::CVec& waveform) {
    std::vector<double> re(waveform.size()), im(waveform.size());
    for (std::size_t k = 0; k < waveform.size(); ++k) {
        re[k] = waveform[k].real();
        im[k] = waveform[k].imag();
    }
    return variables({{"samples", host::Value::matrix(waveform.size(), 1, std::move(re), std::move(im))}});
}

host::Value waveExport(const dsp::CVec& waveform, double sampleRate) {
    return variables({{"samplePoints", static_cast<double>(waveform.size())},
                      {"sampleRate", sampleRate},
                      {"wave", iqColumns(waveform)}});
}

int saveTorvikWaveform(const dsp::CVec& data, const std::string& filename, double scale, std::string* lastError) {
    try {
        // torvikBytes clamps the scale; a NaN would slip through the clamp.
        if (std::isnan(scale)) throw std::invalid_argument("the scale is not a number");
        const std::vector<std::uint8_t> bytes = torvikBytes(data, scale);
        host::writeFileAtomically(filename, bytes);
        return 1;
    } catch (const std::exception& e) {
        if (lastError) *lastError = e.what();
        return 0;
    }
}

}  // namespace model
