#include "model/sigmf.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "model/calculate.h"
#include "model/waveform_files.h"
#include "host/core/number_text.h"

namespace model {

namespace {

const char* modulationName(engine::Modulation mod) {
    switch (mod) {
        case engine::Modulation::Qpsk: return "QPSK";
        case engine::Modulation::Psk8: return "8-PSK";
        case engine::Modulation::Qam16: break;
    }
    return "16-QAM";
}

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

SigmfRecording frameRecording(const Parameters& p, std::size_t samples, double sampleRate, double frequency,
                              std::string recorder) {
    SigmfRecording r;
    r.sampleRate = sampleRate;
    r.frequency = frequency;
    r.recorder = std::move(recorder);
    r.description = "IS-856 forward link frame, 16 slots of 2048 chips at 1228800 chips/s, oversampling " +
                    host::numberText(p.OverSampling) + ", pilot PN offset index " +
                    host::numberText(p.PilotOffsetIndex);
    // Slot contents as the engine decides them: channel switches gate the per-slot ones.
    const engine::FrameArgs a = frameArguments(p, {});
    // A waveform of several frames (several carriers) repeats the first carrier's frame.
    const std::uint64_t perSlot = static_cast<std::uint64_t>(engine::kChipsPerSlot * p.OverSampling);
    const std::uint64_t slots = perSlot > 0 ? samples / perSlot : 0;
    const bool frames = slots > engine::kSlots;
    if (frames) r.description += ", " + std::to_string(slots / engine::kSlots) + " frames";
    for (std::uint64_t k = 0; k < slots; ++k) {
        const std::size_t i = k % engine::kSlots;
        std::string label = (frames ? "frame " + std::to_string(k / engine::kSlots + 1) + ", " : std::string()) + "slot " +
                            std::to_string(i + 1) + ": ";
        if (a.Mode != engine::FrameMode::Full) {
            label += "PN only";
        } else {
            label += a.DATAactive[i] ? std::string("traffic ") + modulationName(a.DATAformat[i]) : std::string("traffic idle");
            label += a.macActive(i) ? ", MAC active" : ", MAC idle";
        }
        r.annotations.push_back({k * perSlot, perSlot, std::move(label)});
    }
    return r;
}

nlohmann::ordered_json sigmfMeta(const SigmfRecording& r) {
    nlohmann::ordered_json annotations = nlohmann::ordered_json::array();
    for (const SigmfAnnotation& a : r.annotations)
        annotations.push_back({{"core:sample_start", a.sampleStart}, {"core:sample_count", a.sampleCount}, {"core:label", a.label}});
    return {
        {"global",
         {{"core:datatype", "cf32_le"},
          {"core:version", "1.2.0"},
          {"core:sample_rate", r.sampleRate},
          {"core:num_channels", 1},
          {"core:description", r.description},
          {"core:recorder", r.recorder}}},
        {"captures", nlohmann::ordered_json::array({{{"core:sample_start", 0}, {"core:frequency", r.frequency}}})},
        {"annotations", annotations},
    };
}

std::string sigmfBaseName(const std::string& name) {
    for (const char* ext : {".sigmf-meta", ".sigmf-data", ".sigmf"})
        if (endsWith(name, ext) && name.size() > std::strlen(ext)) return name.substr(0, name.size() - std::strlen(ext));
    return name;
}

std::vector<host::PendingFile> prepareSigmf(const std::string& base, const dsp::CVec& samples,
                                            const SigmfRecording& recording) {
    std::vector<std::uint8_t> data(samples.size() * 8);
    auto put = [&](std::size_t at, double x) {
        const auto bits = std::bit_cast<std::uint32_t>(static_cast<float>(x));
        for (int b = 0; b < 4; ++b) data[at + b] = static_cast<std::uint8_t>(bits >> (8 * b));
    };
    for (std::size_t k = 0; k < samples.size(); ++k) {
        put(8 * k, samples[k].real());
        put(8 * k + 4, samples[k].imag());
    }
    const std::string meta = sigmfMeta(recording).dump(4) + "\n";
    std::vector<host::PendingFile> files;
    files.emplace_back(base + ".sigmf-data", data);
    // The metadata last: a reader that finds it finds its samples too.
    files.emplace_back(base + ".sigmf-meta",
                       std::span(reinterpret_cast<const std::uint8_t*>(meta.data()), meta.size()));
    return files;
}

void writeSigmf(const std::string& base, const dsp::CVec& samples, const SigmfRecording& recording) {
    auto files = prepareSigmf(base, samples, recording);
    host::commitTogether(files);
}

}  // namespace model
