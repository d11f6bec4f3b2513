// libFuzzer target: arbitrary bytes from a client of zuno-sim's VXI-11 core channel. The first
// byte picks how the rest is cut into reads; the replies must be the same as for one read, and
// every read that waits for an answer ends with its time-out.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/zuno_sim_vxi11.h"

namespace {

constexpr std::size_t kMemorySamples = 1 << 14;
constexpr std::uint32_t kMaxWrite = 4096;

std::string run(const std::uint8_t* data, std::size_t size, std::size_t chunk) {
    sim::Instrument instrument({}, kMemorySamples);
    sim::CoreChannel channel(instrument, kMaxWrite);
    const sim::Clock::time_point now{};  // one instant for both runs
    std::string replies;
    for (std::size_t at = 0; at < size && !channel.broken(); at += chunk)
        replies += channel.feed(reinterpret_cast<const char*>(data) + at, std::min(chunk, size - at), now);
    while (const auto due = channel.due()) replies += channel.expire(*due);
    return replies;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t chunk = 1 + data[0] % 17;
    if (run(data + 1, size - 1, size) != run(data + 1, size - 1, chunk)) __builtin_trap();
    return 0;
}
