#include "analyzer/alignment.h"

#include <cmath>
#include <numbers>

#include "analyzer/frame_layout.h"
#include "dsp/fft.h"

namespace analyzer {

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

double signedBin(std::size_t k, std::size_t n) {
    return k < (n + 1) / 2 ? static_cast<double>(k) : static_cast<double>(k) - static_cast<double>(n);
}

// Calls f(k, e^{j w k'}) for every bin k, k' its signed frequency, the phasors by recurrence
// (restarted every 1024 bins so that rounding does not pile up).
template <class F>
void forEachPhasor(std::size_t n, double w, F&& f) {
    dsp::cplx p = 1.0, step = std::polar(1.0, w);
    for (std::size_t k = 0; k < n; ++k) {
        if (k == (n + 1) / 2 || k % 1024 == 0) p = std::polar(1.0, w * signedBin(k, n));
        f(k, p);
        p *= step;
    }
}

dsp::CVec derotatedSpectrum(const AlignmentInput& in, double frequencyHz) {
    dsp::CVec v(*in.window);
    const double w = kTwoPi * frequencyHz / in.sampleRate;
    const dsp::cplx start = std::polar(1.0, -w * static_cast<double>(in.offset));
    // Time runs over one frame, so the signed-bin restart never happens here: t < n / 2 or not,
    // the phasor is computed from t itself at every restart.
    dsp::cplx p = 1.0, step = std::polar(1.0, -w);
    for (std::size_t t = 0; t < v.size(); ++t) {
        if (t % 1024 == 0) p = start * std::polar(1.0, -w * static_cast<double>(t));
        v[t] *= p;
        p *= step;
    }
    dsp::fft(v);
    return v;
}

// Whole-sample lag of the largest correlation within `width` of `around`.
double bestLag(const dsp::CVec& v, const dsp::CVec& refSpectrum, double around, std::size_t width) {
    const std::size_t n = v.size();
    dsp::CVec c(n);
    for (std::size_t k = 0; k < n; ++k) c[k] = v[k] * std::conj(refSpectrum[k]);
    dsp::ifft(c);
    const auto centre = static_cast<long long>(std::llround(around));
    long long best = centre;
    double bestPower = -1;
    for (long long d = -static_cast<long long>(width); d <= static_cast<long long>(width); ++d) {
        const long long lag = centre + d;
        const auto at = static_cast<std::size_t>(((lag % static_cast<long long>(n)) + static_cast<long long>(n)) %
                                                 static_cast<long long>(n));
        if (std::norm(c[at]) > bestPower) bestPower = std::norm(c[at]), best = lag;
    }
    return static_cast<double>(best);
}

// Residual delay once the cross-spectrum is advanced by `delay`: the slope of its phase over
// frequency, weighted by its magnitude. `weight` is the sum of k^2 |cross(k)|, which the advance
// does not change.
double residualDelay(const dsp::CVec& cross, double weight, double delay) {
    const std::size_t n = cross.size();
    dsp::cplx mean = 0, slope = 0;
    forEachPhasor(n, kTwoPi * delay / static_cast<double>(n), [&](std::size_t k, dsp::cplx p) {
        const dsp::cplx q = cross[k] * p;
        mean += q;
        slope += signedBin(k, n) * q;
    });
    if (weight == 0) return 0;
    // |q| sin(phase) stands for |q| phase: the same slope once the phases are small, and the
    // passes that follow make them small.
    const dsp::cplx unit = std::abs(mean) > 0 ? std::conj(mean) / std::abs(mean) : 1.0;
    return -((slope * unit).imag() / weight) * static_cast<double>(n) / kTwoPi;
}

// Frequency left in aligned samples: the phase slope of their correlation with the reference
// over the half-slots, each weighted by its magnitude.
double residualFrequency(const dsp::CVec& z, const dsp::CVec& ref, double sampleRate) {
    const std::size_t segment = z.size() / kHalfSlots;
    std::vector<dsp::cplx> g(kHalfSlots);
    for (std::size_t s = 0; s < kHalfSlots; ++s)
        for (std::size_t t = s * segment; t < (s + 1) * segment; ++t) g[s] += z[t] * std::conj(ref[t]);
    double phase = std::arg(g[0]), sw = 0, st = 0, sp = 0, stt = 0, stp = 0;
    for (std::size_t s = 0; s < kHalfSlots; ++s) {
        if (s > 0) phase += std::arg(g[s] * std::conj(g[s - 1]));
        const double w = std::abs(g[s]);
        const double t = static_cast<double>(s);
        sw += w, st += w * t, sp += w * phase, stt += w * t * t, stp += w * t * phase;
    }
    const double den = sw * stt - st * st;
    if (den == 0) return 0;
    const double slope = (sw * stp - st * sp) / den;  // radians per half-slot
    return slope / kTwoPi * sampleRate / static_cast<double>(segment);
}

}  // namespace

// The Nyquist bin of an even length keeps the real part of its rotation, as a real delay would.
void advance(dsp::CVec& spectrum, double delay) {
    const std::size_t n = spectrum.size();
    forEachPhasor(n, kTwoPi * delay / static_cast<double>(n), [&](std::size_t k, dsp::cplx p) {
        spectrum[k] *= (n % 2 == 0 && k == n / 2) ? dsp::cplx(p.real()) : p;
    });
}

dsp::CVec derotatedBand(const AlignmentInput& in, double frequencyHz, std::size_t bins) {
    const dsp::CVec v = derotatedSpectrum(in, frequencyHz);
    const std::size_t n = v.size();
    dsp::CVec band(bins);
    for (std::size_t k = 0; k < bins; ++k) {
        const double f = signedBin(k, bins);
        band[k] = v[static_cast<std::size_t>(f < 0 ? f + static_cast<double>(n) : f)];
    }
    dsp::ifft(band);
    return band;
}

dsp::CVec alignedSpectrum(const AlignmentInput& in, const Alignment& a) {
    dsp::CVec spectrum = derotatedSpectrum(in, a.frequencyHz);
    advance(spectrum, a.delay);
    return spectrum;
}

Aligned applyAlignment(const AlignmentInput& in, const Alignment& a) {
    Aligned out;
    out.alignment = a;
    out.spectrum = alignedSpectrum(in, a);
    out.samples = out.spectrum;
    dsp::ifft(out.samples);
    return out;
}

Alignment align(const AlignmentInput& in, Alignment start, int iterations, std::size_t lagSearch) {
    Alignment a = start;
    const dsp::CVec& refSpectrum = *in.referenceSpectrum;
    for (int it = 0; it < iterations; ++it) {
        const dsp::CVec v = derotatedSpectrum(in, a.frequencyHz);
        if (it == 0 && lagSearch > 0) a.delay = bestLag(v, refSpectrum, a.delay, lagSearch);
        dsp::CVec cross(v.size());
        double weight = 0;
        for (std::size_t k = 0; k < v.size(); ++k) {
            cross[k] = v[k] * std::conj(refSpectrum[k]);
            const double kk = signedBin(k, v.size());
            weight += kk * kk * std::sqrt(std::norm(cross[k]));  // hypot's care for overflow costs here
        }
        for (int inner = 0; inner < 3; ++inner) a.delay += residualDelay(cross, weight, a.delay);
        if (it + 1 == iterations) break;
        dsp::CVec z = v;
        advance(z, a.delay);
        dsp::ifft(z);
        a.frequencyHz += residualFrequency(z, *in.reference, in.sampleRate);
    }
    const double n = static_cast<double>(in.window->size());
    a.delay = std::fmod(std::fmod(a.delay, n) + n, n);
    return a;
}

}  // namespace analyzer
