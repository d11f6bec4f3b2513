#pragma once
// Sample files: the formats the programs write, their bytes, and the set of files one run writes.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/carriers.h"
#include "model/records.h"
#include "model/waveform_stats.h"
#include "dsp/types.h"
#include "host/core/output_file.h"

namespace model {

// Ci16be and Torvik are the same headerless 16-bit file; Mat and Ascii the application's record
// forms; Sigmf a recording of two files.
enum class SampleFormat { Cf64, Cf32, Ci16be, Torvik, Mat, Ascii, Sigmf };

// The format of that name (as --format takes it), or nothing.
std::optional<SampleFormat> sampleFormat(std::string_view name);
// "cf64, cf32, ci16be, torvik, mat, ascii or sigmf", for messages.
extern const char* const kSampleFormatNames;

// The files one run writes: the samples (--out in `format`), the marker rows, the settings.
struct SampleOutputs {
    std::optional<std::string> out;
    SampleFormat format = SampleFormat::Cf64;
    std::optional<std::string> markers;
    std::optional<std::string> saveParams;
};

// "163840 samples at 6144000 Hz, peak 0.2134, RMS 0.0712, crest factor 9.53 dB"
std::string summaryLine(const dsp::CVec& w, double sampleRate);

// The bytes of --out in `format` (not Sigmf); `path` names the file in messages.
std::vector<std::uint8_t> sampleBytes(const dsp::CVec& w, SampleFormat format, const std::string& path);

// Refuses two outputs that would end in the same file (links resolved), naming both options.
// A character device or FIFO may take several.
void checkDistinctOutputs(const SampleOutputs& options);

// Every output the options ask for (--out, its SigMF pair, --markers, --save-params), written
// under temporary names, to be put in place together once all of them are written.
std::vector<host::PendingFile> prepareOutputs(const SampleOutputs& options, const dsp::CVec& w,
                                              const std::array<dsp::Bits, 2>& markers,
                                              const Parameters& parameters, double sampleRate,
                                              const CarrierPlan& plan = {});

}  // namespace model
