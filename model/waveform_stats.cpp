#include "model/waveform_stats.h"

#include <algorithm>
#include <cmath>

namespace model {

WaveformStats waveformStats(const dsp::CVec& waveform) {
    WaveformStats s;
    double power = 0;
    for (const auto& x : waveform) {
        const double p = std::norm(x);
        power += p;
        s.peak = std::max(s.peak, p);
    }
    s.peak = std::sqrt(s.peak);
    s.rms = waveform.empty() ? 0.0 : std::sqrt(power / static_cast<double>(waveform.size()));
    s.crestDb = s.rms > 0 ? 20.0 * std::log10(s.peak / s.rms) : 0.0;
    return s;
}

}  // namespace model
