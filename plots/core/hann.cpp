#include "plots/core/hann.h"

#include <cmath>
#include <numbers>

namespace plots {

dsp::RVec powerNormalisedHann(std::size_t n) {
    dsp::RVec w(n, 1.0);
    if (n < 2) return w;
    double squares = 0;
    for (std::size_t k = 0; k < n; ++k) {
        w[k] = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * static_cast<double>(k) / static_cast<double>(n));
        squares += w[k] * w[k];
    }
    const double scale = std::sqrt(static_cast<double>(n) / squares);
    for (double& v : w) v *= scale;
    return w;
}

}  // namespace plots
