#include "analyzer/analysis.h"

#include <cmath>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "analyzer/frame_layout.h"
#include "analyzer/stages.h"
#include "dsp/number_text.h"

namespace analyzer {

namespace {

constexpr int kMaxRate = 64;

std::string number(double v) { return dsp::generalText(v, 10); }

int checkedRatio(double sampleRate) {
    const double r = sampleRate / engine::kChipRate;
    const double whole = std::round(r);
    if (!std::isfinite(r) || whole < 1 || whole > kMaxRate || std::abs(r - whole) > 1e-9 * whole)
        throw std::runtime_error("the sample rate " + number(sampleRate) +
                                 " Hz is not a whole multiple (1 to 64) of the chip rate 1228800 Hz");
    return static_cast<int>(whole);
}

void checkCapture(const dsp::CVec& samples, const Options& options, int r) {
    if (options.pnOffset && (*options.pnOffset < 0 || *options.pnOffset > 511))
        throw std::runtime_error("the PN offset " + std::to_string(*options.pnOffset) + " is not in 0..511");
    const std::size_t frame = kChipsPerFrame * static_cast<std::size_t>(r);
    if (samples.size() < frame)
        throw std::runtime_error("the capture holds " + std::to_string(samples.size()) + " samples; one frame at " +
                                 number(options.sampleRate) + " Hz takes " + std::to_string(frame));
    for (std::size_t t = 0; t < samples.size(); ++t)
        if (!std::isfinite(std::norm(samples[t])))
            throw std::runtime_error("sample " + std::to_string(t + 1) + " is not a finite number");
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

Result analyze(const dsp::CVec& samples, const Options& options) {
    const int r = checkedRatio(options.sampleRate);
    checkCapture(samples, options, r);
    Capture capture{&samples, options.sampleRate, r, {}, options.pnOffset};

    std::vector<Reference> candidates;
    for (ReferenceFilter f : kReferenceFilters)
        for (bool eq : {true, false})
            if (options.filter.value_or(f) == f && options.phaseEqualizer.value_or(eq) == eq) candidates.push_back({f, eq});
    if (candidates.size() == 1) {
        capture.reference = candidates.front();
        return readCapture(capture);
    }
    // Each reference reads the samples anew; the one whose waveform the capture fits best wins.
    std::optional<Result> best;
    std::exception_ptr firstFailure;
    for (const Reference& c : candidates) {
        try {
            capture.reference = c;
            Result res = readCapture(capture);
            if (!best || res.rho > best->rho) best = std::move(res);
        } catch (const std::runtime_error&) {
            if (!firstFailure) firstFailure = std::current_exception();
        }
    }
    if (!best) std::rethrow_exception(firstFailure);
    best->referenceFound = true;
    best->referencesTried = static_cast<int>(candidates.size());
    return *best;
}

}  // namespace analyzer
