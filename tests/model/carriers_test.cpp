#include "model/carriers.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <stdexcept>

#include "dsp/fft.h"
#include "model/calculate.h"
#include "model/waveform_stats.h"

using model::Carrier;
using model::CarrierPlan;
using model::Parameters;
using testing::HasSubstr;

namespace {

Parameters settings(double overSampling) {
    Parameters p = model::InitializeParameters();
    p.OverSampling = overSampling;
    p.ProjectedLength = model::projectedLength(overSampling);
    return p;
}

// `frame` repeated to `n` samples and moved to `offsetHz`, computed independently of the code
// under test (one complex exponential per sample).
dsp::CVec moved(const dsp::CVec& frame, std::size_t n, double offsetHz, double rate) {
    dsp::CVec y(n);
    for (std::size_t i = 0; i < n; ++i)
        y[i] = frame[i % frame.size()] * std::polar(1.0, 2 * std::numbers::pi * std::fmod(offsetHz * double(i) / rate, 1.0));
    return y;
}

dsp::cplx dot(const dsp::CVec& a, const dsp::CVec& b) {
    dsp::cplx s = 0;
    for (std::size_t i = 0; i < a.size(); ++i) s += std::conj(a[i]) * b[i];
    return s;
}

// Least-squares gains of w = g0 y0 + g1 y1 + residual, and the residual's power relative to w's.
struct Fit {
    dsp::cplx g0, g1;
    double residual;
};
Fit fit2(const dsp::CVec& w, const dsp::CVec& y0, const dsp::CVec& y1) {
    const dsp::cplx a = dot(y0, y0), b = dot(y0, y1), c = dot(y1, y0), d = dot(y1, y1);
    const dsp::cplx r0 = dot(y0, w), r1 = dot(y1, w), det = a * d - b * c;
    Fit f{(d * r0 - b * r1) / det, (a * r1 - c * r0) / det, 0};
    double e = 0, p = 0;
    for (std::size_t i = 0; i < w.size(); ++i) {
        e += std::norm(w[i] - f.g0 * y0[i] - f.g1 * y1[i]);
        p += std::norm(w[i]);
    }
    f.residual = e / p;
    return f;
}

// Power of x within [lo, hi] Hz, from its DFT (x one period of a looping waveform).
double bandPower(dsp::CVec x, double rate, double lo, double hi) {
    const std::size_t n = x.size();
    dsp::fft(x);
    double p = 0;
    for (std::size_t k = 0; k < n; ++k) {
        const double f = (k < (n + 1) / 2 ? double(k) : double(k) - double(n)) * rate / double(n);
        if (f >= lo && f <= hi) p += std::norm(x[k]);
    }
    return p / (double(n) * double(n));
}

}  // namespace

TEST(Carriers, EachCarrierIsItsOwnFrameMovedToItsOffset) {
    const Parameters main = settings(8);
    const double rate = model::samplingRate(8);
    CarrierPlan plan;
    plan.carriers = {Carrier{-1250000, 0, {}, {}}, Carrier{1250000, -3, {}, 100}};
    const auto out = model::calculateCarriers(main, plan, 7);
    // A 1.25 MHz offset turns 33333 1/3 cycles a frame: three frames loop.
    ASSERT_EQ(out.frames, 3);
    ASSERT_EQ(out.frame.waveform.size(), 3u * 32768 * 8);
    EXPECT_EQ(out.frame.events[0].size(), out.frame.waveform.size());

    Parameters second = main;
    second.PilotOffsetIndex = 100;
    dsp::Rng r0(7), r1(7);
    const auto y0 = moved(model::Calculate(main, r0).waveform, out.frame.waveform.size(), -1250000, rate);
    const auto y1 = moved(model::Calculate(second, r1).waveform, out.frame.waveform.size(), 1250000, rate);
    const Fit f = fit2(out.frame.waveform, y0, y1);
    EXPECT_LT(f.residual, 1e-18);  // relative residual power: 1e-9 in amplitude
    EXPECT_NEAR(20 * std::log10(std::abs(f.g0)), 0, 0.01);
    EXPECT_NEAR(20 * std::log10(std::abs(f.g1)), -3, 0.01);
    EXPECT_NEAR(std::arg(f.g0), 0, 1e-6);
}

TEST(Carriers, TheNoiseIsSetAsCarrierToNoiseAndIsFlatWithTheTotalPowerHeld) {
    const Parameters main = settings(8);
    const double rate = model::samplingRate(8);
    CarrierPlan clean;
    clean.carriers = {Carrier{0, 0, {}, {}}, Carrier{2500000, -6, {}, {}}};
    CarrierPlan noisy = clean;
    noisy.noiseCnDb = 15;
    const auto a = model::calculateCarriers(main, clean, 3);
    const auto b = model::calculateCarriers(main, noisy, 3);
    ASSERT_EQ(a.frame.waveform.size(), b.frame.waveform.size());
    EXPECT_NEAR(model::waveformStats(b.frame.waveform).rms / model::waveformStats(a.frame.waveform).rms, 1, 0.001);

    // The clean waveform scaled as the noisy one holds it; the rest is the noise.
    const dsp::cplx g = dot(a.frame.waveform, b.frame.waveform) / dot(a.frame.waveform, a.frame.waveform);
    dsp::CVec noise(b.frame.waveform.size()), carrier(b.frame.waveform.size());
    dsp::Rng rng(3);
    const auto first = moved(model::Calculate(main, rng).waveform, noise.size(), 0, rate);
    for (std::size_t i = 0; i < noise.size(); ++i) {
        noise[i] = b.frame.waveform[i] - g * a.frame.waveform[i];
        carrier[i] = g * first[i];
    }
    const double inChannel = bandPower(noise, rate, -614400, 614400);
    const double carrierPower = bandPower(carrier, rate, -rate / 2, rate / 2);
    EXPECT_NEAR(10 * std::log10(carrierPower / inChannel), 15, 0.1);
    // Flat: every 1.2288 MHz across the band holds the same noise.
    for (double centre = -3.6864e6; centre <= 3.6864e6; centre += 1.2288e6)
        EXPECT_NEAR(10 * std::log10(bandPower(noise, rate, centre - 614400, centre + 614400) / inChannel), 0, 0.5)
            << centre;
    // The seed draws the same noise again.
    EXPECT_EQ(model::calculateCarriers(main, noisy, 3).frame.waveform, b.frame.waveform);
}

TEST(Carriers, CrestReductionReachesItsTargetAndKeepsTheSpectrum) {
    const Parameters main = settings(8);
    const double rate = model::samplingRate(8);
    CarrierPlan plan;
    plan.carriers = {Carrier{-625000, 0, {}, {}}, Carrier{625000, 0, {}, 3}};
    const auto before = model::calculateCarriers(main, plan, 5);
    plan.crestDb = 7;
    const auto after = model::calculateCarriers(main, plan, 5);
    ASSERT_TRUE(after.crest);
    EXPECT_TRUE(after.crest->reached);
    EXPECT_LE(after.crest->iterations, model::kMaxCrestIterations);
    EXPECT_LE(model::waveformStats(after.frame.waveform).crestDb, 7.05);
    EXPECT_GT(after.crest->beforeDb, 8);
    EXPECT_GT(after.crest->rho, 0.9);
    EXPECT_LT(after.crest->rho, 1);

    // Leakage of each carrier in 30 kHz at +-750 kHz from it, against the carrier's power.
    for (double f : {-625000.0, 625000.0}) {
        const double carrierPower = bandPower(after.frame.waveform, rate, f - 614400, f + 614400);
        for (double side : {-750000.0, 750000.0}) {
            const double centre = f + side;
            if (std::abs(centre) < 625000 + 614400 && std::abs(centre) > 10) continue;  // inside the other carrier
            EXPECT_LT(10 * std::log10(bandPower(after.frame.waveform, rate, centre - 15000, centre + 15000) / carrierPower),
                      -45)
                << f << " " << side;
        }
    }
    // What the reduction changed stays in the channels.
    dsp::CVec change(after.frame.waveform.size());
    for (std::size_t i = 0; i < change.size(); ++i) change[i] = after.frame.waveform[i] - before.frame.waveform[i];
    const double all = bandPower(change, rate, -rate / 2, rate / 2);
    const double inside = bandPower(change, rate, -625000 - 750000, 625000 + 750000);
    EXPECT_GT(inside / all, 0.8);
}

TEST(Carriers, OffsetsLoopSeamlesslyOrAreQuantizedWhenAsked) {
    EXPECT_EQ(model::seamlessFrames({0}), 1);
    EXPECT_EQ(model::seamlessFrames({75}), 1);
    EXPECT_EQ(model::seamlessFrames({1250000}), 3);
    EXPECT_EQ(model::seamlessFrames({-1250000, 0, 2500000}), 3);
    EXPECT_EQ(model::seamlessFrames({1}), 75);
    EXPECT_EQ(model::seamlessFrames({1000.3}), std::nullopt);

    const Parameters main = settings(4);
    CarrierPlan plan;
    plan.carriers = {Carrier{1000.3, 0, {}, {}}};
    try {
        model::calculateCarriers(main, plan, 1);
        FAIL() << "no error";
    } catch (const std::invalid_argument& e) {
        EXPECT_THAT(e.what(), HasSubstr("do not loop seamlessly"));
    }
    plan.quantizeOffsets = true;
    const auto out = model::calculateCarriers(main, plan, 1);
    EXPECT_EQ(out.frames, 1);
    ASSERT_EQ(out.offsetsHz.size(), 1u);
    EXPECT_EQ(out.offsetsHz[0], 1012.5);
    EXPECT_THAT(out.notes, testing::ElementsAre("offset 1000.3 Hz moved to 1012.5 Hz"));
    // The waveform's last sample runs on into its first: a whole number of cycles.
    const double cycles = 1012.5 * double(out.frame.waveform.size()) / model::samplingRate(4);
    EXPECT_NEAR(cycles, std::round(cycles), 1e-9);
}

TEST(Carriers, RefusesWhatCannotBeMadeNamingTheSetting) {
    auto refusal = [](const Parameters& main, const CarrierPlan& plan) -> std::string {
        try {
            model::checkPlan(main, plan);
        } catch (const std::invalid_argument& e) {
            return e.what();
        }
        return "";
    };
    CarrierPlan plan;
    plan.carriers = {Carrier{-1250000, 0, {}, {}}, Carrier{1250000, 0, {}, {}}};
    // 1.875 MHz from the centre needs (1.25/2 + 1.25) MHz / 0.45 of the sampled band: R = 4.
    EXPECT_THAT(refusal(settings(3), plan), HasSubstr("the smallest OverSampling that can is 4"));
    EXPECT_EQ(refusal(settings(4), plan), "");
    EXPECT_EQ(model::smallestOverSampling({0}), 2);

    plan.carriers.assign(5, Carrier{});
    EXPECT_EQ(refusal(settings(8), plan), "at most 4 carriers, not 5");
    plan.carriers.clear();
    plan.noiseCnDb = 61;
    EXPECT_THAT(refusal(settings(8), plan), HasSubstr("C/N must be from -20 to 60 dB"));
    plan.noiseCnDb = std::nan("");
    EXPECT_THAT(refusal(settings(8), plan), HasSubstr("C/N"));
    plan.noiseCnDb.reset();
    plan.crestDb = 2;
    EXPECT_THAT(refusal(settings(8), plan), HasSubstr("crest factor target must be from 3 to 20 dB"));
}
