#include "analyzer/analysis.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <limits>
#include <stdexcept>
#include <string>

#include "analyzer/acquisition.h"
#include "analyzer/alignment.h"
#include "analyzer/chips.h"
#include "analyzer/content.h"
#include "analyzer/frame_layout.h"
#include "analyzer/measures.h"

namespace analyzer {

namespace {

constexpr int kMaxRate = 64;
constexpr std::size_t N = kFrameChips;

std::string number(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.10g", v);
    return buf;
}

int checkedRatio(double sampleRate) {
    const double r = sampleRate / engine::kChipRate;
    const double whole = std::round(r);
    if (!std::isfinite(r) || whole < 1 || whole > kMaxRate || std::abs(r - whole) > 1e-9 * whole)
        throw std::runtime_error("the sample rate " + number(sampleRate) +
                                 " Hz is not a whole multiple (1 to 64) of the chip rate 1228800 Hz");
    return static_cast<int>(whole);
}

engine::FilterKind kindOf(ReferenceFilter f) {
    switch (f) {
        case ReferenceFilter::Standard: return engine::FilterKind::Is95Std;
        case ReferenceFilter::Rectangular: return engine::FilterKind::Rectangular;
        case ReferenceFilter::Acp: break;
    }
    return engine::FilterKind::Is95Acp;
}

double filterTypeOf(ReferenceFilter f) {
    switch (f) {
        case ReferenceFilter::Rectangular: return 1;
        case ReferenceFilter::Standard: return 2;
        case ReferenceFilter::Acp: break;
    }
    return 3;
}

// A frame with nothing on but the pilot, in the reference transmitter's settings. The engine
// oversamples by 2 at least: at R = 1 the reference is every second sample of its R = 2 frame
// (at the capture's sampling phase).
struct Reference {
    ReferenceFilter filter;
    bool equalizer;
};

engine::FrameArgs emptyFrame(int pnOffset, int r, const Reference& ref, bool conjugated) {
    engine::FrameArgs a;
    a.PilotOffsetIndex = pnOffset;
    a.IdleSlotGainActive = 0;
    a.oversamplingRate = std::max(r, 2);
    a.filterType = filterTypeOf(ref.filter);
    a.phaseEqActive = ref.equalizer ? 1 : 0;
    a.mirrorSpectrum = conjugated ? 0 : 1;
    return a;
}

struct FrameContent {
    std::vector<SlotReading> slots;  // slot 1 first
    SourceMatch source;
    dsp::Bits bits;  // the traffic bits decided, in the order the frame consumes them
};

FrameContent readFrame(const std::vector<SlotReading>& slots, std::size_t firstSlot) {
    FrameContent f;
    for (std::size_t j = 0; j < engine::kSlots; ++j) {
        f.slots.push_back(slots[(firstSlot + j) % engine::kSlots]);
        f.bits.insert(f.bits.end(), f.slots.back().bits.begin(), f.slots.back().bits.end());
    }
    f.source = matchSource(f.bits);
    return f;
}

// The engine's arguments that rebuild what was read: the data source's own bits where one was
// found, so that the reference carries no bit errors.
engine::FrameArgs rebuild(const FrameContent& f, engine::FrameArgs a) {
    for (std::size_t j = 0; j < engine::kSlots; ++j) {
        const SlotReading& s = f.slots[j];
        a.DATAactive[j] = s.format != 0 ? 1 : 0;
        a.DATAformat[j] = s.format != 0 ? s.format : 1;
        a.RAactive[j] = s.result.ra ? 1 : 0;
        if (s.result.ra) a.RAbit[j] = s.result.ra->bit, a.RAgain[j] = s.result.ra->gainDb;
        bool anyRpc = false;
        for (std::size_t k = 0; k < engine::kRpcChannels; ++k) {
            const auto& c = s.result.rpc[k];
            if (!c) continue;
            anyRpc = true;
            a.RPCactive(j, k) = 1;
            a.RPCbits(j, k) = c->bit;
            a.RPCgains(j, k) = c->gainDb;
        }
        a.RPCchnActive[j] = anyRpc ? 1 : 0;
    }
    a.DATAbits = f.source.source ? sourceBits(*f.source.source, f.bits.size()) : f.bits;
    return a;
}

std::vector<SlotReading> readSlots(const dsp::CVec& content, std::size_t parity) {
    std::vector<SlotReading> slots;
    for (std::size_t j = 0; j < engine::kSlots; ++j) slots.push_back(readSlot(content, parity + 2 * j));
    return slots;
}

// Into [-0.5, 32767.5) chips: a start a hair before the first sample is not a frame later.
double wrapStart(double chips) {
    const double n = static_cast<double>(N);
    double w = std::fmod(chips, n);
    if (w < -0.5) w += n;
    if (w >= n - 0.5) w -= n;
    return w;
}

struct Candidate {
    std::size_t firstHalf;  // half-slot of the first reading that begins slot 1
    int pnOffset;
    double startChips;
};

}  // namespace

int macWalshFunction(int macIndex) { return macIndex / 2 + 32 * (macIndex % 2); }
bool macOnQuadrature(int macIndex) { return macIndex % 2 == 1; }

Options optionsFor(const engine::FrameArgs& args) {
    Options o;
    o.sampleRate = args.oversamplingRate * engine::kChipRate;
    switch (engine::filterKind(args.filterType)) {
        case engine::FilterKind::Rectangular: o.filter = ReferenceFilter::Rectangular; break;
        case engine::FilterKind::Is95Std: o.filter = ReferenceFilter::Standard; break;
        case engine::FilterKind::Is95Acp: o.filter = ReferenceFilter::Acp; break;
    }
    o.phaseEqualizer = args.phaseEqActive == 1.0;
    return o;
}

namespace {

// One reading of the samples against one reference transmitter.
Result analyzeWith(const dsp::CVec& samples, const Options& options, const Reference& reference, int r) {
    const auto ratio = static_cast<std::size_t>(r);
    const std::size_t frame = N * ratio;
    const double fs = options.sampleRate;
    const dsp::CVec first(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(frame));
    const Acquisition acq = acquire(first, r);
    const int k0 = static_cast<int>(((acq.halfSlotStart + N - acq.codePhase) % N) / 64);
    ChainSettings chain{r, kindOf(reference.filter), reference.equalizer, acq.conjugated};

    // Timing, frequency and content are found at two samples per chip, which hold the band of the
    // filtered signal; only the final measurement needs every sample.
    const std::size_t work = std::min<std::size_t>(ratio, 2);
    const std::size_t bins = N * work;
    const double scale = static_cast<double>(ratio) / static_cast<double>(work);
    const double workRate = fs / scale;
    auto waveformOf = [&](const engine::FrameArgs& a, std::size_t size) {
        return chainWaveform(engine::frameChips(a), chain, size);
    };

    // Pilot-only reference: timing and frequency good enough to read the content.
    const dsp::CVec firstBand = derotatedBand({&first, 0, fs}, acq.frequencyHz, bins);
    const engine::FrameArgs pilotArgs = emptyFrame(k0, r, reference, acq.conjugated);
    Waveform pilotRef = waveformOf(pilotArgs, bins);
    const AlignmentInput coarseInput{&firstBand, 0, workRate, &pilotRef.samples, &pilotRef.spectrum};
    const Alignment start{static_cast<double>(acq.halfSlotStart * ratio + acq.sampleShift) / scale, 0.0};
    // At one sample per chip a fractional delay cannot be undone on the samples (their band
    // overflows the sample rate): the reference is sampled where the capture was instead. The
    // delay an alignment finds left then moves into the chain's phase, scaled by the secant of
    // the last two moves: where a chip's images overlap, a moved phase shows as much less delay
    // than it is.
    auto settle = [&](const AlignmentInput& in, Waveform& ref, const engine::FrameArgs& args, Alignment a) {
        double lastPhase = 0, lastLeft = 0;
        for (int pass = 0; r == 1 && pass < 12; ++pass) {
            const double whole = std::round(a.delay), left = whole - a.delay;
            double step = left;
            if (pass > 0 && left != lastLeft) step = std::clamp(left * (chain.phase - lastPhase) / (lastLeft - left), -0.5, 0.5);
            lastPhase = chain.phase, lastLeft = left;
            chain.phase += step;
            a.delay = whole;
            if (std::abs(step) < 1e-6) break;
            ref = waveformOf(args, bins);
            a = align(in, a, 1);
        }
        return a;
    };
    const Alignment found = settle(coarseInput, pilotRef, pilotArgs, align(coarseInput, start, 3, 2 * work));
    const Aligned coarse = applyAlignment(coarseInput, found);
    // Where the frame starts, in chips, for a delay in samples at the working rate.
    auto startOf = [&](double delaySamples, double rate) { return delaySamples / rate - chain.phase; };

    // Both ways of pairing half-slots into slots, and every slot that may be slot 1.
    const dsp::CVec content = pilotRelativeContent(chipsFromSpectrum(coarse.spectrum, chain), k0);
    std::vector<SlotReading> byParity[2] = {readSlots(content, 0), readSlots(content, 1)};
    double misfit[2] = {0, 0}, energy = 0;
    for (std::size_t p = 0; p < 2; ++p)
        for (const auto& s : byParity[p]) misfit[p] += s.misfit;
    for (const auto& c : content) energy += std::norm(c);
    const double fewest = std::min(misfit[0], misfit[1]);
    const double firstStart = startOf(coarse.alignment.delay, static_cast<double>(work));
    std::vector<Candidate> tied;
    std::size_t bestRank = std::numeric_limits<std::size_t>::max();
    bool any = false;
    for (std::size_t p = 0; p < 2; ++p) {
        if (misfit[p] > fewest * 1.05 + 1e-9 * energy) continue;
        for (std::size_t i = 0; i < engine::kSlots; ++i) {
            const FrameContent f = readFrame(byParity[p], i);
            const std::size_t rank = f.source.source ? f.source.errors : std::numeric_limits<std::size_t>::max();
            if (any && rank > bestRank) continue;
            if (!any || rank < bestRank) tied.clear();
            any = true;
            bestRank = rank;
            const std::size_t half = p + 2 * i;
            tied.push_back({half, static_cast<int>((static_cast<std::size_t>(k0) + 16 * half) % 512),
                            wrapStart(firstStart + static_cast<double>(half * kHalfSlotChips))});
        }
    }
    auto chosen = std::min_element(tied.begin(), tied.end(),
                                   [](const Candidate& a, const Candidate& b) { return a.startChips < b.startChips; });
    if (options.pnOffset) {
        chosen = std::find_if(tied.begin(), tied.end(), [&](const Candidate& c) { return c.pnOffset == *options.pnOffset; });
        if (chosen == tied.end()) {
            if ((*options.pnOffset - k0) % 16 != 0)
                throw std::runtime_error("no pilot with PN offset " + std::to_string(*options.pnOffset) +
                                         " found in the samples");
            throw std::runtime_error("the samples do not read as a frame with PN offset " +
                                     std::to_string(*options.pnOffset));
        }
    }
    const Candidate primary = *chosen;
    const FrameContent firstReading = readFrame(byParity[primary.firstHalf % 2], primary.firstHalf / 2);
    engine::FrameArgs base = emptyFrame(primary.pnOffset, r, reference, acq.conjugated);

    // Against the whole reference: the capture's first whole frame after the start; failing that,
    // the one a frame earlier when it begins a hair before the first sample; otherwise the first
    // frame's worth, taken as cyclic (the generator's output repeats).
    const double frequency = acq.frequencyHz + coarse.alignment.frequencyHz;
    double delay = std::fmod(coarse.alignment.delay * scale + static_cast<double>(primary.firstHalf * kHalfSlotChips * ratio),
                             static_cast<double>(frame));
    std::size_t offset = 0;
    dsp::CVec window = first;
    bool cyclic = samples.size() == frame;
    if (samples.size() > frame) {
        if (static_cast<std::size_t>(delay) + frame <= samples.size()) {
            offset = static_cast<std::size_t>(delay);
            window.assign(samples.begin() + static_cast<std::ptrdiff_t>(offset),
                          samples.begin() + static_cast<std::ptrdiff_t>(offset + frame));
            delay -= static_cast<double>(offset);
        } else {
            cyclic = wrapStart(startOf(delay, r)) >= 0;
        }
    }
    auto read = [&](const dsp::CVec& spectrum) {
        return readFrame(readSlots(pilotRelativeContent(chipsFromSpectrum(spectrum, chain), primary.pnOffset), 0), 0);
    };
    // Aligned against the reference, read again, and once more against the reference made from
    // that reading: a reading the pilot-only alignment got slightly wrong would otherwise bias
    // the alignment it is measured with.
    const dsp::CVec band = derotatedBand({&window, offset, fs}, frequency, bins);
    engine::FrameArgs made = rebuild(firstReading, base);
    Waveform ref = waveformOf(made, bins);
    const AlignmentInput fineInput{&band, 0, workRate, &ref.samples, &ref.spectrum};
    Alignment estimate = settle(fineInput, ref, made, align(fineInput, {delay / scale, 0.0}, 2));
    made = rebuild(read(applyAlignment(fineInput, estimate).spectrum), base);
    ref = waveformOf(made, bins);
    estimate = settle(fineInput, ref, made, align(fineInput, estimate, 2));

    // The final reading and the measurement at the full rate.
    Result res;
    const Aligned fine = applyAlignment({&window, offset, fs}, {estimate.delay * scale, frequency + estimate.frequencyHz});
    const FrameContent reading = read(fine.spectrum);
    res.reference = rebuild(reading, base);
    const Quality q = measureQuality(fine.samples, waveformOf(res.reference, frame).samples, r, activeChips(res.reference));

    res.sampleRate = fs;
    res.oversampling = r;
    res.pnOffset = primary.pnOffset;
    // The delay is cyclic within the window: a start a hair before the window's first sample is
    // not a frame later.
    res.frameStartChips = static_cast<double>(offset) / r + wrapStart(startOf(fine.alignment.delay, r));
    res.cyclic = cyclic;
    res.frequencyErrorHz = fine.alignment.frequencyHz;
    res.phaseRad = std::arg(q.gain);
    res.mirrorSpectrum = !acq.conjugated;
    res.channelFilter = channelFilterName(r);
    res.rho = q.rho;
    res.rhoPilot = q.rhoPilot;
    res.evmRmsPercent = q.evmRmsPercent;
    res.evmPeakPercent = q.evmPeakPercent;
    res.rhoWholeFrame = q.rhoWholeFrame;
    res.evmRmsPercentWholeFrame = q.evmRmsPercentWholeFrame;
    res.powerDb = q.powerDb;
    res.dataSource = reading.source.source;
    if (reading.source.source) res.dataBitErrors = reading.source.errors;
    res.dataBits = reading.bits.size();
    for (std::size_t j = 0; j < engine::kSlots; ++j) {
        res.slotResults[j] = reading.slots[j].result;
        res.slotResults[j].rho = q.slotRho[j];
        res.slotResults[j].evmRmsPercent = q.slotEvmRmsPercent[j];
    }
    for (const Candidate& c : tied) {
        if (c.firstHalf == primary.firstHalf) continue;
        const double shift = static_cast<double>((c.firstHalf + kHalfSlots - primary.firstHalf) % kHalfSlots * kHalfSlotChips);
        res.alternatives.push_back({c.pnOffset, wrapStart(res.frameStartChips + shift)});
    }
    std::sort(res.alternatives.begin(), res.alternatives.end(),
              [](const Reading& a, const Reading& b) { return a.frameStartChips < b.frameStartChips; });
    return res;
}

}  // namespace

Result analyze(const dsp::CVec& samples, const Options& options) {
    const int r = checkedRatio(options.sampleRate);
    if (options.pnOffset && (*options.pnOffset < 0 || *options.pnOffset > 511))
        throw std::runtime_error("the PN offset " + std::to_string(*options.pnOffset) + " is not in 0..511");
    const std::size_t frame = N * static_cast<std::size_t>(r);
    if (samples.size() < frame)
        throw std::runtime_error("the capture holds " + std::to_string(samples.size()) + " samples; one frame at " +
                                 number(options.sampleRate) + " Hz takes " + std::to_string(frame));
    for (std::size_t t = 0; t < samples.size(); ++t)
        if (!std::isfinite(std::norm(samples[t])))
            throw std::runtime_error("sample " + std::to_string(t + 1) + " is not a finite number");

    std::vector<Reference> candidates;
    for (ReferenceFilter f : kReferenceFilters)
        for (bool eq : {true, false})
            if (options.filter.value_or(f) == f && options.phaseEqualizer.value_or(eq) == eq) candidates.push_back({f, eq});
    if (candidates.size() == 1) return analyzeWith(samples, options, candidates.front(), r);
    // Each reference reads the samples anew; the one whose waveform the capture fits best wins.
    std::optional<Result> best;
    std::exception_ptr firstFailure;
    for (const Reference& c : candidates) {
        try {
            Result res = analyzeWith(samples, options, c, r);
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
