#include "model/capture_source.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <vector>

#include <nlohmann/json.hpp>

#include "model/json_text.h"
#include "model/sigmf.h"
#include "host/core/mat_file.h"

namespace model {

namespace {

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// A meta file is small; its annotations may be many, its nesting is shallow.
constexpr JsonLimits kMetaLimits{32, std::size_t{1} << 24, std::size_t{16} << 20};
// Bytes converted at a time.
constexpr std::size_t kBlockBytes = std::size_t{1} << 20;

}  // namespace

CaptureSource::CaptureSource(const std::string& path, CaptureFormat format) : path_(path) {
    switch (format) {
        case CaptureFormat::Sigmf: openSigmf(path); break;
        case CaptureFormat::Mat: openMat(path); break;
        case CaptureFormat::Cf64: openRaw(path, Word::F64, false); break;
        case CaptureFormat::Cf32: openRaw(path, Word::F32, false); break;
        case CaptureFormat::Ci16be: openRaw(path, Word::I16, true); break;
        case CaptureFormat::Ci16le: openRaw(path, Word::I16, false); break;
    }
}

CaptureSource::~CaptureSource() = default;

void CaptureSource::openRaw(const std::string& path, Word word, bool bigEndian) {
    path_ = path;
    file_ = std::make_unique<host::InputFile>(path);
    word_ = word;
    swap_ = bigEndian != (std::endian::native == std::endian::big);
    const std::uint64_t sample = word == Word::F64 ? 16 : word == Word::F32 ? 8 : 4;
    if (file_->size() % sample != 0)
        throw std::runtime_error(path + " is not a whole number of " + std::to_string(sample) + "-byte I/Q samples (" +
                                 std::to_string(file_->size()) + " bytes)");
    count_ = file_->size() / sample;
}

std::string CaptureSource::readSigmfMeta(const std::string& path, Word& word, bool& bigEndian, std::optional<double>& rate) {
    const std::string base = sigmfBaseName(path);
    const std::string metaPath = base + ".sigmf-meta";
    nlohmann::json meta;
    try {
        meta = parseJsonLimited(host::InputFile(metaPath).text(kMetaLimits.maxBytes), kMetaLimits);
    } catch (const nlohmann::json::exception& e) {
        throw std::runtime_error(metaPath + " is not a SigMF meta file: " + textExcerpt(e.what(), 200));
    } catch (const std::invalid_argument& e) {
        throw std::runtime_error(metaPath + " is not a SigMF meta file: " + e.what());
    }
    const auto global = meta.find("global");
    if (global == meta.end() || !global->is_object() || !global->contains("core:datatype"))
        throw std::runtime_error(metaPath + " names no data type (global core:datatype)");
    const auto& type = (*global)["core:datatype"];
    const std::string t = type.is_string() ? type.get<std::string>() : "";
    if (t.rfind("cf64", 0) == 0) word = Word::F64;
    else if (t.rfind("cf32", 0) == 0) word = Word::F32;
    else if (t.rfind("ci16", 0) == 0) word = Word::I16;
    else
        throw std::runtime_error(metaPath + ": data type " + jsonExcerpt(type) +
                                 " is not one zuno-ana reads (cf64, cf32, ci16)");
    bigEndian = endsWith(t, "_be");
    const auto r = global->find("core:sample_rate");
    if (r != global->end() && r->is_number()) rate = r->get<double>();
    return base + ".sigmf-data";
}

void CaptureSource::openSigmf(const std::string& path) {
    Word word = Word::F32;
    bool bigEndian = false;
    const std::string data = readSigmfMeta(path, word, bigEndian, rate_);
    openRaw(data, word, bigEndian);
}

// The MAT exports: `samples` as N x 1 complex or N x 2 [I Q], or `wave` N x 2 with `sampleRate`.
void CaptureSource::openMat(const std::string& path) {
    host::Value v = host::readMatFile(path);
    const char* name = v.hasField("wave") ? "wave" : v.hasField("samples") ? "samples" : nullptr;
    if (!name) throw std::runtime_error(path + " holds no waveform (a variable samples or wave)");
    const host::Value& m = v.field(name);
    if (!m.isNumeric()) throw std::runtime_error(path + ": " + name + " is not a numeric matrix");
    if (m.cols() == 1 || m.rows() == 1) {
        count_ = m.rows() * m.cols();
        matRows_ = m.rows() == 1;
    } else if (m.cols() == 2 && !m.isComplex()) {
        count_ = m.rows();
    } else {
        throw std::runtime_error(path + ": " + name + " is " + m.describe() + "; a waveform is N x 1 complex or N x 2 [I Q]");
    }
    if (v.hasField("sampleRate") && v.field("sampleRate").isNumeric() && v.field("sampleRate").real().size() == 1)
        rate_ = v.field("sampleRate").real()[0];
    mat_ = std::move(*v.find(name));
}

void CaptureSource::decode(const std::uint8_t* bytes, std::size_t n, Word word, bool swap, dsp::cplx* out) {
    const std::size_t size = wordBytes(word);
    auto value = [&](const std::uint8_t* p) {
        std::uint8_t b[8];
        std::copy_n(p, size, b);
        if (swap) std::reverse(b, b + size);
        if (word == Word::F64) return std::bit_cast<double>(b);
        if (word == Word::F32) {
            std::uint8_t f[4];
            std::copy_n(b, 4, f);
            return static_cast<double>(std::bit_cast<float>(f));
        }
        std::uint8_t i[2];
        std::copy_n(b, 2, i);
        return std::bit_cast<std::int16_t>(i) / 32767.0;
    };
    for (std::size_t t = 0; t < n; ++t) out[t] = {value(bytes + 2 * t * size), value(bytes + (2 * t + 1) * size)};
}

dsp::CVec CaptureSource::read(std::uint64_t first, std::size_t n) const {
    if (first >= count_) return {};
    n = static_cast<std::size_t>(std::min<std::uint64_t>(n, count_ - first));
    dsp::CVec out(n);
    if (!file_) {
        const host::Value& m = mat_;
        for (std::size_t t = 0; t < n; ++t) {
            const std::size_t at = static_cast<std::size_t>(first) + t;
            if (m.cols() == 2 && m.rows() != 1 && !m.isComplex()) out[t] = {m.real()[at], m.real()[m.rows() + at]};
            else out[t] = matRows_ ? m.complexAt(0, at) : m.complexAt(at, 0);
        }
        return out;
    }
    const std::size_t size = wordBytes(word_);
    const std::size_t perBlock = kBlockBytes / (2 * size);
    std::vector<std::uint8_t> block(perBlock * 2 * size);
    for (std::size_t done = 0; done < n;) {
        const std::size_t samples = std::min(perBlock, n - done);
        const std::size_t bytes = samples * 2 * size;
        const off_t at = static_cast<off_t>((first + done) * 2 * size);
        std::size_t got = 0;
        while (got < bytes) {
            const ssize_t r = ::pread(file_->fd(), block.data() + got, bytes - got, at + static_cast<off_t>(got));
            if (r < 0 && errno == EINTR) continue;
            if (r < 0) throw std::runtime_error("cannot read " + path_ + ": " + std::strerror(errno));
            if (r == 0) throw std::runtime_error("cannot read " + path_ + ": it became shorter while being read");
            got += static_cast<std::size_t>(r);
        }
        decode(block.data(), samples, word_, swap_, out.data() + done);
        done += samples;
    }
    return out;
}

namespace {

// How long a followed file is left before it is looked at again for growth.
constexpr useconds_t kPollMicroseconds = 100000;

CaptureSource::Word rawWord(CaptureFormat f, bool& bigEndian) {
    bigEndian = f == CaptureFormat::Ci16be;
    switch (f) {
        case CaptureFormat::Cf64: return CaptureSource::Word::F64;
        case CaptureFormat::Cf32: return CaptureSource::Word::F32;
        case CaptureFormat::Ci16be:
        case CaptureFormat::Ci16le: return CaptureSource::Word::I16;
        case CaptureFormat::Sigmf:
        case CaptureFormat::Mat: break;
    }
    throw std::runtime_error("a MAT file is read whole: it cannot be read from standard input or followed");
}

}  // namespace

CaptureStream::CaptureStream(const std::string& path, CaptureFormat format, bool follow, std::function<bool()> stopped)
    : name_(path), stopped_(std::move(stopped)) {
    if (path != "-" && !follow) {
        whole_ = std::make_unique<CaptureSource>(path, format);
        rate_ = whole_->sampleRate();
        return;
    }
    bool bigEndian = false;
    std::string data = path;
    if (format == CaptureFormat::Sigmf) {
        if (path == "-") throw std::runtime_error("a SigMF recording is two files: it cannot be read from standard input");
        data = CaptureSource::readSigmfMeta(path, word_, bigEndian, rate_);
    } else {
        word_ = rawWord(format, bigEndian);
    }
    swap_ = bigEndian != (std::endian::native == std::endian::big);
    if (path == "-") {
        name_ = "standard input";
        struct stat st {};
        poll_ = follow && ::fstat(0, &st) == 0 && S_ISREG(st.st_mode);
        return;
    }
    file_ = std::make_unique<host::InputFile>(data);
    fd_ = file_->fd();
    name_ = data;
    poll_ = true;
}

CaptureStream::~CaptureStream() = default;

std::optional<std::uint64_t> CaptureStream::sampleCount() const {
    if (whole_) return whole_->sampleCount();
    return std::nullopt;
}

std::size_t CaptureStream::read(dsp::cplx* out, std::size_t n) {
    if (whole_) {
        const dsp::CVec v = whole_->read(next_, n);
        std::copy(v.begin(), v.end(), out);
        next_ += v.size();
        return v.size();
    }
    const std::size_t sample = 2 * CaptureSource::wordBytes(word_);
    std::size_t done = 0;
    std::vector<std::uint8_t> block;
    auto stopped = [&] { return stopped_ && stopped_(); };
    // A signal during the analysis ends the reading here, before a read that would wait.
    if (stopped()) return 0;
    while (done < n) {
        const std::size_t want = std::min<std::size_t>(n - done, std::size_t{1} << 16) * sample - bytes_.size();
        block.resize(bytes_.size() + want);
        std::copy(bytes_.begin(), bytes_.end(), block.begin());
        const ssize_t got = ::read(fd_, block.data() + bytes_.size(), want);
        if (got < 0 && errno == EINTR) {
            if (stopped()) break;  // a signal that ends the reading
            continue;
        }
        if (got < 0) throw std::runtime_error("cannot read " + name_ + ": " + std::strerror(errno));
        if (got == 0) {
            if (!poll_ || stopped()) break;
            ::usleep(kPollMicroseconds);
            continue;
        }
        const std::size_t have = bytes_.size() + static_cast<std::size_t>(got);
        const std::size_t whole = have / sample;
        CaptureSource::decode(block.data(), whole, word_, swap_, out + done);
        done += whole;
        bytes_.assign(block.begin() + static_cast<std::ptrdiff_t>(whole * sample), block.begin() + static_cast<std::ptrdiff_t>(have));
    }
    return done;
}

}  // namespace model
