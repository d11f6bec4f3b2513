// The compiled part of the zuno_fwd Python module. Settings cross as JSON text, which the
// module's Python face makes from and into dicts; frames cross as NumPy arrays.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <complex>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "analyzer/analysis.h"
#include "analyzer/frames.h"
#include "analyzer/json.h"
#include "model/calculate.h"
#include "model/carrier_file.h"
#include "model/json_text.h"
#include "model/parameter_file.h"
#include "model/parameter_overrides.h"
#include "model/records.h"
#include "model/settings_source.h"
#include "dsp/allocator.h"
#include "host/core/output_file.h"
#include "model/sample_file.h"
#include "model/sample_output.h"
#include "instrument/core/batch_download.h"
#include "zuno_version.h"

namespace py = pybind11;

namespace {

// A file could not be written: OSError in Python, where a refused setting is a ValueError.
struct FileError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

using Overrides = std::vector<std::string>;  // JSON objects of fields, applied in order

model::Parameters settings(const std::optional<std::string>& path, const Overrides& overrides) {
    model::Parameters p = path ? model::parametersFrom(*path) : model::InitializeParameters();
    for (const auto& text : overrides) model::applySettingsText(p, text);
    return p;
}

// Writing goes wrong as the file system says: the writers' runtime errors become FileError.
template <class Write>
void writing(Write&& write) {
    try {
        write();
    } catch (const std::runtime_error& e) {
        throw FileError(e.what());
    }
}

py::tuple generate(const std::optional<std::string>& path, const Overrides& overrides,
                   std::optional<std::uint64_t> seed, const std::optional<std::string>& carrierJson) {
    engine::FrameResult frame;
    {
        py::gil_scoped_release unlocked;
        const model::Parameters p = settings(path, overrides);
        // The file's carriers and noise, changed by the call's.
        model::CarrierPlan plan = path ? model::carrierPlanFrom(*path) : model::CarrierPlan{};
        if (carrierJson) model::overridePlan(plan, model::carrierPlanFromJson(model::parseJsonLimited(*carrierJson)));
        // Without a seed every call draws fresh noise from a source of its own, so that calls
        // on several threads share nothing.
        const std::uint64_t drawn = seed ? *seed : std::random_device{}();
        dsp::Rng rng(drawn);
        frame = plan.plain() ? model::Calculate(p, rng) : model::calculateCarriers(p, plan, drawn).frame;
    }
    // The array takes the engine's samples as they are; the vector lives as long as the array.
    auto samples = std::make_unique<dsp::CVec>(std::move(frame.waveform));
    const std::size_t n = samples->size();
    std::complex<double>* data = samples->data();
    py::capsule owner(samples.get(), [](void* v) { delete static_cast<dsp::CVec*>(v); });
    samples.release();
    py::array_t<std::complex<double>> waveform(n, data, owner);

    py::array_t<std::uint8_t> markers({std::size_t{2}, n});
    for (std::size_t row = 0; row < 2; ++row)
        std::memcpy(markers.mutable_data(row, 0), frame.events[row].data(), n);
    return py::make_tuple(std::move(waveform), std::move(markers));
}

std::string defaults() {
    return model::settingsJson(model::InitializeParameters()).dump();
}

std::string loadParams(const std::string& path) {
    py::gil_scoped_release unlocked;
    return model::settingsJson(model::parametersFrom(path)).dump();
}

void saveParams(const std::string& path, const Overrides& overrides) {
    py::gil_scoped_release unlocked;
    const model::Parameters p = settings(std::nullopt, overrides);
    writing([&] { model::writeParameterFile(path, p); });
}

// A SigMF recording describes a whole frame: its oversampling follows from its length unless
// the settings give it.
model::Parameters recordingSettings(std::size_t samples, const std::optional<std::string>& path,
                                  const Overrides& overrides) {
    model::Parameters p = settings(path, overrides);
    if (!path && overrides.empty() && samples > 0 && samples % engine::kChipsPerFrame == 0)
        model::applyOverrides(p, nlohmann::json{{"OverSampling", samples / engine::kChipsPerFrame}});
    const double expected = static_cast<double>(engine::kChipsPerFrame) * p.OverSampling;
    if (static_cast<double>(samples) != expected)
        throw std::invalid_argument("a SigMF recording holds one frame: " + std::to_string(samples) +
                                    " samples are not the " + std::to_string(static_cast<long long>(expected)) +
                                    " of a frame at oversampling " + std::to_string(static_cast<long long>(p.OverSampling)));
    return p;
}

using SampleArray = py::array_t<std::complex<double>, py::array::c_style | py::array::forcecast>;
using MarkerArray = py::array_t<std::uint8_t, py::array::c_style | py::array::forcecast>;

dsp::CVec samplesOf(const SampleArray& samples) {
    if (samples.ndim() != 1) throw std::invalid_argument("samples must be one row of complex values");
    return dsp::CVec(samples.data(), samples.data() + samples.size());
}

std::optional<std::array<dsp::Bits, 2>> markersOf(const std::optional<MarkerArray>& markers, std::size_t n) {
    if (!markers) return std::nullopt;
    if (markers->ndim() != 2 || markers->shape(0) != 2 || static_cast<std::size_t>(markers->shape(1)) != n)
        throw std::invalid_argument("markers must have the shape (2, " + std::to_string(n) + "): two rows, one value per sample");
    std::array<dsp::Bits, 2> rows;
    for (std::size_t r = 0; r < 2; ++r) {
        const std::uint8_t* row = markers->data(r, 0);
        rows[r].assign(row, row + n);
        for (auto& b : rows[r]) b = b != 0;
    }
    return rows;
}

py::array_t<std::uint8_t> markerArray(const std::array<dsp::Bits, 2>& markers) {
    const std::size_t n = markers[0].size();
    py::array_t<std::uint8_t> out({std::size_t{2}, n});
    for (std::size_t row = 0; row < 2; ++row)
        if (n > 0) std::memcpy(out.mutable_data(row, 0), markers[row].data(), n);
    return out;
}

void writeSamples(const std::string& path, const SampleArray& samples, const std::string& format,
                  const std::optional<std::string>& paramsPath, const Overrides& overrides,
                  const std::optional<MarkerArray>& markers, std::optional<double> rate, std::optional<double> frequency) {
    model::SampleFile file;
    file.samples = samplesOf(samples);
    file.markers = markersOf(markers, file.samples.size());
    file.sampleRate = rate;
    file.frequency = frequency;
    const auto kind = model::sampleFormat(format);
    if (!kind) throw std::invalid_argument(std::string("format must be ") + model::kSampleFormatNames + ", not '" + format + "'");
    py::gil_scoped_release unlocked;
    model::Parameters p;
    if (*kind == model::SampleFormat::Sigmf) p = recordingSettings(file.samples.size(), paramsPath, overrides);
    writing([&] {
        auto files = model::prepareSampleFile(path, *kind, file, p);
        host::commitTogether(files);
    });
}

py::tuple readSamples(const std::string& path, const std::optional<std::string>& format) {
    std::optional<model::SampleFormat> kind;
    if (format) {
        kind = model::sampleFormat(*format);
        if (!kind) throw std::invalid_argument(std::string("format must be ") + model::kSampleFormatNames + ", not '" + *format + "'");
    }
    model::SampleFile file;
    {
        py::gil_scoped_release unlocked;
        file = model::readSampleFile(path, kind);
    }
    py::array_t<std::complex<double>> samples(file.samples.size(), file.samples.data());
    py::object rate = file.sampleRate ? py::object(py::float_(*file.sampleRate)) : py::object(py::none());
    py::object markers = file.markers ? py::object(markerArray(*file.markers)) : py::object(py::none());
    return py::make_tuple(std::move(samples), std::move(rate), std::move(markers));
}

// A failed download or playback: the instrument link's own error, OSError in Python.
struct LinkError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string download(const SampleArray& samples, const std::optional<MarkerArray>& markers, const std::string& address,
                     const std::optional<std::string>& path, const Overrides& overrides,
                     const std::vector<std::string>& sigGen, double timeout, std::optional<int> portmapper) {
    const dsp::CVec w = samplesOf(samples);
    const auto given = markersOf(markers, w.size());
    const std::array<dsp::Bits, 2> rows = given ? *given : std::array<dsp::Bits, 2>{dsp::Bits(w.size()), dsp::Bits(w.size())};
    if (!(timeout > 0 && timeout <= 3600))
        throw std::invalid_argument("timeout must be more than 0 and at most 3600 seconds, not " + std::to_string(timeout));
    hwio::Options link;
    link.timeout = timeout;
    if (portmapper) {
        if (*portmapper < 1 || *portmapper > 65535)
            throw std::invalid_argument("portmapper must be a port from 1 to 65535, not " + std::to_string(*portmapper));
        link.portmapperPort = static_cast<std::uint16_t>(*portmapper);
    }
    py::gil_scoped_release unlocked;
    model::SigGenSettings sig = model::InitializeSigGenSettings(settings(path, overrides));
    for (const auto& s : sigGen) instrument::applySigGenSetting(sig, s);
    std::ostringstream out, err;
    if (instrument::downloadAndPlay(w, rows, sig, address, out, err, link) != 0) {
        std::string message = err.str();
        while (!message.empty() && message.back() == '\n') message.pop_back();
        throw LinkError(message);
    }
    return out.str();
}

analyzer::ReferenceFilter referenceFilter(const std::string& name) {
    if (name == "std") return analyzer::ReferenceFilter::Standard;
    if (name == "acp") return analyzer::ReferenceFilter::Acp;
    if (name == "rect") return analyzer::ReferenceFilter::Rectangular;
    throw std::invalid_argument("reference must be std, acp or rect, not '" + name + "'");
}

std::string analyzeSamples(const SampleArray& samples, double rate, std::optional<int> pnOffset,
                           const std::string& reference, bool equalizer, std::optional<double> offset,
                           std::optional<std::size_t> frames) {
    analyzer::Options options;
    options.carrierOffsetHz = offset;
    options.sampleRate = rate;
    options.pnOffset = pnOffset;
    options.filter = referenceFilter(reference);
    options.phaseEqualizer = equalizer;
    const dsp::CVec w = samplesOf(samples);
    py::gil_scoped_release unlocked;
    return analyzer::toJson(analyzer::analyzeFrames(w, options, frames)).dump();
}

}  // namespace

PYBIND11_MODULE(_core, m) {
    m.doc() = "The compiled part of zuno_fwd; use the functions of zuno_fwd itself.";
    m.attr("__version__") = std::string(zuno::kVersion);
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const FileError& e) {
            PyErr_SetString(PyExc_OSError, e.what());
        } catch (const LinkError& e) {
            PyErr_SetString(PyExc_OSError, e.what());
        } catch (const std::runtime_error& e) {
            PyErr_SetString(PyExc_ValueError, e.what());
        } catch (const std::invalid_argument& e) {
            PyErr_SetString(PyExc_ValueError, e.what());
        } catch (const nlohmann::json::exception& e) {
            PyErr_SetString(PyExc_ValueError, e.what());
        }
    });

    m.def("generate", &generate, py::arg("path"), py::arg("overrides"), py::arg("seed"), py::arg("carriers") = py::none());
    m.def("defaults", &defaults);
    m.def("load_params", &loadParams, py::arg("path"));
    m.def("save_params", &saveParams, py::arg("path"), py::arg("overrides"));
    m.def("write", &writeSamples, py::arg("path"), py::arg("samples"), py::arg("format"), py::arg("params_path"),
          py::arg("overrides"), py::arg("markers"), py::arg("rate"), py::arg("frequency"));
    m.def("read", &readSamples, py::arg("path"), py::arg("format"));
    m.def("download", &download, py::arg("samples"), py::arg("markers"), py::arg("address"), py::arg("params_path"),
          py::arg("overrides"), py::arg("sig_gen"), py::arg("timeout"), py::arg("portmapper"));
    m.def("keep_large_buffers", &dsp::keepLargeBuffers);
    m.def("analyze", &analyzeSamples, py::arg("samples"), py::arg("rate"), py::arg("pn_offset"), py::arg("reference"),
          py::arg("equalizer"), py::arg("offset"), py::arg("frames"));
}
