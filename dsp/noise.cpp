#include "dsp/noise.h"

#include <cmath>

namespace dsp {

Rng& defaultRng() {
    static Rng rng{std::random_device{}()};
    return rng;
}

CVec complexNoise(std::size_t n, double power, Rng& rng) {
    std::normal_distribution<double> normal;
    const double scale = std::sqrt(power / 2.0);
    CVec out(n);
    for (auto& v : out) {
        const double x = normal(rng);
        const double y = normal(rng);
        v = {scale * x, scale * y};
    }
    return out;
}

}  // namespace dsp
