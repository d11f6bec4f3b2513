#pragma once
// What zuno-gen writes and prints.
#include <array>
#include <string>

#include "app/core/records.h"
#include "dsp/types.h"
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

// Files are written to a temporary name and renamed over the target.
void writeSamples(const std::string& path, const dsp::CVec& w, SampleFormat format);
// PATH.sigmf-data and PATH.sigmf-meta (a .sigmf, .sigmf-meta or .sigmf-data ending of PATH is
// dropped), the slots described from `parameters`, the carrier at its default frequency.
void writeSigmfRecording(const std::string& path, const dsp::CVec& w, const app::Parameters& parameters,
                         double sampleRate);
void writeMarkers(const std::string& path, const std::array<dsp::Bits, 2>& markers);

}  // namespace gen
