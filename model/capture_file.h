#pragma once
// The captures the analyzer reads (zuno-ana and the Measure window): raw interleaved I/Q files,
// SigMF recordings and the application's MAT exports.
#include <optional>
#include <string>

#include "model/capture_source.h"
#include "dsp/types.h"

namespace model {

// "cf64", "cf32", "ci16be", "ci16le", "torvik" (as ci16be), "sigmf", "mat", "ascii" (as mat): every
// form zuno-gen writes. Throws std::runtime_error otherwise.
CaptureFormat formatNamed(const std::string& name);
// Those names, for messages and the usage.
extern const char* const kCaptureFormatNames;
// From the file name's extension (.cf64, .cf32, .ci16be/.ci16/.bin/.iq, .ci16le, .sigmf*, .mat);
// throws std::runtime_error asking for --format when it says nothing.
CaptureFormat formatOfPath(const std::string& path);

struct Capture {
    dsp::CVec samples;
    std::optional<double> sampleRate;  // Hz, when the file says
};

// The whole capture, of up to 2^27 samples (see CaptureSource to read a part of a longer one).
// Throws std::runtime_error naming the file and what is wrong with it.
Capture readCapture(const std::string& path, CaptureFormat format);

}  // namespace model
