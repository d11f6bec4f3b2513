#pragma once
// A capture file read in pieces: raw interleaved I/Q, SigMF recordings and the application's MAT
// exports, converted to complex samples block by block, so that a reader holds only the samples
// it asks for whatever the file's size.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "dsp/types.h"
#include "host/core/input_file.h"
#include "host/core/value.h"

namespace model {

enum class CaptureFormat { Cf64, Cf32, Ci16be, Ci16le, Sigmf, Mat };

class CaptureSource {
public:
    // Opens the file (for SigMF, reads the meta file and opens the data file) and checks that it
    // holds whole samples. Throws std::runtime_error naming the file and what is wrong with it.
    CaptureSource(const std::string& path, CaptureFormat format);
    ~CaptureSource();
    CaptureSource(const CaptureSource&) = delete;
    CaptureSource& operator=(const CaptureSource&) = delete;

    std::uint64_t sampleCount() const { return count_; }
    std::optional<double> sampleRate() const { return rate_; }

    // Samples `first` to `first + n` (fewer at the end of the file).
    dsp::CVec read(std::uint64_t first, std::size_t n) const;

private:
    enum class Word { F64, F32, I16 };
    void openRaw(const std::string& path, Word word, bool bigEndian);
    void openSigmf(const std::string& path);
    void openMat(const std::string& path);

    std::string path_;  // of the samples, for messages
    std::unique_ptr<host::InputFile> file_;
    Word word_ = Word::F32;
    bool swap_ = false;
    std::uint64_t count_ = 0;
    std::optional<double> rate_;
    // A MAT export is read whole (its reader has no other way), within that reader's limits.
    host::Value mat_;
    bool matRows_ = false;  // 1 x N rather than N x 1 or N x 2
};

}  // namespace model
