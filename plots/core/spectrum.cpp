#include "plots/core/spectrum.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "dsp/fft.h"
#include "plots/core/hann.h"
#include "plots/core/units.h"
#include "plots/core/vector_state.h"

namespace plots {

void decadeLimits(double lo, double hi, double& mMin, double& mMax) {
    mMax = 10.0 * std::ceil(hi / 10.0);
    mMin = 10.0 * std::floor(lo / 10.0);
    if (mMin < mMax - 100.0) mMin = mMax - 100.0;
}

SpectrumData computeSpectrum(double sampleRate, const dsp::CVec& iqWave) {
    clearVectorState();
    if (sampleRate <= 0) sampleRate = 1;
    dsp::CVec X;
    if (!iqWave.empty()) {
        dsp::Fft fft(iqWave.size());
        std::copy(iqWave.begin(), iqWave.end(), fft.data());
        fft.run();
        X = centreSpectrum(dsp::CVec(fft.data(), fft.data() + fft.size()));
    } else {
        X = {0.001, 0.01, 0.1, 0.5, 1, 1, 0.5, 0.1, 0.01, 0.001};
    }
    const std::size_t points = X.size();

    dsp::RVec p(points);
    for (std::size_t k = 0; k < points; ++k) p[k] = X[k].real() * X[k].real() + X[k].imag() * X[k].imag();
    const auto [pMin, pMax] = std::minmax_element(p.begin(), p.end());
    if (*pMin == 0) {
        const double floor = *pMax == 0 ? 1e-20 : 1e-20 * *pMax;
        for (double& v : p) v += floor;
    }

    SpectrumData s;
    s.magSignal.resize(points);
    double peak = -std::numeric_limits<double>::infinity();
    for (std::size_t k = 0; k < points; ++k) {
        s.magSignal[k] = 10.0 * std::log10(p[k]);
        peak = std::max(peak, s.magSignal[k]);
    }
    double lowest = std::numeric_limits<double>::infinity();
    for (double& v : s.magSignal) {
        v -= peak;
        lowest = std::min(lowest, v);
    }
    decadeLimits(lowest, 0.0, s.mMin, s.mMax);

    const UnitScale units = DetermineFrequencyUnits(sampleRate);
    s.fUnits = units.text;
    s.divider = units.factor;
    s.fMax = sampleRate / (2.0 * s.divider);
    s.fMin = -s.fMax;
    s.freq = centredFrequencies(points, sampleRate / s.divider);
    return s;
}

WaterfallData computeWaterfall(double sampleRate, double period, const dsp::CVec& iqWave) {
    clearVectorState();
    if (sampleRate <= 0) sampleRate = 1;
    if (period <= 0) period = 10.0 / sampleRate;
    period = std::max(period, 10.0 / sampleRate);

    WaterfallData w;
    if (!iqWave.empty()) {
        double perSlice = period * sampleRate;
        // The caller's slice duration is a sample count divided by the rate: an exact count must
        // not grow by one sample through rounding.
        if (std::abs(perSlice - std::round(perSlice)) < 1e-9 * perSlice) perSlice = std::round(perSlice);
        w.n = static_cast<std::size_t>(std::ceil(perSlice));
        w.m = (iqWave.size() + w.n - 1) / w.n;
        w.magSignal.resize(w.m * w.n);
        dsp::Fft fft(w.n);
        // Unwindowed slices leak tens of dB into the neighbouring band, which would look like
        // spectral regrowth the signal does not have. The short last slice gets a window of its
        // own length, so that its end is no edge either.
        const dsp::RVec window = powerNormalisedHann(w.n);
        const dsp::RVec lastWindow = powerNormalisedHann(iqWave.size() - (w.m - 1) * w.n);
        dsp::RVec row(w.n);
        for (std::size_t i = 0; i < w.m; ++i) {
            const std::size_t first = i * w.n;
            const std::size_t count = std::min(w.n, iqWave.size() - first);
            const dsp::RVec& win = count == w.n ? window : lastWindow;
            for (std::size_t k = 0; k < count; ++k) fft.data()[k] = iqWave[first + k] * win[k];
            std::fill(fft.data() + count, fft.data() + w.n, dsp::cplx{});
            fft.run();
            for (std::size_t k = 0; k < w.n; ++k) row[k] = 10.0 * std::log10(std::norm(fft.data()[k]));
            const dsp::RVec centred = centreSpectrum(row);
            std::copy(centred.begin(), centred.end(), w.magSignal.begin() + static_cast<std::ptrdiff_t>(first));
        }
    } else {
        w.n = 10;
        w.m = 5;
        w.magSignal.assign(w.m * w.n, 0.0);
        // 10*log10(0.5^2) on the middle row and column.
        const double dip = 10.0 * std::log10(0.25);
        for (std::size_t k = 0; k < w.n; ++k) w.magSignal[2 * w.n + k] = dip;
        for (std::size_t i = 0; i < w.m; ++i) w.magSignal[i * w.n + 4] = dip;
    }

    const auto [lo, hi] = std::minmax_element(w.magSignal.begin(), w.magSignal.end());
    decadeLimits(*lo, *hi, w.mMin, w.mMax);
    // An all-zero waveform has no level at all; show the usual 100 dB below 0 dB.
    if (!std::isfinite(w.mMax)) {
        w.mMax = 0;
        w.mMin = -100;
    }

    const UnitScale f = DetermineFrequencyUnits(sampleRate);
    w.fUnits = f.text;
    w.fMax = sampleRate / (2.0 * f.factor);
    w.fMin = -w.fMax;
    w.freq = centredFrequencies(w.n, sampleRate / f.factor);

    const double nm = static_cast<double>(w.n) * static_cast<double>(w.m);
    const UnitScale t = DetermineTimeUnits(nm / sampleRate);
    w.tUnits = t.text;
    const double dt = static_cast<double>(w.n) * t.factor / sampleRate;
    w.time.resize(w.m);
    for (std::size_t i = 0; i < w.m; ++i) w.time[i] = static_cast<double>(i) * dt;
    w.tMin = 0;
    w.tMax = static_cast<double>(w.m - 1) * dt;
    return w;
}

}  // namespace plots
