// The TCP/IP address field: a host with an optional port, or a VISA-style resource string.
#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <vector>

#include "hwio/transport.h"
#include "host/core/text.h"

namespace hwio {

namespace {

std::string trim(std::string_view s) {
    const auto a = s.find_first_not_of(" \t");
    if (a == std::string_view::npos) return {};
    const auto b = s.find_last_not_of(" \t");
    return std::string(s.substr(a, b - a + 1));
}

[[noreturn]] void badAddress(std::string_view address, const std::string& why) {
    throw LinkError(kBadArgument, "TCPIP.address \"" + std::string(address) + "\" " + why +
                                      ". Use a host name or IP address, host:port, TCPIP0::host::port::SOCKET or, "
                                      "for VXI-11, TCPIP0::host::INSTR.");
}

std::uint16_t parsePort(std::string_view address, std::string_view text) {
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size() || value < 1 || value > 65535)
        badAddress(address, "has the port \"" + std::string(text) + "\", which is not a number from 1 to 65535");
    return static_cast<std::uint16_t>(value);
}

void checkHost(std::string_view address, const std::string& host) {
    if (host.empty()) badAddress(address, "names no host");
    in6_addr v6{};
    if (inet_pton(AF_INET6, host.c_str(), &v6) == 1) return;
    for (char c : host)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '_')
            badAddress(address, "holds the character '" + std::string(1, c) + "', which no host name has");
    in_addr v4{};
    if (inet_pton(AF_INET, host.c_str(), &v4) == 1 && v4.s_addr == htonl(INADDR_ANY))
        badAddress(address, "is the placeholder 0.0.0.0, not an instrument");
}

// "host", "host:port", "[v6]", "[v6]:port" or a bare IPv6 address into `e`.
void hostAndPort(std::string_view address, const std::string& text, Endpoint& e) {
    if (!text.empty() && text.front() == '[') {
        const auto close = text.find(']');
        if (close == std::string::npos) badAddress(address, "opens a bracket it does not close");
        e.host = text.substr(1, close - 1);
        const std::string rest = text.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':') badAddress(address, "has text after the bracketed host");
            e.port = parsePort(address, std::string_view(rest).substr(1));
            e.portGiven = true;
        }
    } else if (std::count(text.begin(), text.end(), ':') == 1) {
        const auto colon = text.find(':');
        e.host = text.substr(0, colon);
        e.port = parsePort(address, std::string_view(text).substr(colon + 1));
        e.portGiven = true;
    } else {
        e.host = text;
    }
}

// Splits at "::", except inside a bracketed IPv6 host.
std::vector<std::string> splitResource(const std::string& s) {
    std::vector<std::string> parts(1);
    int depth = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '[') ++depth;
        if (s[i] == ']') depth = std::max(0, depth - 1);
        if (depth == 0 && s.compare(i, 2, "::") == 0) {
            parts.emplace_back();
            ++i;
            continue;
        }
        parts.back() += s[i];
    }
    return parts;
}

bool isDeviceName(const std::string& s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == ',';
    });
}

}  // namespace

Endpoint parseTcpipAddress(std::string_view raw) {
    const std::string address = trim(raw);
    if (address.empty())
        throw LinkError(kBadArgument,
                        "TCPIP.address is empty. Enter the instrument's host name or IP address in the Sig Gen I/O "
                        "settings.");
    Endpoint e;
    if (host::toLower(address).starts_with("tcpip") && address.find("::") != std::string::npos) {
        const auto parts = splitResource(address);
        const std::string board = host::toLower(parts[0]).substr(5);
        if (!std::all_of(board.begin(), board.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
            badAddress(address, "does not start with TCPIP or TCPIPn");
        const std::string kind = host::toLower(parts.back());
        if (parts.size() == 4 && kind == "socket") {
            e.host = parts[1];
            e.port = parsePort(address, parts[2]);
            e.portGiven = true;
        } else if ((parts.size() == 3 || parts.size() == 4) && kind == "instr") {
            // The port, where given, is the portmapper's: an extension for instruments (and
            // simulators) that cannot serve it on 111.
            e.vxi11 = true;
            e.port = 111;
            hostAndPort(address, parts[1], e);
            if (parts.size() == 4) {
                if (!isDeviceName(parts[2])) badAddress(address, "names the device \"" + parts[2] + "\", which is no VXI-11 device name");
                e.device = parts[2];
            }
        } else {
            badAddress(address, "is not a resource of the form TCPIP0::host::port::SOCKET or TCPIP0::host::INSTR");
        }
    } else {
        hostAndPort(address, address, e);
    }
    checkHost(address, e.host);
    return e;
}

}  // namespace hwio
