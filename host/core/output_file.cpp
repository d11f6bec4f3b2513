#include "host/core/output_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <system_error>
#include <tuple>
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

// Writers of one folder take turns, for as long as they name temporaries there or put files in
// place: a flock on the folder itself, so that no lock file is left in the user's folder. A
// folder that cannot be opened is not locked.
class FolderLock {
public:
    explicit FolderLock(const fs::path& dir) : FolderLock(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
    // Takes over `fd`, an open folder or -1.
    explicit FolderLock(int fd) : fd_(fd) {
        if (fd_ >= 0)
            while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
    }
    FolderLock(FolderLock&& o) noexcept : fd_(std::exchange(o.fd_, -1)) {}
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    ~FolderLock() {
        if (fd_ >= 0) ::close(fd_);
    }

private:
    int fd_;
};

constexpr std::size_t kTempSuffix = 6;  // ".NAME." then six letters or digits, as mkstemp makes

std::string randomSuffix() {
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static thread_local std::minstd_rand rng(std::random_device{}());
    std::string s(kTempSuffix, 'x');
    for (char& c : s) c = kChars[rng() % (sizeof kChars - 1)];
    return s;
}

std::string tempPrefix(const std::string& target) {
    return (folderOf(target) / ("." + fs::path(target).filename().string() + ".")).string();
}

// Gives `fd`'s unnamed file a fresh temporary name beside `target`; returns it.
std::string nameUnnamed(int fd, const std::string& target) {
    const std::string proc = "/proc/self/fd/" + std::to_string(fd);
    for (int tries = 0; tries < 100; ++tries) {
        std::string name = tempPrefix(target) + randomSuffix();
        if (::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return name;
        if (errno != EEXIST) throw Failure{errno};
    }
    throw Failure{EEXIST};
}

// Removes what earlier writers of `target` left when they were killed: temporaries no live
// writer holds (each writer keeps a lock on its own), and, with `backups`, second names of
// replaced files (made and removed under the folder's lock, which the caller holds).
void clearStale(const std::string& target, bool backups) {
    const fs::path folder = folderOf(target);
    const std::string start = "." + fs::path(target).filename().string() + ".";
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() < start.size() + kTempSuffix || name.compare(0, start.size(), start) != 0) continue;
        const std::string rest = name.substr(start.size());
        const bool backup = rest.size() == kTempSuffix + 4 && rest.ends_with(".old");
        if (rest.size() != kTempSuffix && !backup) continue;
        if (!std::all_of(rest.begin(), rest.begin() + kTempSuffix, [](char c) { return std::isalnum(static_cast<unsigned char>(c)); }))
            continue;
        if (backup) {
            if (backups) ::unlink(it->path().c_str());
            continue;
        }
        const int fd = ::open(it->path().c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(it->path().c_str());
        ::close(fd);
    }
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
    replace_ = true;
    const fs::path folder = folderOf(target_);
    {
        FolderLock lock(folder);
        clearStale(target_, false);
        // An unnamed file vanishes with a killed writer; a named one is locked while it is
        // written, so that a later writer tells it from one left behind.
        fd_ = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        if (fd_ < 0) {
            temp_ = tempPrefix(target_) + "XXXXXX";
            fd_ = ::mkostemp(temp_.data(), O_CLOEXEC);
            if (fd_ < 0) {
                const int e = errno;
                temp_.clear();
                throw std::runtime_error(prefix + errnoText(e));
            }
        }
        ::flock(fd_, LOCK_EX | LOCK_NB);
    }
    try {
        // Give the file the mode the old file had, or a new one gets.
        mode_t mode = t.mode;
        if (!t.exists) {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            mode = 0666 & ~mask;
        }
        if (::fchmod(fd_, mode) != 0) throw Failure{errno};
        writeAll(fd_, bytes.data(), bytes.size());
        if (::fsync(fd_) != 0) throw Failure{errno};
    } catch (const Failure& f) {
        discard();
        throw std::runtime_error(prefix + errnoText(f.error));
    }
}

PendingFile::PendingFile(PendingFile&& o) noexcept
    : path_(std::move(o.path_)),
      target_(std::move(o.target_)),
      replace_(o.replace_),
      fd_(std::exchange(o.fd_, -1)),
      temp_(std::exchange(o.temp_, {})),
      backup_(std::exchange(o.backup_, {})),
      existed_(o.existed_),
      committed_(o.committed_),
      direct_(std::move(o.direct_)) {}

PendingFile::~PendingFile() {
    discard();
    dropBackup();
}

void PendingFile::discard() noexcept {
    if (!temp_.empty() && !committed_) ::unlink(temp_.c_str());
    temp_.clear();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void PendingFile::dropBackup() noexcept {
    if (!backup_.empty()) ::unlink(backup_.c_str());
    backup_.clear();
}

void PendingFile::commit() {
    const std::string prefix = "cannot write " + path_ + ": ";
    if (!replace_) {
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
    if (fd_ < 0) throw std::logic_error("commit of a file already put in place");
    try {
        if (temp_.empty()) temp_ = nameUnnamed(fd_, target_);
    } catch (const Failure& f) {
        throw std::runtime_error(prefix + errnoText(f.error));
    }
    if (::rename(temp_.c_str(), target_.c_str()) != 0) {
        const int e = errno;
        ::unlink(temp_.c_str());
        temp_.clear();
        throw std::runtime_error(prefix + errnoText(e));
    }
    committed_ = true;
    temp_.clear();
    ::close(fd_);
    fd_ = -1;
    syncFolder(folderOf(target_));
}

void PendingFile::keepOld() {
    if (!replace_ || !existed_) return;
    for (int tries = 0; tries < 100; ++tries) {
        std::string name = tempPrefix(target_) + randomSuffix() + ".old";
        if (::link(target_.c_str(), name.c_str()) == 0) {
            backup_ = std::move(name);
            return;
        }
        if (errno != EEXIST) return;
    }
}

void PendingFile::rollback() noexcept {
    if (!committed_ || !replace_) return;
    if (!backup_.empty()) {
        if (::rename(backup_.c_str(), target_.c_str()) == 0) backup_.clear();
    } else if (!existed_) {
        ::unlink(target_.c_str());
    }
}

void commitTogether(std::span<PendingFile> files) {
    // Each folder once (however it is named) and in one order, so that writers of overlapping
    // sets never wait on each other.
    struct Folder {
        dev_t dev;
        ino_t ino;
        int fd;
    };
    std::vector<Folder> folders;
    for (const PendingFile& f : files) {
        if (!f.replace_) continue;
        const int fd = ::open(folderOf(f.target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        struct stat st {};
        if (fd < 0) continue;
        if (::fstat(fd, &st) != 0 || std::any_of(folders.begin(), folders.end(), [&](const Folder& o) {
                return o.dev == st.st_dev && o.ino == st.st_ino;
            })) {
            ::close(fd);
            continue;
        }
        folders.push_back({st.st_dev, st.st_ino, fd});
    }
    std::sort(folders.begin(), folders.end(),
              [](const Folder& a, const Folder& b) { return std::tie(a.dev, a.ino) < std::tie(b.dev, b.ino); });
    std::vector<FolderLock> locks;
    for (const Folder& folder : folders) locks.emplace_back(folder.fd);
    for (const PendingFile& f : files)
        if (f.replace_) clearStale(f.target_, true);

    if (files.size() > 1)
        for (PendingFile& f : files) f.keepOld();
    std::size_t done = 0;
    try {
        for (; done < files.size(); ++done) files[done].commit();
    } catch (...) {
        while (done > 0) files[--done].rollback();
        for (PendingFile& f : files) f.dropBackup();
        throw;
    }
    for (PendingFile& f : files) f.dropBackup();
}

void writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes) {
    PendingFile file(path, bytes);
    commitTogether(std::span(&file, 1));
}

std::string outputTarget(const std::string& path) {
    const Target t = resolve(path, "cannot write " + path + ": ");
    if (t.kind == Kind::Direct) return {};
    std::error_code ec;
    const fs::path canonical = fs::weakly_canonical(fs::absolute(t.path, ec), ec);
    return ec ? t.path : canonical.string();
}

bool isStandardOutput(const std::string& path) {
    if (path == "-") return true;
    struct stat out {}, named {};
    if (::fstat(STDOUT_FILENO, &out) != 0 || ::stat(path.c_str(), &named) != 0) return false;
    return out.st_dev == named.st_dev && out.st_ino == named.st_ino;
}

void writeStandardOutput(std::span<const std::uint8_t> bytes) {
    std::fflush(stdout);  // whatever the program printed before stays in front
    try {
        writeAll(STDOUT_FILENO, bytes.data(), bytes.size());
    } catch (const Failure& f) {
        throw std::runtime_error("cannot write standard output: " + errnoText(f.error));
    }
}

}  // namespace host
