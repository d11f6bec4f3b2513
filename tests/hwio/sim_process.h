#pragma once
// zuno-sim as a child process on 127.0.0.1 with free ports (its VXI-11 portmapper too, unless
// the options name one), and a small raw SCPI client for reading its state and the bytes it
// stored. Every wait is bounded.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace testsupport {

// Test programs live in <build>/tests (or <build>/bench); the simulator in <build>/tools.
inline std::filesystem::path buildDir() {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path();
}

inline std::string simulatorPath() { return (buildDir() / "tools" / "zuno-sim").string(); }

// A loopback port that nothing listens on: bound, then closed.
inline int closedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

class SimProcess {
public:
    explicit SimProcess(std::vector<std::string> options = {}) {
        int out[2];
        if (::pipe(out) != 0) throw std::runtime_error("pipe");
        std::vector<std::string> args{simulatorPath(), "--port", "0"};
        // Port 111 is left to the tests that ask for it.
        if (std::find(options.begin(), options.end(), "--portmapper") == options.end())
            args.insert(args.end(), {"--portmapper", "0"});
        args.insert(args.end(), options.begin(), options.end());
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        const pid_t parent = ::getpid();
        pid_ = ::fork();
        if (pid_ == 0) {
            // The simulator ends with the test that started it, even one that crashed: nothing
            // is left listening.
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (::getppid() != parent) ::_exit(1);
            ::dup2(out[1], 1);
            ::close(out[0]);
            ::close(out[1]);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        if (pid_ < 0) {
            ::close(out[0]);
            throw std::runtime_error("cannot start " + args[0]);
        }
        const bool wantSerial = std::find(options.begin(), options.end(), "--serial") != options.end();
        std::string text;
        const std::regex portLine("port ([0-9]+)"), serialLine("serial on (\\S+)"),
            portmapperLine("portmapper port ([0-9]+)");
        std::smatch m;
        auto ready = [&] {
            if (!std::regex_search(text, m, portmapperLine)) return false;
            return !wantSerial || (text.find("serial on ") != std::string::npos && text.back() == '\n');
        };
        while (!ready()) {
            pollfd p{out[0], POLLIN, 0};
            char buf[256];
            ssize_t n = 0;
            if (::poll(&p, 1, 10000) <= 0 || (n = ::read(out[0], buf, sizeof buf)) <= 0) {
                ::close(out[0]);
                stop();
                throw std::runtime_error("zuno-sim did not start: " + text);
            }
            text.append(buf, static_cast<std::size_t>(n));
        }
        ::close(out[0]);
        std::regex_search(text, m, portLine);
        port_ = std::stoi(m[1]);
        std::regex_search(text, m, portmapperLine);
        portmapper_ = std::stoi(m[1]);
        if (std::regex_search(text, m, serialLine)) serial_ = m[1];
    }
    ~SimProcess() { stop(); }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    int port() const { return port_; }
    pid_t pid() const { return pid_; }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
    int portmapper() const { return portmapper_; }
    // The VXI-11 resource, with the portmapper's port unless it is the usual 111.
    std::string vxi11Address() const {
        return portmapper_ == 111 ? "TCPIP0::127.0.0.1::INSTR"
                                  : "TCPIP0::127.0.0.1:" + std::to_string(portmapper_) + "::inst0::INSTR";
    }
    const std::string& serial() const { return serial_; }

    // One exchange on a fresh connection: the reply line, or the block's bytes.
    std::string ask(const std::string& message) const {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        timeval tv{10, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(port_));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            ::close(fd);
            throw std::runtime_error("cannot reach zuno-sim");
        }
        const std::string line = message + "\n";
        ::send(fd, line.data(), line.size(), MSG_NOSIGNAL);
        std::string reply;
        std::size_t blockEnd = 0;
        char buf[65536];
        while (true) {
            if (reply.size() >= 2 && reply[0] == '#' && blockEnd == 0) {
                const std::size_t digits = static_cast<std::size_t>(reply[1] - '0');
                if (reply.size() >= 2 + digits) blockEnd = 2 + digits + std::stoull(reply.substr(2, digits));
            }
            if (blockEnd ? reply.size() > blockEnd : (!reply.empty() && reply.back() == '\n')) break;
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0) break;
            reply.append(buf, static_cast<std::size_t>(n));
        }
        ::close(fd);
        if (blockEnd) {
            const std::size_t digits = static_cast<std::size_t>(reply[1] - '0');
            return reply.substr(2 + digits, blockEnd - 2 - digits);
        }
        if (!reply.empty() && reply.back() == '\n') reply.pop_back();
        return reply;
    }
    void tell(const std::string& command) const { ask(command + ";*OPC?"); }

    nlohmann::json state() const { return nlohmann::json::parse(ask(":SIMulator:STATe?")); }
    std::string samples(const std::string& name) const { return ask(":SIMulator:DATA? \"" + name + "\""); }
    std::string markers(const std::string& name) const { return ask(":SIMulator:DATA:MARKer? \"" + name + "\""); }
    // The lines received that were not questions about errors or completion, nor clearing them.
    std::vector<std::string> commands() const {
        std::vector<std::string> out;
        const nlohmann::json s = state();
        for (const auto& l : s["log"]) {
            const std::string line = l;
            if (line != ":SYSTem:ERRor?" && line != "*OPC?" && line != "*CLS" && line.find(";*OPC?") == std::string::npos)
                out.push_back(line);
        }
        return out;
    }
    void clearLog() const { tell(":SIMulator:LOG:CLEar"); }

private:
    void stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }

    pid_t pid_ = -1;
    int port_ = 0;
    int portmapper_ = 0;
    std::string serial_;
};

// Seconds of processor time the process has used.
inline double cpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), {});
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string skip;
    for (int i = 0; i < 11; ++i) fields >> skip;
    double user = 0, system = 0;
    fields >> user >> system;
    return (user + system) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

}  // namespace testsupport
