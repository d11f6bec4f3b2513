#include "engine/baseband_filter.h"

#include <cstring>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>

#include "dsp/remez.h"
#include "dsp/stream_store.h"
#include "engine/frame.h"

namespace engine {

namespace {

std::vector<double> bandEdges(int oversmpl) {
    const double scale = 2.0 / oversmpl / kChipRate;
    // The last edge is the Nyquist frequency itself: exactly 1, whatever the rounding of R * 614400 * scale.
    return {0.0, 590000.0 * scale, 740000.0 * scale, 1.0};
}

void checkOversampling(int oversmpl) {
    if (oversmpl < 2) throw std::invalid_argument("oversampling = " + std::to_string(oversmpl) + " must be at least 2");
}

// The coefficients, provided a frame of n samples can be extended cyclically by L - 1 of them.
const std::vector<double>& coefficientsForFrame(FilterKind kind, int oversmpl, std::size_t n) {
    const auto& h = cachedCoefficients(kind, oversmpl);
    if (n < h.size() - 1)
        throw std::invalid_argument("a frame of " + std::to_string(n) + " samples is shorter than the filter's " +
                                    std::to_string(h.size() - 1) + "-sample cyclic prefix");
    return h;
}

}  // namespace

FilterKind filterKind(const FilterType& type) {
    if (const double* v = std::get_if<double>(&type)) {
        if (*v == 1.0) return FilterKind::Rectangular;
        if (*v == 3.0) return FilterKind::Is95Acp;
        return FilterKind::Is95Std;
    }
    const auto& name = std::get<std::string>(type);
    if (name == "IS95-STD") return FilterKind::Is95Std;
    if (name == "IS95-ACP") return FilterKind::Is95Acp;
    return FilterKind::Rectangular;
}

dsp::CVec upsample(const dsp::CVec& x, std::size_t n) {
    dsp::CVec out(x.size() * n);
    for (std::size_t k = 0; k < x.size(); ++k) out[k * n] = x[k];
    return out;
}

dsp::Bits upsampleMarker(const dsp::Bits& in, std::size_t ratio) {
    dsp::Bits out(in.size() * ratio);
    for (std::size_t k = 0; k < in.size(); ++k)
        std::fill_n(out.begin() + static_cast<std::ptrdiff_t>(k * ratio), ratio, in[k]);
    return out;
}

std::vector<double> FilterCoeff_IS95_Std(int oversmpl) {
    checkOversampling(oversmpl);
    return dsp::remez2(12 * oversmpl - 1, bandEdges(oversmpl), {1, 1, 0, 0}, {1, 20});
}

std::vector<double> FilterCoeff_IS95_Acp(int oversmpl) {
    checkOversampling(oversmpl);
    const auto f = bandEdges(oversmpl);
    const auto h0 = dsp::remez2(12 * oversmpl - 1, f, {1, 1, 0, 0}, {1, 20});
    auto h1 = dsp::remez2(14 * oversmpl, f, {1, 1, 0.005, 0.001}, {1, 2});
    double sum = 0.0;
    for (double v : h1) sum += v;
    std::vector<double> h(h0.size() + h1.size() - 1, 0.0);
    for (std::size_t i = 0; i < h0.size(); ++i)
        for (std::size_t j = 0; j < h1.size(); ++j) h[i + j] += h0[i] * (h1[j] / sum);
    return h;
}

const std::vector<double>& cachedCoefficients(FilterKind kind, int oversmpl) {
    static std::mutex mutex;
    static std::map<std::pair<FilterKind, int>, std::vector<double>> cache;
    std::lock_guard lock(mutex);
    auto [it, fresh] = cache.try_emplace({kind, oversmpl});
    if (fresh) {
        try {
            if (kind == FilterKind::Is95Std) it->second = FilterCoeff_IS95_Std(oversmpl);
            if (kind == FilterKind::Is95Acp) it->second = FilterCoeff_IS95_Acp(oversmpl);
        } catch (...) {
            cache.erase(it);
            throw;
        }
    }
    return it->second;
}

dsp::CVec Zuno_BasebandFilter(const dsp::CVec& frame, int oversamplingRate, const FilterType& filterType) {
    const std::size_t n = frame.size();
    const FilterKind kind = filterKind(filterType);
    if (kind == FilterKind::Rectangular) {
        if (oversamplingRate < 1) throw std::invalid_argument("oversampling must be at least 1");
        // First n samples of the linear convolution with R ones: no wrap-around.
        const auto r = static_cast<std::size_t>(oversamplingRate);
        dsp::CVec out(n);
        dsp::cplx run = 0.0;
        for (std::size_t i = 0; i < n; ++i) {
            run += frame[i];
            if (i >= r) run -= frame[i - r];
            out[i] = run;
        }
        return out;
    }
    const auto& h = coefficientsForFrame(kind, oversamplingRate, n);
    const std::size_t len = h.size();
    const std::size_t delay = len / 2;
    dsp::CVec out(n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t at = (i + delay) % n;  // delay compensation: rotate left by floor(L/2)
        dsp::cplx acc = 0.0;
        for (std::size_t k = 0; k < len; ++k) acc += h[k] * frame[(at + n - k % n) % n];
        out[i] = acc;
    }
    return out;
}

namespace {

constexpr std::size_t kLanes = 16;   // outputs of one phase kept in registers together
constexpr std::size_t kBlock = 32;  // chips per block; the block's R x 256 outputs stay in cache

// Four doubles; the default clone splits them into SSE halves, the v3 clone uses AVX.
typedef double V4 __attribute__((vector_size(32)));
#pragma GCC diagnostic ignored "-Wpsabi"

[[gnu::always_inline]] inline V4 load4(const double* p) {
    V4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
[[gnu::always_inline]] inline void store4(double* p, V4 v) { std::memcpy(p, &v, sizeof v); }

// Phase p of the zero-stuffed filter is an ordinary FIR over the chips with taps h[p + tR]:
// y_p[m] = sum_t g[t] x[m - t]. `x` points at chip m0 of an array that holds the T - 1 chips
// before it; real and imaginary parts are apart so that sixteen outputs of each stay in registers.
__attribute__((target_clones("arch=x86-64-v3", "default")))
void phaseBlock(const double* __restrict g, std::size_t taps, const double* __restrict xr,
                const double* __restrict xi, std::size_t count, double* __restrict yr, double* __restrict yi) {
    for (std::size_t j0 = 0; j0 < count; j0 += kLanes) {
        V4 r0{}, r1{}, r2{}, r3{}, i0{}, i1{}, i2{}, i3{};
        const double* pr = xr + j0;
        const double* pi = xi + j0;
        for (std::size_t t = 0; t < taps; ++t, --pr, --pi) {
            const V4 c = V4{} + g[t];
            r0 += c * load4(pr);
            r1 += c * load4(pr + 4);
            r2 += c * load4(pr + 8);
            r3 += c * load4(pr + 12);
            i0 += c * load4(pi);
            i1 += c * load4(pi + 4);
            i2 += c * load4(pi + 8);
            i3 += c * load4(pi + 12);
        }
        store4(yr + j0, r0);
        store4(yr + j0 + 4, r1);
        store4(yr + j0 + 8, r2);
        store4(yr + j0 + 12, r3);
        store4(yi + j0, i0);
        store4(yi + j0 + 4, i1);
        store4(yi + j0 + 8, i2);
        store4(yi + j0 + 12, i3);
    }
}

}  // namespace

dsp::CVec filterChips(const dsp::CVec& chips, int oversamplingRate, FilterKind kind) {
    const auto r = static_cast<std::size_t>(oversamplingRate);
    const std::size_t m = chips.size();
    const std::size_t n = m * r;
    dsp::CVec out(n);
    if (kind == FilterKind::Rectangular) {
        for (std::size_t i = 0; i < m; ++i) std::fill_n(out.begin() + static_cast<std::ptrdiff_t>(i * r), r, chips[i]);
        return out;
    }
    const auto& h = coefficientsForFrame(kind, oversamplingRate, n);
    const std::size_t len = h.size();
    const std::size_t taps = (len + r - 1) / r;
    std::vector<double> g(r * taps, 0.0);  // g[p * T + t] = h[p + t R]
    for (std::size_t k = 0; k < len; ++k) g[(k % r) * taps + k / r] = h[k];

    // Delay compensation (output i is filter output i + floor(L/2), cyclically) folds into the
    // chip index: with floor(L/2) = qR + s, output phase p' is filter phase (p' + s) mod R taken
    // q chips later, or q + 1 when p' + s wraps past R.
    const std::size_t delay = len / 2;
    const std::size_t q = delay / r, s = delay % r;

    // Chips with the T - 1 before the first one in front and q + 1 after the last at the end
    // (cyclic), padded to whole lane groups.
    const std::size_t padded = (m + kLanes - 1) / kLanes * kLanes;
    const std::size_t extLen = taps - 1 + padded + q + 1;
    std::vector<double> xr(extLen), xi(extLen);
    for (std::size_t i = 0; i < extLen; ++i) {
        const dsp::cplx c = chips[(i + m * taps - (taps - 1)) % m];
        xr[i] = c.real();
        xi[i] = c.imag();
    }
    std::vector<double> yr(r * kBlock), yi(r * kBlock);
    for (std::size_t m0 = 0; m0 < m; m0 += kBlock) {
        const std::size_t count = std::min(kBlock, padded - m0);
        for (std::size_t p = 0; p < r; ++p) {
            const std::size_t phase = (p + s) % r;
            const std::size_t at = taps - 1 + m0 + q + (p + s >= r ? 1 : 0);
            phaseBlock(g.data() + phase * taps, taps, xr.data() + at, xi.data() + at, count, yr.data() + p * kBlock,
                       yi.data() + p * kBlock);
        }
        const std::size_t last = std::min(count, m - m0);
        dsp::cplx* o = out.data() + m0 * r;
        for (std::size_t j = 0; j < last; ++j, o += r)
            for (std::size_t p = 0; p < r; ++p) dsp::streamStore(o + p, yr[p * kBlock + j], yi[p * kBlock + j]);
    }
    dsp::streamFence();
    return out;
}

}  // namespace engine
