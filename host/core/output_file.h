#pragma once
// Output files that are written whole or not at all: every export, record file and zuno-gen
// output goes through here.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace host {

// New contents of one output, written in full before anything at `path` changes.
// - A new name or a regular file is written into an unnamed file in its folder (or, where the
//   file system has none, under a temporary name ".NAME.XXXXXX" beside it) and renamed over it
//   when committed; an existing file keeps its mode. A writer that is killed leaves nothing, or a
//   temporary that the next write of the same target clears.
// - A symbolic link is followed: the file it points to is written, the link stays.
// - A character device or FIFO (/dev/null, /dev/stdout) is written directly when committed.
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

private:
    void commit();  // under commitTogether's locks
    friend void commitTogether(std::span<PendingFile> files);
    void keepOld();  // a link to the file commit() replaces, for rollback()
    void rollback() noexcept;
    void dropBackup() noexcept;
    void discard() noexcept;  // the new contents, when not put in place

    std::string path_;    // as given, for messages
    std::string target_;  // where the links end
    bool replace_ = false;  // false for a device or FIFO
    int fd_ = -1;           // the new contents, open (and locked) until commit
    std::string temp_;      // the new contents' name, empty while unnamed
    std::string backup_;
    bool existed_ = false;
    bool committed_ = false;
    std::vector<std::uint8_t> direct_;  // what a device or FIFO gets at commit
};

// Commits in order; when one fails, those already committed are put back as they were (where
// the file system allows a second name for the old file) before the error is passed on. Writers
// of the same folders commit one after the other, so a set is always whole from one of them.
void commitTogether(std::span<PendingFile> files);

void writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes);

// What a write to `path` changes: the path at the end of its symbolic links, or "" for a
// character device or FIFO, which several outputs may share.
std::string outputTarget(const std::string& path);

// Whether a write to `path` lands in this process's standard output: "-", or a name of the file,
// pipe or terminal descriptor 1 is (/dev/stdout, or the file the shell redirected it to).
bool isStandardOutput(const std::string& path);

// All of `bytes` to descriptor 1; throws std::runtime_error "cannot write standard output: reason".
void writeStandardOutput(std::span<const std::uint8_t> bytes);

}  // namespace host
