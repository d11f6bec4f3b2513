// Writers killed in the middle and writers racing for the same outputs.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "host/core/output_file.h"
#include "tests/support/scratch_dir.h"

namespace fs = std::filesystem;

namespace {

using WriterAttack = testsupport::ScratchDirTest;

std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Runs `body` in a child process that ends with _exit, never returning into the test.
template <class Body>
pid_t child(Body&& body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        try {
            body();
        } catch (...) {
            ::_exit(3);
        }
        ::_exit(0);
    }
    return pid;
}

TEST_F(WriterAttack, KilledWritersLeaveNoTemporaryBehind) {
    const std::string target = path("big.bin");
    const std::vector<std::uint8_t> bytes(32 << 20, 0x5a);
    for (int kill = 0; kill < 16; ++kill) {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        // The child writes the target again and again; it is killed once it is past its first
        // write, so most kills land inside a write.
        const pid_t pid = child([&] {
            for (bool first = true;; first = false) {
                host::writeFileAtomically(target, bytes);
                if (first) (void)!::write(ready[1], "x", 1);
            }
        });
        char c;
        ASSERT_EQ(::read(ready[0], &c, 1), 1);
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        ::close(ready[0]);
        ::close(ready[1]);
    }
    // What a killed writer may leave where the file system has no unnamed files goes with the
    // next write of the same target.
    host::writeFileAtomically(target, bytes);
    EXPECT_EQ(folderContents(), std::vector<std::string>{"big.bin"});
    EXPECT_EQ(readAll(target).size(), bytes.size());
}

TEST_F(WriterAttack, StaleTemporariesGoButThoseOfLiveWritersAndOthersStay) {
    for (const char* name : {".out.AbC123", ".out.zzzzzz.old", ".out.live01", ".out.toolongname", ".other.AbC123"})
        std::ofstream(path(name)) << "left";
    // A writer still busy with its temporary holds a lock on it.
    const int live = ::open(path(".out.live01").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(live, LOCK_EX), 0);
    host::writeFileAtomically(path("out"), std::vector<std::uint8_t>{1, 2, 3});
    ::close(live);
    EXPECT_EQ(folderContents(), (std::vector<std::string>{".other.AbC123", ".out.live01", ".out.toolongname", "out"}));
}

TEST_F(WriterAttack, RacingWritersOfASetLeaveItWholeFromOne) {
    const std::string a = path("x.sigmf-data"), b = path("x.sigmf-meta");
    int mixed = 0;
    for (int round = 0; round < 100; ++round) {
        std::vector<pid_t> pids;
        for (const char* tag : {"first", "second"})
            pids.push_back(child([&, tag] {
                const std::string text = std::string(tag) + std::string(4096, '.');
                const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
                std::vector<host::PendingFile> set;
                set.emplace_back(a, bytes);
                set.emplace_back(b, bytes);
                host::commitTogether(set);
            }));
        for (const pid_t pid : pids) {
            int status = 0;
            ::waitpid(pid, &status, 0);
            ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        mixed += readAll(a) != readAll(b);
    }
    EXPECT_EQ(mixed, 0);
    EXPECT_EQ(folderContents(), (std::vector<std::string>{"x.sigmf-data", "x.sigmf-meta"}));
}

}  // namespace
