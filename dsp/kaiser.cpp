#include "dsp/kaiser.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace dsp {

double kaiserBeta(double stopDb) { return 0.1102 * (stopDb - 8.7); }

std::size_t kaiserHalfLength(double transition, double stopDb) {
    // Kaiser's estimate of the filter's length.
    return static_cast<std::size_t>(std::ceil((stopDb - 7.95) / (14.36 * transition) / 2));
}

double kaiserSinc(double tau, double half, double cutoff, double beta) {
    const double x = tau / half;
    if (std::abs(x) > 1) return 0;
    const double window = std::cyl_bessel_i(0.0, beta * std::sqrt(std::max(0.0, 1 - x * x))) / std::cyl_bessel_i(0.0, beta);
    const double arg = 2 * cutoff * tau;
    const double sinc = arg == 0 ? 1.0 : std::sin(std::numbers::pi * arg) / (std::numbers::pi * arg);
    return 2 * cutoff * sinc * window;
}

}  // namespace dsp
