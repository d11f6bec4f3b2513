#include "analyzer/decisions.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "analyzer/frame_layout.h"
#include "engine/traffic.h"

namespace analyzer {

namespace {

// Traffic goes out at the pilot's power, its symbols at 0.2 of it at least (16-QAM's inner
// points, all of them for some data); data positions holding less than half of that (after the
// noise) carry idle noise or interference, whatever its shape.
constexpr double kLeastTrafficPower = 0.1;
// Noise that loud in the data positions of a slot called idle is power at the traffic's level.
constexpr double kTrafficLevel = 0.5;
// Log-likelihood (nats) by which a model must beat the other to be taken without doubt: at least
// 10, and a hundredth of a nat per symbol.
constexpr double kLeastMargin = 10.0;
constexpr double kMarginPerSymbol = 0.01;
// Noise is not taken below a thousandth of the traffic's power: a clean capture's symbols then
// still fit.
constexpr double kNoiseFloor = 1e-3;
// Constellation points this many noise powers away add nothing to a symbol's likelihood.
constexpr double kFarTerm = 40.0;
// The noise tried: the pilot's, then 1.5 times more each step, up to 4 times the pilot's
constexpr double kNoiseStep = 1.5;
constexpr double kNoiseSteps = 4.0;
// and at least up to the error of a transmitter whose traffic is 1 dB off the pilot's level.
constexpr double kDistortion = 0.05;

// Mean log-likelihood sum of the symbols under "one of `points` x a, plus complex Gaussian noise v".
double constellationLikelihood(const dsp::CVec& symbols, const std::vector<dsp::cplx>& points, double a, double v) {
    const double m = static_cast<double>(points.size());
    double ll = 0;
    std::vector<double> d(points.size());
    for (const dsp::cplx& x : symbols) {
        double nearest = 1e300;
        for (std::size_t k = 0; k < points.size(); ++k) nearest = std::min(nearest, d[k] = std::norm(x - a * points[k]) / v);
        double sum = 0;
        for (const double e : d)
            if (e - nearest < kFarTerm) sum += std::exp(nearest - e);
        ll += std::log(sum) - nearest;
    }
    return ll - static_cast<double>(symbols.size()) * (std::log(m) + std::log(std::numbers::pi * v));
}

}  // namespace

const std::array<Constellation, 3>& constellations() {
    static const auto table = [] {
        std::array<Constellation, 3> t;
        for (int f = 1; f <= 3; ++f) {
            auto& c = t[static_cast<std::size_t>(f - 1)];
            c.bitsPerSymbol = engine::bitsPerSymbol(f);
            for (unsigned v = 0; v < (1u << c.bitsPerSymbol); ++v) {
                dsp::Bits bits(static_cast<std::size_t>(c.bitsPerSymbol));
                for (int b = 0; b < c.bitsPerSymbol; ++b) bits[static_cast<std::size_t>(b)] = (v >> (c.bitsPerSymbol - 1 - b)) & 1u;
                c.points.push_back(engine::Zuno_IQmap(bits, f));
            }
        }
        return t;
    }();
    return table;
}

double pilotNoise(const dsp::CVec& content, std::size_t firstHalf) {
    double spread = 0;
    for (std::size_t half = 0; half < 2; ++half) {
        const std::size_t base = ((firstHalf + half) % kHalfSlots) * kHalfSlotChips + kPilotStart;
        dsp::cplx mean = 0;
        for (std::size_t c = 0; c < kPilotChips; ++c) mean += content[base + c];
        mean /= static_cast<double>(kPilotChips);
        for (std::size_t c = 0; c < kPilotChips; ++c) spread += std::norm(content[base + c] - mean);
    }
    return spread / (2.0 * (kPilotChips - 1));
}

TrafficDecision decideTraffic(const dsp::CVec& symbols, double noise) {
    TrafficDecision out;
    if (symbols.empty()) return out;
    const auto n = static_cast<double>(symbols.size());
    double power = 0;
    for (const auto& s : symbols) power += std::norm(s);
    power /= n;
    const double signal = power - noise;
    if (!(signal >= kLeastTrafficPower)) return out;

    // Each constellation at the traffic's own level (a level fitted to the data would let QPSK
    // pass for a 16-QAM frame of constant symbols), its noise from the pilot's up to a few times
    // that: interference need not land in the pilot and the data alike, nor does a transmitter's
    // distortion, and the likelihood finds how much more the data hold.
    const double margin = std::max(kLeastMargin, kMarginPerSymbol * n);
    const double gaussian = -n * (std::log(std::numbers::pi * power) + 1.0);
    std::array<double, 3> fit{};
    for (std::size_t f = 0; f < 3; ++f) {
        fit[f] = -1e300;
        for (double v = std::max(noise, kNoiseFloor); v < power; v *= kNoiseStep) {
            fit[f] = std::max(fit[f], constellationLikelihood(symbols, constellations()[f].points, 1.0, v));
            if (v >= std::max(kNoiseSteps * noise, kDistortion)) break;
        }
    }
    const auto best = static_cast<std::size_t>(std::max_element(fit.begin(), fit.end()) - fit.begin());
    if (fit[best] - gaussian <= margin) {
        // Idle noise or interference, clearly so when the Gaussian fits better and it is not
        // as loud as traffic.
        if (gaussian - fit[best] <= margin || signal >= kTrafficLevel) out.doubt = TrafficDoubt::UnexplainedPower;
        return out;
    }
    out.format = static_cast<int>(best) + 1;
    for (std::size_t f = 0; f < 3; ++f)
        if (f != best && fit[best] - fit[f] <= margin) out.doubt = TrafficDoubt::Modulation;
    return out;
}

}  // namespace analyzer
