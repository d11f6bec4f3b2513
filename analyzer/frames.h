#pragma once
// A capture read frame by frame as its samples arrive: the first frame searched for, each further
// one read on the lock the frame before left (PN offset, reference, frequency, timing, sample
// clock), searched for again only when the lock is lost. The samples are held a frame or two at a
// time, so a capture of any length, or one without end, is read in bounded memory.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analyzer/analysis.h"
#include "analyzer/result.h"
#include "dsp/types.h"

namespace analyzer {

// Puts up to n samples at out, in order, and returns how many; fewer only where the capture ends.
using SampleSource = std::function<std::size_t(dsp::cplx* out, std::size_t n)>;

// What a search for the first frame reads: two frames at `sampleRate` and a little more, enough for
// a whole frame to follow wherever in the first one it starts, with a clock up to 200 ppm slow and
// the resampler's taps.
std::size_t searchSamples(double sampleRate);

// One frame read, or a place where none could be.
struct FrameOutcome {
    std::size_t number = 0;  // 1 for the first frame read, in order
    FrameSummary summary;    // where it starts and its figures (the place searched, for a failure)
    std::string failure;     // why no frame could be read there; empty when one was
};

class FrameReader {
public:
    // Throws std::runtime_error for a rate the analyzer does not read, before any sample is read.
    // With keepSearching, a first search that finds nothing is a failed frame, not the end.
    FrameReader(SampleSource source, const Options& options, std::optional<std::size_t> maxFrames = std::nullopt,
                bool keepSearching = false);

    // The next frame, once its samples have come; nothing when the capture holds no further whole
    // frame (or maxFrames were read). A first search that finds nothing throws its message.
    std::optional<FrameOutcome> next();

    // The first frame's reading with the figures averaged over every frame read and `frames`
    // listing them; the other frames' warnings, and where the lock was lost, among its warnings.
    // Throws std::logic_error before a frame was read.
    Result summary() const;

    // Samples taken from the source so far.
    std::uint64_t samplesRead() const { return base_ + buffer_.size(); }

private:
    struct Lock {
        int pnOffset = 0;
        ReferenceFilter filter = ReferenceFilter::Acp;
        bool equalizer = true;
        bool conjugated = false;
        double frequencyHz = 0;
        double clockPpm = 0;
        double resampledPpm = 0;  // the clock the samples are read on
        double start = 0;  // the next frame's first chip, in capture samples from the first
        Channel channel;   // the echoes the first frame showed
    };
    // Running sums of the frames' figures: their readings are not kept.
    struct Sums {
        std::size_t frames = 0;
        double frequencyHz = 0, clockPpm = 0, rho = 0, rhoPilot = 0, rhoWhole = 0, rhoEqualized = 0;
        double evmSquared = 0, evmWholeSquared = 0, evmPeak = 0;
        double iqOffset = 0, gainImbalanceDb = 0, quadratureDeg = 0;
        void add(const Result& r);
    };

    void fill(std::uint64_t upTo);
    void discard(std::uint64_t before);
    std::optional<Result> search(std::uint64_t from, std::string& failure);
    std::optional<Result> readOnLock(double& measuredStart, std::string& failure);
    FrameOutcome record(const Result& r, double start, const char* lock);
    double chipsAt(double sample) const;
    double frameSamples() const;  // capture samples per frame on the lock's clock

    SampleSource source_;
    Options options_;
    std::optional<std::size_t> maxFrames_;
    bool keepSearching_ = false;
    int r_ = 2;
    double perChip_ = 2;  // capture samples per chip at the stated rate
    dsp::CVec buffer_;
    std::uint64_t base_ = 0;  // the capture sample buffer_[0] holds
    bool ended_ = false;
    std::optional<Lock> lock_;
    bool lost_ = false;
    bool done_ = false;
    double searchAt_ = 0;  // capture sample the next search starts at
    std::size_t number_ = 0;
    std::optional<Result> first_;
    Sums sums_;
    std::vector<FrameSummary> frames_;
    std::vector<std::string> notes_;  // other frames' doubts and failures, for the summary
};

// Every whole frame of samples in memory read as FrameReader reads a file: the summary of at most
// maxFrames. Throws as analyze does when no frame is found.
Result analyzeFrames(const dsp::CVec& samples, const Options& options, std::optional<std::size_t> maxFrames = std::nullopt);

}  // namespace analyzer
