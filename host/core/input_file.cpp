#include "host/core/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <system_error>

namespace host {

namespace {

std::string errnoText(int e) {
    return std::generic_category().message(e);
}

}  // namespace

InputFile::InputFile(const std::string& path) : path_(path) {
    const std::string prefix = "cannot read " + path + ": ";
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd_ < 0) throw std::runtime_error(prefix + errnoText(errno));
    struct stat st {};
    std::string why;
    if (::fstat(fd_, &st) != 0) why = errnoText(errno);
    else if (S_ISDIR(st.st_mode)) why = "it is a folder, not a file";
    else if (!S_ISREG(st.st_mode)) why = "it is not a regular file";
    if (!why.empty()) {
        ::close(fd_);
        throw std::runtime_error(prefix + why);
    }
    size_ = static_cast<std::uint64_t>(st.st_size);
}

InputFile::~InputFile() {
    ::close(fd_);
}

std::string InputFile::text(std::uint64_t maxBytes) const {
    const std::string prefix = "cannot read " + path_ + ": ";
    if (size_ > maxBytes)
        throw std::runtime_error(prefix + "it is larger than " + std::to_string(maxBytes >> 20) + " MB");
    std::string out(static_cast<std::size_t>(size_), '\0');
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw std::runtime_error(prefix + errnoText(errno));
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    out.resize(done);
    return out;
}

}  // namespace host
