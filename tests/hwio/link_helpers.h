#pragma once
// What the link tests share: TCP/IP link settings, short time-outs and a random frame.
#include <complex>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "hwio/link.h"

namespace testsupport {

// `address` is any form the TCP/IP field takes, VXI-11 resources included.
inline hwio::Config tcp(const std::string& address) {
    hwio::Config c;
    c.type = "tcpip";
    c.TCPIP = hwio::Config::Tcpip{address, 0};
    return c;
}

inline hwio::Options quick() {
    hwio::Options o;
    o.timeout = 0.5;
    return o;
}

struct Frame {
    std::vector<std::complex<double>> iq;
    std::vector<std::uint8_t> m1, m2;
    hwio::Waveform waveform(const std::string& name) const {
        hwio::Waveform w;
        w.iq = iq;
        w.marker1 = m1;
        w.marker2 = m2;
        w.name = name;
        return w;
    }
};

inline Frame randomFrame(std::size_t n) {
    std::mt19937 rng(7);
    std::normal_distribution<double> g;
    Frame f;
    for (std::size_t k = 0; k < n; ++k) {
        f.iq.emplace_back(g(rng), g(rng));
        f.m1.push_back(k % 1024 < 512);
        f.m2.push_back(k % 3 == 0);
    }
    return f;
}

}  // namespace testsupport
