#include "host/core/output_file.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "host/core/mat_file.h"
#include "tests/support/scratch_dir.h"

namespace fs = std::filesystem;

namespace {

std::span<const std::uint8_t> bytesOf(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

using OutputFile = testsupport::ScratchDirTest;
using testsupport::failureOf;

TEST_F(OutputFile, WhatIsAtThePathDecidesHowItIsWritten) {
    // An existing file is replaced and keeps its mode.
    std::ofstream(path("old")) << "old contents";
    fs::permissions(path("old"), fs::perms(0640));
    host::writeFileAtomically(path("old"), bytesOf("new"));
    EXPECT_EQ(readAll(path("old")), "new");
    EXPECT_EQ(fs::status(path("old")).permissions(), fs::perms(0640));

    // A link is followed: its target is written, the link stays; a dangling link makes its target.
    fs::create_symlink("old", path("link"));
    host::writeFileAtomically(path("link"), bytesOf("through the link"));
    EXPECT_TRUE(fs::is_symlink(path("link")));
    EXPECT_EQ(readAll(path("old")), "through the link");
    fs::create_symlink("made", path("dangling"));
    host::writeFileAtomically(path("dangling"), bytesOf("made"));
    EXPECT_TRUE(fs::is_symlink(path("dangling")));
    EXPECT_EQ(readAll(path("made")), "made");

    // A character device is written directly, never replaced by a file.
    host::writeFileAtomically("/dev/null", bytesOf("gone"));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));

    // A FIFO is written directly too.
    ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = readAll(path("fifo")); });
    host::writeFileAtomically(path("fifo"), bytesOf("through the pipe"));
    reader.join();
    EXPECT_EQ(received, "through the pipe");
    EXPECT_TRUE(fs::is_fifo(path("fifo")));

    // Anything else is refused and left alone.
    fs::create_directory(path("folder"));
    EXPECT_EQ(failureOf([&] { host::writeFileAtomically(path("folder"), bytesOf("x")); }),
              "cannot write " + path("folder") + ": it is a folder");
    const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path("socket").c_str());
    ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    EXPECT_EQ(failureOf([&] { host::writeFileAtomically(path("socket"), bytesOf("x")); }),
              "cannot write " + path("socket") + ": it is neither a file nor a character device or FIFO");
    ::close(s);
    EXPECT_TRUE(fs::is_socket(path("socket")));
    EXPECT_EQ(folderContents(), (std::vector<std::string>{"dangling", "fifo", "folder", "link", "made", "old", "socket"}));
}

TEST_F(OutputFile, OutputsNameTheirTargets) {
    std::ofstream(path("x")) << "x";
    fs::create_symlink("x", path("to-x"));
    EXPECT_EQ(host::outputTarget(path("to-x")), host::outputTarget(path("x")));
    EXPECT_EQ(host::outputTarget(path("x")), host::outputTarget((dir_ / "." / "x").string()));
    EXPECT_NE(host::outputTarget(path("y")), host::outputTarget(path("x")));
    EXPECT_EQ(host::outputTarget("/dev/null"), "");
}

// Files that must change together: when the second cannot be put in place, the first is put
// back as it was.
TEST_F(OutputFile, FilesCommittedTogetherAllChangeOrNone) {
    std::ofstream(path("a")) << "old a";
    std::vector<host::PendingFile> files;
    files.emplace_back(path("a"), bytesOf("new a"));
    files.emplace_back(path("b"), bytesOf("new b"));
    fs::create_directory(path("b"));  // the rename over it fails
    EXPECT_NE(failureOf([&] { host::commitTogether(files); }), "(no error)");
    EXPECT_EQ(readAll(path("a")), "old a");
    files.clear();
    EXPECT_EQ(folderContents(), (std::vector<std::string>{"a", "b"}));

    fs::remove(path("b"));
    files.emplace_back(path("a"), bytesOf("new a"));
    files.emplace_back(path("b"), bytesOf("new b"));
    host::commitTogether(files);
    files.clear();
    EXPECT_EQ(readAll(path("a")), "new a");
    EXPECT_EQ(readAll(path("b")), "new b");
    EXPECT_EQ(folderContents(), (std::vector<std::string>{"a", "b"}));
}

// On a full disk (a small file system the test script mounts when run as root) a write fails
// with the reason and the old file stays whole.
TEST_F(OutputFile, FullDiskKeepsTheOldFile) {
    const char* disk = std::getenv("ZUNO_SMALL_DISK");
    if (!disk) GTEST_SKIP() << "no small file system to fill: scripts/test.sh mounts one when run as root";
    const fs::path dir = fs::path(disk) / "host";
    const std::string file = (dir / "kept.mat").string();
    host::Value small = host::Value::record();
    small.set("x", 1);
    host::writeMatFile(file, small);
    const std::string old = readAll(file);

    host::Value large = host::Value::record();
    large.set("x", host::Value::matrix(1, 1 << 20, std::vector<double>(1 << 20, 0.5)));
    EXPECT_EQ(failureOf([&] { host::writeMatFile(file, large); }), "cannot write " + file + ": No space left on device");
    EXPECT_EQ(readAll(file), old);
    EXPECT_EQ(failureOf([&] { host::writeFileAtomically(file, std::vector<std::uint8_t>(8 << 20)); }),
              "cannot write " + file + ": No space left on device");
    EXPECT_EQ(readAll(file), old);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    fs::remove(file);
}

}  // namespace
