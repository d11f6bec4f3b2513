#include "host/core/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <utility>

namespace host {

namespace {

namespace fs = std::filesystem;

std::string errnoText(int e) {
    return std::generic_category().message(e);
}

struct Failure {
    int error;
};

// The path at the end of the symbolic links that start at `path` (`path` itself when it is no
// link, or a link to a name that does not exist yet).
std::string followLinks(const std::string& path, const std::string& prefix) {
    fs::path p = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p.string();
        std::error_code ec;
        const fs::path to = fs::read_symlink(p, ec);
        if (ec) throw std::runtime_error(prefix + ec.message());
        p = to.is_absolute() ? to : p.parent_path() / to;
    }
    throw std::runtime_error(prefix + errnoText(ELOOP));
}

enum class Kind { Replace, Direct };

struct Target {
    Kind kind = Kind::Replace;
    std::string path;
    bool exists = false;
    mode_t mode = 0;
};

Target resolve(const std::string& path, const std::string& prefix) {
    if (path.empty() || fs::path(path).filename().empty())
        throw std::runtime_error(prefix + "no file name given");
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (errno != ENOENT) throw std::runtime_error(prefix + errnoText(errno));
        return {Kind::Replace, followLinks(path, prefix), false, 0};
    }
    if (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode)) return {Kind::Direct, path, true, 0};
    if (S_ISDIR(st.st_mode)) throw std::runtime_error(prefix + "it is a folder");
    if (!S_ISREG(st.st_mode))
        throw std::runtime_error(prefix + "it is neither a file nor a character device or FIFO");
    return {Kind::Replace, followLinks(path, prefix), true, st.st_mode & 07777};
}

void writeAll(int fd, const std::uint8_t* p, std::size_t left) {
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw Failure{errno};
        if (n == 0) throw Failure{ENOSPC};
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

// Makes a rename in `dir` last; a failure here loses no data, so it is not reported.
void syncFolder(const fs::path& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

fs::path folderOf(const std::string& path) {
    const fs::path p(path);
    return p.has_parent_path() ? p.parent_path() : fs::path(".");
}

}  // namespace

PendingFile::PendingFile(std::string path, std::span<const std::uint8_t> bytes) : path_(std::move(path)) {
    const std::string prefix = "cannot write " + path_ + ": ";
    const Target t = resolve(path_, prefix);
    target_ = t.path;
    existed_ = t.exists;
    if (t.kind == Kind::Direct) {
        direct_.assign(bytes.begin(), bytes.end());
        return;
    }
    temp_ = (folderOf(target_) / ("." + fs::path(target_).filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(temp_.data());
    if (fd < 0) {
        const int e = errno;
        temp_.clear();
        throw std::runtime_error(prefix + errnoText(e));
    }
    try {
        // mkstemp makes the file private; give it the mode the old file had, or a new one gets.
        mode_t mode = t.mode;
        if (!t.exists) {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            mode = 0666 & ~mask;
        }
        if (::fchmod(fd, mode) != 0) throw Failure{errno};
        writeAll(fd, bytes.data(), bytes.size());
        if (::fsync(fd) != 0) throw Failure{errno};
    } catch (const Failure& f) {
        ::close(fd);
        ::unlink(temp_.c_str());
        temp_.clear();
        throw std::runtime_error(prefix + errnoText(f.error));
    }
    if (::close(fd) != 0) {
        const int e = errno;
        ::unlink(temp_.c_str());
        temp_.clear();
        throw std::runtime_error(prefix + errnoText(e));
    }
}

PendingFile::PendingFile(PendingFile&& o) noexcept
    : path_(std::move(o.path_)),
      target_(std::move(o.target_)),
      temp_(std::exchange(o.temp_, {})),
      backup_(std::exchange(o.backup_, {})),
      existed_(o.existed_),
      committed_(o.committed_),
      direct_(std::move(o.direct_)) {}

PendingFile::~PendingFile() {
    if (!temp_.empty() && !committed_) ::unlink(temp_.c_str());
    if (!backup_.empty()) ::unlink(backup_.c_str());
}

void PendingFile::commit() {
    const std::string prefix = "cannot write " + path_ + ": ";
    if (temp_.empty()) {
        const int fd = ::open(target_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) throw std::runtime_error(prefix + errnoText(errno));
        try {
            writeAll(fd, direct_.data(), direct_.size());
        } catch (const Failure& f) {
            ::close(fd);
            throw std::runtime_error(prefix + errnoText(f.error));
        }
        if (::close(fd) != 0) throw std::runtime_error(prefix + errnoText(errno));
        committed_ = true;
        return;
    }
    if (::rename(temp_.c_str(), target_.c_str()) != 0) throw std::runtime_error(prefix + errnoText(errno));
    committed_ = true;
    syncFolder(folderOf(target_));
}

void PendingFile::keepOld() {
    if (temp_.empty() || !existed_) return;
    std::string name = temp_ + ".old";
    if (::link(target_.c_str(), name.c_str()) == 0) backup_ = std::move(name);
}

void PendingFile::rollback() noexcept {
    if (!committed_ || temp_.empty()) return;
    if (!backup_.empty()) {
        if (::rename(backup_.c_str(), target_.c_str()) == 0) backup_.clear();
    } else if (!existed_) {
        ::unlink(target_.c_str());
    }
}

void commitTogether(std::span<PendingFile> files) {
    if (files.size() > 1)
        for (PendingFile& f : files) f.keepOld();
    std::size_t done = 0;
    try {
        for (; done < files.size(); ++done) files[done].commit();
    } catch (...) {
        while (done > 0) files[--done].rollback();
        throw;
    }
}

void writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes) {
    PendingFile(path, bytes).commit();
}

std::string outputTarget(const std::string& path) {
    const Target t = resolve(path, "cannot write " + path + ": ");
    if (t.kind == Kind::Direct) return {};
    std::error_code ec;
    const fs::path canonical = fs::weakly_canonical(fs::absolute(t.path, ec), ec);
    return ec ? t.path : canonical.string();
}

}  // namespace host
