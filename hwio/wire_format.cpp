// The download's bytes: 16-bit I/Q words and one marker byte per sample.
#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "hwio/link.h"
#include "host/core/text.h"

namespace hwio {

std::string iqBytes(std::span<const std::complex<double>> iq, std::string_view norm, double scale) {
    double peak = 0;
    for (const auto& v : iq) {
        if (!std::isfinite(v.real()) || !std::isfinite(v.imag()))
            throw std::invalid_argument("The waveform holds a sample that is not a finite number; calculate it again.");
        peak = std::max({peak, std::abs(v.real()), std::abs(v.imag())});
    }
    scale = std::clamp(std::isfinite(scale) ? scale : 1.0, 0.0, 1.0);
    const bool normalise = host::toLower(norm) == "norm";
    const double gain = kFullScale * scale * (normalise ? (peak > 0 ? 1.0 / peak : 0.0) : 1.0);
    std::string out(iq.size() * 4, '\0');
    char* p = out.data();
    auto put = [&p](double x) {
        // Halves away from zero, as lround does, without its library call per word.
        const double c = std::clamp(x, -kFullScale, kFullScale);
        const auto word = static_cast<std::uint16_t>(static_cast<std::int16_t>(c + std::copysign(0.5, c)));
        *p++ = static_cast<char>(word >> 8);
        *p++ = static_cast<char>(word & 0xff);
    };
    for (const auto& v : iq) {
        put(v.real() * gain);
        put(v.imag() * gain);
    }
    return out;
}

std::string markerBytes(std::span<const std::uint8_t> marker1, std::span<const std::uint8_t> marker2,
                        std::size_t count) {
    std::string out(count, '\0');
    for (std::size_t k = 0; k < count; ++k) {
        int bits = 0;
        if (k < marker1.size() && marker1[k]) bits |= 1;
        if (k < marker2.size() && marker2[k]) bits |= 2;
        out[k] = static_cast<char>(bits);
    }
    return out;
}

}  // namespace hwio
