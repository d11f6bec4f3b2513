#pragma once
// A capture file read in pieces: raw interleaved I/Q, SigMF recordings and the application's MAT
// exports, converted to complex samples block by block, so that a reader holds only the samples
// it asks for whatever the file's size.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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

    // The raw samples' layout: bytes per I or Q value, and how one is read.
    enum class Word { F64, F32, I16 };
    static std::size_t wordBytes(Word w) { return w == Word::F64 ? 8 : w == Word::F32 ? 4 : 2; }
    // `n` samples of 2 values each from `bytes` into `out`.
    static void decode(const std::uint8_t* bytes, std::size_t n, Word word, bool swap, dsp::cplx* out);

    // Samples `first` to `first + n` (fewer at the end of the file).
    dsp::CVec read(std::uint64_t first, std::size_t n) const;

private:
    friend class CaptureStream;
    void openRaw(const std::string& path, Word word, bool bigEndian);
    void openSigmf(const std::string& path);
    // The SigMF recording's data file and its layout and rate, from its meta file.
    static std::string readSigmfMeta(const std::string& path, Word& word, bool& bigEndian, std::optional<double>& rate);
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

// A capture read once from its start in pieces: a file, or standard input ("-") in a raw format.
// Followed, a regular file is read on as it grows until `stopped` says so, and a pipe until it
// ends or `stopped` says so.
class CaptureStream {
public:
    // Throws std::runtime_error naming the file and what is wrong, or a format standard input or a
    // followed file cannot be read in (MAT files are read whole).
    CaptureStream(const std::string& path, CaptureFormat format, bool follow, std::function<bool()> stopped = {});
    ~CaptureStream();

    std::optional<double> sampleRate() const { return rate_; }
    // The samples the file holds, when it is read once.
    std::optional<std::uint64_t> sampleCount() const;

    // Up to n samples at out; fewer only at the end.
    std::size_t read(dsp::cplx* out, std::size_t n);

private:
    std::unique_ptr<CaptureSource> whole_;  // a file read once
    std::uint64_t next_ = 0;                // its next sample
    std::unique_ptr<host::InputFile> file_;  // a followed file
    int fd_ = 0;
    bool poll_ = false;  // a file that may grow, rather than a pipe that ends
    std::string name_;
    CaptureSource::Word word_ = CaptureSource::Word::F32;
    bool swap_ = false;
    std::optional<double> rate_;
    std::function<bool()> stopped_;
    std::vector<std::uint8_t> bytes_;  // read, not yet a whole sample
};

}  // namespace model
