// The spectrum analyser's estimate and measurements: against scipy's Welch estimate of the same
// calculated frame (tests/data/make_welch_reference.py), and against signals whose levels are
// known exactly.
#include <cmath>
#include <fstream>
#include <gmock/gmock.h>
#include <map>
#include <numbers>
#include <random>
#include <sstream>

#include "model/calculate.h"
#include "plots/core/channel_measurements.h"
#include "plots/core/units.h"
#include "plots/core/welch.h"

namespace {

struct ReferenceCase {
    double rbw = 0;
    std::size_t averages = 0, length = 0, segments = 0;
    double channel = 0, obwLo = 0, obwHi = 0;
    std::map<double, double> leakage;  // offset -> dBc
    std::vector<double> density;
};

struct Reference {
    std::uint64_t seed = 0;
    std::size_t samples = 0;
    double rate = 0;
    std::vector<ReferenceCase> cases;
};

Reference readReference() {
    std::ifstream in(std::string(ZUNO_TEST_DATA) + "/welch_reference.txt");
    Reference r;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string key;
        words >> key;
        if (key == "seed") words >> r.seed;
        else if (key == "samples") words >> r.samples;
        else if (key == "rate") words >> r.rate;
        else if (key == "case") r.cases.emplace_back(), words >> r.cases.back().rbw >> r.cases.back().averages;
        else if (key == "length") words >> r.cases.back().length;
        else if (key == "segments") words >> r.cases.back().segments;
        else if (key == "channel") words >> r.cases.back().channel;
        else if (key == "obw") words >> r.cases.back().obwLo >> r.cases.back().obwHi;
        else if (key == "leakage") {
            double offset = 0, dBc = 0;
            words >> offset >> dBc;
            r.cases.back().leakage[offset] = dBc;
        } else if (key == "density")
            for (double v; words >> v;) r.cases.back().density.push_back(v);
    }
    return r;
}

// A tone of power `power` at `f` Hz plus complex white noise of density `noiseDensity` per Hz.
dsp::CVec toneInNoise(std::size_t n, double rate, double f, double power, double noiseDensity, unsigned seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> g(0, std::sqrt(noiseDensity * rate / 2));
    dsp::CVec x(n);
    for (std::size_t k = 0; k < n; ++k)
        x[k] = std::polar(std::sqrt(power), 2 * std::numbers::pi * f * double(k) / rate) + dsp::cplx{g(rng), g(rng)};
    return x;
}

}  // namespace

TEST(PowerSpectrum, MatchesScipysWelchOnACalculatedFrame) {
    const Reference ref = readReference();
    ASSERT_EQ(ref.cases.size(), 3u);
    dsp::Rng rng(ref.seed);
    const dsp::CVec x = model::Calculate(model::InitializeParameters(), rng).waveform;
    ASSERT_EQ(x.size(), ref.samples);

    for (const ReferenceCase& c : ref.cases) {
        SCOPED_TRACE(c.rbw);
        const plots::PowerSpectrum s = plots::welch(x, ref.rate, plots::welchLength(ref.rate, c.rbw), c.averages);
        EXPECT_EQ(s.length, c.length);
        EXPECT_EQ(s.segments, c.segments);
        EXPECT_NEAR(s.noiseBandwidth, 1.5 * ref.rate / double(c.length), 1e-9 * s.noiseBandwidth);
        if (!c.density.empty()) {
            ASSERT_EQ(s.density.size(), c.density.size());
            for (std::size_t k = 0; k < c.density.size(); ++k)
                ASSERT_NEAR(s.density[k], c.density[k], 1e-9 * c.density[k]) << k;
        }
        const plots::ChannelMeasurements m = plots::measureChannel(s, plots::kChannelBandwidth, plots::kDefaultAclrRows);
        EXPECT_NEAR(m.channelPower, c.channel, 1e-9 * c.channel);
        EXPECT_NEAR(m.occupied.lo, c.obwLo, 1e-3);
        EXPECT_NEAR(m.occupied.hi, c.obwHi, 1e-3);
        ASSERT_EQ(m.aclr.size(), 2u);
        for (const plots::AclrResult& r : m.aclr) {
            EXPECT_NEAR(r.lower, c.leakage.at(-r.row.offset), 1e-6) << r.row.offset;
            EXPECT_NEAR(r.upper, c.leakage.at(r.row.offset), 1e-6) << r.row.offset;
        }
    }
}

TEST(PowerSpectrum, ToneAndNoiseFloorAtTheirTrueLevels) {
    // A tone of power 1 at 1 MHz in noise of 1e-9 per Hz (6.1e-3 over 6.144 MHz): levels known
    // without trusting another estimate.
    const double rate = 6144000, noise = 1e-9;
    const dsp::CVec x = toneInNoise(1 << 17, rate, 1e6, 1.0, noise, 5);
    const plots::PowerSpectrum s = plots::welch(x, rate, plots::welchLength(rate, 30e3), 0);
    EXPECT_EQ(s.length, 307u);
    EXPECT_NEAR(s.meanPower, 1 + noise * rate, 2e-3);

    // The floor, away from the tone, is the noise density; the tone's band holds the tone.
    double floor = 0;
    int bins = 0;
    for (std::size_t k = 0; k < s.freq.size(); ++k)
        if (std::abs(s.freq[k] - 1e6) > 300e3) floor += s.density[k], ++bins;
    EXPECT_NEAR(floor / bins, noise, 0.03 * noise);
    EXPECT_NEAR(plots::bandPower(s, 1e6 - 100e3, 1e6 + 100e3), 1.0, 0.01);

    // In dB re total power a bin shows the power in one resolution bandwidth: the floor at
    // 1e-9 x 30 kHz of a total of about 1.006.
    const double level = plots::densityLevel(noise, s, plots::LevelUnit::DbReTotal, 0);
    EXPECT_NEAR(level, 10 * std::log10(noise * 1.5 * rate / 307 / s.meanPower), 1e-9);
    EXPECT_NEAR(plots::densityLevel(noise, s, plots::LevelUnit::DbmPerHz, -30), -120 - 10 * std::log10(s.meanPower), 1e-9);
    EXPECT_NEAR(plots::powerLevel(s.meanPower, s, plots::LevelUnit::DbmPerHz, -30), -30, 1e-12);
    EXPECT_NEAR(plots::powerLevel(s.meanPower / 100, s, plots::LevelUnit::DbReTotal, -30), -20, 1e-12);
}

TEST(ChannelMeasurements, BandsOccupiedWidthAndLimits) {
    // A flat density of 1 per Hz over +-1 MHz of a 4 MHz span, 20 bins of 200 kHz.
    plots::PowerSpectrum s;
    s.rate = 4e6;
    s.length = 20;
    s.binWidth = 200e3;
    s.freq = plots::centredFrequencies(20, 4e6);
    s.density.assign(20, 0.0);
    for (std::size_t k = 0; k < 20; ++k)
        if (std::abs(s.freq[k]) < 1e6 - 1) s.density[k] = 1;
    // Bins at -0.8..0.8 MHz carry density, each standing for +-100 kHz: 1.8 MHz in all.
    EXPECT_DOUBLE_EQ(plots::bandPower(s, -50e3, 50e3), 100e3);
    EXPECT_DOUBLE_EQ(plots::bandPower(s, 850e3, 950e3), 50e3);  // half of it in the last bin
    EXPECT_TRUE(std::isnan(plots::bandPower(s, 1.9e6, 2.1e6)));  // beyond +2 MHz - 100 kHz
    const plots::OccupiedBand ob = plots::occupiedBand(s, 0.99);
    EXPECT_NEAR(ob.lo, -0.9e6 + 0.005 * 1.8e6, 1e-6);
    EXPECT_NEAR(ob.width(), 0.99 * 1.8e6, 1e-6);

    // Leakage 16 dB down at 750 kHz: fails. The span reaches -2.1 MHz but only +1.9 MHz: the
    // upper band at 1.98 MHz cannot be measured, so that row does not pass either.
    const plots::ChannelMeasurements m = plots::measureChannel(s, plots::kChannelBandwidth, plots::kDefaultAclrRows);
    EXPECT_DOUBLE_EQ(m.channelPower, 1.2288e6);
    ASSERT_EQ(m.aclr.size(), 2u);
    EXPECT_NEAR(m.aclr[0].upper, 10 * std::log10(30e3 / 1.2288e6), 1e-9);
    EXPECT_EQ(m.aclr[0].lower, m.aclr[0].upper);
    EXPECT_EQ(m.aclr[0].row.limit, -45);
    EXPECT_FALSE(m.aclr[0].pass);
    EXPECT_EQ(m.aclr[1].lower, -INFINITY);
    EXPECT_TRUE(std::isnan(m.aclr[1].upper));
    EXPECT_FALSE(m.aclr[1].pass);

    // Rows and the channel of the user's choosing: a 100 kHz band half inside the density at
    // 0.9 MHz against a 1 MHz channel.
    const plots::ChannelMeasurements own = plots::measureChannel(s, 1e6, {{900e3, 100e3, -20}, {750e3, 30e3, -14}});
    EXPECT_DOUBLE_EQ(own.channelPower, 1e6);
    EXPECT_NEAR(own.aclr[0].upper, 10 * std::log10(50e3 / 1e6), 1e-9);
    EXPECT_FALSE(own.aclr[0].pass);
    EXPECT_NEAR(own.aclr[1].upper, 10 * std::log10(30e3 / 1e6), 1e-9);
    EXPECT_TRUE(own.aclr[1].pass);
    EXPECT_TRUE(plots::measureChannel(s, 1e6, {}).aclr.empty());
}

TEST(PowerSpectrum, MaxHoldKeepsTheLoudestSegment) {
    // Noise throughout and a tone in the first quarter only: the average shows a quarter of the
    // tone's segment density, max hold all of it, and over the noise alone max hold stays above
    // the average.
    const double rate = 1e6;
    dsp::CVec x = toneInNoise(1 << 14, rate, 200e3, 0, 1e-9, 3);
    for (std::size_t k = 0; k < (1 << 12); ++k) x[k] += std::polar(1.0, 2 * std::numbers::pi * 200e3 * double(k) / rate);
    const plots::PowerSpectrum s = plots::welch(x, rate, 1024, 0);
    ASSERT_EQ(s.maxHold.size(), s.density.size());
    const std::size_t peak = std::size_t(std::max_element(s.density.begin(), s.density.end()) - s.density.begin());
    EXPECT_NEAR(s.freq[peak], 200e3, rate / 1024);
    // Segments overlap by half: 7 of the 31 see the tone whole, one more half of it.
    EXPECT_NEAR(s.maxHold[peak] / s.density[peak], 31.0 / 7.25, 0.5);
    for (std::size_t k = 0; k < s.density.size(); ++k) ASSERT_GE(s.maxHold[k], s.density[k]) << k;
    const plots::PowerSpectrum one = plots::welch(x, rate, 1024, 1);
    EXPECT_EQ(one.maxHold, one.density);
}

TEST(PowerSpectrum, SegmentsLengthsAndShortWaveforms) {
    EXPECT_EQ(plots::welchLength(36864000, 30e3), 1843u);
    EXPECT_EQ(plots::welchLength(6144000, 1e6), 9u);
    EXPECT_EQ(plots::welchSegments(1000, 100), 19u);
    EXPECT_EQ(plots::welchSegments(1000, 101), 18u);  // steps of 51
    EXPECT_EQ(plots::welchSegments(50, 100), 1u);

    // Shorter than a segment: one segment of everything there is.
    const plots::PowerSpectrum s = plots::welch(dsp::CVec(40, 1.0), 1000, 100, 0);
    EXPECT_EQ(s.length, 40u);
    EXPECT_EQ(s.segments, 1u);
    EXPECT_DOUBLE_EQ(s.freq[20], 0);
    EXPECT_TRUE(plots::welch({}, 1000, 100, 0).density.empty());
}

TEST(PowerSpectrum, SeveralCarriersEachHaveTheirChannelAndTheOuterOnesTheLeakage) {
    // 10 kHz bins from -5 to +5 MHz; carriers at -1.25 MHz (density 2), 0 (1) and 1.25 MHz
    // (0.5), each 119 bins wide; a floor of 1e-6 elsewhere.
    plots::PowerSpectrum s;
    s.binWidth = 10e3;
    for (int k = -500; k < 500; ++k) s.freq.push_back(k * 10e3);
    s.density.assign(s.freq.size(), 1e-6);
    const double carriers[] = {-1.25e6, 0, 1.25e6}, density[] = {2, 1, 0.5};
    for (std::size_t k = 0; k < s.freq.size(); ++k)
        for (int c = 0; c < 3; ++c)
            if (std::abs(s.freq[k] - carriers[c]) < 0.6e6 - 1) s.density[k] = density[c];
    const plots::ChannelMeasurements m =
        plots::measureChannel(s, plots::kChannelBandwidth, plots::kDefaultAclrRows, {-1.25e6, 0, 1.25e6});
    ASSERT_EQ(m.carrierPowers.size(), 3u);
    const double inChannel = 1.19e6, outside = 1e-6 * (plots::kChannelBandwidth - 1.19e6);  // 119 bins
    EXPECT_NEAR(m.carrierPowers[0], 2 * inChannel + outside, 1e-6);
    EXPECT_NEAR(m.carrierPowers[1], inChannel + outside, 1e-6);
    EXPECT_NEAR(m.carrierPowers[2], 0.5 * inChannel + outside, 1e-6);
    EXPECT_NEAR(m.channelPower, m.carrierPowers[0] + m.carrierPowers[1] + m.carrierPowers[2], 1e-6);
    // 750 kHz below the lowest carrier and above the highest, each against its own carrier:
    // not at +-750 kHz, which lie inside the neighbouring carriers.
    ASSERT_EQ(m.aclr.size(), 2u);
    EXPECT_NEAR(m.aclr[0].lower, 10 * std::log10(1e-6 * 30e3 / m.carrierPowers[0]), 1e-9);
    EXPECT_NEAR(m.aclr[0].upper, 10 * std::log10(1e-6 * 30e3 / m.carrierPowers[2]), 1e-9);
    EXPECT_TRUE(m.aclr[0].pass);
    // One carrier as before.
    const plots::ChannelMeasurements one = plots::measureChannel(s, plots::kChannelBandwidth, plots::kDefaultAclrRows);
    EXPECT_EQ(one.carrierPowers.size(), 1u);
    EXPECT_DOUBLE_EQ(one.channelPower, one.carrierPowers[0]);
    EXPECT_FALSE(one.aclr[0].pass);
}
