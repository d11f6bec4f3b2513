#include "app/core/waveform_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "app/core/torvik.h"

namespace app {

namespace {

host::Value iqColumns(const dsp::CVec& w) {
    std::vector<double> columns(2 * w.size());
    for (std::size_t k = 0; k < w.size(); ++k) {
        columns[k] = w[k].real();
        columns[w.size() + k] = w[k].imag();
    }
    return host::Value::matrix(w.size(), 2, std::move(columns));
}

host::Value variables(std::initializer_list<std::pair<const char*, host::Value>> vars) {
    host::Value file = host::Value::record();
    for (const auto& [name, value] : vars) file.set(name, value);
    return file;
}

std::string systemText(int e) { return std::generic_category().message(e); }

}  // namespace

host::Value asciiExport(const dsp::CVec& waveform) { return variables({{"samples", iqColumns(waveform)}}); }

host::Value matExport(const dsp::CVec& waveform) {
    std::vector<double> re(waveform.size()), im(waveform.size());
    for (std::size_t k = 0; k < waveform.size(); ++k) {
        re[k] = waveform[k].real();
        im[k] = waveform[k].imag();
    }
    return variables({{"samples", host::Value::matrix(waveform.size(), 1, std::move(re), std::move(im))}});
}

host::Value waveExport(const dsp::CVec& waveform, double sampleRate) {
    return variables({{"samplePoints", static_cast<double>(waveform.size())},
                      {"sampleRate", sampleRate},
                      {"wave", iqColumns(waveform)}});
}

void writeFileAtomically(const std::string& path, const void* data, std::size_t bytes) {
    const std::string prefix = "cannot write " + path + ": ";
    const std::filesystem::path target(path);
    if (target.filename().empty()) throw std::runtime_error(prefix + "no file name given");
    const std::filesystem::path dir = target.has_parent_path() ? target.parent_path() : ".";
    std::string temp = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) throw std::runtime_error(prefix + systemText(errno));
    auto fail = [&](int e) {
        ::close(fd);
        ::unlink(temp.c_str());
        return std::runtime_error(prefix + systemText(e));
    };
    // mkstemp makes the file private; an exported file gets the mode a new file would get.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    const auto* p = static_cast<const char*>(data);
    for (std::size_t left = bytes; left > 0;) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw fail(n < 0 ? errno : ENOSPC);
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) throw fail(errno);
    if (::close(fd) != 0) {
        const int e = errno;
        ::unlink(temp.c_str());
        throw std::runtime_error(prefix + systemText(e));
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const int e = errno;
        ::unlink(temp.c_str());
        throw std::runtime_error(prefix + systemText(e));
    }
}

int saveTorvikWaveform(const dsp::CVec& data, const std::string& filename, double scale, std::string* lastError) {
    try {
        // torvikBytes clamps the scale; a NaN would slip through the clamp.
        if (std::isnan(scale)) throw std::invalid_argument("the scale is not a number");
        const std::vector<std::uint8_t> bytes = torvikBytes(data, scale);
        writeFileAtomically(filename, bytes.data(), bytes.size());
        return 1;
    } catch (const std::exception& e) {
        if (lastError) *lastError = e.what();
        return 0;
    }
}

}  // namespace app
