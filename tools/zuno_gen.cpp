// zuno-gen: computes one forward-link frame from the command line.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/core/calculate.h"
#include "app/core/parameter_overrides.h"
#include "app/core/records.h"
#include "dsp/allocator.h"
#include "tools/gen_options.h"
#include "tools/gen_output.h"

namespace {

nlohmann::json readJson(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot read parameter file " + path);
    try {
        return nlohmann::json::parse(in);
    } catch (const nlohmann::json::exception& e) {
        throw std::runtime_error(path + " is not valid JSON: " + e.what());
    }
}

void runBench(const app::Parameters& p, dsp::Rng& rng, int runs) {
    app::Calculate(p, rng);  // designs the filter once; later runs use the cached coefficients
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        const auto frame = app::Calculate(p, rng);
        const auto t1 = std::chrono::steady_clock::now();
        ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%d runs: median %.3f ms, minimum %.3f ms per frame\n", runs, ms[ms.size() / 2], ms.front());
}

int run(const std::vector<std::string>& args) {
    const auto options = gen::parseGenOptions(args);
    if (options.help) {
        std::fputs(gen::kUsage, stdout);
        return 0;
    }
    auto parameters = app::InitializeParameters();
    if (options.paramsFile) app::applyOverrides(parameters, readJson(*options.paramsFile));
    for (const auto& s : options.settings) app::applySetting(parameters, s);

    dsp::Rng seeded(options.seed.value_or(0));
    dsp::Rng& rng = options.seed ? seeded : dsp::defaultRng();
    const double sampleRate = app::InitializeSigGenSettings(parameters).SamplingRate;

    const auto frame = app::Calculate(parameters, rng);
    if (options.out) gen::writeSamples(*options.out, frame.waveform, options.format);
    if (options.markers) gen::writeMarkers(*options.markers, frame.events);
    std::puts(gen::summaryLine(frame.waveform, sampleRate).c_str());
    if (options.bench > 0) runBench(parameters, rng, options.bench);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    dsp::keepLargeBuffers();
    try {
        return run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zuno-gen: %s\n", e.what());
        return 1;
    }
}
