#pragma once
// Files the user names for reading, opened only when they are regular files.
#include <cstdint>
#include <string>

namespace host {

// An open regular file. A FIFO, device or folder is refused without waiting on it (opening a
// FIFO would wait for a writer). Failures throw std::runtime_error "cannot read PATH: reason".
class InputFile {
public:
    explicit InputFile(const std::string& path);
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile();

    int fd() const { return fd_; }
    std::uint64_t size() const { return size_; }
    // The whole file as text; a file of more than `maxBytes` is refused.
    std::string text(std::uint64_t maxBytes) const;

private:
    std::string path_;
    int fd_ = -1;
    std::uint64_t size_ = 0;
};

}  // namespace host
