#include "plots/core/thin_path.h"

#include <algorithm>
#include <cmath>

namespace plots {

namespace {

struct Vec {
    double x = 0, y = 0;
};

double cross(const Vec& a, const Vec& b) { return a.x * b.y - a.y * b.x; }

}  // namespace

std::vector<std::size_t> thinPath(const dsp::RVec& x, const dsp::RVec& y, double tolerance) {
    const std::size_t n = std::min(x.size(), y.size());
    std::vector<std::size_t> kept;
    if (n == 0) return kept;
    kept.push_back(0);
    const double tol2 = tolerance * tolerance;
    // From the last kept point (the anchor), the directions of the rays that pass within the
    // tolerance of every point since: a cone from `right` counterclockwise to `left`. A run
    // also ends where a point comes back nearer the anchor, so that the kept segment, not only
    // its ray, passes by every point left out.
    std::size_t anchor = 0;
    bool cone = false;
    Vec left, right;
    double farthest = 0;
    for (std::size_t i = 1; i < n; ++i) {
        const Vec v{x[i] - x[anchor], y[i] - y[anchor]};
        const double d2 = v.x * v.x + v.y * v.y;
        const bool inside = !cone || (cross(right, v) >= 0 && cross(v, left) >= 0 && d2 >= farthest);
        if (!inside) {
            anchor = i - 1;
            kept.push_back(anchor);
            cone = false;
            farthest = 0;
            --i;  // the same point again, from the new anchor
            continue;
        }
        if (d2 <= tol2) continue;  // any ray from the anchor passes near enough
        farthest = std::max(farthest, d2);
        const double s = tolerance / std::sqrt(d2), c = std::sqrt(1 - s * s);
        const Vec toRight{v.x * c + v.y * s, -v.x * s + v.y * c}, toLeft{v.x * c - v.y * s, v.x * s + v.y * c};
        if (!cone) {
            right = toRight;
            left = toLeft;
            cone = true;
            continue;
        }
        if (cross(right, toRight) > 0) right = toRight;
        if (cross(toLeft, left) > 0) left = toLeft;
    }
    if (kept.back() != n - 1) kept.push_back(n - 1);
    return kept;
}

}  // namespace plots
