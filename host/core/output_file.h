#pragma once
// Output files that are written whole or not at all: every export, record file and zuno-gen
// output goes through here.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace host {

// New contents of one output, written in full before anything at `path` changes.
// - A new name or a regular file is written under a temporary name beside it and renamed over
//   it by commit(); an existing file keeps its mode.
// - A symbolic link is followed: the file it points to is written, the link stays.
// - A character device or FIFO (/dev/null, /dev/stdout) is written directly by commit().
// - Anything else (a folder, a socket, a block device) is refused.
// Failures throw std::runtime_error "cannot write PATH: reason"; what was at PATH is then intact.
class PendingFile {
public:
    PendingFile(std::string path, std::span<const std::uint8_t> bytes);
    PendingFile(PendingFile&& other) noexcept;
    PendingFile& operator=(PendingFile&&) = delete;
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    ~PendingFile();

    const std::string& path() const { return path_; }
    // Puts the new contents in place.
    void commit();

private:
    friend void commitTogether(std::span<PendingFile> files);
    void keepOld();  // a link to the file commit() replaces, for rollback()
    void rollback() noexcept;

    std::string path_;    // as given, for messages
    std::string target_;  // where the links end
    std::string temp_;    // empty for a device or FIFO
    std::string backup_;
    bool existed_ = false;
    bool committed_ = false;
    std::vector<std::uint8_t> direct_;  // what a device or FIFO gets at commit
};

// Commits in order; when one fails, those already committed are put back as they were (where
// the file system allows a second name for the old file) before the error is passed on.
void commitTogether(std::span<PendingFile> files);

void writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes);

// What a write to `path` changes: the path at the end of its symbolic links, or "" for a
// character device or FIFO, which several outputs may share.
std::string outputTarget(const std::string& path);

}  // namespace host
