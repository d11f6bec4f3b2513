#pragma once
// A link over one file descriptor (a socket or a serial port): every write and read waits with
// poll, so each step has its time-out and can be cancelled.
#include <sys/types.h>

#include <string>

#include "hwio/transport.h"

namespace hwio {

class FdTransport : public Transport {
public:
    ~FdTransport() override;
    void write(std::string_view bytes, bool last, const Wait& wait) override;
    std::size_t read(char* buffer, std::size_t n, const Wait& wait) override;
    void goToLocal(const Wait& wait) override;
    std::string where() const override { return where_; }

protected:
    FdTransport(int fd, std::string where) : fd_(fd), where_(std::move(where)) {}

    // The system calls that move the bytes.
    virtual ssize_t put(const char* data, std::size_t n) = 0;
    virtual ssize_t get(char* buffer, std::size_t n) = 0;
    // The message when the link took nothing for `timeout` seconds.
    virtual std::string stalledText(double timeout) const = 0;
    // The message when the link failed (`err` from errno) or, with `err` 0, was closed.
    virtual std::string lostText(bool writing, int err) const = 0;

    int fd_;
    std::string where_;
};

}  // namespace hwio
