#include "dsp/biquad.h"

#include <cmath>
#include <numbers>

namespace dsp {

Biquad bilinear(const std::array<double, 3>& num, const std::array<double, 3>& den, double fs, double prewarpHz) {
    // s = K (1 - z^-1) / (1 + z^-1); multiply through by (1 + z^-1)^2.
    const double w = 2.0 * std::numbers::pi * prewarpHz;
    const double k = w / std::tan(std::numbers::pi * prewarpHz / fs);
    const double k2 = k * k;
    auto map = [&](const std::array<double, 3>& p) {
        return std::array<double, 3>{p[0] * k2 + p[1] * k + p[2], 2.0 * (p[2] - p[0] * k2), p[0] * k2 - p[1] * k + p[2]};
    };
    const auto bz = map(num);
    const auto az = map(den);
    Biquad q;
    for (int i = 0; i < 3; ++i) {
        q.b[i] = bz[i] / az[0];
        q.a[i] = az[i] / az[0];
    }
    return q;
}

__attribute__((target_clones("arch=x86-64-v3", "default")))
void BiquadFilter::run(const cplx* x, std::size_t n, cplx* y) {
    const double b0 = q_.b[0], b1 = q_.b[1], b2 = q_.b[2], a1 = q_.a[1], a2 = q_.a[2];
    double z1r = z1r_, z2r = z2r_, z1i = z1i_, z2i = z2i_;
    for (std::size_t i = 0; i < n; ++i) {
        const double xr = x[i].real(), xi = x[i].imag();
        const double yr = b0 * xr + z1r;
        const double yi = b0 * xi + z1i;
        z1r = b1 * xr - a1 * yr + z2r;
        z1i = b1 * xi - a1 * yi + z2i;
        z2r = b2 * xr - a2 * yr;
        z2i = b2 * xi - a2 * yi;
        if (y) y[i] = {yr, yi};
    }
    z1r_ = z1r;
    z2r_ = z2r;
    z1i_ = z1i;
    z2i_ = z2i;
}

CVec filter(const Biquad& q, const CVec& x) {
    CVec y(x.size());
    BiquadFilter(q).run(x.data(), x.size(), y.data());
    return y;
}

}  // namespace dsp
