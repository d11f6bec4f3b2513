#include "analyzer/channel.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "analyzer/frame_layout.h"
#include "dsp/fft.h"

namespace analyzer {

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;
// A channel within 17 chips turns by at most a fifth of a radian across 64 bins of a frame's
// transform at two samples per chip (the groups' sums lose 0.02 dB there): the spectra are
// summed over groups of that many.
constexpr std::size_t kBinsPerGroup = 64;
constexpr int kGoldenSteps = 16;  // to a thousandth of a sample
constexpr double kStopBand = 1e-6;  // of the strongest group's power
constexpr int kNewtonSteps = 6;
constexpr double kSettledSamples = 0.002;
constexpr std::size_t kMostJointRays = 3;  // the time grows with the cube of their number
constexpr double kCloseChips = 2;
constexpr double kSearchChips = 16;
constexpr std::size_t kMostRays = 6;
// An echo must stand out of what the fit leaves (13 dB over its median at the lags searched)
// and be no weaker than this relative to the main ray: less is the reference's own mismatch.
constexpr double kAboveResidual = 20;
constexpr double kLeastEcho = 1e-3;  // -30 dB
// Rays that leave the band-limited response at the main ray 6 dB or more below the main ray
// itself cancel one another there: a fit of distortion (a clipped or compressed transmitter), not
// a channel; the main ray is then taken alone.
constexpr double kLeastMainTap = 0.5;
// A deep notch of the channel is not filled with noise when divided out.
constexpr double kNotchFloor = 1e-3;
// The pilot bursts' edge chips hold the filter tails of the MAC chips beside them.
constexpr std::size_t kBurstEdgeChips = 8;

double signedBin(std::size_t k, std::size_t n) {
    return k < (n + 1) / 2 ? static_cast<double>(k) : static_cast<double>(k) - static_cast<double>(n);
}

// The cross-spectrum of capture and reference and the reference's power spectrum, summed over
// groups of adjacent bins.
struct Spectra {
    std::vector<double> omega;   // radians per sample at each group's centre
    std::vector<dsp::cplx> cross, power;
    std::vector<bool> restart;   // the phasor computed afresh: now and then, and after a gap

    // sum v e^{j omega d}, the phasors by recurrence between adjacent groups.
    dsp::cplx sum(const std::vector<dsp::cplx>& v, double d) const {
        dsp::cplx s = 0, p = 1, step = 1;
        for (std::size_t i = 0; i < v.size(); ++i) {
            if (restart[i]) {
                p = std::polar(1.0, omega[i] * d);
                step = std::polar(1.0, stepOmega * d);
            }
            s += v[i] * p;
            p *= step;
        }
        return s;
    }
    double stepOmega = 0;
};

// Only the groups where the reference has power: the stop band holds nothing but noise.
Spectra grouped(const dsp::CVec& z, const dsp::CVec& ref) {
    const std::size_t n = z.size(), groups = n / kBinsPerGroup;
    std::vector<dsp::cplx> cross(groups), power(groups);
    double strongest = 0;
    for (std::size_t g = 0; g < groups; ++g) {
        for (std::size_t k = g * kBinsPerGroup; k < (g + 1) * kBinsPerGroup; ++k) {
            cross[g] += z[k] * std::conj(ref[k]);
            power[g] += std::norm(ref[k]);
        }
        strongest = std::max(strongest, power[g].real());
    }
    Spectra s;
    s.stepOmega = kTwoPi * static_cast<double>(kBinsPerGroup) / static_cast<double>(n);
    std::size_t last = groups;
    for (std::size_t g = 0; g < groups; ++g) {
        if (!(power[g].real() > kStopBand * strongest)) continue;
        // The centre's signed bin; the group that holds the wrap (n / 2) starts a new run.
        const double centre = signedBin(g * kBinsPerGroup, n) + (static_cast<double>(kBinsPerGroup) - 1) / 2;
        s.restart.push_back(last + 1 != g || g == groups / 2 || s.omega.size() % 64 == 0);
        s.omega.push_back(kTwoPi * centre / static_cast<double>(n));
        s.cross.push_back(cross[g]);
        s.power.push_back(power[g]);
        last = g;
    }
    return s;
}

struct Rays {
    std::vector<double> delay;  // samples
    std::vector<dsp::cplx> gain;
    std::vector<std::vector<dsp::cplx>> onGrid;  // each ray's matched-filter output at the whole lags searched
};

// The matched filter's output at delay d of what the rays (all but `skip`) leave unexplained.
dsp::cplx residualAt(const Spectra& s, const Rays& rays, double d, std::size_t skip = std::numeric_limits<std::size_t>::max()) {
    dsp::cplx c = s.sum(s.cross, d);
    for (std::size_t r = 0; r < rays.delay.size(); ++r)
        if (r != skip) c -= rays.gain[r] * s.sum(s.power, d - rays.delay[r]);
    return c;
}

// Where |residual| peaks within [lo, hi] (golden section: the peak of one ray is smooth).
double refinedDelay(const Spectra& s, const Rays& rays, double lo, double hi, std::size_t skip) {
    const double ratio = (std::sqrt(5.0) - 1) / 2;
    double a = lo, b = hi;
    double x1 = b - ratio * (b - a), x2 = a + ratio * (b - a);
    double f1 = std::norm(residualAt(s, rays, x1, skip)), f2 = std::norm(residualAt(s, rays, x2, skip));
    for (int i = 0; i < kGoldenSteps; ++i) {
        if (f1 > f2) b = x2, x2 = x1, f2 = f1, x1 = b - ratio * (b - a), f1 = std::norm(residualAt(s, rays, x1, skip));
        else a = x1, x1 = x2, f1 = f2, x2 = a + ratio * (b - a), f2 = std::norm(residualAt(s, rays, x2, skip));
    }
    return (a + b) / 2;
}

// The gains of rays at the delays given that fit best (least squares), by Gaussian elimination.
void fitGains(const Spectra& s, Rays& rays) {
    const std::size_t m = rays.delay.size();
    std::vector<std::vector<dsp::cplx>> a(m, std::vector<dsp::cplx>(m + 1));
    for (std::size_t r = 0; r < m; ++r) {
        for (std::size_t q = 0; q < m; ++q) a[r][q] = s.sum(s.power, rays.delay[r] - rays.delay[q]);
        a[r][m] = s.sum(s.cross, rays.delay[r]);
    }
    for (std::size_t i = 0; i < m; ++i) {
        std::size_t pivot = i;
        for (std::size_t k = i + 1; k < m; ++k)
            if (std::abs(a[k][i]) > std::abs(a[pivot][i])) pivot = k;
        std::swap(a[i], a[pivot]);
        if (std::abs(a[i][i]) == 0) return;
        for (std::size_t k = 0; k < m; ++k) {
            if (k == i) continue;
            const dsp::cplx f = a[k][i] / a[i][i];
            for (std::size_t j = i; j <= m; ++j) a[k][j] -= f * a[i][j];
        }
    }
    for (std::size_t i = 0; i < m; ++i) rays.gain[i] = a[i][m] / a[i][i];
}

// The capture's energy the rays at these delays explain, their gains fitted.
double explained(const Spectra& s, Rays rays) {
    fitGains(s, rays);
    double e = 0;
    for (std::size_t r = 0; r < rays.delay.size(); ++r) e += (std::conj(rays.gain[r]) * s.sum(s.cross, rays.delay[r])).real();
    return e;
}

// Every delay at once, by Newton's method on the energy explained (derivatives by differences):
// rays closer than the band resolves settle together, where moving one at a time crawls.
void settleJointly(const Spectra& s, Rays& rays) {
    const std::size_t m = rays.delay.size();
    constexpr double h = 0.01;
    for (int step = 0; step < kNewtonSteps; ++step) {
        const double at = explained(s, rays);
        auto moved = [&](std::size_t i, double di, std::size_t j, double dj) {
            Rays t = rays;
            t.delay[i] += di;
            t.delay[j] += dj;
            return explained(s, t);
        };
        std::vector<std::vector<double>> a(m, std::vector<double>(m + 1));
        for (std::size_t i = 0; i < m; ++i) {
            const double plus = moved(i, h, i, 0), minus = moved(i, -h, i, 0);
            a[i][m] = -(plus - minus) / (2 * h);
            a[i][i] = (plus - 2 * at + minus) / (h * h);
            for (std::size_t j = 0; j < i; ++j)
                a[i][j] = a[j][i] = (moved(i, h, j, h) - moved(i, h, j, -h) - moved(i, -h, j, h) + moved(i, -h, j, -h)) / (4 * h * h);
        }
        for (std::size_t i = 0; i < m; ++i) {
            std::size_t pivot = i;
            for (std::size_t k = i + 1; k < m; ++k)
                if (std::abs(a[k][i]) > std::abs(a[pivot][i])) pivot = k;
            std::swap(a[i], a[pivot]);
            if (a[i][i] == 0) return;
            for (std::size_t k = 0; k < m; ++k) {
                if (k == i) continue;
                const double f = a[k][i] / a[i][i];
                for (std::size_t j = i; j <= m; ++j) a[k][j] -= f * a[i][j];
            }
        }
        // A maximum only: a step up the energy, no further than a quarter sample, halved until it
        // gains.
        double largest = 0;
        std::vector<double> delta(m);
        for (std::size_t i = 0; i < m; ++i) delta[i] = a[i][m] / a[i][i], largest = std::max(largest, std::abs(delta[i]));
        double scale = largest > 0.25 ? 0.25 / largest : 1.0;
        bool gained = false;
        for (int halving = 0; halving < 6 && !gained; ++halving, scale /= 2) {
            Rays t = rays;
            for (std::size_t i = 0; i < m; ++i) t.delay[i] += scale * delta[i];
            if (explained(s, t) > at) rays.delay = t.delay, gained = true;
        }
        if (!gained || largest * scale < kSettledSamples / 10) break;
    }
    fitGains(s, rays);
}

double sinc(double x) { return x == 0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x); }

// The channel's response at each bin of a transform of n bins at `samplesPerChip`.
template <class F>
void forEachResponse(std::size_t n, const Channel& channel, double samplesPerChip, F&& f) {
    std::vector<dsp::cplx> p(channel.echoes.size()), step(channel.echoes.size());
    for (std::size_t k = 0; k < n; ++k) {
        dsp::cplx h = 1;
        for (std::size_t e = 0; e < channel.echoes.size(); ++e) {
            const double w = -kTwoPi * channel.echoes[e].delayChips * samplesPerChip / static_cast<double>(n);
            if (k % 1024 == 0 || k == (n + 1) / 2) p[e] = std::polar(1.0, w * signedBin(k, n)), step[e] = std::polar(1.0, w);
            h += channel.echoes[e].gain * p[e];
            p[e] *= step[e];
        }
        f(k, h);
    }
}

// The rays as the channel relative to the strongest of them, the main ray.
ChannelFit rayFit(const Rays& rays, double samplesPerChip) {
    ChannelFit fit;
    std::size_t main = 0;
    for (std::size_t r = 1; r < rays.gain.size(); ++r)
        if (std::norm(rays.gain[r]) > std::norm(rays.gain[main])) main = r;
    fit.mainDelayChips = rays.delay[main] / samplesPerChip;
    fit.mainGain = rays.gain[main];
    for (std::size_t r = 0; r < rays.gain.size(); ++r) {
        const double delay = (rays.delay[r] - rays.delay[main]) / samplesPerChip;
        if (r == main || std::abs(delay) > kEchoSpanChips + 0.25) continue;
        fit.channel.echoes.push_back({delay, rays.gain[r] / rays.gain[main]});
    }
    std::sort(fit.channel.echoes.begin(), fit.channel.echoes.end(),
              [](const Ray& a, const Ray& b) { return a.delayChips < b.delayChips; });
    return fit;
}

}  // namespace

ChannelFit estimateChannel(const dsp::CVec& spectrum, const dsp::CVec& reference, double samplesPerChip) {
    const Spectra s = grouped(spectrum, reference);
    const double zero = std::abs(s.sum(s.power, 0));
    ChannelFit fit;
    if (!(zero > 0)) return fit;
    const auto span = static_cast<long>(std::ceil(kSearchChips * samplesPerChip));
    std::vector<dsp::cplx> matched;
    for (long d = -span; d <= span; ++d) matched.push_back(s.sum(s.cross, static_cast<double>(d)));
    Rays rays;
    auto placeOnGrid = [&](std::size_t r) {
        rays.onGrid.resize(rays.delay.size());
        rays.onGrid[r].clear();
        for (long d = -span; d <= span; ++d) rays.onGrid[r].push_back(s.sum(s.power, static_cast<double>(d) - rays.delay[r]));
    };
    std::vector<double> grid;
    Rays alone;  // the first ray found, fitted by itself
    for (std::size_t found = 0; found < kMostRays; ++found) {
        // The strongest lag the rays so far leave, against the median of all: noise and the
        // reference's mismatch spread over every lag, an echo stands at its own.
        grid.clear();
        long best = 0;
        double bestPower = -1;
        for (long d = -span; d <= span; ++d) {
            const auto i = static_cast<std::size_t>(d + span);
            dsp::cplx c = matched[i];
            for (std::size_t r = 0; r < rays.delay.size(); ++r) c -= rays.gain[r] * rays.onGrid[r][i];
            grid.push_back(std::norm(c));
            if (grid.back() > bestPower) bestPower = grid.back(), best = d;
        }
        std::nth_element(grid.begin(), grid.begin() + static_cast<long>(grid.size() / 2), grid.end());
        if (!rays.delay.empty() && !(bestPower > kAboveResidual * grid[grid.size() / 2])) break;
        const double at = refinedDelay(s, rays, static_cast<double>(best) - 1, static_cast<double>(best) + 1, rays.delay.size());
        rays.delay.push_back(at);
        rays.gain.push_back(0);
        fitGains(s, rays);
        double strongest = 0;
        for (const auto& g : rays.gain) strongest = std::max(strongest, std::norm(g));
        if (std::norm(rays.gain.back()) < kLeastEcho * strongest) {
            rays.delay.pop_back(), rays.gain.pop_back();
            fitGains(s, rays);
            break;
        }
        // Each ray's delay again with the others removed.
        if (rays.delay.size() > 1) {
            for (std::size_t r = 0; r < rays.delay.size(); ++r)
                rays.delay[r] = refinedDelay(s, rays, rays.delay[r] - 0.5, rays.delay[r] + 0.5, r);
            fitGains(s, rays);
            // Moving one at a time crawls only where rays lie within the band's resolution.
            bool close = false;
            for (std::size_t r = 0; r + 1 < rays.delay.size(); ++r)
                close = close || std::abs(rays.delay[r] - at) < kCloseChips * samplesPerChip;
            if (close && rays.delay.size() <= kMostJointRays) settleJointly(s, rays);
            for (std::size_t r = 0; r < rays.delay.size(); ++r) placeOnGrid(r);
        } else {
            placeOnGrid(0);
            alone = rays;
        }
    }
    if (rays.delay.empty()) return fit;
    fit = rayFit(rays, samplesPerChip);
    if (std::abs(channelTaps(fit.channel)[kChannelTaps / 2]) < kLeastMainTap) fit = rayFit(alone, samplesPerChip);
    return fit;
}

dsp::CVec pilotBurstsSpectrum(const dsp::CVec& samples, std::size_t samplesPerChip) {
    dsp::CVec x(samples.size());
    for (std::size_t h = 0; h < kHalfSlots; ++h) {
        const std::size_t from = (h * kHalfSlotChips + kPilotStart + kBurstEdgeChips) * samplesPerChip;
        std::copy_n(samples.begin() + static_cast<std::ptrdiff_t>(from), (kPilotChips - 2 * kBurstEdgeChips) * samplesPerChip,
                    x.begin() + static_cast<std::ptrdiff_t>(from));
    }
    dsp::fft(x);
    return x;
}

void applyChannel(dsp::CVec& spectrum, const Channel& channel, double samplesPerChip) {
    if (channel.empty()) return;
    forEachResponse(spectrum.size(), channel, samplesPerChip, [&](std::size_t k, dsp::cplx h) { spectrum[k] *= h; });
}

void equalizeChannel(dsp::CVec& spectrum, const Channel& channel, double samplesPerChip) {
    if (channel.empty()) return;
    forEachResponse(spectrum.size(), channel, samplesPerChip,
                    [&](std::size_t k, dsp::cplx h) { spectrum[k] *= std::conj(h) / (std::norm(h) + kNotchFloor); });
}

std::array<dsp::cplx, kChannelTaps> channelTaps(const Channel& channel) {
    std::array<dsp::cplx, kChannelTaps> taps{};
    const auto middle = static_cast<double>(kChannelTaps / 2);
    taps[kChannelTaps / 2] = 1.0;
    for (const Ray& e : channel.echoes)
        for (std::size_t i = 0; i < kChannelTaps; ++i) taps[i] += e.gain * sinc(static_cast<double>(i) - middle - 2 * e.delayChips);
    return taps;
}

std::vector<Echo> echoesOf(const std::vector<dsp::cplx>& taps, double leastDb) {
    std::vector<Echo> echoes;
    const auto middle = static_cast<long>(taps.size() / 2);
    for (std::size_t i = 0; i < taps.size(); ++i) {
        const double db = 20 * std::log10(std::max(std::abs(taps[i]), 1e-15));
        if (static_cast<long>(i) == middle || db < leastDb) continue;
        echoes.push_back({static_cast<double>(static_cast<long>(i) - middle) / 2, db, std::arg(taps[i]) * 180 / std::numbers::pi});
    }
    return echoes;
}

}  // namespace analyzer
