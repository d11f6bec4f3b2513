#include "analyzer/acquisition.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>

#include "analyzer/frame_layout.h"
#include "dsp/fft.h"
#include "dsp/number_text.h"
#include "engine/frame.h"

namespace analyzer {

namespace {

constexpr std::size_t N = kChipsPerFrame;
// Stretches of half a half-slot: none holds parts of two pilot bursts, which a frequency error
// near the burst rate's half would set against each other. Stretches may cut every burst in two
// (frame starts near a multiple of 512 chips), halving its correlation; those a quarter
// half-slot later then hold each burst whole.
constexpr std::size_t kSegments = 64;
constexpr std::size_t kSegmentChips = N / kSegments;
constexpr std::size_t kSegmentStarts[2] = {0, kSegmentChips / 2};
// A pilot stands well above the largest of 2 x 32768 correlations of noise summed over 64
// stretches (about 1.5 times their mean); a clean one about 10 times.
constexpr double kDetectionRatio = 3.0;
constexpr double kClearDetection = 6.0;
// Noise summed over 8 stretches stays below 4 times its mean at every code phase: a clear pilot
// is told from it after that many.
constexpr std::size_t kEarlySegments = 8;
constexpr double kHeldShare = 0.5;
// A pilot burst (96 chips) stays coherent within 3.2 kHz of a trial frequency: trials 6412.5 Hz
// apart (171 of the frame's bins) to +-25.65 kHz.
constexpr double kBinHz = 171 * engine::kChipRate / kChipsPerFrame;
constexpr int kFrequencyBins = 4;
// Clock errors to +-204 ppm in steps that leave at most 0.2 chip of drift over a frame.
constexpr double kDriftStepPpm = 12;
constexpr std::size_t kDriftSteps = 17;
constexpr double kDriftMargin = 1.25;

const dsp::CVec& shortCodeSpectrum() {
    static const dsp::CVec spectrum = [] {
        dsp::CVec c = shortCode();
        dsp::fft(c);
        return c;
    }();
    return spectrum;
}

// Sum of p over chips from..to - 1 of the burst at `start`.
dsp::cplx windowSum(const dsp::CVec& p, std::size_t start, std::size_t from, std::size_t to) {
    dsp::cplx s = 0;
    for (std::size_t j = from; j < to; ++j) s += p[(start + j) % N];
    return s;
}

}  // namespace

namespace {

// Frequency of the despread chips `p` whose half-slots begin at `halfSlotStart`.
double pilotFrequency(const dsp::CVec& p, std::size_t halfSlotStart) {
    // Frequency: burst-to-burst rotation (ambiguous by the burst rate, 1200 Hz), resolved by the
    // rotation between the halves of each burst. Edge chips are left out: they hold the
    // neighbouring MAC chips' filter tails.
    struct Burst {
        std::size_t at;
        dsp::cplx first, second;
    };
    std::vector<Burst> bursts;
    for (std::size_t n = 0; n < kHalfSlots; ++n) {
        const std::size_t at = (halfSlotStart + kPilotStart + n * kHalfSlotChips) % N;
        if (at + kPilotChips > N) continue;  // wraps past the window's end: not in time order
        bursts.push_back({at, windowSum(p, at, 8, 48), windowSum(p, at, 48, 88)});
    }
    std::sort(bursts.begin(), bursts.end(), [](const Burst& x, const Burst& y) { return x.at < y.at; });
    dsp::cplx step = 0, halves = 0;
    for (std::size_t n = 0; n < bursts.size(); ++n) {
        halves += bursts[n].second * std::conj(bursts[n].first);
        if (n + 1 < bursts.size())
            step += (bursts[n + 1].first + bursts[n + 1].second) * std::conj(bursts[n].first + bursts[n].second);
    }
    const double burstRate = engine::kChipRate / kHalfSlotChips;
    const double f0 = std::arg(step) / (2 * std::numbers::pi) * burstRate;
    const double measured = std::arg(halves);
    double bestMiss = 1e9, frequency = 0;
    for (int m = -4; m <= 4; ++m) {
        const double f = f0 + m * burstRate;
        const double miss = std::abs(std::remainder(2 * std::numbers::pi * f * 40 / engine::kChipRate - measured,
                                                    2 * std::numbers::pi));
        if (miss < bestMiss) bestMiss = miss, frequency = f;
    }
    return frequency;
}

// Chip sums derotated by `binHz` (a whole number of the frame's bins, so that a pilot that far
// off stays coherent over its bursts). With `drift`, when no clear pilot shows, the stretches'
// correlations are also summed along the lags a clock error would move them by; a drift found is
// returned before the pilot's gate and frequency, which the capture resampled gives.
Acquisition acquireAt(const dsp::CVec& window, int r, std::size_t shift, std::size_t segmentStart, double binHz, bool drift) {
    const auto ratio = static_cast<std::size_t>(r);
    // Chip-rate sums: whatever the fraction of a chip the frame starts at, most of each chip's
    // energy lands in one of them.
    dsp::CVec y(N);
    for (std::size_t m = 0; m < N; ++m)
        for (std::size_t p = 0; p < ratio; ++p) y[m] += window[(m * ratio + p + shift) % window.size()];
    if (binHz != 0)
        for (std::size_t m = 0; m < N; ++m)
            y[m] *= std::polar(1.0, -2 * std::numbers::pi * binHz * static_cast<double>(m) / engine::kChipRate);
    // Unit magnitudes: strong MAC or traffic chips would otherwise drown the pilot's correlation.
    dsp::CVec u(N);
    for (std::size_t m = 0; m < N; ++m) {
        const double a = std::sqrt(std::norm(y[m]));
        u[m] = a > 0 ? y[m] / a : 0.0;
    }

    // Correlation with the short code per stretch of 512 chips (coherent over a pilot burst
    // however large the frequency error), summed in power.
    const dsp::CVec& code = shortCodeSpectrum();
    std::vector<double> power[2] = {std::vector<double>(N, 0.0), std::vector<double>(N, 0.0)};
    std::vector<float> stretches(drift ? 2 * kSegments * N : 0);  // each stretch's power, for the drift
    dsp::CVec seg(N), corr(N);
    Acquisition a;
    double best = -1;
    // The pilot's share of the power at its code phase does not grow with the stretches summed,
    // only the noise's spread shrinks: a pilot already clear after a quarter of the frame is
    // taken there (a clean capture then costs a quarter of the search).
    auto findPeak = [&] {
        double total = 0;
        best = -1;
        for (int conj = 0; conj < 2; ++conj)
            for (std::size_t k = 0; k < N; ++k) {
                total += power[conj][k];
                if (power[conj][k] > best) best = power[conj][k], a.codePhase = k, a.conjugated = conj == 1;
            }
        const double mean = total / (2.0 * N);
        a.detection = mean > 0 ? best / mean : 0.0;
    };
    // Whether the pilot found in the first `searched` stretches holds its code phase in the rest:
    // a drifting clock moves it, and the whole frame must then be searched, drifts included.
    auto holdsOn = [&](std::size_t searched) {
        const dsp::CVec& c = shortCode();
        double early = 0, late = 0;
        for (std::size_t t = 0; t < kSegments; ++t) {
            dsp::cplx sum = 0;
            for (std::size_t j = 0; j < kSegmentChips; ++j) {
                const std::size_t m = (segmentStart + t * kSegmentChips + j) % N;
                sum += (a.conjugated ? std::conj(u[m]) : u[m]) * std::conj(c[(m + N - a.codePhase) % N]);
            }
            (t < searched ? early : late) += std::norm(sum);
        }
        return late / static_cast<double>(kSegments - searched) >= kHeldShare * early / static_cast<double>(searched);
    };
    for (std::size_t s = 0; s < kSegments; ++s) {
        if (!drift && s > 0 && s % kEarlySegments == 0) {
            findPeak();
            if (a.detection >= kClearDetection && holdsOn(s)) break;
        }
        std::fill(seg.begin(), seg.end(), 0.0);
        for (std::size_t j = 0; j < kSegmentChips; ++j) {
            const std::size_t m = (segmentStart + s * kSegmentChips + j) % N;
            seg[m] = u[m];
        }
        dsp::fft(seg);
        for (int conj = 0; conj < 2; ++conj) {
            for (std::size_t k = 0; k < N; ++k) {
                const dsp::cplx v = conj ? std::conj(seg[(N - k) % N]) : seg[k];
                corr[k] = v * std::conj(code[k]);
            }
            dsp::ifft(corr);
            auto& acc = power[conj];
            for (std::size_t k = 0; k < N; ++k) acc[k] += std::norm(corr[k]);
            if (drift)
                for (std::size_t k = 0; k < N; ++k) stretches[(2 * s + conj) * N + k] = static_cast<float>(std::norm(corr[k]));
        }
    }
    findPeak();
    if (drift && a.detection < kClearDetection) {
        Acquisition d;
        // The code phase at chip 0: stretch s, centred on chip t, finds it t x clock error later.
        // Summed a block of lags at a time, every clock error at once, so that the stretches are
        // read once and the sums stay in the cache.
        constexpr std::size_t kBlock = 1024;
        constexpr std::size_t kHypotheses = 2 * kDriftSteps + 1;
        std::vector<std::size_t> moves(kHypotheses * kSegments);
        for (std::size_t h = 0; h < kHypotheses; ++h)
            for (std::size_t s = 0; s < kSegments; ++s) {
                const double ppm = (static_cast<double>(h) - kDriftSteps) * kDriftStepPpm;
                const double centre = static_cast<double>((segmentStart + s * kSegmentChips + kSegmentChips / 2) % N);
                const auto moved = std::llround(ppm * 1e-6 * centre);
                moves[h * kSegments + s] = static_cast<std::size_t>((moved + static_cast<long long>(N)) % static_cast<long long>(N));
            }
        std::vector<float> acc(kHypotheses * kBlock);
        double bestDrift = -1, driftTotal = 0;
        for (std::size_t conj = 0; conj < 2; ++conj)
            for (std::size_t b0 = 0; b0 < N; b0 += kBlock) {
                std::fill(acc.begin(), acc.end(), 0.0f);
                for (std::size_t s = 0; s < kSegments; ++s) {
                    const float* p = &stretches[(2 * s + conj) * N];
                    for (std::size_t h = 0; h < kHypotheses; ++h) {
                        float* sum = &acc[h * kBlock];
                        const std::size_t from = (b0 + moves[h * kSegments + s]) % N;
                        const std::size_t straight = std::min(kBlock, N - from);
                        for (std::size_t k = 0; k < straight; ++k) sum[k] += p[from + k];
                        for (std::size_t k = straight; k < kBlock; ++k) sum[k] += p[from + k - N];
                    }
                }
                for (std::size_t h = 0; h < kHypotheses; ++h)
                    for (std::size_t k = 0; k < kBlock; ++k) {
                        const double v = acc[h * kBlock + k];
                        if (h == kDriftSteps) driftTotal += v;
                        if (v > bestDrift)
                            bestDrift = v, d.codePhase = b0 + k, d.conjugated = conj == 1,
                            d.clockPpm = (static_cast<double>(h) - kDriftSteps) * kDriftStepPpm;
                    }
            }
        const double driftMean = driftTotal / (2.0 * N);
        d.detection = driftMean > 0 ? bestDrift / driftMean : 0.0;
        // Many more trials than without drift: a drift must stand clearly above the pilot without.
        if (d.clockPpm != 0 && d.detection > kDriftMargin * a.detection) return d;
    }
    if (!(a.detection > kDetectionRatio)) return a;

    // Despread: pilot chips become constants (times the frequency error's rotation).
    dsp::CVec p(N), pu(N);
    const dsp::CVec& c = shortCode();
    for (std::size_t m = 0; m < N; ++m) {
        const dsp::cplx pn = std::conj(c[(m + N - a.codePhase) % N]);
        p[m] = (a.conjugated ? std::conj(y[m]) : y[m]) * pn;
        pu[m] = (a.conjugated ? std::conj(u[m]) : u[m]) * pn;
    }
    // The frame start is the code phase plus 64 x PN offset: 16 places for the pilot bursts
    // within a half-slot.
    double bestGate = -1;
    for (std::size_t i = 0; i < kOffsetsPerHalfSlot; ++i) {
        const std::size_t gate = a.codePhase % kPilotOffsetChips + kPilotOffsetChips * i;
        double metric = 0;
        for (std::size_t n = 0; n < kHalfSlots; ++n)
            metric += std::norm(windowSum(pu, gate + kPilotStart + n * kHalfSlotChips, 0, kPilotChips));
        if (metric > bestGate) bestGate = metric, a.halfSlotStart = gate;
    }

    a.frequencyHz = pilotFrequency(p, a.halfSlotStart);
    // Despreading the conjugate measured the conjugate's frequency.
    if (a.conjugated) a.frequencyHz = -a.frequencyHz;
    a.frequencyHz += binHz;
    a.sampleShift = shift;
    return a;
}

}  // namespace

Acquisition acquire(const dsp::CVec& window, int r, double captureRate) {
    // Chip sums straddling two chips may lose the pilot's edge chips to loud neighbours: half a
    // chip later they do not. Frequencies are tried outwards from zero, clock errors last. Each
    // try is made only when those before found no clear pilot.
    const std::string none = "no pilot within +-25 kHz at " + dsp::generalText(captureRate, 10) +
                             " Hz (every PN offset, sample clocks within +-200 ppm)";
    if (std::all_of(window.begin(), window.end(), [](dsp::cplx v) { return v == 0.0; })) throw std::runtime_error(none);
    std::vector<double> bins{0};
    for (int b = 1; b <= kFrequencyBins; ++b) bins.push_back(b * kBinHz), bins.push_back(-b * kBinHz);
    Acquisition best;
    auto attempt = [&](std::size_t shift, double bin, bool drift) {
        for (std::size_t from : kSegmentStarts) {
            if (best.detection >= kClearDetection) return;
            Acquisition a = acquireAt(window, r, shift, from, bin, drift);
            if (a.detection > best.detection) best = a;
        }
    };
    // The first chip sums at every frequency, then half a chip later, then with clock errors.
    for (double bin : bins) attempt(0, bin, false);
    if (r >= 2)
        for (double bin : bins) attempt(static_cast<std::size_t>(r / 2), bin, false);
    for (double bin : bins) attempt(0, bin, true);
    if (!(best.detection > kDetectionRatio)) throw std::runtime_error(none);
    return best;
}

}  // namespace analyzer
