#include "plots/core/welch.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "dsp/fft.h"
#include "plots/core/hann.h"
#include "plots/core/units.h"
#include "plots/core/vector_state.h"

namespace plots {

std::size_t welchLength(double sampleRate, double rbw) {
    return static_cast<std::size_t>(std::max(2.0, std::round(1.5 * sampleRate / rbw)));
}

std::size_t welchSegments(std::size_t samples, std::size_t length) {
    const std::size_t step = length - length / 2;
    return samples > length ? (samples - length) / step + 1 : 1;
}

PowerSpectrum welch(const dsp::CVec& x, double sampleRate, std::size_t length, std::size_t averages) {
    clearVectorState();
    PowerSpectrum s;
    if (x.empty()) return s;
    s.rate = sampleRate;
    s.length = std::min(std::max<std::size_t>(length, 2), x.size());
    s.segments = welchSegments(x.size(), s.length);
    if (averages > 0) s.segments = std::min(s.segments, averages);
    s.binWidth = sampleRate / static_cast<double>(s.length);

    const dsp::RVec window = powerNormalisedHann(s.length);
    double squares = 0;
    for (double w : window) squares += w * w;
    const double sum = std::accumulate(window.begin(), window.end(), 0.0);
    s.noiseBandwidth = sampleRate * squares / (sum * sum);

    dsp::Fft fft(s.length);
    dsp::RVec power(s.length, 0.0), peak(s.length, 0.0);
    const std::size_t step = s.length - s.length / 2;
    for (std::size_t j = 0; j < s.segments; ++j) {
        const dsp::cplx* segment = x.data() + j * step;
        for (std::size_t k = 0; k < s.length; ++k) fft.data()[k] = segment[k] * window[k];
        fft.run();
        for (std::size_t k = 0; k < s.length; ++k) {
            const double p = std::norm(fft.data()[k]);
            power[k] += p;
            peak[k] = std::max(peak[k], p);
        }
    }
    const double scale = 1.0 / (sampleRate * squares);
    for (double& v : power) v *= scale / static_cast<double>(s.segments);
    for (double& v : peak) v *= scale;
    s.density = centreSpectrum(power);
    s.maxHold = centreSpectrum(peak);
    s.freq = centredFrequencies(s.length, sampleRate);

    for (const dsp::cplx& v : x) s.meanPower += std::norm(v);
    s.meanPower /= static_cast<double>(x.size());
    return s;
}

double densityLevel(double density, const PowerSpectrum& s, LevelUnit unit, double outputDbm) {
    return unit == LevelUnit::DbmPerHz ? powerLevel(density, s, unit, outputDbm)
                                       : powerLevel(density * s.noiseBandwidth, s, unit, outputDbm);
}

double powerLevel(double power, const PowerSpectrum& s, LevelUnit unit, double outputDbm) {
    const double relative = 10 * std::log10(power / s.meanPower);
    return unit == LevelUnit::DbmPerHz ? relative + outputDbm : relative;
}

}  // namespace plots
