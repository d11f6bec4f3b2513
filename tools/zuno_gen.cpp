// zuno-gen: computes one forward-link frame from the command line.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "model/calculate.h"
#include "model/carrier_file.h"
#include "model/carriers.h"
#include "model/parameter_overrides.h"
#include "model/records.h"
#include "model/settings_source.h"
#include "model/settings_table.h"
#include "dsp/allocator.h"
#include "host/core/command_line.h"
#include "host/core/output_file.h"
#include "host/core/text.h"
#include "instrument/core/batch_download.h"
#include "tools/gen_options.h"
#include "model/sample_output.h"
#include "zuno_version.h"

namespace {

void runBench(const model::Parameters& p, dsp::Rng& rng, int runs, std::FILE* report) {
    model::Calculate(p, rng);  // designs the filter once; later runs use the cached coefficients
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        const auto frame = model::Calculate(p, rng);
        const auto t1 = std::chrono::steady_clock::now();
        ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    std::sort(ms.begin(), ms.end());
    std::fprintf(report, "%d runs: median %.3f ms, minimum %.3f ms per frame\n", runs, ms[ms.size() / 2], ms.front());
}

int run(const std::vector<std::string>& args) {
    const auto options = gen::parseGenOptions(args);
    if (options.help) {
        std::fputs(gen::genUsage().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::puts(zuno::versionLine("zuno-gen").c_str());
        return 0;
    }
    if (options.listSettings) {
        std::fputs(model::settingsReference().c_str(), stdout);
        return 0;
    }
    // Samples on standard output (--out -, /dev/stdout, or the file stdout was redirected to) are
    // written to it directly, and everything the program reports goes to standard error instead.
    // A SigMF recording is written beside its PATH, never to it (and "-" is refused for it).
    const bool samplesToStdout =
        options.out && options.format != model::SampleFormat::Sigmf && host::isStandardOutput(*options.out);
    const bool filesToStdout = (options.markers && host::isStandardOutput(*options.markers)) ||
                               (options.saveParams && host::isStandardOutput(*options.saveParams));
    if (samplesToStdout && filesToStdout)
        throw std::invalid_argument("--out and another output are both standard output; give each output its own");
    std::FILE* const report = samplesToStdout || filesToStdout ? stderr : stdout;
    std::ostream& reportStream = report == stderr ? std::cerr : std::cout;
    model::SampleOutputs files = options;
    if (samplesToStdout) files.out.reset();
    model::checkDistinctOutputs(files);
    auto parameters = options.paramsFile ? model::parametersFrom(*options.paramsFile) : model::InitializeParameters();
    std::vector<std::string> sigGen;  // SigGenSettings.NAME=VALUE, applied once the parameters are final
    for (const auto& s : options.settings)
        if (s.starts_with("SigGenSettings.")) sigGen.push_back(s);
        else model::applySetting(parameters, s);
    auto sigGenSettings = model::InitializeSigGenSettings(parameters);
    for (const auto& s : sigGen) instrument::applySigGenSetting(sigGenSettings, s);
    if (options.title) instrument::applySigGenSetting(sigGenSettings, "Title=" + *options.title);

    dsp::Rng seeded(options.seed.value_or(0));
    dsp::Rng& rng = options.seed ? seeded : dsp::defaultRng();
    const double sampleRate = model::InitializeSigGenSettings(parameters).SamplingRate;

    // The file's carriers and noise, each replaced by what the command line gives.
    model::CarrierPlan plan = options.paramsFile ? model::carrierPlanFrom(*options.paramsFile) : model::CarrierPlan{};
    model::CarrierPlan given;
    for (const auto& c : options.carriers) given.carriers.push_back(model::carrierFrom(c));
    given.noiseCnDb = options.noiseCnDb;
    given.crestDb = options.crestDb;
    given.quantizeOffsets = options.quantizeOffsets;
    model::overridePlan(plan, given);
    std::optional<model::CarrierWaveform> carriers;
    if (!plan.plain()) carriers = model::calculateCarriers(parameters, plan, options.seed);
    const auto frame = carriers ? carriers->frame : model::Calculate(parameters, rng);
    // Nothing is written unless the calculation succeeded, and then every output or none.
    auto outputs = model::prepareOutputs(files, frame.waveform, frame.events, parameters, sampleRate, plan);
    const auto samples = samplesToStdout ? model::sampleBytes(frame.waveform, options.format, "standard output")
                                         : std::vector<std::uint8_t>{};
    host::commitTogether(outputs);
    if (samplesToStdout) host::writeStandardOutput(samples);
    std::fprintf(report, "%s\n", model::summaryLine(frame.waveform, sampleRate).c_str());
    if (carriers) std::fprintf(report, "%s\n", model::carrierSummary(*carriers, plan).c_str());
    if (options.bench > 0) runBench(parameters, rng, options.bench, report);
    if (options.download) {
        hwio::Options link;
        if (options.portmapper) link.portmapperPort = *options.portmapper;
        return instrument::downloadAndPlay(frame.waveform, frame.events, sigGenSettings, *options.download, reportStream,
                                           std::cerr, link);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    dsp::keepLargeBuffers();
    try {
        return run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const host::UsageError& e) {
        std::fprintf(stderr, "zuno-gen: %s\n%s\n", host::printable(e.what()).c_str(), host::usageHint("zuno-gen").c_str());
        return host::kUsageStatus;
    } catch (const std::exception& e) {
        // Messages may quote files and settings: nothing reaches the terminal unescaped.
        std::fprintf(stderr, "zuno-gen: %s\n", host::printable(e.what()).c_str());
        return 1;
    }
}
