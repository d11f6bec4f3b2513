#include "analyzer/clock.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace analyzer {

namespace {

constexpr std::size_t kStretches = 16;
constexpr long long kLags = 5;  // either side, in steps of a quarter chip or a sample

}  // namespace

double clockDriftPpm(const dsp::CVec& z, const dsp::CVec& ref, int r) {
    const std::size_t n = z.size();
    if (n == 0 || ref.size() != n) return 0;
    // Four samples per chip tell a delay well enough; more only cost time.
    const auto step = static_cast<std::size_t>(std::max(1, r / 4));
    const std::size_t stretch = n / kStretches;
    double sw = 0, st = 0, sd = 0, stt = 0, std_ = 0;
    for (std::size_t s = 0; s < kStretches; ++s) {
        std::vector<double> mag(2 * kLags + 1);
        for (long long d = -kLags; d <= kLags; ++d) {
            dsp::cplx c = 0;
            const auto lag = static_cast<long long>(step) * d;
            for (std::size_t t = s * stretch; t < (s + 1) * stretch; t += step) {
                const auto at = static_cast<std::size_t>(((static_cast<long long>(t) - lag) % static_cast<long long>(n) +
                                                          static_cast<long long>(n)) % static_cast<long long>(n));
                c += z[t] * std::conj(ref[at]);
            }
            mag[static_cast<std::size_t>(d + kLags)] = std::abs(c);
        }
        const auto peak = static_cast<std::size_t>(std::max_element(mag.begin() + 1, mag.end() - 1) - mag.begin());
        const double lo = mag[peak - 1], mid = mag[peak], hi = mag[peak + 1];
        const double den = lo - 2 * mid + hi;
        const double frac = den < 0 ? std::clamp(0.5 * (lo - hi) / den, -0.5, 0.5) : 0.0;
        const double delay = (static_cast<double>(peak) - kLags + frac) * static_cast<double>(step);
        const double t = (static_cast<double>(s) + 0.5) * static_cast<double>(stretch);
        const double w = mid * mid;
        sw += w, st += w * t, sd += w * delay, stt += w * t * t, std_ += w * t * delay;
    }
    const double den = sw * stt - st * st;
    return den > 0 ? (sw * std_ - st * sd) / den * 1e6 : 0.0;
}

}  // namespace analyzer
