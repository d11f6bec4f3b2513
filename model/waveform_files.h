#pragma once
// The waveform export files: the record-file forms (variables ready for host::writeMatFile) and
// the headerless 16-bit file.
#include <cstddef>
#include <string>

#include "dsp/types.h"
#include "host/core/value.h"

namespace model {

inline constexpr const char* kTorvikDefaultName = "VSK-C";

// The "ASCII" choice: `samples`, an N x 2 real matrix [I Q].
host::Value asciiExport(const dsp::CVec& waveform);
// The "MAT" choice: `samples`, an N x 1 complex column.
host::Value matExport(const dsp::CVec& waveform);
// The Special menu's file: `samplePoints` N, `sampleRate`, `wave` N x 2 [I Q].
host::Value waveExport(const dsp::CVec& waveform, double sampleRate);

// The headerless file of torvikBytes: 4N bytes, I and Q big-endian at full scale 32766 x scale.
// Returns 1 on success; 0 when the file cannot be written or the data cannot be coded, with the
// reason in *lastError when given. Nothing is reported otherwise: the caller decides how.
int saveTorvikWaveform(const dsp::CVec& data, const std::string& filename = kTorvikDefaultName, double scale = 1.0,
                       std::string* lastError = nullptr);

}  // namespace model
