// Download throughput to zuno-sim over loopback, raw socket and VXI-11: 983040 samples
// (oversampling 30) with markers, and the I/Q conversion on its own.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "hwio/link.h"
#include "tests/hwio/sim_process.h"

namespace {

struct Frame {
    std::vector<std::complex<double>> iq;
    std::vector<std::uint8_t> m1, m2;
};

const Frame& frame() {
    static const Frame f = [] {
        Frame f;
        std::mt19937 rng(1);
        std::normal_distribution<double> g;
        const std::size_t n = 983040;
        for (std::size_t k = 0; k < n; ++k) {
            f.iq.emplace_back(g(rng), g(rng));
            f.m1.push_back(k % 61440 < 30720);
            f.m2.push_back(0);
        }
        return f;
    }();
    return f;
}

// state.range(0): 0 the raw socket, 1 VXI-11.
void download(benchmark::State& state) {
    testsupport::SimProcess sim({"--memory", "40000000"});
    hwio::Config c;
    c.type = "TCPIP";
    c.TCPIP = hwio::Config::Tcpip{state.range(0) ? sim.vxi11Address() : sim.address(), 0};
    hwio::Waveform w;
    w.iq = frame().iq;
    w.marker1 = frame().m1;
    w.marker2 = frame().m2;
    w.name = "BENCH";
    const std::size_t bytes = w.iq.size() * 5;
    for (auto _ : state) {
        const auto r = hwio::hwIO(hwio::kDownload, c, {}, &w);
        if (r.status != 0) state.SkipWithError(r.response.c_str());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    state.counters["samples"] = static_cast<double>(w.iq.size());
    state.SetLabel(state.range(0) ? "VXI-11" : "raw socket");
}
BENCHMARK(download)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void iqConversion(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(hwio::iqBytes(frame().iq, "norm", 1));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * frame().iq.size() * 4));
}
BENCHMARK(iqConversion)->Unit(benchmark::kMillisecond);

}  // namespace
