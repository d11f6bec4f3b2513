#pragma once
// What zuno-gen writes and prints.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "app/core/records.h"
#include "dsp/types.h"
#include "host/core/output_file.h"
#include "tools/gen_options.h"

namespace gen {

struct WaveformStats {
    double peak = 0;   // largest magnitude
    double rms = 0;    // root mean square magnitude
    double crestDb = 0;  // 20 log10(peak / rms); 0 for silence
};
WaveformStats waveformStats(const dsp::CVec& w);

// "163840 samples at 6144000 Hz, peak 0.2134, RMS 0.0712, crest factor 9.53 dB"
std::string summaryLine(const dsp::CVec& w, double sampleRate);

// The bytes of --out in `format` (not Sigmf); `path` names the file in messages.
std::vector<std::uint8_t> sampleBytes(const dsp::CVec& w, SampleFormat format, const std::string& path);

// Refuses two outputs that would end in the same file (links resolved), naming both options.
// A character device or FIFO may take several.
void checkDistinctOutputs(const GenOptions& options);

// Every output the options ask for (--out, its SigMF pair, --markers, --save-params), written
// under temporary names, to be put in place together once all of them are written.
std::vector<host::PendingFile> prepareOutputs(const GenOptions& options, const dsp::CVec& w,
                                              const std::array<dsp::Bits, 2>& markers,
                                              const app::Parameters& parameters, double sampleRate);

}  // namespace gen
