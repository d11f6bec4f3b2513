#include "dsp/remez.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numbers>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Vec = std::vector<double>;

Vec basebandEdges(int r) {
    const double nyquist = r * 614400.0;
    return {0.0, 590000.0 / nyquist, 740000.0 / nyquist, 1.0};
}

// Zero-phase amplitude of a symmetric filter at f (Nyquist = 1): the cosines of the half-length
// sum (of k w for odd lengths, of (k + 1/2) w for even ones) by their three-term recurrence.
double amplitude(const Vec& h, double f) {
    const double w = std::numbers::pi * f, cw = std::cos(w);
    const std::size_t n = h.size(), half = n / 2;
    const bool odd = n % 2 == 1;
    double prev = odd ? cw : std::cos(w / 2), cur = odd ? 1.0 : std::cos(w / 2);
    double s = odd ? h[half] : 2.0 * h[half - 1] * cur;
    for (std::size_t k = 1; k < (odd ? half + 1 : half); ++k) {
        const double next = 2.0 * cw * cur - prev;
        prev = cur;
        cur = next;
        s += 2.0 * h[(odd ? half : half - 1) - k] * cur;
    }
    return s;
}

struct Band {
    double lo, hi, dlo, dhi, weight;
    double weightedError(const Vec& h, double f) const {
        return (amplitude(h, f) - (dlo + (dhi - dlo) * (f - lo) / (hi - lo))) * weight;
    }
};

std::vector<Band> bands(const Vec& edges, const Vec& desired, const Vec& weights) {
    std::vector<Band> out;
    for (std::size_t b = 0; b < weights.size(); ++b)
        out.push_back({edges[2 * b], edges[2 * b + 1], desired[2 * b], desired[2 * b + 1], weights[b]});
    return out;
}

void expectSymmetric(const Vec& h, std::size_t taps) {
    ASSERT_EQ(h.size(), taps);
    for (std::size_t i = 0; i < taps / 2; ++i) EXPECT_EQ(h[i], h[taps - 1 - i]) << "tap " << i;
}

struct Reference {
    int order = 0;
    Vec edges, desired, weights, h;
    int gridDensity = 16;
};

Reference readReference(const std::string& name) {
    std::ifstream in(std::string(ZUNO_TEST_DATA) + "/remez_" + name + ".txt");
    if (!in) throw std::runtime_error("missing reference file for " + name);
    Reference r;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream s(line);
        if (line.rfind('#', 0) != 0) {
            r.h.push_back(std::stod(line));
            continue;
        }
        std::string hash, key;
        s >> hash >> key;
        Vec* target = key == "edges" ? &r.edges : key == "desired" ? &r.desired : key == "weights" ? &r.weights : nullptr;
        if (key == "order") s >> r.order;
        if (key == "gridDensity") s >> r.gridDensity;
        for (double v; target && s >> v;) target->push_back(v);
    }
    return r;
}

// The references snap interpolation points within 1e-6 (in cos w) of an extremal to the
// extremal's value; where that happens near a band edge the coefficients move by a few 1e-8 of
// the peak. Elsewhere the two agree to rounding (1e-14).
TEST(Remez, MatchesReferenceDesigns) {
    for (const char* name : {"lowpass_r2", "lowpass_r5", "lowpass_r30", "lowpass_odd", "bandpass_even",
                             "bandpass_inner_odd", "bandpass_inner_even"}) {
        SCOPED_TRACE(name);
        const Reference ref = readReference(name);
        ASSERT_EQ(ref.h.size(), static_cast<std::size_t>(ref.order + 1));
        const Vec h = dsp::remez2(ref.order, ref.edges, ref.desired, ref.weights, ref.gridDensity);
        expectSymmetric(h, ref.h.size());
        double peak = 0, worst = 0;
        for (std::size_t i = 0; i < h.size(); ++i) {
            peak = std::max(peak, std::abs(ref.h[i]));
            worst = std::max(worst, std::abs(h[i] - ref.h[i]));
        }
        EXPECT_LT(worst, 1e-6 * peak);
    }
}

// With a sloped stop band the optimum is still equiripple in the weighted error.
TEST(Remez, SlopedStopBandIsEquiripple) {
    const Vec desired{1, 1, 0.005, 0.001}, weights{1, 2};
    for (int r : {2, 5, 13, 23, 30}) {
        SCOPED_TRACE("R = " + std::to_string(r));
        const Vec edges = basebandEdges(r);
        const auto bs = bands(edges, desired, weights);
        const dsp::RemezDesign d = dsp::remezDesign(14 * r, edges, desired, weights);
        expectSymmetric(d.h, 14 * r + 1);
        ASSERT_EQ(d.extremals.size(), static_cast<std::size_t>(7 * r + 2));
        ASSERT_GT(d.deviation, 0.0);

        auto errorAt = [&](double f) {
            for (const Band& b : bs)
                if (f >= b.lo && f <= b.hi) return b.weightedError(d.h, f);
            ADD_FAILURE() << "extremal " << f << " outside the bands";
            return 0.0;
        };
        double previous = 0;
        for (std::size_t i = 0; i < d.extremals.size(); ++i) {
            const double e = errorAt(d.extremals[i]);
            EXPECT_NEAR(std::abs(e), d.deviation, 1e-9 * d.deviation) << "extremal " << i;
            if (i > 0) {
                EXPECT_GT(d.extremals[i], d.extremals[i - 1]);
                EXPECT_LT(e * previous, 0.0) << "extremal " << i << " does not alternate";
            }
            previous = e;
        }

        // The design only sees its grid, 16 points per ripple: a peak between two points may
        // stand out by about 1 - cos(pi/32) = 0.5 % of the deviation (0.7 % seen near edges).
        double worst = 0;
        for (const Band& b : bs) {
            const int steps = static_cast<int>((b.hi - b.lo) / 2e-5) + 1;
            for (int i = 0; i <= steps; ++i)
                worst = std::max(worst, std::abs(b.weightedError(d.h, b.lo + (b.hi - b.lo) * i / steps)));
        }
        EXPECT_LT(worst, 1.02 * d.deviation);
    }
}

// Every oversampling rate the baseband filters use must design, with unit gain at DC up to the
// pass-band deviation.
TEST(Remez, BasebandDesignsConvergeForEveryRate) {
    for (int r = 2; r <= 30; ++r) {
        SCOPED_TRACE("R = " + std::to_string(r));
        const Vec edges = basebandEdges(r);
        dsp::RemezDesign h0, h1;
        ASSERT_NO_THROW(h0 = dsp::remezDesign(12 * r - 1, edges, {1, 1, 0, 0}, {1, 20}));
        ASSERT_NO_THROW(h1 = dsp::remezDesign(14 * r, edges, {1, 1, 0.005, 0.001}, {1, 2}));
        expectSymmetric(h0.h, 12 * r);
        expectSymmetric(h1.h, 14 * r + 1);
        for (const dsp::RemezDesign* d : {&h0, &h1}) {
            double dc = 0;
            for (double v : d->h) dc += v;
            EXPECT_LE(std::abs(dc - 1.0), d->deviation * (1 + 1e-9));
            EXPECT_GT(d->iterations, 0);
        }
        EXPECT_EQ(dsp::remez2(12 * r - 1, edges, {1, 1, 0, 0}, {1, 20}), h0.h);
    }
}

TEST(Remez, ShortFiltersAndEvenLengths) {
    // Two taps: the only even-symmetric choice is a pair of equal taps.
    const Vec h2 = dsp::remez2(1, {0, 0.3, 0.5, 1}, {1, 1, 0, 0}, {1, 1});
    expectSymmetric(h2, 2);
    EXPECT_GT(h2[0], 0.0);
    // Three taps (odd) and a long even length: an even length always has a zero at Nyquist.
    expectSymmetric(dsp::remez2(2, {0, 0.3, 0.5, 1}, {1, 1, 0, 0}, {1, 1}), 3);
    const Vec h = dsp::remez2(63, {0, 0.4, 0.5, 1}, {1, 1, 0, 0}, {1, 1});
    expectSymmetric(h, 64);
    EXPECT_NEAR(amplitude(h, 1.0), 0.0, 1e-12);
    // A response the filter can meet exactly: a pure delay.
    const dsp::RemezDesign flat = dsp::remezDesign(10, {0, 1}, {1, 1}, {1});
    EXPECT_LT(flat.deviation, 1e-12);
    for (std::size_t i = 0; i < flat.h.size(); ++i) EXPECT_NEAR(flat.h[i], i == 5 ? 1.0 : 0.0, 1e-12);
}

TEST(Remez, RejectsMalformedInput) {
    const Vec e{0, 0.3, 0.5, 1}, d{1, 1, 0, 0}, w{1, 1};
    auto rejects = [](auto design, const std::string& field) {
        try {
            design();
            ADD_FAILURE() << "no exception, expected one about " << field;
        } catch (const std::invalid_argument& ex) {
            EXPECT_NE(std::string(ex.what()).find(field), std::string::npos) << ex.what();
        }
    };
    rejects([&] { dsp::remez2(0, e, d, w); }, "order");
    rejects([&] { dsp::remez2(-3, e, d, w); }, "order");
    rejects([&] { dsp::remez2(20, {0, 0.3, 0.5}, {1, 1, 0}, w); }, "edges");
    rejects([&] { dsp::remez2(20, {}, {}, {}); }, "edges");
    rejects([&] { dsp::remez2(20, {0, 0.5, 0.3, 1}, d, w); }, "ascending");
    rejects([&] { dsp::remez2(20, {0, 0.3, 0.3, 1}, d, w); }, "ascending");
    rejects([&] { dsp::remez2(20, {0, 0.3, 0.5, 1.2}, d, w); }, "0..1");
    rejects([&] { dsp::remez2(20, {-0.1, 0.3, 0.5, 1}, d, w); }, "0..1");
    rejects([&] { dsp::remez2(20, e, {1, 0}, w); }, "desired");
    rejects([&] { dsp::remez2(20, e, {1, 1, 0, NAN}, w); }, "desired");
    rejects([&] { dsp::remez2(20, e, d, {1}); }, "weights");
    rejects([&] { dsp::remez2(20, e, d, {1, 0}); }, "weights");
    rejects([&] { dsp::remez2(20, e, d, w, 0); }, "gridDensity");
    // More extremals than the bands have grid points.
    rejects([&] { dsp::remez2(200, {0, 0.001, 0.999, 1}, d, w, 1); }, "grid points");

    // 180 dB of stop band is below rounding: the exchange cannot converge and says so.
    EXPECT_THROW(dsp::remez2(400, {0, 0.2, 0.25, 1}, {1, 1, 0, 0}, {1, 10}), std::runtime_error);
}

}  // namespace
