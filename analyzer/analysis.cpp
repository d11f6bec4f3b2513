#include "analyzer/analysis.h"

#include <cmath>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "analyzer/carrier_select.h"
#include "analyzer/frame_layout.h"
#include "analyzer/resample.h"
#include "analyzer/stages.h"
#include "dsp/number_text.h"

namespace analyzer {

namespace {

// A clock error left over a frame by less than this many chips is not worth another reading.
constexpr double kClockSettledChips = 0.003;
constexpr int kClockPasses = 4;

std::string number(double v) { return dsp::generalText(v, 10); }

void checkCapture(const dsp::CVec& samples, const Options& options) {
    if (options.pnOffset && (*options.pnOffset < 0 || *options.pnOffset > 511))
        throw std::runtime_error("the PN offset " + std::to_string(*options.pnOffset) + " is not in 0..511");
    const auto frame = static_cast<std::size_t>(std::ceil(kChipsPerFrame * options.sampleRate / engine::kChipRate - 1e-6));
    if (samples.size() < frame)
        throw std::runtime_error("the capture holds " + std::to_string(samples.size()) + " samples; one frame at " +
                                 number(options.sampleRate) + " Hz takes " + std::to_string(frame));
    for (std::size_t t = 0; t < samples.size(); ++t)
        if (!std::isfinite(std::norm(samples[t])))
            throw std::runtime_error("sample " + std::to_string(t + 1) + " is not a finite number");
}

// Every reference the options leave open read against the capture; the best fit kept.
Result readReferences(Capture capture, const Options& options) {
    std::vector<Reference> candidates;
    for (ReferenceFilter f : kReferenceFilters)
        for (bool eq : {true, false})
            if (options.filter.value_or(f) == f && options.phaseEqualizer.value_or(eq) == eq) candidates.push_back({f, eq});
    if (candidates.size() == 1) {
        capture.reference = candidates.front();
        return readCapture(capture);
    }
    // Each reference reads the samples anew; the one whose waveform the capture fits best wins.
    // The channel is part of every reference's misfit alike: it is looked for only once the
    // reference is chosen (a wrong filter would pass for echoes, at some cost).
    std::optional<Result> best;
    std::optional<Reference> chosen;
    std::exception_ptr firstFailure;
    capture.multipath = false;
    for (const Reference& c : candidates) {
        try {
            capture.reference = c;
            Result res = readCapture(capture);
            if (!best || res.rho > best->rho) best = std::move(res), chosen = c;
        } catch (const std::runtime_error&) {
            if (!firstFailure) firstFailure = std::current_exception();
        }
    }
    if (!best) std::rethrow_exception(firstFailure);
    capture.multipath = true;
    capture.reference = *chosen;
    try {
        best = readCapture(capture);
    } catch (const std::runtime_error&) {
        // Read without the channel, the reading stands.
    }
    best->referenceFound = true;
    best->referencesTried = static_cast<int>(candidates.size());
    return *best;
}

}  // namespace

Options optionsFor(const engine::FrameArgs& args) {
    Options o;
    o.sampleRate = args.oversamplingRate * engine::kChipRate;
    switch (args.filterType) {
        case engine::FilterKind::Rectangular: o.filter = ReferenceFilter::Rectangular; break;
        case engine::FilterKind::Is95Std: o.filter = ReferenceFilter::Standard; break;
        case engine::FilterKind::Is95Acp: o.filter = ReferenceFilter::Acp; break;
    }
    o.phaseEqualizer = args.phaseEqActive;
    return o;
}

namespace {

Result analyzeCentred(const dsp::CVec& samples, const Options& options) {
    const int r = workingRatio(options.sampleRate);
    const bool whole = wholeRatio(options.sampleRate).has_value();
    const auto frame = static_cast<std::ptrdiff_t>(kChipsPerFrame * static_cast<std::size_t>(r));
    // Other rates, and captures whose clock is off, are read resampled to R x 1228800.
    dsp::CVec resampled;
    const dsp::CVec* work = &samples;
    double clockPpm = 0;
    auto resample = [&] {
        resampled = toWorkingRate(samples, options.sampleRate, r, clockPpm);
        if (resampled.size() < static_cast<std::size_t>(frame)) {
            // A capture of one frame, read as repeating: the samples a fast clock leaves short
            // come from its start.
            dsp::CVec cyclic = samples;
            cyclic.insert(cyclic.end(), samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(
                                                                                 samples.size(), samples.size() / 1000 + 64)));
            resampled = toWorkingRate(cyclic, options.sampleRate, r, clockPpm);
            resampled.resize(static_cast<std::size_t>(frame));
        }
        work = &resampled;
    };
    if (!whole) resample();
    Capture capture{work, r * engine::kChipRate, r, {}, options.pnOffset, {}};
    auto firstFrame = [&] { return dsp::CVec(work->begin(), work->begin() + frame); };
    capture.acquisition = acquire(firstFrame(), r, options.sampleRate);
    // A clock error the pilot's drift showed: the capture read again on an exact clock. At one
    // sample per chip the samples cannot be moved, and the reading is left as taken.
    if (capture.acquisition->clockPpm != 0 && r >= 2) {
        clockPpm = capture.acquisition->clockPpm;
        resample();
        capture.samples = work;
        capture.acquisition = acquire(firstFrame(), r, options.sampleRate);
    }
    Result res;
    for (int pass = 0;; ++pass) {
        res = readReferences(capture, options);
        const double left = res.clockErrorPpm;  // measured on the samples as read
        res.clockErrorPpm = clockPpm + left;
        if (r < 2 || pass + 1 == kClockPasses || std::abs(left) * 1e-6 * kChipsPerFrame < kClockSettledChips) break;
        clockPpm += left;
        resample();
        capture.samples = work;
        capture.acquisition = acquire(firstFrame(), r, options.sampleRate);
    }
    res.sampleRate = options.sampleRate;
    return res;
}

}  // namespace

Result analyze(const dsp::CVec& samples, const Options& options) {
    workingRatio(options.sampleRate);  // refuses a rate outside what is read, before the samples
    checkCapture(samples, options);
    if (!options.carrierOffsetHz) return analyzeCentred(samples, options);
    Result r = analyzeCentred(selectCarrier(samples, *options.carrierOffsetHz, options.sampleRate), options);
    r.carrierOffsetHz = *options.carrierOffsetHz;
    return r;
}

}  // namespace analyzer
