// Files built to exhaust a reader: each must end in a message, reading only what it needs.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>
#include <fcntl.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>

#include "host/core/mat_file.h"
#include "tests/support/scratch_dir.h"

namespace fs = std::filesystem;
using host::Value;

namespace {

// Version 5 elements, little-endian, built byte by byte.
std::string u32(std::uint32_t v) {
    return std::string(reinterpret_cast<const char*>(&v), 4);
}

std::string element(std::uint32_t type, const std::string& data) {
    return u32(type) + u32(static_cast<std::uint32_t>(data.size())) + data +
           std::string((8 - data.size() % 8) % 8, '\0');
}

std::string header() {
    std::string h = "MATLAB 5.0 MAT-file, built by a test";
    h.resize(124, ' ');
    std::memcpy(h.data() + 116, "\0\0\0\0\0\0\0\0", 8);
    return h + std::string("\x00\x01IM", 4);
}

// The contents of an array element: flags, dimensions, name, then `body`.
std::string arrayBody(const std::string& name, std::uint32_t cls, std::uint32_t rows, std::uint32_t cols,
                      const std::string& body) {
    return element(6, u32(cls) + u32(0)) + element(5, u32(rows) + u32(cols)) + element(1, name) + body;
}

std::string doubles(const std::string& name, std::uint32_t rows, std::uint32_t cols) {
    return element(14, arrayBody(name, 6, rows, cols, element(9, std::string(8ull * rows * cols, '\0'))));
}

// A compressed element of `arrayElement` followed by `zeros` zero bytes, deflated piece by piece.
std::string compressed(const std::string& arrayElement, std::uint64_t zeros = 0) {
    z_stream z{};
    deflateInit(&z, 9);
    std::string out;
    const std::string chunk(1 << 20, '\0');
    auto feed = [&](const std::string& in, std::size_t n, int flush) {
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
        z.avail_in = static_cast<uInt>(n);
        do {
            char buf[1 << 16];
            z.next_out = reinterpret_cast<Bytef*>(buf);
            z.avail_out = sizeof buf;
            deflate(&z, flush);
            out.append(buf, sizeof buf - z.avail_out);
        } while (z.avail_out == 0);
    };
    feed(arrayElement, arrayElement.size(), Z_NO_FLUSH);
    for (; zeros > 0; zeros -= std::min<std::uint64_t>(zeros, chunk.size()))
        feed(chunk, static_cast<std::size_t>(std::min<std::uint64_t>(zeros, chunk.size())), Z_NO_FLUSH);
    feed(chunk, 0, Z_FINISH);
    deflateEnd(&z);
    return u32(15) + u32(static_cast<std::uint32_t>(out.size())) + out;
}

// The head of a double matrix element whose data (all zeros) is left to follow.
std::string zeroDoublesHead(const std::string& name, std::uint32_t rows, std::uint32_t cols) {
    const std::uint64_t data = 8ull * rows * cols;
    const std::string head = arrayBody(name, 6, rows, cols, "") + u32(9) + u32(static_cast<std::uint32_t>(data));
    return u32(14) + u32(static_cast<std::uint32_t>(head.size() + data)) + head;
}

// A 1x1 struct of `fields` empty fields.
std::string structure(const std::string& name, std::size_t fields) {
    std::string names;
    for (std::size_t i = 0; i < fields; ++i) {
        std::string n = "f" + std::to_string(i);
        n.resize(32, '\0');
        names += n;
    }
    // The name length is a small element, as every writer stores it.
    std::string body = u32(4u << 16 | 5u) + u32(32) + element(1, names);
    for (std::size_t i = 0; i < fields; ++i) body += element(14, arrayBody("", 6, 0, 0, element(9, "")));
    return element(14, arrayBody(name, 2, 1, 1, body));
}

class HostileMat : public testsupport::ScratchDirTest {
protected:
    std::string write(const std::string& name, const std::string& bytes) const {
        std::ofstream(path(name), std::ios::binary) << bytes;
        return path(name);
    }
};

using testsupport::failureOf;

host::MatReadOptions only(const std::string& name) {
    host::MatReadOptions o;
    o.only = name;
    o.maxVariableBytes = 4 << 20;
    return o;
}

Value oneVariable(const std::string& name, const Value& v) {
    Value r = Value::record();
    r.set(name, v);
    return r;
}

TEST_F(HostileMat, CompressedBombsAreSkippedOrRefused) {
    // 128 MiB of zeros in 128 KB, beside a small good variable.
    const std::string bomb = compressed(zeroDoublesHead("bomb", 8192, 2048), 1ull << 27);
    const auto file = write("bomb.mat", header() + bomb + doubles("good", 1, 2));
    EXPECT_EQ(host::readMatFile(file, only("good")), oneVariable("good", Value::row({0, 0})));
    EXPECT_EQ(failureOf([&] { host::readMatFile(file); }),
              "cannot read " + file + ": the file holds more data than can be loaded");
    // A variable within the general limit but far beyond a parameter file's.
    const auto wide = write("wide.mat", header() + compressed(doubles("good", 1024, 1024)));
    EXPECT_EQ(failureOf([&] { host::readMatFile(wide, only("good")); }),
              "cannot read " + wide + ": the file holds more data than can be loaded");
    EXPECT_EQ(host::readMatFile(wide).field("good").rows(), 1024u);
    // Not there: an empty record, for the caller to name what is missing.
    EXPECT_EQ(host::readMatFile(file, only("other")), Value::record());
}

// The header is checked before anything else is read, and a variable nobody asked for is
// skipped, however large; the file is sparse, so it costs no disk.
TEST_F(HostileMat, LargeFilesAreNotReadWhole) {
    const auto file = write("large.mat", header() + doubles("good", 1, 2) + u32(14) + u32(0xFFFFFF00u));
    fs::resize_file(file, 8 + 0x1'0000'0000ull);
    EXPECT_EQ(host::readMatFile(file, only("good")), oneVariable("good", Value::row({0, 0})));
    EXPECT_EQ(failureOf([&] { host::readMatFile(file); }),
              "cannot read " + file + ": the file holds more data than can be loaded");

    const auto junk = write("junk.mat", "These are notes, not numbers.");
    fs::resize_file(junk, 3ull << 30);
    EXPECT_EQ(failureOf([&] { host::readMatFile(junk); }), "cannot read " + junk + ": it is not a MAT file");
}

TEST_F(HostileMat, RecordsOfManyFieldsAreRefused) {
    const auto fine = write("fine.mat", header() + structure("s", 4096));
    EXPECT_EQ(host::readMatFile(fine).field("s").fieldCount(), 4096u);
    const auto many = write("many.mat", header() + structure("s", 100000));
    EXPECT_EQ(failureOf([&] { host::readMatFile(many); }),
              "cannot read " + many + ": s has 100000 fields; a record of more than 4096 fields is not loaded");

    std::string variables = header();
    for (int i = 0; i < 5000; ++i) variables += doubles("v" + std::to_string(i), 0, 0);
    const auto crowded = write("crowded.mat", variables);
    EXPECT_EQ(failureOf([&] { host::readMatFile(crowded); }),
              "cannot read " + crowded + ": it holds more than 4096 variables");
}

// A FIFO is refused at once instead of waiting for a writer.
TEST_F(HostileMat, FifosAreNotWaitedOn) {
    const auto fifo = path("x.mat");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto read = std::async(std::launch::async, [&] { return failureOf([&] { host::readMatFile(fifo); }); });
    if (read.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        // Let the reader go, so that the test ends with a failure rather than hanging.
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) ::close(fd);
        FAIL() << "reading a FIFO waited for a writer";
    }
    EXPECT_EQ(read.get(), "cannot read " + fifo + ": it is not a regular file");
}

// Names from a file reach messages escaped: no control character goes to a terminal raw.
TEST_F(HostileMat, NamesInMessagesAreEscaped) {
    const auto file = write("esc.mat", header() + element(14, arrayBody("a\x1b]0;x\x07", 1, 1, 1, "")));
    EXPECT_EQ(failureOf([&] { host::readMatFile(file); }),
              "cannot read " + file +
                  ": a\\x1B]0;x\\x07 is a cell array, but only numbers, texts and single structures can be loaded");
}

}  // namespace
