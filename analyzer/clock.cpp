#include "analyzer/clock.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "dsp/fft.h"

namespace analyzer {

namespace {

constexpr std::size_t kStretches = 16;
constexpr long long kLags = 5;  // samples either side
// Below this drift over the frame (samples) the first-order estimate is the better one.
constexpr double kFineDriftSamples = 0.5;

struct Line {
    double sw = 0, st = 0, sd = 0, stt = 0, std_ = 0;
    void add(double t, double d, double w) { sw += w, st += w * t, sd += w * d, stt += w * t * t, std_ += w * t * d; }
    double slope() const {
        const double den = sw * stt - st * st;
        return den > 0 ? (sw * std_ - st * sd) / den : 0.0;
    }
};

std::size_t wrap(long long i, std::size_t n) {
    const auto m = static_cast<long long>(n);
    return static_cast<std::size_t>((i % m + m) % m);
}

// Each stretch's delay from the peak of its correlation, parabolic between lags: biased by a
// fraction of a sample that depends on the delay's own fraction, but it sees a chip either side.
double coarseSlope(const dsp::CVec& z, const dsp::CVec& ref) {
    const std::size_t n = z.size(), stretch = n / kStretches;
    Line line;
    for (std::size_t s = 0; s < kStretches; ++s) {
        std::vector<double> mag(2 * kLags + 1);
        for (long long d = -kLags; d <= kLags; ++d) {
            dsp::cplx c = 0;
            std::size_t at = wrap(static_cast<long long>(s * stretch) - d, n);
            for (std::size_t t = s * stretch; t < (s + 1) * stretch; ++t) {
                c += z[t] * std::conj(ref[at]);
                if (++at == n) at = 0;
            }
            mag[static_cast<std::size_t>(d + kLags)] = std::abs(c);
        }
        const auto peak = static_cast<std::size_t>(std::max_element(mag.begin() + 1, mag.end() - 1) - mag.begin());
        const double lo = mag[peak - 1], mid = mag[peak], hi = mag[peak + 1];
        const double den = lo - 2 * mid + hi;
        const double frac = den < 0 ? std::clamp(0.5 * (lo - hi) / den, -0.5, 0.5) : 0.0;
        line.add((static_cast<double>(s) + 0.5) * static_cast<double>(stretch),
                 static_cast<double>(peak) - kLags + frac, mid * mid);
    }
    return line.slope();
}

// Each stretch's delay to first order, z = g (ref - delay ref'): unbiased while the delays are
// small against a sample.
double fineSlope(const dsp::CVec& z, const dsp::CVec& ref) {
    const std::size_t n = z.size(), stretch = n / kStretches;
    dsp::CVec slope = ref;
    dsp::fft(slope);
    for (std::size_t k = 0; k < n; ++k) {
        const double bin = k < (n + 1) / 2 ? double(k) : double(k) - double(n);
        slope[k] *= (n % 2 == 0 && k == n / 2) ? 0.0 : dsp::cplx(0, 2 * std::numbers::pi * bin / double(n));
    }
    dsp::ifft(slope);
    dsp::cplx cross = 0;
    double rr = 0;
    for (std::size_t t = 0; t < n; ++t) cross += z[t] * std::conj(ref[t]), rr += std::norm(ref[t]);
    if (rr == 0) return 0;
    const dsp::cplx g = cross / rr;
    Line line;
    for (std::size_t s = 0; s < kStretches; ++s) {
        dsp::cplx num = 0;
        double den = 0;
        for (std::size_t t = s * stretch; t < (s + 1) * stretch; ++t) {
            const dsp::cplx d = g * slope[t];
            num += std::conj(d) * (z[t] - g * ref[t]);
            den += std::norm(d);
        }
        if (den > 0) line.add((static_cast<double>(s) + 0.5) * static_cast<double>(stretch), -num.real() / den, den);
    }
    return line.slope();
}

}  // namespace

double clockDriftPpm(const dsp::CVec& z, const dsp::CVec& ref, int r) {
    if (z.size() < kStretches || ref.size() != z.size()) return 0;
    // Four samples per chip or more hold the band and tell a delay well; more only cost time.
    // A step that divides R keeps the frame cyclic.
    int step = std::max(1, r / 4);
    while (r % step != 0) --step;
    dsp::CVec zs, refs;
    for (std::size_t t = 0; t < z.size(); t += static_cast<std::size_t>(step)) zs.push_back(z[t]), refs.push_back(ref[t]);
    // Delay over time is the same number whichever samples are kept.
    const double coarse = coarseSlope(zs, refs);
    if (std::abs(coarse) * static_cast<double>(zs.size()) > kFineDriftSamples) return coarse * 1e6;
    return fineSlope(zs, refs) * 1e6;
}

}  // namespace analyzer
