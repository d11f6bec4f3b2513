#include "analyzer/other_pilots.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "analyzer/frame_layout.h"
#include "dsp/fft.h"

namespace analyzer {

namespace {

constexpr std::size_t N = kChipsPerFrame;
// Chips searched either side of the pilot bursts read: a pilot delayed by up to this much is
// searched whole, while the other sectors' MAC bursts beside it (often louder) stay out.
constexpr std::ptrdiff_t kMargin = 32;
constexpr std::size_t kCoherentHalfSlots = 4;  // summed in phase: a few tens of hertz between sectors cost little
constexpr double kLeastLevelDb = -20;
// The largest of 32768 noise-only correlation powers (8 groups summed) lies near 3 times their
// median; a pilot must stand 5 times above it.
constexpr double kAboveMedian = 5;
constexpr int kMostPeaks = 8;  // correlation peaks looked at, strongest first

std::size_t wrap(std::ptrdiff_t m) { return static_cast<std::size_t>(((m % static_cast<std::ptrdiff_t>(N)) + N) % N); }

// Power of a pilot with PN offset `pn` whose frame starts at chip 0 of `x`, in units of a chip's
// (despread) power, with the noise's share removed.
double pilotPower(const dsp::CVec& x, int pn) {
    const dsp::CVec& code = shortCode();
    const std::size_t shift = 64 * static_cast<std::size_t>(pn);
    double coherent = 0, total = 0;
    for (std::size_t h = 0; h < kHalfSlots; ++h) {
        dsp::cplx sum = 0;
        for (std::size_t c = 0; c < kPilotChips; ++c) {
            const std::size_t m = h * kHalfSlotChips + kPilotStart + c;
            const dsp::cplx v = x[m] * std::conj(code[(m + shift) % N]) / 2.0;
            sum += v;
            total += std::norm(v);
        }
        coherent += std::norm(sum);
    }
    const double chips = static_cast<double>(kHalfSlots * kPilotChips);
    const double p = coherent / (chips * kPilotChips);
    const double noise = std::max(total / chips - p, 0.0);
    return std::max(p - noise / kPilotChips, 0.0);
}

// x advanced by `delay` chips (cyclic, band-limited): chip m of the result is x at m + delay.
dsp::CVec advanced(dsp::CVec x, double delay) {
    dsp::fft(x);
    for (std::size_t k = 0; k < N; ++k) {
        const double bin = k < N / 2 ? double(k) : double(k) - double(N);
        x[k] *= std::polar(1.0, 2 * std::numbers::pi * bin * delay / double(N));
    }
    dsp::ifft(x);
    return x;
}

// Correlation power with the short code at every code phase L (x[m] against code[m + L]), over
// windows around the pilot bursts read, summed in power over groups of half-slots.
std::vector<double> codePhasePower(const dsp::CVec& x) {
    dsp::CVec code = shortCode();
    dsp::fft(code);
    std::vector<double> power(N, 0.0);
    dsp::CVec g(N);
    for (std::size_t first = 0; first < kHalfSlots; first += kCoherentHalfSlots) {
        std::fill(g.begin(), g.end(), 0.0);
        for (std::size_t h = first; h < first + kCoherentHalfSlots; ++h)
            for (std::ptrdiff_t c = -kMargin; c < static_cast<std::ptrdiff_t>(kPilotChips) + kMargin; ++c) {
                const std::size_t m = wrap(static_cast<std::ptrdiff_t>(h * kHalfSlotChips + kPilotStart) + c);
                g[m] = x[m];
            }
        dsp::fft(g);
        for (std::size_t k = 0; k < N; ++k) g[k] = code[k] * std::conj(g[k]);
        dsp::ifft(g);
        for (std::size_t l = 0; l < N; ++l) power[l] += std::norm(g[l]);
    }
    return power;
}

}  // namespace

std::vector<OtherPilot> findOtherPilots(const dsp::CVec& chips, const dsp::CVec& reference, int pnOffset) {
    // What the reading leaves: the chips less the reference, fitted half-slot by half-slot.
    dsp::CVec residual(N);
    for (std::size_t h = 0; h < kHalfSlots; ++h) {
        dsp::cplx cross = 0;
        double energy = 0;
        for (std::size_t c = h * kHalfSlotChips; c < (h + 1) * kHalfSlotChips; ++c)
            cross += chips[c] * std::conj(reference[c]), energy += std::norm(reference[c]);
        const dsp::cplx gain = energy > 0 ? cross / energy : 0.0;
        for (std::size_t c = h * kHalfSlotChips; c < (h + 1) * kHalfSlotChips; ++c) residual[c] = chips[c] - gain * reference[c];
    }
    const double own = pilotPower(chips, pnOffset);
    if (!(own > 0)) return {};

    std::vector<double> power = codePhasePower(residual);
    std::vector<double> sorted(power);
    std::nth_element(sorted.begin(), sorted.begin() + N / 2, sorted.end());
    const double floor = kAboveMedian * sorted[N / 2];

    std::vector<OtherPilot> found;
    for (int pass = 0; pass < kMostPeaks; ++pass) {
        const auto peak = std::max_element(power.begin(), power.end());
        if (!(*peak > floor)) break;
        const auto lag = static_cast<std::ptrdiff_t>(peak - power.begin());
        // Clear the peak and its neighbours (the chip shape spreads it over a few code phases).
        for (std::ptrdiff_t k = -3; k <= 3; ++k) power[wrap(lag + k)] = 0;
        // The frame start after the one read: 64 x PN offset - code phase, one of a few within
        // the windows searched; the one whose pilot bursts hold the most power. Where it is the
        // sector read, the peak is its echo: part of its error.
        const std::ptrdiff_t near = ((-lag) % 64 + 64 + 32) % 64 - 32;  // in -32..31
        auto pnAt = [&](std::ptrdiff_t delay) { return static_cast<int>(wrap(lag + delay) / 64 % 512); };
        if (pnAt(near) == pnOffset) continue;
        OtherPilot best;
        double bestPower = 0;
        for (std::ptrdiff_t delay = near - 64; delay <= near + 64; delay += 64) {
            const int pn = pnAt(delay);
            if (pn == pnOffset) continue;
            const double p = pilotPower(advanced(residual, static_cast<double>(delay)), pn);
            if (p > bestPower) bestPower = p, best = {pn, 0.0, static_cast<double>(delay)};
        }
        if (!(bestPower > 0)) continue;
        // The fraction of a chip: the vertex through the pilot's amplitude either side, in
        // steps halved each time (a parabola fits the peak only near its top).
        double amplitude = std::sqrt(bestPower);
        for (double step = 0.5; step > 0.05; step /= 2) {
            const double before = std::sqrt(pilotPower(advanced(residual, best.delayChips - step), best.pnOffset));
            const double after = std::sqrt(pilotPower(advanced(residual, best.delayChips + step), best.pnOffset));
            const double curve = before - 2 * amplitude + after;
            double move = before > amplitude ? -step : after > amplitude ? step : 0.0;
            if (move == 0.0 && curve < 0) move = std::clamp(0.5 * step * (before - after) / curve, -step / 2, step / 2);
            if (move == 0.0) continue;
            best.delayChips += move;
            amplitude = std::sqrt(pilotPower(advanced(residual, best.delayChips), best.pnOffset));
        }
        bestPower = amplitude * amplitude;
        if (!(bestPower > 0)) continue;
        best.levelDb = 10 * std::log10(bestPower / own);
        if (best.levelDb < kLeastLevelDb) continue;
        const bool seen = std::any_of(found.begin(), found.end(), [&](const OtherPilot& p) { return p.pnOffset == best.pnOffset; });
        if (!seen) found.push_back(best);
    }
    std::sort(found.begin(), found.end(), [](const OtherPilot& a, const OtherPilot& b) { return a.levelDb > b.levelDb; });
    return found;
}

}  // namespace analyzer
