#include "engine/dac.h"

#include <algorithm>
#include <cmath>

namespace engine {

dsp::CVec applyDacRes(const dsp::CVec& wave, double numBits) {
    if (!(numBits > 2)) return wave;
    numBits = std::min(32.0, numBits);
    double peak = 0.0;
    for (const auto& v : wave) peak = std::max({peak, std::abs(v.real()), std::abs(v.imag())});
    // An all-zero waveform has nothing to scale to; it is already on every grid.
    if (peak == 0.0) return wave;
    const double scale = (std::pow(2.0, numBits - 1) - 1.0) / peak;
    dsp::CVec out(wave.size());
    for (std::size_t i = 0; i < wave.size(); ++i)
        out[i] = {std::round(wave[i].real() * scale) / scale, std::round(wave[i].imag() * scale) / scale};
    return out;
}

}  // namespace engine
