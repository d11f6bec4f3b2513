#include "analyzer/frames.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "analyzer/carrier_select.h"
#include "analyzer/frame_layout.h"
#include "analyzer/resample.h"
#include "analyzer/stages.h"
#include "dsp/number_text.h"

namespace analyzer {

namespace {

constexpr std::size_t N = kChipsPerFrame;
// Samples taken from the source at a time.
constexpr std::size_t kPiece = std::size_t{1} << 18;
// Taken on either side of a frame read on the lock: room for the resampler's and the carrier
// filter's taps, and for the start to move a little from where it was foreseen.
constexpr double kPadChips = 16;
// A frame read on the lock that moved by more than this, or whose pilot no longer fits, lost it.
constexpr double kLostChips = 2;
constexpr double kLostRhoPilot = 0.3;
// A clock error that moves the samples by less than this over a frame is left in them.
constexpr double kClockSettledChips = 0.003;
// The other frames' doubts listed in the summary; the rest counted.
constexpr std::size_t kNotesListed = 20;

ReferenceFilter filterOf(const engine::FrameArgs& a) {
    switch (a.filterType) {
        case engine::FilterKind::Is95Std: return ReferenceFilter::Standard;
        case engine::FilterKind::Rectangular: return ReferenceFilter::Rectangular;
        case engine::FilterKind::Is95Acp: break;
    }
    return ReferenceFilter::Acp;
}

double dbPower(double db) { return std::pow(10.0, db / 10); }

}  // namespace

std::size_t searchSamples(double sampleRate) {
    const double perChip = std::isfinite(sampleRate) ? std::clamp(sampleRate / engine::kChipRate, 1.0, kHighestRate / engine::kChipRate) : 1.0;
    return static_cast<std::size_t>(std::ceil(2 * static_cast<double>(N) * perChip * (1 + 300e-6))) + 64;
}

void FrameReader::Sums::add(const Result& r) {
    ++frames;
    frequencyHz += r.frequencyErrorHz;
    clockPpm += r.clockErrorPpm;
    rho += r.rho;
    rhoPilot += r.rhoPilot;
    rhoWhole += r.rhoWholeFrame;
    rhoEqualized += r.rhoEqualized;
    evmSquared += r.evmRmsPercent * r.evmRmsPercent;
    evmWholeSquared += r.evmRmsPercentWholeFrame * r.evmRmsPercentWholeFrame;
    evmPeak = std::max(evmPeak, r.evmPeakPercent);
    iqOffset += dbPower(r.iqOffsetDbc);
    gainImbalanceDb += r.iqGainImbalanceDb;
    quadratureDeg += r.iqQuadratureErrorDeg;
}

FrameReader::FrameReader(SampleSource source, const Options& options, std::optional<std::size_t> maxFrames,
                         bool keepSearching)
    : source_(std::move(source)), options_(options), maxFrames_(maxFrames), keepSearching_(keepSearching) {
    r_ = workingRatio(options.sampleRate);
    perChip_ = options.sampleRate / engine::kChipRate;
}

void FrameReader::fill(std::uint64_t upTo) {
    while (!ended_ && base_ + buffer_.size() < upTo) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, upTo - base_ - buffer_.size()));
        const std::size_t had = buffer_.size();
        buffer_.resize(had + want);
        const std::size_t got = source_(buffer_.data() + had, want);
        buffer_.resize(had + std::min(got, want));
        if (got < want) ended_ = true;
    }
}

void FrameReader::discard(std::uint64_t before) {
    if (before <= base_) return;
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(before - base_, buffer_.size()));
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(n));
    base_ += n;
    // Samples never taken (past the end of what was there) are skipped as they come.
    if (before > base_ && buffer_.empty()) {
        std::vector<dsp::cplx> skip(kPiece);
        while (!ended_ && base_ < before) {
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, before - base_));
            const std::size_t got = source_(skip.data(), want);
            base_ += got;
            if (got < want) ended_ = true;
        }
    }
}

double FrameReader::chipsAt(double sample) const {
    return sample / (perChip_ * (1 + (lock_ ? lock_->clockPpm : 0) * 1e-6));
}

// The first whole frame from `from` on, searched for as a capture of its own.
std::optional<Result> FrameReader::search(std::uint64_t from, std::string& failure) {
    discard(from);
    fill(from + searchSamples(options_.sampleRate));
    // Less than a frame left at the end: none to search for, unless nothing was read yet (the
    // analysis then says what is missing).
    if ((first_ || keepSearching_) && static_cast<double>(buffer_.size()) < static_cast<double>(N) * perChip_)
        return std::nullopt;
    try {
        Result r = analyze(buffer_, options_);
        if (r.cyclic && first_) return std::nullopt;  // no whole frame left after the start found
        const double start = static_cast<double>(base_) + r.frameStartChips * perChip_ * (1 + r.clockErrorPpm * 1e-6);
        const bool settled = std::abs(r.clockErrorPpm) * 1e-6 * static_cast<double>(N) <= kClockSettledChips;
        lock_ = Lock{r.pnOffset,         filterOf(r.reference), r.reference.phaseEqActive != 0, !r.mirrorSpectrum,
                     r.frequencyErrorHz, r.clockErrorPpm,       settled ? 0.0 : r.clockErrorPpm, start, r.echoRays};
        return r;
    } catch (const std::runtime_error& e) {
        if (!first_ && !keepSearching_) throw;
        failure = e.what();
        return std::nullopt;
    }
}

// The frame the lock foresees, read without a search: the samples around it brought to the
// working rate on the lock's clock, the content read at the foreseen timing, then timing and
// frequency refined against the reference rebuilt from it and the quality measured.
std::optional<Result> FrameReader::readOnLock(double& measuredStart, std::string& failure) {
    const Lock& lk = *lock_;
    const double step = perChip_ / r_ * (1 + lk.resampledPpm * 1e-6);  // capture samples per working sample
    const std::size_t frame = N * static_cast<std::size_t>(r_);
    const auto pad = static_cast<std::uint64_t>(std::ceil(kPadChips * perChip_)) + 64;
    const auto first = static_cast<std::uint64_t>(std::max(0.0, std::floor(lk.start) - static_cast<double>(pad)));
    auto end = static_cast<std::uint64_t>(std::ceil(lk.start + static_cast<double>(frame + 2) * step)) + pad;
    discard(first);
    fill(end);
    // A frame that ends with the capture is read without the samples after it.
    if (base_ + buffer_.size() < end) end = base_ + buffer_.size();
    const double origin = static_cast<double>(base_);
    dsp::CVec slice(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(end - base_));
    // Where the capture's last sample lies, in working samples from the slice's first.
    const double last = static_cast<double>(slice.size() - 1) / step;
    // A frame that ends less than half a sample after the capture (one cut at a frame's end, read
    // on a clock a hair slow) is whole but for that hair: zeros stand beyond the last sample.
    const bool cutAtEnd = ended_ && end == base_ + buffer_.size();
    if (r_ == 1) {
        // At one sample per chip the stages settle the sampling phase themselves; the search is
        // kept to the PN offset and reference locked.
        Options o = options_;
        o.pnOffset = lk.pnOffset;
        o.filter = lk.filter;
        o.phaseEqualizer = lk.equalizer;
        Result r = analyze(slice, o);
        measuredStart = origin + r.frameStartChips * perChip_;
        return r;
    }
    if (cutAtEnd) slice.resize(slice.size() + 4 * static_cast<std::size_t>(std::ceil(step)));
    if (options_.carrierOffsetHz) slice = selectCarrier(slice, *options_.carrierOffsetHz, options_.sampleRate);
    if (!wholeRatio(options_.sampleRate) || lk.resampledPpm != 0)
        slice = toWorkingRate(slice, options_.sampleRate, r_, lk.resampledPpm);
    const double at = (lk.start - origin) / step;
    const auto k0 = static_cast<std::size_t>(std::max(0.0, std::floor(at)));
    if (at + static_cast<double>(frame - 1) > last + 0.5 || k0 + frame > slice.size()) {
        if (ended_) return std::nullopt;  // the capture ends within the frame
        failure = "the samples around the frame foreseen at chip " + dsp::generalText(chipsAt(lk.start), 10) + " ran short";
        return std::nullopt;
    }
    const dsp::CVec window(slice.begin() + static_cast<std::ptrdiff_t>(k0), slice.begin() + static_cast<std::ptrdiff_t>(k0 + frame));
    slice = {};

    const double workRate = r_ * engine::kChipRate;
    Capture capture{&window, workRate, r_, {lk.filter, lk.equalizer}, lk.pnOffset, {}};
    capture.onLock = true;
    Acquired acquired;
    acquired.acquisition.conjugated = lk.conjugated;
    FineAlignment fine;
    fine.chain = {r_, emptyFrame(0, r_, capture.reference, lk.conjugated).filterType, lk.equalizer, lk.conjugated, 0};
    fine.base = emptyFrame(lk.pnOffset, r_, capture.reference, lk.conjugated);
    fine.frequencyHz = lk.frequencyHz;
    AlignmentInput input{&window, 0, workRate, nullptr, nullptr};
    const Alignment foreseen{at - static_cast<double>(k0), lk.frequencyHz};
    // Read through the echoes the first frame showed, and aligned against the reference as they
    // show it: the echoes then move neither the reading nor the timing.
    fine.channel = lk.channel;
    const FrameContent read = readAt(equalized(alignedSpectrum(input, foreseen), lk.channel, r_), fine.chain, lk.pnOffset);
    const engine::FrameArgs made = rebuild(read, fine.base);
    Waveform ref = waveformOf(made, fine.chain, frame);
    const Waveform seen = lk.channel.empty() ? Waveform{} : throughChannel(ref, lk.channel, r_);
    const Waveform& against = lk.channel.empty() ? ref : seen;
    input.reference = &against.samples;
    input.referenceSpectrum = &against.spectrum;
    fine.estimate = align(input, foreseen, 2);
    FrameReading reading{applyAlignment(input, fine.estimate), read, made, std::move(ref.samples)};
    fine.frequencyHz = 0;
    Candidates candidates;
    candidates.chosen = {0, lk.pnOffset, 0};
    Result r = measureStage(capture, acquired, candidates, fine, reading);
    r.sampleRate = options_.sampleRate;
    r.carrierOffsetHz = options_.carrierOffsetHz.value_or(0);
    r.referenceFound = first_->referenceFound;
    r.referencesTried = first_->referencesTried;
    measuredStart = origin + (static_cast<double>(k0) + r.frameStartChips * r_) * step;
    return r;
}

FrameOutcome FrameReader::record(const Result& r, double start, const char* lock) {
    FrameOutcome out;
    out.number = ++number_;
    FrameSummary& s = out.summary;
    s.startChips = chipsAt(start);
    s.pnOffset = r.pnOffset;
    s.frequencyErrorHz = r.frequencyErrorHz;
    s.clockErrorPpm = r.clockErrorPpm;
    s.rho = r.rho;
    s.rhoPilot = r.rhoPilot;
    s.evmRmsPercent = r.evmRmsPercent;
    s.lock = lock;
    s.warnings = r.warnings;
    if (!first_) first_ = r;
    else
        for (const std::string& w : r.warnings) notes_.push_back("frame " + std::to_string(out.number) + ": " + w);
    if (std::string(lock) == "reacquired")
        notes_.push_back("frame " + std::to_string(out.number) + ": the lock was lost; the frame was searched for again");
    sums_.add(r);
    frames_.push_back(s);
    return out;
}

std::optional<FrameOutcome> FrameReader::next() {
    if (done_ || (maxFrames_ && number_ >= *maxFrames_)) return std::nullopt;
    std::string failure;
    if (!lock_ || lost_) {
        const bool again = first_.has_value();
        const auto from = static_cast<std::uint64_t>(std::max(0.0, std::floor(searchAt_)));
        std::optional<Result> r = search(from, failure);
        if (!r) {
            if (failure.empty()) {
                done_ = true;
                return std::nullopt;
            }
            // Nothing here: a frame later the search is made again.
            FrameOutcome out;
            out.number = ++number_;
            out.summary.startChips = chipsAt(static_cast<double>(from));
            out.summary.lock = "none";
            out.failure = failure;
            notes_.push_back("frame " + std::to_string(out.number) + ": no frame read at chip " +
                             dsp::generalText(out.summary.startChips, 10) + ": " + failure);
            FrameSummary place = out.summary;
            place.warnings = {failure};
            frames_.push_back(place);
            searchAt_ = static_cast<double>(from) + frameSamples();
            return out;
        }
        lost_ = false;
        if (r->cyclic) done_ = true;
        const double start = lock_->start;
        lock_->start += frameSamples();
        return record(*r, start, again ? "reacquired" : "acquired");
    }
    const double foreseen = lock_->start;
    double measured = foreseen;
    std::optional<Result> r;
    try {
        r = readOnLock(measured, failure);
    } catch (const std::runtime_error& e) {
        failure = e.what();
    }
    const double moved = measured - foreseen;
    if (!r || r->rhoPilot < kLostRhoPilot || std::abs(moved) > kLostChips * perChip_) {
        if (!r && failure.empty()) {
            done_ = true;
            return std::nullopt;
        }
        lost_ = true;
        searchAt_ = foreseen;
        return next();
    }
    // The start a frame after the last one measured is the clock's own error over that frame.
    Lock& lk = *lock_;
    if (r_ >= 2) lk.clockPpm += moved / (static_cast<double>(N) * perChip_) * 1e6;
    lk.frequencyHz = r->frequencyErrorHz;
    lk.start = measured + frameSamples();
    if (r_ >= 2) r->clockErrorPpm = lk.clockPpm;
    // The samples are brought onto a new clock only when the old one would drift by a few
    // thousandths of a chip over the frame (the resampler's design is then reused).
    if (std::abs(lk.clockPpm - lk.resampledPpm) * 1e-6 * static_cast<double>(N) > kClockSettledChips)
        lk.resampledPpm = lk.clockPpm;
    return record(*r, measured, "kept");
}

double FrameReader::frameSamples() const {
    return static_cast<double>(N) * perChip_ * (1 + (lock_ ? lock_->clockPpm : 0) * 1e-6);
}

Result FrameReader::summary() const {
    if (!first_) throw std::logic_error("no frame read");
    Result s = *first_;
    const auto n = static_cast<double>(sums_.frames);
    s.frequencyErrorHz = sums_.frequencyHz / n;
    s.clockErrorPpm = sums_.clockPpm / n;
    s.rho = sums_.rho / n;
    s.rhoPilot = sums_.rhoPilot / n;
    s.rhoWholeFrame = sums_.rhoWhole / n;
    s.rhoEqualized = sums_.rhoEqualized / n;
    s.evmRmsPercent = std::sqrt(sums_.evmSquared / n);
    s.evmRmsPercentWholeFrame = std::sqrt(sums_.evmWholeSquared / n);
    s.evmPeakPercent = sums_.evmPeak;
    s.iqOffsetDbc = 10 * std::log10(sums_.iqOffset / n);
    s.iqGainImbalanceDb = sums_.gainImbalanceDb / n;
    s.iqQuadratureErrorDeg = sums_.quadratureDeg / n;
    s.frames = frames_;
    for (std::size_t i = 0; i < notes_.size() && i < kNotesListed; ++i) s.warnings.push_back(notes_[i]);
    if (notes_.size() > kNotesListed)
        s.warnings.push_back(std::to_string(notes_.size() - kNotesListed) + " more doubts in other frames (see frames)");
    return s;
}

Result analyzeFrames(const dsp::CVec& samples, const Options& options, std::optional<std::size_t> maxFrames) {
    std::size_t at = 0;
    FrameReader reader(
        [&](dsp::cplx* out, std::size_t n) {
            const std::size_t taken = std::min(n, samples.size() - at);
            std::copy_n(samples.begin() + static_cast<std::ptrdiff_t>(at), taken, out);
            at += taken;
            return taken;
        },
        options, maxFrames);
    while (reader.next()) {
    }
    return reader.summary();
}

}  // namespace analyzer
