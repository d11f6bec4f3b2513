#include "dsp/remez.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <stdexcept>
#include <string>

#include "dsp/number_text.h"

namespace dsp {
namespace {

// Frequencies inside this file are in cycles per sample (0..0.5), the units of the classic program.
constexpr double kTwoPi = 2.0 * std::numbers::pi;
// Designs of a few hundred taps settle in well under 20 iterations; the limit only stops a
// design that oscillates.
constexpr int kMaxIterations = 250;

std::string show(double v) { return generalText(v, 10); }

[[noreturn]] void badInput(const std::string& what) { throw std::invalid_argument("remezDesign: " + what); }

void validate(int order, const std::vector<double>& edges, const std::vector<double>& desired,
              const std::vector<double>& weights, int gridDensity) {
    if (order < 1) badInput("order must be at least 1 (got " + std::to_string(order) + ")");
    if (gridDensity < 1) badInput("gridDensity must be at least 1 (got " + std::to_string(gridDensity) + ")");
    if (edges.empty() || edges.size() % 2 != 0)
        badInput("edges must hold band edges in pairs (got " + std::to_string(edges.size()) + " values)");
    for (std::size_t i = 0; i < edges.size(); ++i) {
        if (!(edges[i] >= 0.0 && edges[i] <= 1.0))
            badInput("edges must lie within 0..1, 1 being the Nyquist frequency (edges[" + std::to_string(i) +
                     "] = " + show(edges[i]) + ")");
        if (i > 0 && !(edges[i] > edges[i - 1]))
            badInput("edges must be strictly ascending (edges[" + std::to_string(i) + "] = " + show(edges[i]) +
                     " follows " + show(edges[i - 1]) + ")");
    }
    if (desired.size() != edges.size())
        badInput("desired needs one amplitude per edge (" + std::to_string(edges.size()) + " edges, got " +
                 std::to_string(desired.size()) + " values)");
    for (std::size_t i = 0; i < desired.size(); ++i)
        if (!std::isfinite(desired[i]))
            badInput("desired[" + std::to_string(i) + "] is not a finite number (" + show(desired[i]) + ")");
    const std::size_t bands = edges.size() / 2;
    if (weights.size() != bands)
        badInput("weights needs one value per band (" + std::to_string(bands) + " bands, got " +
                 std::to_string(weights.size()) + " values)");
    for (std::size_t i = 0; i < weights.size(); ++i)
        if (!(weights[i] > 0.0 && std::isfinite(weights[i])))
            badInput("weights must be positive and finite (weights[" + std::to_string(i) + "] = " +
                     show(weights[i]) + ")");
}

// The dense grid with the desired response and weight at each point. For even lengths the
// problem is rewritten for P(w) = A(w) / cos(w/2), which is an ordinary cosine polynomial.
struct Grid {
    std::vector<double> f;    // frequency
    std::vector<double> x;    // cos(2 pi f), the interpolation variable
    std::vector<double> des;  // desired value of the cosine polynomial
    std::vector<double> wt;   // its weight
    int size() const { return static_cast<int>(f.size()); }
};

Grid makeGrid(const std::vector<double>& edges, const std::vector<double>& desired,
              const std::vector<double>& weights, int gridDensity, int nfcns, bool evenLength) {
    const double delf = 0.5 / (static_cast<double>(gridDensity) * nfcns);
    Grid g;
    const std::size_t bands = edges.size() / 2;
    for (std::size_t b = 0; b < bands; ++b) {
        const double lo = edges[2 * b] / 2, hi = edges[2 * b + 1] / 2;
        const double dlo = desired[2 * b], dhi = desired[2 * b + 1];
        const double slope = (dhi - dlo) / (hi - lo);
        // Steps of delf from the lower edge; the last step that stays in the band is moved onto
        // the upper edge, so both edges are grid points.
        const std::size_t first = g.f.size();
        double t = lo;
        do {
            g.f.push_back(t);
            t += delf;
        } while (t <= hi);
        g.f.back() = hi;
        for (std::size_t i = first; i < g.f.size(); ++i) {
            g.des.push_back(dlo + slope * (g.f[i] - lo));
            g.wt.push_back(weights[b]);
        }
    }
    if (evenLength) {
        // A(w) vanishes at Nyquist: keep the grid off it.
        if (g.f.back() > 0.5 - delf) {
            g.f.pop_back();
            g.des.pop_back();
            g.wt.pop_back();
        }
        for (std::size_t i = 0; i < g.f.size(); ++i) {
            const double c = std::cos(std::numbers::pi * g.f[i]);
            g.des[i] /= c;
            g.wt[i] *= c;
        }
    }
    g.x.resize(g.f.size());
    for (std::size_t i = 0; i < g.f.size(); ++i) g.x[i] = std::cos(kTwoPi * g.f[i]);
    return g;
}

// The exchange state: nz = nfcns + 1 extremals, the levelled values y there and the
// barycentric weights ad of the interpolating polynomial through them.
class Exchange {
public:
    Exchange(const Grid& g, int nfcns) : g_(g), nfcns_(nfcns), nz_(nfcns + 1), iext_(nz_), xn_(nz_), ad_(nz_), y_(nz_) {
        // Initial guess: extremals spread evenly over the grid.
        const double step = static_cast<double>(g_.size() - 1) / nfcns_;
        for (int j = 0; j < nfcns_; ++j) iext_[j] = static_cast<int>(j * step);
        iext_[nfcns_] = g_.size() - 1;
    }

    int run();
    const std::vector<int>& extremals() const { return iext_; }
    double deviation() const { return dev_; }
    // Value of the interpolating polynomial at x.
    double interpolate(double x) const;

private:
    void level();
    double weightedError(int l) const {
        const double xl = g_.x[l];
        // Two accumulator pairs so the adds overlap the divisions.
        double n0 = 0, d0 = 0, n1 = 0, d1 = 0;
        int j = 0;
        for (; j + 1 < nz_; j += 2) {
            const double c0 = ad_[j] / (xl - xn_[j]);
            const double c1 = ad_[j + 1] / (xl - xn_[j + 1]);
            n0 += c0 * y_[j];
            d0 += c0;
            n1 += c1 * y_[j + 1];
            d1 += c1;
        }
        if (j < nz_) {
            const double c = ad_[j] / (xl - xn_[j]);
            n0 += c * y_[j];
            d0 += c;
        }
        return ((n0 + n1) / (d0 + d1) - g_.des[l]) * g_.wt[l];
    }
    bool acceptStalled() const;

    const Grid& g_;
    int nfcns_, nz_;
    std::vector<int> iext_;
    std::vector<double> xn_, ad_, y_;
    double dev_ = 0.0;
    double nu_ = 1.0;  // sign of the weighted error at the first extremal
};

void Exchange::level() {
    for (int j = 0; j < nz_; ++j) xn_[j] = g_.x[iext_[j]];
    // Products taken in strides of jet, with a factor 2 per term, keep them clear of overflow
    // and underflow for long filters.
    const int jet = (nfcns_ - 1) / 15 + 1;
    for (int k = 0; k < nz_; ++k) {
        const double q = xn_[k];
        double d = 1.0;
        for (int l = 0; l < jet; ++l)
            for (int j = l; j < nz_; j += jet)
                if (j != k) d *= 2.0 * (q - xn_[j]);
        ad_[k] = 1.0 / d;
    }
    double dnum = 0, dden = 0, s = 1;
    for (int j = 0; j < nz_; ++j) {
        const int l = iext_[j];
        dnum += ad_[j] * g_.des[l];
        dden += s * ad_[j] / g_.wt[l];
        s = -s;
    }
    const double dev = dnum / dden;
    nu_ = dev > 0 ? -1.0 : 1.0;
    dev_ = -nu_ * dev;
    s = nu_;
    for (int j = 0; j < nz_; ++j) {
        const int l = iext_[j];
        y_[j] = g_.des[l] + s * dev_ / g_.wt[l];
        s = -s;
    }
}

double Exchange::interpolate(double x) const {
    double num = 0, den = 0;
    for (int j = 0; j < nz_; ++j) {
        const double d = x - xn_[j];
        if (d == 0.0) return y_[j];
        const double c = ad_[j] / d;
        num += c * y_[j];
        den += c;
    }
    return num / den;
}

// The levelled error stopped growing: rounding has taken over. That is only an optimum if no
// grid point errs by noticeably more than the level.
bool Exchange::acceptStalled() const {
    double worst = 0;
    for (int l = 0; l < g_.size(); ++l) {
        const auto at = std::find(iext_.begin(), iext_.end(), l);
        if (at != iext_.end()) continue;
        worst = std::max(worst, std::abs(weightedError(l)));
    }
    return worst <= dev_ * (1.0 + 1e-9) + 1e-14;
}

// Returns the number of iterations. The rules are those of the published program: each
// extremal climbs to the local maximum of the signed error next to it; an iteration that has
// moved nothing yet scans the whole stretch between neighbours; a larger opposite-signed error
// beyond either end shifts the set by one.
int Exchange::run() {
    const int ngrid = g_.size();
    double devl = -1.0;
    for (int iter = 1; iter <= kMaxIterations; ++iter) {
        level();
        if (dev_ <= devl) {
            if (acceptStalled()) return iter;
            throw std::runtime_error("remezDesign: no convergence, the error level stopped growing after " +
                                     std::to_string(iter) + " iterations as it sank into rounding noise; "
                                     "widen the transition bands or lower the order");
        }
        devl = dev_;

        double nut = 0, comp = 0;
        auto err = [&](int l) { return nut * weightedError(l); };
        // Follow the error upwards from an exceeding point l while it grows; returns the peak.
        auto climbUp = [&](int l, int limit) {
            while (++l < limit) {
                const double e = err(l);
                if (e <= comp) break;
                comp = e;
            }
            return l - 1;
        };
        auto climbDown = [&](int l, int limit) {
            while (--l > limit) {
                const double e = err(l);
                if (e <= comp) break;
                comp = e;
            }
            return l + 1;
        };

        int changes = 0;
        int k1 = iext_[0], knz = iext_[nz_ - 1];
        int klow = -1;
        double y1 = 0;
        nut = -nu_;
        for (int j = 0; j < nz_; ++j) {
            const int kup = j + 1 < nz_ ? iext_[j + 1] : ngrid;
            const int old = iext_[j];
            nut = -nut;
            if (j == 1) y1 = comp;
            comp = dev_;

            if (old + 1 < kup) {
                const double e = err(old + 1);
                if (e > comp) {
                    comp = e;
                    iext_[j] = klow = climbUp(old + 1, kup);
                    ++changes;
                    continue;
                }
            }
            bool moved = false, reachedLow = false;
            for (int l = old - 1;; --l) {
                if (l <= klow) {
                    reachedLow = true;
                    break;
                }
                const double e = err(l);
                if (e > comp) {
                    comp = e;
                    iext_[j] = climbDown(l, klow);
                    klow = old;
                    ++changes;
                    moved = true;
                    break;
                }
                if (changes > 0) break;
            }
            if (moved) continue;
            if (reachedLow && changes == 0) {
                for (int l = old + 2; l < kup; ++l) {
                    const double e = err(l);
                    if (e > comp) {
                        comp = e;
                        iext_[j] = klow = climbUp(l, kup);
                        ++changes;
                        moved = true;
                        break;
                    }
                }
                if (moved) continue;
            }
            klow = old;
        }

        // Beyond the ends: an error of the sign opposite to the end extremal that exceeds the
        // other end's error.
        const double ynz = comp;
        k1 = std::min(k1, iext_[0]);
        knz = std::max(knz, iext_[nz_ - 1]);
        const double nutLast = nut;
        nut = -nu_;
        comp = ynz * 1.00001;
        int below = -1;
        for (int l = 0; l < k1; ++l) {
            const double e = err(l);
            if (e > comp) {
                comp = e;
                below = climbUp(l, k1);
                ++changes;
                break;
            }
        }
        if (below >= 0) y1 = std::max(y1, comp);
        nut = -nutLast;
        comp = y1 * 1.00001;
        int above = -1;
        for (int l = ngrid - 1; l > knz; --l) {
            const double e = err(l);
            if (e > comp) {
                comp = e;
                above = climbDown(l, knz);
                ++changes;
                break;
            }
        }
        if (above >= 0) {
            std::rotate(iext_.begin(), iext_.begin() + 1, iext_.end());
            iext_[nz_ - 1] = above;
        } else if (below >= 0) {
            std::rotate(iext_.rbegin(), iext_.rbegin() + 1, iext_.rend());
            iext_[0] = below;
        } else if (changes == 0) {
            return iter;
        }
    }
    throw std::runtime_error("remezDesign: no convergence within " + std::to_string(kMaxIterations) +
                             " iterations; check the band edges, desired amplitudes and weights");
}

// Cosine coefficients alpha of P(w) = sum alpha_k cos(k w) from nfcns samples of the
// interpolating polynomial (inverse DFT of length 2 nfcns - 1, exact for this degree).
std::vector<double> cosineCoefficients(const Exchange& ex, const Grid& g, int nfcns, bool fullBand) {
    const int n = nfcns;
    const int cn = 2 * n - 1;
    std::vector<double> table(cn);
    for (int k = 0; k < cn; ++k) table[k] = std::cos(kTwoPi * k / cn);

    // When the grid does not reach both 0 and Nyquist, the polynomial is unbounded outside it;
    // sampling in u, with [x(last), x(first)] mapped onto [-1, 1], keeps the samples accurate.
    const bool mapped = !fullBand && n > 3;
    double aa = 1.0, bb = 0.0;
    if (mapped) {
        const double xa = g.x.front(), xb = g.x.back();
        aa = 2.0 / (xa - xb);
        bb = -(xa + xb) / (xa - xb);
    }
    std::vector<double> a(n);
    for (int j = 0; j < n; ++j) a[j] = ex.interpolate(mapped ? (table[j] - bb) / aa : table[j]);

    std::vector<double> alpha(n + 1, 0.0);
    for (int j = 0; j < n; ++j) {
        double s = 0;
        for (int k = 1; k < n; ++k) s += a[k] * table[(static_cast<long>(j) * k) % cn];
        alpha[j] = (j == 0 ? 1.0 : 2.0) * (a[0] + 2.0 * s) / cn;
    }
    if (!mapped) return alpha;

    // Back from the series in u = aa x + bb to one in x (Clenshaw's recurrence with series as
    // values; x T_0 = T_1, x T_m = (T_m+1 + T_m-1) / 2).
    auto timesU = [&](const std::vector<double>& s) {
        std::vector<double> out(n + 1, 0.0);
        for (int m = 0; m < n; ++m) {
            if (s[m] == 0.0) continue;
            out[m] += bb * s[m];
            if (m == 0) {
                out[1] += aa * s[0];
            } else {
                out[m + 1] += 0.5 * aa * s[m];
                out[m - 1] += 0.5 * aa * s[m];
            }
        }
        return out;
    };
    std::vector<double> b1(n + 1, 0.0), b2(n + 1, 0.0);
    for (int k = n - 1; k >= 1; --k) {
        std::vector<double> b0 = timesU(b1);
        for (int m = 0; m <= n; ++m) b0[m] = 2.0 * b0[m] - b2[m];
        b0[0] += alpha[k];
        b2 = std::move(b1);
        b1 = std::move(b0);
    }
    std::vector<double> p = timesU(b1);
    for (int m = 0; m <= n; ++m) p[m] -= b2[m];
    p[0] += alpha[0];
    p[n] = 0.0;
    return p;
}

}  // namespace

RemezDesign remezDesign(int order, const std::vector<double>& edges, const std::vector<double>& desired,
                        const std::vector<double>& weights, int gridDensity) {
    validate(order, edges, desired, weights, gridDensity);
    const int taps = order + 1;
    const bool evenLength = taps % 2 == 0;
    const int nfcns = evenLength ? taps / 2 : taps / 2 + 1;

    const Grid grid = makeGrid(edges, desired, weights, gridDensity, nfcns, evenLength);
    if (grid.size() < nfcns + 1)
        badInput("the bands hold " + std::to_string(grid.size()) + " grid points, fewer than the " +
                 std::to_string(nfcns + 1) + " extremals of order " + std::to_string(order) +
                 "; widen the bands or raise gridDensity");

    Exchange ex(grid, nfcns);
    RemezDesign out;
    out.iterations = ex.run();
    out.deviation = ex.deviation();
    for (int i : ex.extremals()) out.extremals.push_back(2.0 * grid.f[i]);

    const bool fullBand = edges.front() == 0.0 && edges.back() == 1.0;
    const std::vector<double> alpha = cosineCoefficients(ex, grid, nfcns, fullBand);

    out.h.assign(taps, 0.0);
    if (!evenLength) {
        // A(w) = h[c] + 2 sum h[c-k] cos(k w), c the centre tap.
        const int c = nfcns - 1;
        out.h[c] = alpha[0];
        for (int k = 1; k < nfcns; ++k) out.h[c - k] = out.h[c + k] = 0.5 * alpha[k];
    } else {
        // A(w) = cos(w/2) P(w) = 2 sum_k h[n-k] cos((k - 1/2) w), k = 1..n.
        const int n = nfcns;
        for (int k = 1; k <= n; ++k) {
            const double ck = k == 1 ? alpha[0] + 0.5 * alpha[1] : 0.5 * (alpha[k - 1] + alpha[k]);
            out.h[n - k] = out.h[n - 1 + k] = 0.5 * ck;
        }
    }
    return out;
}

std::vector<double> remez2(int order, const std::vector<double>& edges, const std::vector<double>& desired,
                           const std::vector<double>& weights, int gridDensity) {
    return remezDesign(order, edges, desired, weights, gridDensity).h;
}

}  // namespace dsp
