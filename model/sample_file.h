#pragma once
// One sample file with what travels with the samples where the format has room for it: the
// sample rate, the centre frequency and the two marker rows. The Python module's write and read.
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "model/records.h"
#include "model/sample_output.h"
#include "dsp/types.h"
#include "host/core/output_file.h"

namespace model {

struct SampleFile {
    dsp::CVec samples;
    std::optional<double> sampleRate;                 // Hz
    std::optional<double> frequency;                  // centre, Hz (SigMF only)
    std::optional<std::array<dsp::Bits, 2>> markers;  // each as long as the samples
};

// The files of `file` in `format` under `path`, ready to be put in place together. Mat and ascii
// keep the rate as `sampleRate` and the markers as `markers` (N x 2, 0 or 1); SigMF keeps the
// rate and frequency in its meta file and each run of a high marker as an annotation labelled
// "marker 1" or "marker 2" beside the slot annotations of a frame made with `parameters`
// (unknown rate and frequency come from them). The headerless formats hold samples only: a rate,
// frequency or markers for them is refused (std::invalid_argument), as is a frequency for
// anything but SigMF.
std::vector<host::PendingFile> prepareSampleFile(const std::string& path, SampleFormat format, const SampleFile& file,
                                                 const Parameters& parameters);

// A file `prepareSampleFile` writes, in `format` or the one its name gives (torvik as ci16be,
// ascii as mat). Rate, frequency and markers are those the file holds. Throws std::runtime_error
// naming the file and what is wrong with it.
SampleFile readSampleFile(const std::string& path, std::optional<SampleFormat> format = {});

}  // namespace model
