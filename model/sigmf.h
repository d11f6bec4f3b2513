#pragma once
// SigMF recordings: NAME.sigmf-data (cf32_le samples) and NAME.sigmf-meta (JSON), which the
// usual signal-analysis tools open with the sample rate, carrier and slot layout attached.
#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "model/records.h"
#include "dsp/types.h"
#include "host/core/output_file.h"

namespace model {

struct SigmfAnnotation {
    std::uint64_t sampleStart = 0;
    std::uint64_t sampleCount = 0;
    std::string label;
};

struct SigmfRecording {
    double sampleRate = 0;  // Hz
    double frequency = 0;   // carrier, Hz
    std::string description;
    std::string recorder;  // program name and version
    std::vector<SigmfAnnotation> annotations;
};

// The recording of the frames computed from `parameters` with `samples` samples: a description of
// the frame and one annotation per slot (of every frame) saying what its traffic and MAC parts carry.
SigmfRecording frameRecording(const Parameters& parameters, std::size_t samples, double sampleRate,
                              double frequency, std::string recorder);

// Fields in the order the format lists them.
nlohmann::ordered_json sigmfMeta(const SigmfRecording& recording);

// NAME for NAME, NAME.sigmf, NAME.sigmf-meta and NAME.sigmf-data.
std::string sigmfBaseName(const std::string& name);

// The two files, written under temporary names and ready to be put in place together.
// Throws std::runtime_error naming the file that could not be written.
std::vector<host::PendingFile> prepareSigmf(const std::string& base, const dsp::CVec& samples,
                                            const SigmfRecording& recording);

// Writes base + ".sigmf-data" and base + ".sigmf-meta" so that both are new, or, when one
// cannot be written, both are as they were.
void writeSigmf(const std::string& base, const dsp::CVec& samples, const SigmfRecording& recording);

}  // namespace model
