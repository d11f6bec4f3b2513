// libFuzzer target: arbitrary bytes as a capture in each format the analyzer reads. The first
// byte picks the format; for SigMF the next two give the meta file's length, the meta file
// follows and the rest is the data file. Every refusal must be an exception with a message.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "model/capture_file.h"

namespace {

std::string scratchBase() {
    std::error_code ec;
    const std::filesystem::path dir =
        std::filesystem::is_directory("/dev/shm", ec) ? "/dev/shm" : std::filesystem::temp_directory_path();
    return (dir / ("zuno-fuzz-capture-" + std::to_string(::getpid()))).string();
}

bool writeBytes(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

constexpr model::CaptureFormat kFormats[] = {model::CaptureFormat::Cf64,   model::CaptureFormat::Cf32,
                                           model::CaptureFormat::Ci16be, model::CaptureFormat::Ci16le,
                                           model::CaptureFormat::Sigmf,  model::CaptureFormat::Mat};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string base = scratchBase();
    if (size < 1) return 0;
    const model::CaptureFormat format = kFormats[data[0] % std::size(kFormats)];
    ++data, --size;
    std::string path = base + ".bin";
    std::vector<std::string> files;
    if (format == model::CaptureFormat::Sigmf) {
        if (size < 2) return 0;
        const std::size_t metaSize = std::min<std::size_t>((data[0] << 8 | data[1]), size - 2);
        path = base + ".sigmf-meta";
        if (!writeBytes(path, data + 2, metaSize) ||
            !writeBytes(base + ".sigmf-data", data + 2 + metaSize, size - 2 - metaSize))
            return 0;
        files = {path, base + ".sigmf-data"};
    } else {
        if (!writeBytes(path, data, size)) return 0;
        files = {path};
    }
    try {
        const model::CaptureSource source(path, format);
        const dsp::CVec start = source.read(0, 4096);
        if (start.size() != std::min<std::uint64_t>(source.sampleCount(), 4096)) __builtin_trap();
        const dsp::CVec tail = source.read(source.sampleCount() > 3 ? source.sampleCount() - 3 : 0, 100);
        if (tail.size() != std::min<std::uint64_t>(source.sampleCount(), 3)) __builtin_trap();
    } catch (const std::exception& e) {
        if (e.what()[0] == '\0') __builtin_trap();
    }
    for (const std::string& f : files) std::remove(f.c_str());
    return 0;
}
