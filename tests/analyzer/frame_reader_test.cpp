// Captures of several frames read frame by frame: per-frame figures, the lock kept and lost, and
// the samples taken a piece at a time.
#include <gtest/gtest.h>

#include <algorithm>

#include "analyzer/frames.h"
#include "frames.h"
#include "interference.h"
#include "receiver.h"

namespace {

using analyzer::FrameOutcome;
using analyzer::FrameReader;
using analyzertest::Receiver;

// A drawn frame with traffic in most slots and no idle noise.
analyzertest::Drawn busyFrame(std::uint64_t seed, int r) {
    std::mt19937_64 rng(seed);
    auto d = analyzertest::drawFrame(rng, r);
    d.args.IdleSlotGainActive = false;
    for (std::size_t s = 0; s < engine::kSlots; ++s) d.args.DATAactive[s] = s % 4 != 1;
    return d;
}

// Samples of `x` handed out in order, at most `largest` at a time; how much was asked is recorded.
struct VectorSource {
    const dsp::CVec* x;
    std::size_t at = 0;
    std::size_t largestAsk = 0;
    std::size_t operator()(dsp::cplx* out, std::size_t n) {
        largestAsk = std::max(largestAsk, n);
        const std::size_t k = std::min(n, x->size() - at);
        std::copy_n(x->begin() + static_cast<std::ptrdiff_t>(at), k, out);
        at += k;
        return k;
    }
};

std::vector<FrameOutcome> readAll(FrameReader& reader) {
    std::vector<FrameOutcome> frames;
    while (auto f = reader.next()) frames.push_back(*f);
    return frames;
}

// An SDR's capture of almost five frames: 2.5 MHz, 1.8 kHz off, a clock 20 ppm fast, 30 dB.
// Every whole frame is read, a frame apart in true chips, each on the lock of the one before, with
// the impairments found in each; the summary averages them.
TEST(FrameReader, EveryWholeFrameOfADriftingCaptureIsReadOnTheLock) {
    const auto d = busyFrame(11, 2);
    const dsp::CVec wave = engine::Zuno_FwdChnFrame(d.args).waveform;
    Receiver rx;
    rx.rate = 2.5e6, rx.frames = 4.9, rx.startChips = 5000.5, rx.frequencyHz = 1800, rx.clockPpm = 20, rx.snrDb = 30;
    dsp::Rng rng(5);
    const dsp::CVec x = analyzertest::receive(wave, 2, rx, rng);
    analyzer::Options options = analyzer::optionsFor(d.args);
    options.sampleRate = rx.rate;
    VectorSource source{&x};
    FrameReader reader(std::ref(source), options);
    const auto frames = readAll(reader);
    // Starts at 27767.5 + 32768 k chips; the fourth ends at 158,839.5 of 160,563.
    ASSERT_EQ(frames.size(), 4u);
    for (std::size_t k = 0; k < frames.size(); ++k) {
        SCOPED_TRACE("frame " + std::to_string(k + 1));
        const auto& f = frames[k];
        EXPECT_TRUE(f.failure.empty()) << f.failure;
        EXPECT_EQ(f.number, k + 1);
        EXPECT_EQ(f.summary.lock, k == 0 ? "acquired" : "kept");
        EXPECT_EQ(f.summary.pnOffset, d.args.PilotOffsetIndex);
        EXPECT_NEAR(f.summary.startChips, 32768 - 5000.5 + 32768.0 * static_cast<double>(k), 0.02);
        EXPECT_NEAR(f.summary.frequencyErrorHz, 1800, 2);
        EXPECT_NEAR(f.summary.clockErrorPpm, 20, 0.5);
        EXPECT_GT(f.summary.rho, 0.99);
        EXPECT_TRUE(f.summary.warnings.empty()) << f.summary.warnings.front();
    }
    // The file was taken a piece at a time, not whole.
    EXPECT_LT(source.largestAsk, x.size() / 2);
    const analyzer::Result s = reader.summary();
    ASSERT_EQ(s.frames.size(), 4u);
    EXPECT_NEAR(s.frameStartChips, 32768 - 5000.5, 0.02);
    EXPECT_NEAR(s.frequencyErrorHz, 1800, 2);
    EXPECT_NEAR(s.clockErrorPpm, 20, 0.5);
    double rho = 0;
    for (const auto& f : s.frames) rho += f.rho / 4;
    EXPECT_NEAR(s.rho, rho, 1e-12);
    EXPECT_TRUE(s.warnings.empty());
    EXPECT_EQ(s.dataSource, d.source);
}

// --frames: no more frames are read, and no more samples taken, than the limit needs.
TEST(FrameReader, ReadsNoMoreFramesThanAsked) {
    const auto d = busyFrame(12, 2);
    const dsp::CVec wave = engine::Zuno_FwdChnFrame(d.args).waveform;
    dsp::CVec x;
    for (int k = 0; k < 6; ++k) x.insert(x.end(), wave.begin(), wave.end());
    VectorSource source{&x};
    FrameReader reader(std::ref(source), analyzer::optionsFor(d.args), 2);
    EXPECT_EQ(readAll(reader).size(), 2u);
    EXPECT_EQ(reader.summary().frames.size(), 2u);
    EXPECT_LE(reader.samplesRead(), analyzer::searchSamples(analyzer::optionsFor(d.args).sampleRate) + wave.size());
}

// A capture of exactly three frames, cut at the first's start and the last's end, through an
// echo 3 dB below the main ray, moved by a hair either way: the first frame then begins, or the
// last ends, a hair beyond the capture's edge, and all three are read all the same, each through
// the echo the first showed.
TEST(FrameReader, WholeFramesCutAtTheCapturesEdgesAreEachRead) {
    const auto d = busyFrame(13, 2);
    const dsp::CVec wave = analyzertest::multipath(engine::Zuno_FwdChnFrame(d.args).waveform, 2, {{5, -3, 0.7}});
    dsp::CVec tiled;
    for (int k = 0; k < 3; ++k) tiled.insert(tiled.end(), wave.begin(), wave.end());
    for (const double hair : {-0.02, 0.02}) {
        SCOPED_TRACE("moved " + std::to_string(hair) + " samples");
        dsp::Rng rng(7);
        const dsp::CVec x = analyzertest::impair(tiled, 2, {.delaySamples = hair, .snrDb = 30}, rng);
        VectorSource source{&x};
        FrameReader reader(std::ref(source), analyzer::optionsFor(d.args));
        const auto frames = readAll(reader);
        ASSERT_EQ(frames.size(), 3u);
        for (std::size_t k = 0; k < 3; ++k) {
            EXPECT_TRUE(frames[k].failure.empty()) << frames[k].failure;
            EXPECT_NEAR(frames[k].summary.startChips, 32768.0 * static_cast<double>(k) + hair / 2, 0.02) << k;
            EXPECT_TRUE(frames[k].summary.warnings.empty()) << k << ": " << frames[k].summary.warnings.front();
        }
        const analyzer::Result s = reader.summary();
        EXPECT_TRUE(s.warnings.empty()) << s.warnings.front();
        EXPECT_GT(s.rhoEqualized, 0.99);
        EXPECT_LT(s.rho, 0.8);  // the echo is part of the transmitter's error
        EXPECT_EQ(s.dataSource, d.source);
    }
}

// A stream whose sector changes (another PN offset, another timing) after three frames: the lock
// is lost, the frame searched for again and said so, and the new lock kept.
TEST(FrameReader, ALostLockIsSearchedForAgainAndSaidSo) {
    auto a = busyFrame(13, 2), b = busyFrame(14, 2);
    a.args.PilotOffsetIndex = 100, b.args.PilotOffsetIndex = 300;
    b.args.filterType = a.args.filterType, b.args.phaseEqActive = a.args.phaseEqActive, b.args.mirrorSpectrum = a.args.mirrorSpectrum;
    const dsp::CVec wa = engine::Zuno_FwdChnFrame(a.args).waveform, wb = engine::Zuno_FwdChnFrame(b.args).waveform;
    dsp::CVec x(wa.end() - 1000, wa.end());
    for (int k = 0; k < 3; ++k) x.insert(x.end(), wa.begin(), wa.end());
    x.insert(x.end(), wb.begin() + 10000, wb.end());
    for (int k = 0; k < 3; ++k) x.insert(x.end(), wb.begin(), wb.end());
    VectorSource source{&x};
    FrameReader reader(std::ref(source), analyzer::optionsFor(a.args));
    const auto frames = readAll(reader);
    ASSERT_GE(frames.size(), 5u);
    std::vector<std::string> locks;
    for (const auto& f : frames) locks.push_back(f.summary.lock);
    EXPECT_EQ(std::vector<std::string>(locks.begin(), locks.begin() + 5),
              (std::vector<std::string>{"acquired", "kept", "kept", "reacquired", "kept"}));
    EXPECT_NEAR(frames[0].summary.startChips, 500, 0.02);
    EXPECT_EQ(frames[2].summary.pnOffset, 100);
    EXPECT_EQ(frames[3].summary.pnOffset, 300);
    // The new sector's frames start 55536 samples (27768 chips) after the old one's last.
    EXPECT_NEAR(frames[3].summary.startChips, 500 + 3 * 32768 + 27768, 0.02);
    const auto s = reader.summary();
    EXPECT_NE(std::find(s.warnings.begin(), s.warnings.end(), "frame 4: the lock was lost; the frame was searched for again"),
              s.warnings.end());
}

// Nothing to read at first: a followed stream searches on a frame later each time and says where
// it found nothing; read once, the first search's message ends the reading.
TEST(FrameReader, AStreamWithoutASignalAtFirstIsSearchedOn) {
    const auto d = busyFrame(15, 2);
    const dsp::CVec wave = engine::Zuno_FwdChnFrame(d.args).waveform;
    dsp::CVec x(2 * wave.size());
    for (int k = 0; k < 3; ++k) x.insert(x.end(), wave.begin(), wave.end());
    VectorSource followed{&x};
    FrameReader live(std::ref(followed), analyzer::optionsFor(d.args), std::nullopt, true);
    const auto frames = readAll(live);
    ASSERT_EQ(frames.size(), 5u);
    for (std::size_t k = 0; k < 2; ++k) {
        EXPECT_EQ(frames[k].summary.lock, "none");
        EXPECT_NE(frames[k].failure.find("no pilot within +-25 kHz"), std::string::npos) << frames[k].failure;
    }
    EXPECT_EQ(frames[2].summary.lock, "acquired");
    EXPECT_NEAR(frames[2].summary.startChips, 2 * 32768, 0.02);
    EXPECT_EQ(frames[4].summary.lock, "kept");
    EXPECT_EQ(live.summary().frames.size(), 5u);

    VectorSource once{&x};
    FrameReader reader(std::ref(once), analyzer::optionsFor(d.args));
    EXPECT_THROW(reader.next(), std::runtime_error);
}

}  // namespace
