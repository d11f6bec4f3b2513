#include "tools/sim_netns.h"

#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace sim {

namespace {

[[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error("--netns: " + what + ": " + std::strerror(errno));
}

void writeProcFile(const char* path, const std::string& text) {
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) fail(std::string("cannot open ") + path);
    const bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    if (!ok) fail(std::string("cannot write ") + path);
}

}  // namespace

void enterPrivateNetwork() {
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0)
        fail("cannot make a user and network namespace (unprivileged user namespaces may be switched off "
             "here: sysctl user.max_user_namespaces, kernel.unprivileged_userns_clone)");
    // Root inside is this user outside; setgroups must be denied before an unprivileged gid_map.
    writeProcFile("/proc/self/setgroups", "deny");
    writeProcFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1");
    writeProcFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1");
    // A new network namespace has its loopback interface down.
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) fail("cannot open a socket");
    ifreq ifr{};
    std::strncpy(ifr.ifr_name, "lo", IFNAMSIZ - 1);
    const bool up = ::ioctl(fd, SIOCGIFFLAGS, &ifr) == 0 &&
                    (ifr.ifr_flags = static_cast<short>(ifr.ifr_flags | IFF_UP | IFF_RUNNING),
                     ::ioctl(fd, SIOCSIFFLAGS, &ifr) == 0);
    ::close(fd);
    if (!up) fail("cannot bring the loopback interface up");
}

pid_t startCommand(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const std::string& a : command) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error(std::string("cannot start ") + command[0] + ": " + std::strerror(errno));
    if (pid == 0) {
        // The simulator ignores SIGPIPE; an ignored signal stays ignored across exec.
        ::signal(SIGPIPE, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::execvp(argv[0], argv.data());
        std::fprintf(stderr, "zuno-sim: cannot run %s: %s\n", argv[0], std::strerror(errno));
        ::_exit(127);
    }
    return pid;
}

int exitStatusOf(pid_t child) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0)
        if (errno != EINTR) return 1;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : 1;
}

}  // namespace sim
