// The analyzer through a static multipath channel: echoes up to 8 chips either side of the main
// ray and down to -3 dB, between the taps too, with noise, carrier offset and clock error. The
// reading is that of the main ray, the channel found matches the echo, rho counts the echo and
// rho_equalized does not; a reading the echoes make wrong carries a warning.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <stdexcept>
#include <string>

#include "analyzer/analysis.h"
#include "analyzer/channel.h"
#include "analyzer/json.h"
#include "dsp/fft.h"
#include "frames.h"
#include "interference.h"
#include "receiver.h"

namespace {

using analyzer::Result;
using analyzertest::Drawn;
using analyzertest::Echo;
using analyzertest::Receiver;

double cyclicMiss(double a, double b) {
    const double d = std::fmod(std::abs(a - b), 32768.0);
    return std::min(d, 32768.0 - d);
}

// Traffic in most slots (from a source without repeats), MAC on, no idle noise.
Drawn busyDrawn(std::mt19937_64& rng) {
    Drawn d = analyzertest::drawFrame(rng, 2);
    d.args.IdleSlotGainActive = 0;
    for (std::size_t s = 0; s < engine::kSlots; ++s) d.args.DATAactive[s] = s % 5 != 3;
    d.source = 5 + int(rng() % 2);
    d.args.DATAbits = engine::GenerateBitStream(d.source, 16 * 6400);
    return d;
}

// The capture of d's repeating frame through the echoes, taken by `rx` from a random instant.
struct Taken {
    dsp::CVec samples;
    double startChips;  // the main ray's frame start the analyzer should report
};
Taken take(const Drawn& d, const std::vector<Echo>& echoes, Receiver rx, std::mt19937_64& rng, dsp::Rng& noise) {
    rx.startChips = std::uniform_real_distribution<double>(0, 32768)(rng);
    const dsp::CVec wave = analyzertest::multipath(engine::Zuno_FwdChnFrame(d.args).waveform, 2, echoes);
    return {analyzertest::receive(wave, 2, rx, noise), std::fmod(32768.0 - rx.startChips, 32768.0)};
}

// The PN offset asked for when the frame's content repeats and another reading ties.
Result readAsked(const dsp::CVec& x, const Drawn& d) {
    analyzer::Options o = analyzer::optionsFor(d.args);
    Result r = analyzer::analyze(x, o);
    if (r.pnOffset != d.args.PilotOffsetIndex &&
        std::any_of(r.alternatives.begin(), r.alternatives.end(),
                    [&](const analyzer::Reading& q) { return q.pnOffset == d.args.PilotOffsetIndex; })) {
        o.pnOffset = static_cast<int>(d.args.PilotOffsetIndex);
        r = analyzer::analyze(x, o);
    }
    return r;
}

analyzer::Modulation made(const engine::FrameArgs& a, std::size_t s) {
    return a.DATAactive[s] ? static_cast<analyzer::Modulation>(a.DATAformat[s]) : analyzer::Modulation::Idle;
}

// PN offset, frame start, every slot's traffic and the data source; with `mac`, the MAC channels.
bool readRight(const Result& r, const Drawn& d, double startChips, bool mac = true) {
    if (r.pnOffset != d.args.PilotOffsetIndex || cyclicMiss(r.frameStartChips, startChips) > 0.05) return false;
    bool traffic = false;
    for (std::size_t s = 0; s < engine::kSlots; ++s) {
        if (r.slotResults[s].traffic != made(d.args, s)) return false;
        if (mac && r.slotResults[s].ra.has_value() != bool(d.args.RAactive[s])) return false;
        for (std::size_t k = 0; mac && k < engine::kRpcChannels; ++k)
            if (r.slotResults[s].rpc[k].has_value() != (d.args.RPCchnActive[s] && d.args.RPCactive[s][k])) return false;
        traffic = traffic || d.args.DATAactive[s];
    }
    return traffic ? r.dataSource == d.source : !r.dataSource.has_value();
}

// The echo the taps show near where one was put: its level (the energy of the taps around it,
// which a ray between taps spreads over) and its delay (their centroid), in chips.
struct SeenEcho {
    double delayChips = 0;
    double levelDb = -INFINITY;
};
SeenEcho strongestEcho(const std::vector<dsp::cplx>& taps, double echoChips) {
    // The taps within 3 chips of the echo put in (a ray between taps spreads as a sinc: 97 % of
    // its energy), the main ray's left out.
    const long middle = static_cast<long>(taps.size() / 2);
    double energy = 0, moment = 0;
    for (long i = 0; i < static_cast<long>(taps.size()); ++i) {
        const double at = static_cast<double>(i - middle) / 2;
        if (std::abs(at - echoChips) > 3.01 || std::abs(at) < 0.49) continue;
        energy += std::norm(taps[static_cast<std::size_t>(i)]);
        moment += at * std::norm(taps[static_cast<std::size_t>(i)]);
    }
    if (!(energy > 0)) return {};
    return {moment / energy, 10 * std::log10(energy)};
}

struct Case {
    double delayChips;
    double levelDb;
    double frequencyHz;
    double clockPpm;
};

TEST(Multipath, EchoesAreFoundAndTheContentReadThroughThem) {
    const Case cases[] = {
        {0.5, -10, 0, 0},      {-0.5, -6, 300, 0},   {1.25, -10, 0, 5},     {-2.75, -3, -2000, 10},
        {4, -20, 2000, 10},    {-6.2, -10, 700, -20}, {8, -3, -1500, 0},     {-8, -10, 0, 0},
        {3.6, -6, 2000, 10},
    };
    std::mt19937_64 rng(41);
    dsp::Rng noise(42);
    for (const Case& c : cases) {
        char what[96];
        std::snprintf(what, sizeof what, "echo %+.2f chips %.0f dB, %.0f Hz, %.0f ppm", c.delayChips, c.levelDb, c.frequencyHz,
                      c.clockPpm);
        SCOPED_TRACE(what);
        const Drawn d = busyDrawn(rng);
        const double half = 2 * c.delayChips;
        const Echo e{static_cast<int>(std::floor(half)), c.levelDb, 2.0, half - std::floor(half)};
        Receiver rx;
        rx.snrDb = 25, rx.frequencyHz = c.frequencyHz, rx.clockPpm = c.clockPpm;
        const Taken t = take(d, {e}, rx, rng, noise);
        const Result r = readAsked(t.samples, d);

        EXPECT_TRUE(readRight(r, d, t.startChips)) << "PN " << r.pnOffset << " start " << r.frameStartChips << " (made "
                                                    << d.args.PilotOffsetIndex << " at " << t.startChips << ")";
        EXPECT_TRUE(r.warnings.empty()) << r.warnings.front();
        ASSERT_EQ(r.channel.size(), 33u);
        EXPECT_NEAR(std::abs(r.channel[16] - 1.0), 0, 0.1);
        const SeenEcho seen = strongestEcho(r.channel, c.delayChips);
        std::printf("%s: seen at %.3f chips %.2f dB; rho %.5f, equalized %.5f\n", what, seen.delayChips, seen.levelDb, r.rho,
                    r.rhoEqualized);
        EXPECT_NEAR(seen.delayChips, c.delayChips, 0.25);
        EXPECT_NEAR(seen.levelDb, c.levelDb, c.levelDb >= -10 ? 0.5 : 1.5);
        // 25 dB in the channel: rho near 0.997 without the echo; the echo's power counts as error.
        EXPECT_GT(r.rhoEqualized, 0.99);
        EXPECT_LT(r.rho, r.rhoEqualized - 0.5 * std::pow(10.0, c.levelDb / 10));
    }
}

// Without echoes nothing changes: the main ray alone, rho_equalized is rho, and the reading keeps
// its accuracy.
TEST(Multipath, ACleanCaptureShowsTheMainRayAlone) {
    std::mt19937_64 rng(43);
    dsp::Rng noise(44);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE("frame " + std::to_string(i));
        const Drawn d = busyDrawn(rng);
        analyzertest::Impairment im;
        im.delaySamples = 2 * (1000.0 + 5000.37 * i);
        im.frequencyHz = 150;
        const Result r = analyzer::analyze(analyzertest::impair(engine::Zuno_FwdChnFrame(d.args).waveform, 2, im, noise),
                                           analyzer::optionsFor(d.args));
        ASSERT_EQ(r.channel.size(), 33u);
        for (std::size_t k = 0; k < r.channel.size(); ++k)
            EXPECT_NEAR(std::abs(r.channel[k] - (k == 16 ? 1.0 : 0.0)), 0, 1e-9) << "tap " << k;
        EXPECT_EQ(r.rhoEqualized, r.rho);
        EXPECT_GT(r.rho, 0.99999);
        EXPECT_NEAR(r.frameStartChips, 1000.0 + 5000.37 * i, 1e-4);
        for (std::size_t s = 0; s < engine::kSlots; ++s) {
            if (!d.args.RAactive[s]) continue;
            ASSERT_TRUE(r.slotResults[s].ra.has_value()) << "slot " << s + 1;
            EXPECT_NEAR(r.slotResults[s].ra->gainDb, d.args.RAgain[s], 0.005) << "slot " << s + 1;
        }
        const auto j = analyzer::toJson(r);
        ASSERT_EQ(j["channel"].size(), 33u);
        EXPECT_EQ(j["channel"][16], nlohmann::ordered_json::array({1.0, 0.0}));
        EXPECT_EQ(j["rho_equalized"], r.rho);
    }
}

// Two echoes at once, one of them a pre-echo: both found, and rho_equalized as if neither were
// there.
TEST(Multipath, TwoEchoesAreBothFound) {
    std::mt19937_64 rng(45);
    dsp::Rng noise(46);
    const Drawn d = busyDrawn(rng);
    Receiver rx;
    rx.snrDb = 25, rx.frequencyHz = -800;
    const Taken t = take(d, {{-5, -6, 1.0, 0.0}, {9, -10, 4.0, 0.5}}, rx, rng, noise);
    const Result r = readAsked(t.samples, d);
    EXPECT_TRUE(readRight(r, d, t.startChips));
    const SeenEcho pre = strongestEcho(r.channel, -2.5), post = strongestEcho(r.channel, 4.75);
    EXPECT_NEAR(pre.delayChips, -2.5, 0.25);
    EXPECT_NEAR(pre.levelDb, -6, 0.5);
    EXPECT_NEAR(post.delayChips, 4.75, 0.25);
    EXPECT_NEAR(post.levelDb, -10, 0.5);
    EXPECT_GT(r.rhoEqualized, 0.99);
    EXPECT_LT(r.rho, 0.85);
}

// The rays themselves, noise-free: a pre-echo, an echo half a chip from the main ray (closer than
// the band resolves) and one between two taps, each found to a thousandth of a chip and of its
// gain; and the taps of a ray between two taps spread as a sinc.
TEST(Multipath, RaysAreFoundWhereTheyLie) {
    std::mt19937_64 rng(49);
    dsp::Rng noise(50);
    const Drawn d = busyDrawn(rng);
    dsp::CVec ref = engine::Zuno_FwdChnFrame(d.args).waveform;
    const std::vector<Echo> echoes = {{-7, -6, 1.0, 0.0}, {1, -10, 2.5, 0.0}, {9, -15, 4.0, 0.4}};
    dsp::CVec x = analyzertest::multipath(ref, 2, echoes);
    analyzertest::Impairment im;
    im.delaySamples = 0.3, im.scale = 0.7, im.phase = 1.1;  // the main ray off the alignment
    x = analyzertest::impair(x, 2, im, noise);
    dsp::fft(x), dsp::fft(ref);
    const analyzer::ChannelFit fit = analyzer::estimateChannel(x, ref, 2);
    EXPECT_NEAR(fit.mainDelayChips, 0.15, 1e-3);
    EXPECT_NEAR(std::abs(fit.mainGain), 0.7, 1e-3);
    ASSERT_EQ(fit.channel.echoes.size(), echoes.size());
    for (std::size_t i = 0; i < echoes.size(); ++i) {
        SCOPED_TRACE("echo " + std::to_string(i));
        const Echo& e = echoes[i];
        EXPECT_NEAR(fit.channel.echoes[i].delayChips, (e.halfChips + e.fraction) / 2, 1e-3);
        EXPECT_NEAR(std::abs(fit.channel.echoes[i].gain - std::polar(std::pow(10.0, e.levelDb / 20), e.phase)), 0, 1e-3);
    }
    const auto taps = analyzer::channelTaps(fit.channel);
    // The pre-echo on its tap, but for the sinc tails of the echo between taps.
    EXPECT_NEAR(std::abs(taps[16 - 7] - fit.channel.echoes[0].gain), 0, 5e-3);
    // 9.4 half-chips: taps 9 and 10 after the main ray share it as a sinc does.
    auto sinc = [](double v) { return std::sin(std::numbers::pi * v) / (std::numbers::pi * v); };
    const double level = std::pow(10.0, -15.0 / 20);
    EXPECT_NEAR(std::abs(taps[16 + 9]), level * std::abs(sinc(0.4)), 2e-3);
    EXPECT_NEAR(std::abs(taps[16 + 10]), level * std::abs(sinc(0.6)), 2e-3);
    // Divided out again, the capture is the main ray alone: the reference delayed and scaled.
    dsp::CVec y = x;
    analyzer::equalizeChannel(y, fit.channel, 2);
    const double n = static_cast<double>(y.size());
    double error = 0, power = 0;
    for (std::size_t k = 0; k < y.size(); ++k) {
        const double bin = k < y.size() / 2 ? double(k) : double(k) - n;
        error += std::norm(y[k] - fit.mainGain * ref[k] * std::polar(1.0, -2 * std::numbers::pi * 0.3 * bin / n));
        power += std::norm(ref[k]);
    }
    EXPECT_LT(error / power, 1e-2);  // the echoes held 0.38 of it; notches are not filled
}

// An echo as strong as the main ray: which of the two is the direct one is a guess, and said so.
TEST(Multipath, AnEchoAsStrongAsTheMainRayIsADoubt) {
    std::mt19937_64 rng(51);
    dsp::Rng noise(52);
    const Drawn d = busyDrawn(rng);
    Receiver rx;
    rx.snrDb = 30;
    const Taken t = take(d, {{6, -0.3, 2.0, 0.0}}, rx, rng, noise);
    const Result r = analyzer::analyze(t.samples, analyzer::optionsFor(d.args));
    EXPECT_TRUE(std::any_of(r.warnings.begin(), r.warnings.end(),
                            [](const std::string& w) { return w.find("about as strong") != std::string::npos; }));
}

// Drawn frames through one or two random echoes (to 8 chips, -3 to -20 dB) with noise, carrier
// and clock errors: the reading is right, or it carries a warning, or it is refused.
TEST(Multipath, AWrongReadingThroughEchoesIsNeverCalledASuccess) {
    std::mt19937_64 rng(47);
    dsp::Rng noise(48);
    auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
    int right = 0, doubted = 0, refused = 0;
    for (int i = 0; i < 8; ++i) {
        const Drawn d = analyzertest::drawFrame(rng, 2);
        std::vector<Echo> echoes;
        std::string what = "frame " + std::to_string(i);
        for (int k = int(rng() % 2); k < 2; ++k) {
            const double half = uniform(-16, 16);
            echoes.push_back({static_cast<int>(std::floor(half)), uniform(-20, -3), uniform(0, 6.3), half - std::floor(half)});
            what += ", echo " + std::to_string(half / 2) + " chips " + std::to_string(echoes.back().levelDb) + " dB";
        }
        Receiver rx;
        rx.snrDb = uniform(15, 30), rx.frequencyHz = uniform(-3000, 3000), rx.clockPpm = uniform(-20, 20);
        SCOPED_TRACE(what);
        const Taken t = take(d, echoes, rx, rng, noise);
        try {
            const Result r = analyzer::analyze(t.samples, analyzer::optionsFor(d.args));
            const bool listed = r.pnOffset == d.args.PilotOffsetIndex ||
                                std::any_of(r.alternatives.begin(), r.alternatives.end(),
                                            [&](const analyzer::Reading& q) { return q.pnOffset == d.args.PilotOffsetIndex; });
            if (listed && (r.pnOffset != d.args.PilotOffsetIndex || readRight(r, d, t.startChips, false))) ++right;
            else if (!r.warnings.empty()) ++doubted;
            else ADD_FAILURE() << "read wrong without a warning: PN " << r.pnOffset << " at " << r.frameStartChips << " (made "
                               << d.args.PilotOffsetIndex << " at " << t.startChips << "), source " << r.dataSource.value_or(0)
                               << " (made " << d.source << ")";
        } catch (const std::runtime_error&) {
            ++refused;
        }
    }
    std::printf("%d read right, %d wrong with doubts, %d refused\n", right, doubted, refused);
}

}  // namespace
