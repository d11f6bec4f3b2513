#include "analyzer/carrier_select.h"

#include <cmath>
#include <numbers>
#include <stdexcept>

#include "dsp/fft.h"
#include "dsp/number_text.h"

namespace analyzer {

dsp::CVec selectCarrier(const dsp::CVec& x, double offsetHz, double sampleRate) {
    if (std::abs(offsetHz) + 625e3 > sampleRate / 2)
        throw std::runtime_error("a carrier at " + dsp::generalText(offsetHz) + " Hz does not lie inside the band sampled at " +
                                 dsp::generalText(sampleRate) + " Hz");
    const std::size_t n = x.size();
    dsp::CVec y(n);
    // The phase from the sample index afresh every 4096 samples, so that no rounding builds up.
    const double cycles = offsetHz / sampleRate;
    const dsp::cplx step = std::polar(1.0, -2 * std::numbers::pi * cycles);
    for (std::size_t start = 0; start < n; start += 4096) {
        dsp::cplx rotor = std::polar(1.0, -2 * std::numbers::pi * std::fmod(cycles * static_cast<double>(start), 1.0));
        for (std::size_t i = start; i < std::min(n, start + 4096); ++i, rotor *= step) y[i] = x[i] * rotor;
    }
    // A raised-cosine edge from the pass to the stop frequency.
    dsp::fft(y);
    const double binHz = sampleRate / static_cast<double>(n);
    for (std::size_t k = 0; k < n; ++k) {
        const double f = std::abs(k < (n + 1) / 2 ? double(k) : double(k) - double(n)) * binHz;
        if (f >= kSelectStopHz) y[k] = 0;
        else if (f > kSelectPassHz)
            y[k] *= 0.5 * (1 + std::cos(std::numbers::pi * (f - kSelectPassHz) / (kSelectStopHz - kSelectPassHz)));
    }
    dsp::ifft(y);
    return y;
}

}  // namespace analyzer
