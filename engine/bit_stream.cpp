#include "engine/bit_stream.h"

#include <cmath>
#include <stdexcept>
#include <string>

#include "dsp/number_text.h"
#include "engine/pn_codes.h"

namespace engine {

namespace {

constexpr double kMaxBits = 4294967296.0;  // 2^32

}  // namespace

dsp::Bits GenerateBitStream(double type, std::optional<double> len, const std::optional<dsp::Bits>& pattern) {
    if (!len) return {};
    const double count = *len;
    if (!(count >= 0) || count != std::floor(count) || count > kMaxBits)
        throw std::invalid_argument("Bit stream length " + dsp::generalText(count) +
                                    " is not a whole number of bits in 0..4294967296");
    const auto n = static_cast<std::size_t>(count);

    if (type == 7) {
        if (!pattern || pattern->empty())
            throw std::invalid_argument("Data source type 7 repeats a user bit pattern; no pattern was given");
        dsp::Bits out(n);
        for (std::size_t i = 0; i < n; ++i) out[i] = (*pattern)[i % pattern->size()];
        return out;
    }
    // The PN generator returns at least one bit; a zero-length stream stays empty.
    if (n == 0) return {};
    if (type == 1) return dsp::Bits(n, 0);
    if (type == 2) return dsp::Bits(n, 1);
    if (type == 3 || type == 4) {
        const std::uint8_t first = type == 3 ? 0 : 1;
        dsp::Bits out(n);
        for (std::size_t i = 0; i < n; ++i) out[i] = first ^ static_cast<std::uint8_t>(i & 1u);
        return out;
    }
    if (type == 5) return PNgenerator(9, count);
    if (type == 6) return PNgenerator(15, count);
    return {};
}

}  // namespace engine
