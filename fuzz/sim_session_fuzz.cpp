// libFuzzer target: arbitrary bytes from a client of the simulated signal generator. The first
// byte picks how the rest is cut into reads; the replies must be the same as for one read, and
// what the instrument keeps must stay within its (small) memory. Like the server, the target
// stops taking bytes once enough answers wait (here: 16 MB, all that is compared).
#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/zuno_sim_session.h"

namespace {

constexpr std::size_t kMemorySamples = 1 << 14;
constexpr std::size_t kComparedReplies = 16 << 20;

std::string run(const std::uint8_t* data, std::size_t size, std::size_t chunk) {
    sim::Instrument instrument({}, kMemorySamples);
    sim::Session session(instrument);
    std::string replies;
    for (std::size_t at = 0; at < size && replies.size() < kComparedReplies;)
        at += session.feed(reinterpret_cast<const char*>(data) + at, std::min(chunk, size - at), replies,
                           kComparedReplies);
    return replies.substr(0, kComparedReplies);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t chunk = 1 + data[0] % 17;
    if (run(data + 1, size - 1, size) != run(data + 1, size - 1, chunk)) __builtin_trap();
    return 0;
}
