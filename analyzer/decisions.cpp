#include "analyzer/decisions.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "analyzer/frame_layout.h"
#include "engine/traffic.h"

namespace analyzer {

namespace {

// Data positions holding less than this (relative to the pilot) hold nothing: idle without a
// doubt. Above it the likelihoods decide: no noise estimate need be trusted to tell a weak
// constellation (16-QAM's inner points, all of them for some data, carry 0.2) from noise.
constexpr double kNothing = 1e-3;
// Noise that loud in the data positions of a slot called idle is power at the traffic's level.
constexpr double kTrafficLevel = 0.5;
// Log-likelihood (nats) by which a model must beat the other to be taken without doubt: at least
// 10, and a hundredth of a nat per symbol.
constexpr double kLeastMargin = 10.0;
constexpr double kMarginPerSymbol = 0.01;
// Noise is not taken below a thousandth of the traffic's power: a clean capture's symbols then
// still fit.
constexpr double kNoiseFloor = 1e-3;
// Constellation points this many noise powers further than the nearest add nothing to a
// symbol's likelihood (less than 1e-9 of the nearest's term).
constexpr double kFarTerm = 21.0;
constexpr double kLeastNoiseShare = 0.5;

// Log-likelihood of the symbols under "one of `points` (each as often as the symbols nearest to it
// say: data need not use every point, constant bits use one), plus complex Gaussian noise", the
// noise being what the symbols show about their nearest points but at least `least`.
double constellationLikelihood(const dsp::CVec& symbols, const std::vector<dsp::cplx>& points, double least) {
    const auto n = static_cast<double>(symbols.size());
    std::vector<double> weight(points.size(), 0.5);
    double spread = 0;
    for (const dsp::cplx& x : symbols) {
        std::size_t k = 0;
        double nearest = 1e300;
        for (std::size_t j = 0; j < points.size(); ++j)
            if (const double e = std::norm(x - points[j]); e < nearest) nearest = e, k = j;
        weight[k] += 1;
        spread += nearest;
    }
    const double v = std::max(least, spread / n);
    for (double& w : weight) w = std::log(w / (n + 0.5 * static_cast<double>(points.size())));
    double ll = 0;
    std::vector<double> d(points.size());
    for (const dsp::cplx& x : symbols) {
        double top = -1e300;
        std::size_t at = 0;
        for (std::size_t k = 0; k < points.size(); ++k)
            if ((d[k] = weight[k] - std::norm(x - points[k]) / v) > top) top = d[k], at = k;
        // The nearest point's term is 1; a clean symbol has no other.
        double sum = 0;
        for (std::size_t k = 0; k < points.size(); ++k)
            if (k != at && top - d[k] < kFarTerm) sum += std::exp(d[k] - top);
        ll += (sum > 0 ? std::log1p(sum) : 0.0) + top;
    }
    // Each weight fitted is paid for (as by the Bayesian information criterion): with 15 of them
    // 16-QAM would otherwise pass for Gaussian noise of its power.
    const double fitted = static_cast<double>(points.size() - 1) + 1.0;
    return ll - n * std::log(std::numbers::pi * v) - 0.5 * fitted * std::log(n);
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
    if (!(power > kNothing)) return out;
    const double signal = power - noise;

    // Each constellation at the traffic's own level (a level fitted to the data would let QPSK
    // pass for a 16-QAM frame of constant symbols). The noise is the data's own: interference
    // need not land in the pilot and the data alike (an echo of loud MAC bursts reaches the
    // pilot, not the data); half the pilot's at least.
    const double margin = std::max(kLeastMargin, kMarginPerSymbol * n);
    const double gaussian = -n * (std::log(std::numbers::pi * power) + 1.0);
    std::array<double, 3> fit{};
    for (std::size_t f = 0; f < 3; ++f)
        fit[f] = constellationLikelihood(symbols, constellations()[f].points, std::max(kNoiseFloor, kLeastNoiseShare * noise));
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
