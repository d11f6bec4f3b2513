#include "engine/baseband_filter.h"

#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>

#include "dsp/remez.h"

namespace engine {

namespace {

constexpr double kChipRate = 1228800.0;

std::vector<double> bandEdges(int oversmpl) {
    const double scale = 2.0 / oversmpl / kChipRate;
    // The last edge is the Nyquist frequency itself: exactly 1, whatever the rounding of R * 614400 * scale.
    return {0.0, 590000.0 * scale, 740000.0 * scale, 1.0};
}

void checkOversampling(int oversmpl) {
    if (oversmpl < 2) throw std::invalid_argument("oversampling = " + std::to_string(oversmpl) + " must be at least 2");
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
    const auto& h = cachedCoefficients(kind, oversamplingRate);
    const std::size_t len = h.size();
    if (n < len - 1)
        throw std::invalid_argument("a frame of " + std::to_string(n) + " samples is shorter than the filter's " +
                                    std::to_string(len - 1) + "-sample cyclic prefix");
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

// Polyphase kernel: for every chip m the R outputs m*R + p are the dot products of phase p's taps
// with the chips m, m-1, ..., m-T+1. `ext` holds the chips with the last T-1 in front, real and
// imaginary parts apart so that the inner loop over p vectorises.
__attribute__((target_clones("arch=x86-64-v3", "default")))
void polyphaseKernel(const double* gt, std::size_t taps, std::size_t r, const double* extRe, const double* extIm,
                     std::size_t chips, double* outRe, double* outIm) {
    for (std::size_t m = 0; m < chips; ++m) {
        double* yr = outRe + m * r;
        double* yi = outIm + m * r;
        for (std::size_t p = 0; p < r; ++p) yr[p] = yi[p] = 0.0;
        const double* wr = extRe + m + taps - 1;
        const double* wi = extIm + m + taps - 1;
        for (std::size_t t = 0; t < taps; ++t) {
            const double* g = gt + t * r;
            const double xr = wr[-static_cast<std::ptrdiff_t>(t)];
            const double xi = wi[-static_cast<std::ptrdiff_t>(t)];
            for (std::size_t p = 0; p < r; ++p) {
                yr[p] += g[p] * xr;
                yi[p] += g[p] * xi;
            }
        }
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
    const auto& h = cachedCoefficients(kind, oversamplingRate);
    const std::size_t len = h.size();
    if (n < len - 1)
        throw std::invalid_argument("a frame of " + std::to_string(n) + " samples is shorter than the filter's " +
                                    std::to_string(len - 1) + "-sample cyclic prefix");
    const std::size_t taps = (len + r - 1) / r;
    // gt[t*R + p] = h[p + t*R], zero past the end.
    std::vector<double> gt(taps * r, 0.0);
    for (std::size_t k = 0; k < len; ++k) gt[k] = h[k];
    std::vector<double> extRe(m + taps - 1), extIm(m + taps - 1);
    for (std::size_t i = 0; i < m + taps - 1; ++i) {
        const dsp::cplx c = chips[(i + m * taps - (taps - 1)) % m];
        extRe[i] = c.real();
        extIm[i] = c.imag();
    }
    std::vector<double> yRe(n), yIm(n);
    polyphaseKernel(gt.data(), taps, r, extRe.data(), extIm.data(), m, yRe.data(), yIm.data());
    // Delay compensation: rotate left by floor(L/2).
    const std::size_t delay = (len / 2) % n;
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t j = i + delay < n ? i + delay : i + delay - n;
        out[i] = {yRe[j], yIm[j]};
    }
    return out;
}

}  // namespace engine
