// libFuzzer target: arbitrary bytes as a parameter file, through the checks the application
// makes when it opens one, to the engine's arguments and, for the cheapest oversampling, the
// frame itself. Every refusal must be an exception with a message; anything else is a finding.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "model/calculate.h"
#include "model/parameter_file.h"
#include "engine/bit_stream.h"

namespace {

// The reader takes a path; RAM-backed storage keeps the per-input cost low.
std::string scratchPath() {
    std::error_code ec;
    const std::filesystem::path dir =
        std::filesystem::is_directory("/dev/shm", ec) ? "/dev/shm" : std::filesystem::temp_directory_path();
    return (dir / ("zuno-fuzz-" + std::to_string(::getpid()) + ".mat")).string();
}

bool writeBytes(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

void exercise(const std::string& path) {
    const model::Parameters p = model::readParameterFile(path);
    const double bits = model::trafficBitCount(p);
    const engine::FrameArgs args = model::frameArguments(p, engine::GenerateBitStream(p.DATAsourceType, bits));
    if (args.oversamplingRate != 2) return;
    dsp::Rng rng(1);
    const engine::FrameResult frame = model::Calculate(p, rng);
    if (frame.waveform.size() != 2 * engine::kChipsPerFrame) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = scratchPath();
    if (!writeBytes(path, data, size)) return 0;
    try {
        exercise(path);
    } catch (const std::exception& e) {
        // A refusal without words would leave the user guessing.
        if (e.what()[0] == '\0') __builtin_trap();
    }
    // Removed at once: libFuzzer ends its runs without running destructors.
    std::remove(path.c_str());
    return 0;
}
