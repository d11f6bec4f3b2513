#include "dsp/gaussian.h"

#include <cmath>
#include <cstdlib>

namespace dsp {

namespace {

constexpr double kR = 3.442619855899;  // where the tail begins
constexpr double kV = 9.91256303526217e-3;  // the area of each of the 128 layers
constexpr double kScale = 2147483648.0;    // 2^31: draws are signed 32-bit

std::uint64_t splitmix(std::uint64_t& x) {
    std::uint64_t z = (x += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

}  // namespace

namespace detail {

ZigguratTables::ZigguratTables() {
    double d = kR, t = kR;
    const double q = kV / std::exp(-0.5 * d * d);
    k[0] = static_cast<std::int64_t>(d / q * kScale);
    k[1] = 0;
    w[0] = q / kScale;
    w[127] = d / kScale;
    f[0] = 1;
    f[127] = std::exp(-0.5 * d * d);
    for (int i = 126; i >= 1; --i) {
        d = std::sqrt(-2 * std::log(kV / d + std::exp(-0.5 * d * d)));
        k[i + 1] = static_cast<std::int64_t>(d / t * kScale);
        t = d;
        f[i] = std::exp(-0.5 * d * d);
        w[i] = d / kScale;
    }
}

const ZigguratTables kZiggurat;

}  // namespace detail

GaussianSource::GaussianSource(std::uint64_t seed) {
    for (auto& s : s_) s = splitmix(seed);
}

double GaussianSource::uniform() { return (static_cast<double>(next() >> 11) + 0.5) * 0x1.0p-53; }

// The rare draws outside a layer's rectangle: the wedge, or the tail beyond kR.
double GaussianSource::tail(std::int64_t hz, unsigned iz) {
    const detail::ZigguratTables& t = detail::kZiggurat;
    for (;;) {
        const double x = static_cast<double>(hz) * t.w[iz];
        if (iz == 0) {
            double a, b;
            do {
                a = -std::log(uniform()) / kR;
                b = -std::log(uniform());
            } while (b + b < a * a);
            return hz > 0 ? kR + a : -kR - a;
        }
        if (t.f[iz] + uniform() * (t.f[iz - 1] - t.f[iz]) < std::exp(-0.5 * x * x)) return x;
        const auto bits = static_cast<std::uint32_t>(next() >> 32);
        iz = bits & 127;
        hz = static_cast<std::int32_t>(bits);
        if (std::llabs(hz) < t.k[iz]) return static_cast<double>(hz) * t.w[iz];
    }
}

void GaussianSource::mixComplexNoise(CVec& to, double keep, double power) {
    const double sigma = std::sqrt(power / 2);
    const detail::ZigguratTables& t = detail::kZiggurat;
    // The generator's state is kept in locals, in registers, and handed back only for the rare
    // draw outside the rectangles (which reads on from it): the same numbers, half again as fast
    // as a loop through the member state that every out-of-line call may change.
    std::uint64_t s0 = s_[0], s1 = s_[1], s2 = s_[2], s3 = s_[3];
    const auto draw = [&](std::uint32_t bits) {
        const unsigned iz = bits & 127;
        const auto hz = static_cast<std::int64_t>(static_cast<std::int32_t>(bits));
        if (std::llabs(hz) < t.k[iz]) return static_cast<double>(hz) * t.w[iz];
        s_[0] = s0, s_[1] = s1, s_[2] = s2, s_[3] = s3;
        const double x = tail(hz, iz);
        s0 = s_[0], s1 = s_[1], s2 = s_[2], s3 = s_[3];
        return x;
    };
    for (auto& v : to) {
        // xoshiro256+, as next() on the locals.
        const std::uint64_t bits = s0 + s3, shifted = s1 << 17;
        s2 ^= s0;
        s3 ^= s1;
        s1 ^= s2;
        s0 ^= s3;
        s2 ^= shifted;
        s3 = (s3 << 45) | (s3 >> 19);
        const double re = draw(static_cast<std::uint32_t>(bits));
        v = keep * v + cplx(sigma * re, sigma * draw(static_cast<std::uint32_t>(bits >> 32)));
    }
    s_[0] = s0, s_[1] = s1, s_[2] = s2, s_[3] = s3;
}

CVec GaussianSource::complexNoise(std::size_t n, double power) {
    CVec out(n);
    mixComplexNoise(out, 0, power);
    return out;
}

}  // namespace dsp
