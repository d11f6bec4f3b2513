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
    auto bz = map(num);
    auto az = map(den);
    const double norm = az[0];
    Biquad q;
    for (int i = 0; i < 3; ++i) {
        q.b[i] = bz[i] / norm;
        q.a[i] = az[i] / norm;
    }
    return q;
}

CVec filter(const Biquad& q, const CVec& x) {
    CVec y(x.size());
    const double b0 = q.b[0], b1 = q.b[1], b2 = q.b[2], a1 = q.a[1], a2 = q.a[2];
    // Real and imaginary parts are independent filters; run them side by side.
    double z1r = 0, z2r = 0, z1i = 0, z2i = 0;
    for (std::size_t n = 0; n < x.size(); ++n) {
        const double xr = x[n].real(), xi = x[n].imag();
        const double yr = b0 * xr + z1r;
        const double yi = b0 * xi + z1i;
        z1r = b1 * xr - a1 * yr + z2r;
        z1i = b1 * xi - a1 * yi + z2i;
        z2r = b2 * xr - a2 * yr;
        z2i = b2 * xi - a2 * yi;
        y[n] = {yr, yi};
    }
    return y;
}

}  // namespace dsp
