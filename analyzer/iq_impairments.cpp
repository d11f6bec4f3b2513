#include "analyzer/iq_impairments.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <utility>

#include "analyzer/frame_layout.h"

namespace analyzer {

namespace {

using Row = std::array<dsp::cplx, 4>;

// Chips of a MAC burst and those its filter tails reach.
constexpr std::size_t kMacGuardChips = 6;
bool nearMac(std::size_t chipInHalfSlot) {
    for (std::size_t m : kMacStarts)
        if (chipInHalfSlot + kMacGuardChips >= m && chipInHalfSlot < m + kMacBurstChips + kMacGuardChips) return true;
    return false;
}

// Gaussian elimination with partial pivoting on the 3 x 3 normal equations (right side in [3]).
std::array<dsp::cplx, 3> solve(std::array<Row, 3> m) {
    for (std::size_t i = 0; i < 3; ++i) {
        std::size_t pivot = i;
        for (std::size_t k = i + 1; k < 3; ++k)
            if (std::abs(m[k][i]) > std::abs(m[pivot][i])) pivot = k;
        std::swap(m[i], m[pivot]);
        if (std::abs(m[i][i]) == 0) return {};
        for (std::size_t k = 0; k < 3; ++k) {
            if (k == i) continue;
            const dsp::cplx f = m[k][i] / m[i][i];
            for (std::size_t j = i; j < 4; ++j) m[k][j] -= f * m[i][j];
        }
    }
    return {m[0][3] / m[0][0], m[1][3] / m[1][1], m[2][3] / m[2][2]};
}

}  // namespace

IqErrors iqErrors(const dsp::CVec& z, const dsp::CVec& ref, int r, double first, double delay, double frequencyHz,
                  double sampleRate) {
    const std::size_t n = std::min(z.size(), ref.size());
    std::array<Row, 3> m{};
    const double w = 2 * std::numbers::pi * frequencyHz / sampleRate;
    const auto ratio = static_cast<std::size_t>(std::max(r, 1));
    // Four samples per chip hold the band; more only cost time.
    const std::size_t step = std::max<std::size_t>(1, ratio / 4);
    // The carrier's turn by recurrence, set afresh now and then and where the window wraps.
    const dsp::cplx stepTurn = std::polar(1.0, w * static_cast<double>(step));
    dsp::cplx turn = 1.0;
    double last = -1;
    for (std::size_t t = 0; t < n; t += step) {
        const double at = std::fmod(static_cast<double>(t) + delay, static_cast<double>(n));
        if (t % (256 * step) == 0 || at < last) turn = std::polar(1.0, w * (first + at));
        else turn *= stepTurn;
        last = at;
        if (nearMac((t / ratio) % kHalfSlotChips)) continue;
        const dsp::cplx x = z[t] * turn, s = ref[t] * turn;
        const std::array<dsp::cplx, 3> basis = {s, std::conj(s), 1.0};
        for (std::size_t i = 0; i < 3; ++i) {
            for (std::size_t j = 0; j < 3; ++j) m[i][j] += std::conj(basis[i]) * basis[j];
            m[i][3] += std::conj(basis[i]) * x;
        }
    }
    const auto [a, b, c] = solve(m);
    IqErrors e;
    // The signal's power a s + b conj(s) over the whole frame: the cross term averages out.
    double refPower = 0;
    for (std::size_t t = 0; t < n; ++t) refPower += std::norm(ref[t]) / static_cast<double>(n);
    const double power = (std::norm(a) + std::norm(b)) * refPower;
    e.offsetDbc = 10 * std::log10(std::max(std::norm(c), 1e-30) / std::max(power, 1e-300));
    if (std::norm(a) == 0) return e;
    // x = alpha (g s) + beta conj(g s) for the carrier's unknown g: a = alpha g, b = beta conj(g),
    // with alpha + beta the I gain (real) and alpha - beta the Q gain turned by the quadrature
    // error. rho = beta / alpha follows from b a / |a|^2 = rho e^{2j arg alpha}, arg alpha =
    // -arg(1 + rho), by a few fixed-point steps (|rho| is small).
    const dsp::cplx seen = b * a / std::norm(a);
    dsp::cplx rho = seen;
    for (int i = 0; i < 8; ++i) rho = seen * std::polar(1.0, 2 * std::arg(1.0 + rho));
    const dsp::cplx qOverI = (1.0 - rho) / (1.0 + rho);
    e.gainImbalanceDb = -20 * std::log10(std::abs(qOverI));
    e.quadratureErrorDeg = std::arg(qOverI) * 180 / std::numbers::pi;
    return e;
}

}  // namespace analyzer
