#include "model/torvik.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace model {

std::vector<std::uint8_t> torvikBytes(const dsp::CVec& data, double scale) {
    scale = std::clamp(scale, 0.00001, 1.0);
    constexpr double half = 32768.0;
    double mx = 0.0;
    for (const auto& v : data) {
        if (!std::isfinite(v.real()) || !std::isfinite(v.imag()))
            throw std::invalid_argument("the waveform holds a sample that is not a finite number");
        mx = std::max({mx, std::abs(v.real()), std::abs(v.imag())});
    }
    // Any non-zero waveform is brought to full scale, a constant-envelope one included.
    const double gain = mx > 0.0 ? (half - 2.0) * scale / mx : 1.0;
    std::vector<std::uint8_t> out(data.size() * 4);
    auto put = [&](std::size_t at, double x) {
        const auto code = static_cast<std::uint16_t>(static_cast<std::int16_t>(std::round(x * gain)));
        out[at] = static_cast<std::uint8_t>(code >> 8);
        out[at + 1] = static_cast<std::uint8_t>(code & 0xff);
    };
    for (std::size_t k = 0; k < data.size(); ++k) {
        put(4 * k, data[k].real());
        put(4 * k + 2, data[k].imag());
    }
    return out;
}

}  // namespace model
