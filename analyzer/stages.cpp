#include "analyzer/stages.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "analyzer/channel.h"
#include "analyzer/clock.h"
#include "analyzer/doubts.h"
#include "analyzer/frame_layout.h"
#include "analyzer/iq_impairments.h"
#include "analyzer/measures.h"
#include "analyzer/other_pilots.h"
#include "dsp/fft.h"

namespace analyzer {

namespace {

constexpr std::size_t N = kChipsPerFrame;
constexpr double kRivalEcho = 0.794;  // -1 dB

engine::FilterKind kindOf(ReferenceFilter f) {
    switch (f) {
        case ReferenceFilter::Standard: return engine::FilterKind::Is95Std;
        case ReferenceFilter::Rectangular: return engine::FilterKind::Rectangular;
        case ReferenceFilter::Acp: break;
    }
    return engine::FilterKind::Is95Acp;
}

std::size_t frameSamples(const Capture& c) { return N * static_cast<std::size_t>(c.r); }

}  // namespace

// A frame with nothing on but the pilot, in the reference transmitter's settings. The engine
// oversamples by 2 at least: at R = 1 the reference is every second sample of its R = 2 frame
// (at the capture's sampling phase).
engine::FrameArgs emptyFrame(int pnOffset, int r, const Reference& ref, bool conjugated) {
    engine::FrameArgs a;
    a.PilotOffsetIndex = pnOffset;
    a.IdleSlotGainActive = false;
    a.oversamplingRate = std::max(r, 2);
    a.filterType = kindOf(ref.filter);
    a.phaseEqActive = ref.equalizer;
    a.mirrorSpectrum = !conjugated;
    return a;
}

namespace {

FrameContent readFrame(const std::vector<SlotReading>& slots, std::size_t firstSlot) {
    FrameContent f;
    for (std::size_t j = 0; j < engine::kSlots; ++j) {
        f.slots.push_back(slots[(firstSlot + j) % engine::kSlots]);
        f.bits.insert(f.bits.end(), f.slots.back().bits.begin(), f.slots.back().bits.end());
    }
    f.source = matchSource(f.bits);
    return f;
}

}  // namespace

engine::FrameArgs rebuild(const FrameContent& f, engine::FrameArgs a) {
    for (std::size_t j = 0; j < engine::kSlots; ++j) {
        const SlotReading& s = f.slots[j];
        a.DATAactive[j] = s.format != 0;
        a.DATAformat[j] = s.format != 0 ? static_cast<engine::Modulation>(s.format) : engine::Modulation::Qpsk;
        a.RAactive[j] = s.result.ra.has_value();
        if (s.result.ra) a.RAbit[j] = s.result.ra->bit != 0, a.RAgain[j] = s.result.ra->gainDb;
        bool anyRpc = false;
        for (std::size_t k = 0; k < engine::kRpcChannels; ++k) {
            const auto& c = s.result.rpc[k];
            if (!c) continue;
            anyRpc = true;
            a.RPCactive[j][k] = true;
            a.RPCbits[j][k] = c->bit != 0;
            a.RPCgains[j][k] = c->gainDb;
        }
        a.RPCchnActive[j] = anyRpc;
    }
    a.DATAbits = f.source.source ? sourceBits(*f.source.source, f.bits.size()) : f.bits;
    return a;
}

namespace {

std::vector<SlotReading> readSlots(const dsp::CVec& content, std::size_t parity) {
    std::vector<SlotReading> slots;
    for (std::size_t j = 0; j < engine::kSlots; ++j) slots.push_back(readSlot(content, parity + 2 * j));
    return slots;
}

}  // namespace

FrameContent readAt(const dsp::CVec& spectrum, const ChainSettings& chain, int pnOffset) {
    return readFrame(readSlots(pilotRelativeContent(chipsFromSpectrum(spectrum, chain), pnOffset), 0), 0);
}

namespace {

// Into [-0.5, 32767.5) chips: a start a hair before the first sample is not a frame later.
double wrapStart(double chips) {
    const double n = static_cast<double>(N);
    double w = std::fmod(chips, n);
    if (w < -0.5) w += n;
    if (w >= n - 0.5) w -= n;
    return w;
}

// Where the frame starts, in chips, for a delay in samples at `rate` samples per chip.
double startOf(double delaySamples, double rate, const ChainSettings& chain) {
    return delaySamples / rate - chain.phase;
}

}  // namespace

Waveform waveformOf(const engine::FrameArgs& a, const ChainSettings& chain, std::size_t size) {
    return chainWaveform(engine::frameChips(a), chain, size);
}

// A reference as the channel between transmitter and capture shows it.
Waveform throughChannel(Waveform w, const Channel& channel, double samplesPerChip) {
    if (channel.empty()) return w;
    applyChannel(w.spectrum, channel, samplesPerChip);
    w.samples = w.spectrum;
    dsp::ifft(w.samples);
    return w;
}

// Aligned samples' transform with the channel's echoes divided out, for reading the content.
dsp::CVec equalized(dsp::CVec spectrum, const Channel& channel, double samplesPerChip) {
    equalizeChannel(spectrum, channel, samplesPerChip);
    return spectrum;
}

namespace {

// At one sample per chip a fractional delay cannot be undone on the samples (their band
// overflows the sample rate): the reference is sampled where the capture was instead. The delay
// an alignment finds left then moves into the chain's phase, scaled by the secant of the last two
// moves: where a chip's images overlap, a moved phase shows as much less delay than it is. `ref`,
// which `in` points to, is remade at each new phase.
Alignment settle(const AlignmentInput& in, Waveform& ref, const engine::FrameArgs& args, Alignment a, ChainSettings& chain,
                 std::size_t bins) {
    double lastPhase = 0, lastLeft = 0;
    for (int pass = 0; chain.r == 1 && pass < 12; ++pass) {
        const double whole = std::round(a.delay), left = whole - a.delay;
        double step = left;
        if (pass > 0 && left != lastLeft) step = std::clamp(left * (chain.phase - lastPhase) / (lastLeft - left), -0.5, 0.5);
        lastPhase = chain.phase, lastLeft = left;
        chain.phase += step;
        a.delay = whole;
        if (std::abs(step) < 1e-6) break;
        ref = waveformOf(args, chain, bins);
        a = align(in, a, 1);
    }
    return a;
}

// Every start whose traffic matches a data source with as few bit errors as the fewest, within
// their noise (all of them when none matches), from the pairings of half-slots that explain the
// chips about as well as the best; and apart, those that match with more errors.
void rankCandidates(const std::vector<SlotReading> (&byParity)[2], const dsp::CVec& content, int k0, double firstStart,
                    Candidates& out) {
    double misfit[2] = {0, 0}, energy = 0;
    for (std::size_t p = 0; p < 2; ++p)
        for (const auto& s : byParity[p]) misfit[p] += s.misfit;
    for (const auto& c : content) energy += std::norm(c);
    const double fewest = std::min(misfit[0], misfit[1]);
    std::vector<Candidate> all;
    std::optional<std::size_t> fewestErrors;
    for (std::size_t p = 0; p < 2; ++p) {
        if (misfit[p] > fewest * 1.05 + 1e-9 * energy) continue;
        for (std::size_t i = 0; i < engine::kSlots; ++i) {
            const FrameContent f = readFrame(byParity[p], i);
            const std::size_t half = p + 2 * i;
            Candidate c{half, static_cast<int>((static_cast<std::size_t>(k0) + kOffsetsPerHalfSlot * half) % kPilotOffsets),
                        wrapStart(firstStart + static_cast<double>(half * kHalfSlotChips))};
            if (f.source.source) {
                c.bitErrors = f.source.errors;
                fewestErrors = std::min(f.source.errors, fewestErrors.value_or(f.source.errors));
            }
            all.push_back(c);
        }
    }
    for (const Candidate& c : all) {
        if (!fewestErrors || (c.bitErrors && fitsAsWell(*c.bitErrors, *fewestErrors))) out.tied.push_back(c);
        else if (c.bitErrors) out.near.push_back(c);
    }
}

// The earliest start, or the one with the PN offset asked for.
// A start that fits less well than the tied ones is taken only when asked for.
Candidate chooseCandidate(const std::vector<Candidate>& tied, const std::vector<Candidate>& near,
                          const std::optional<int>& pnOffset, int k0) {
    if (!pnOffset)
        return *std::min_element(tied.begin(), tied.end(),
                                 [](const Candidate& a, const Candidate& b) { return a.startChips < b.startChips; });
    for (const auto* list : {&tied, &near})
        for (const Candidate& c : *list)
            if (c.pnOffset == *pnOffset) return c;
    if ((*pnOffset - k0) % static_cast<int>(kOffsetsPerHalfSlot) != 0)
        throw std::runtime_error("no pilot with PN offset " + std::to_string(*pnOffset) + " found in the samples");
    throw std::runtime_error("the samples do not read as a frame with PN offset " + std::to_string(*pnOffset));
}

}  // namespace

Acquired acquireStage(const Capture& capture) {
    const auto ratio = static_cast<std::size_t>(capture.r);
    Acquired a;
    a.first.assign(capture.samples->begin(), capture.samples->begin() + static_cast<std::ptrdiff_t>(frameSamples(capture)));
    a.acquisition = capture.acquisition ? *capture.acquisition : acquire(a.first, capture.r, capture.sampleRate);
    a.pnOffsetMod16 = static_cast<int>(((a.acquisition.halfSlotStart + N - a.acquisition.codePhase) % N) / kPilotOffsetChips);
    a.chain = {capture.r, kindOf(capture.reference.filter), capture.reference.equalizer, a.acquisition.conjugated};
    a.work = std::min<std::size_t>(ratio, 2);
    a.bins = N * a.work;
    a.scale = static_cast<double>(ratio) / static_cast<double>(a.work);
    a.workRate = capture.sampleRate / a.scale;
    return a;
}

CoarseAlignment coarseAlignmentStage(const Capture& capture, const Acquired& acquired) {
    const Acquisition& acq = acquired.acquisition;
    ChainSettings chain = acquired.chain;
    const dsp::CVec firstBand = derotatedBand({&acquired.first, 0, capture.sampleRate}, acq.frequencyHz, acquired.bins);
    const engine::FrameArgs pilotArgs = emptyFrame(acquired.pnOffsetMod16, capture.r, capture.reference, acq.conjugated);
    Waveform pilotRef = waveformOf(pilotArgs, chain, acquired.bins);
    const AlignmentInput input{&firstBand, 0, acquired.workRate, &pilotRef.samples, &pilotRef.spectrum};
    const Alignment start{static_cast<double>(acq.halfSlotStart * static_cast<std::size_t>(capture.r) + acq.sampleShift) / acquired.scale,
                          0.0};
    const Alignment found = settle(input, pilotRef, pilotArgs, align(input, start, 3, 2 * acquired.work), chain, acquired.bins);
    CoarseAlignment out{applyAlignment(input, found), chain.phase, {}};
    // At one sample per chip the band overflows the samples: no echo can be placed within a chip.
    if (chain.r == 1 || !capture.multipath) return out;
    // Echoes pull an alignment against the pilot alone towards them: aligned again on the main
    // ray, against the pilot as the channel shows it.
    const auto work = static_cast<double>(acquired.work);
    const ChannelFit fit = estimateChannel(pilotBurstsSpectrum(out.aligned.samples, acquired.work),
                                           pilotBurstsSpectrum(pilotRef.samples, acquired.work), work);
    if (fit.channel.empty()) return out;
    const Waveform seen = throughChannel(pilotRef, fit.channel, work);
    const AlignmentInput through{&firstBand, 0, acquired.workRate, &seen.samples, &seen.spectrum};
    out.channel = fit.channel;
    out.aligned = applyAlignment(input, align(through, {found.delay + fit.mainDelayChips * work, found.frequencyHz}, 3));
    return out;
}

Candidates candidatesStage(const Capture& capture, const Acquired& acquired, const CoarseAlignment& coarse) {
    ChainSettings chain = acquired.chain;
    chain.phase = coarse.chainPhase;
    const int k0 = acquired.pnOffsetMod16;
    const dsp::CVec content = pilotRelativeContent(
        chipsFromSpectrum(equalized(coarse.aligned.spectrum, coarse.channel, static_cast<double>(acquired.work)), chain), k0);
    const std::vector<SlotReading> byParity[2] = {readSlots(content, 0), readSlots(content, 1)};
    const double firstStart = startOf(coarse.aligned.alignment.delay, static_cast<double>(acquired.work), chain);
    Candidates c;
    rankCandidates(byParity, content, k0, firstStart, c);
    c.chosen = chooseCandidate(c.tied, c.near, capture.pnOffset, k0);
    c.content = readFrame(byParity[c.chosen.firstHalf % 2], c.chosen.firstHalf / 2);
    return c;
}

FineAlignment fineAlignmentStage(const Capture& capture, const Acquired& acquired, const CoarseAlignment& coarse,
                                 const Candidates& candidates) {
    const dsp::CVec& samples = *capture.samples;
    const std::size_t frame = frameSamples(capture);
    const auto ratio = static_cast<std::size_t>(capture.r);
    FineAlignment f;
    f.chain = acquired.chain;
    f.chain.phase = coarse.chainPhase;
    f.base = emptyFrame(candidates.chosen.pnOffset, capture.r, capture.reference, acquired.acquisition.conjugated);

    // Against the whole reference: the capture's first whole frame after the start (or from it,
    // when the start is a hair before the first sample); failing that,
    // the one a frame earlier when it begins a hair before the first sample; otherwise the first
    // frame's worth, taken as cyclic (the generator's output repeats).
    f.frequencyHz = acquired.acquisition.frequencyHz + coarse.aligned.alignment.frequencyHz;
    double delay = std::fmod(coarse.aligned.alignment.delay * acquired.scale +
                                 static_cast<double>(candidates.chosen.firstHalf * kHalfSlotChips * ratio),
                             static_cast<double>(frame));
    f.window = acquired.first;
    f.cyclic = samples.size() == frame;
    if (samples.size() > frame) {
        if (delay > static_cast<double>(frame) - 0.5) {
            // A frame that begins less than half a sample before the first (a capture cut at a
            // frame's start) is whole but for that hair, which is read cyclically.
            f.window.assign(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(frame));
            delay -= static_cast<double>(frame);
        } else if (static_cast<std::size_t>(delay) + frame <= samples.size()) {
            f.offset = static_cast<std::size_t>(delay);
            f.window.assign(samples.begin() + static_cast<std::ptrdiff_t>(f.offset),
                            samples.begin() + static_cast<std::ptrdiff_t>(f.offset + frame));
            delay -= static_cast<double>(f.offset);
        } else {
            f.cyclic = wrapStart(startOf(delay, capture.r, f.chain)) >= 0;
        }
    }
    // Aligned against the reference, read again, and once more against the reference made from
    // that reading: a reading the pilot-only alignment got slightly wrong would otherwise bias
    // the alignment it is measured with.
    // The reference is compared through the channel: the echoes then move neither the alignment
    // nor the reading, and the channel is found again against the whole reference.
    const auto work = static_cast<double>(acquired.work);
    const dsp::CVec band = derotatedBand({&f.window, f.offset, capture.sampleRate}, f.frequencyHz, acquired.bins);
    engine::FrameArgs made = rebuild(candidates.content, f.base);
    Waveform seen = throughChannel(waveformOf(made, f.chain, acquired.bins), coarse.channel, work);
    const AlignmentInput input{&band, 0, acquired.workRate, &seen.samples, &seen.spectrum};
    f.estimate = settle(input, seen, made, align(input, {delay / acquired.scale, 0.0}, 2), f.chain, acquired.bins);
    const Aligned first = applyAlignment(input, f.estimate);
    made = rebuild(readAt(equalized(first.spectrum, coarse.channel, work), f.chain, candidates.chosen.pnOffset), f.base);
    const Waveform ref = waveformOf(made, f.chain, acquired.bins);
    f.channel = coarse.channel;
    if (f.chain.r != 1 && capture.multipath) {
        const ChannelFit fit = estimateChannel(first.spectrum, ref.spectrum, work);
        f.channel = fit.channel;
        if (!fit.channel.empty()) f.estimate.delay += fit.mainDelayChips * work;
    }
    seen = throughChannel(ref, f.channel, work);
    f.estimate = settle(input, seen, made, align(input, f.estimate, 2), f.chain, acquired.bins);
    return f;
}

FrameReading readStage(const Capture& capture, const Acquired& acquired, const Candidates& candidates,
                       const FineAlignment& fine) {
    FrameReading out;
    out.aligned = applyAlignment({&fine.window, fine.offset, capture.sampleRate},
                                 {fine.estimate.delay * acquired.scale, fine.frequencyHz + fine.estimate.frequencyHz});
    out.content = readAt(equalized(out.aligned.spectrum, fine.channel, capture.r), fine.chain, candidates.chosen.pnOffset);
    out.reference = rebuild(out.content, fine.base);
    return out;
}

Result measureStage(const Capture& capture, const Acquired& acquired, const Candidates& candidates,
                    const FineAlignment& fine, const FrameReading& reading) {
    const int r = capture.r;
    // A further frame on a lock comes with its reference made; the channel's view of it needs the
    // transform as well.
    const bool made = !reading.referenceSamples.empty();
    const Waveform full = made && fine.channel.empty() ? Waveform{} : waveformOf(reading.reference, fine.chain, frameSamples(capture));
    const dsp::CVec& reference = made ? reading.referenceSamples : full.samples;
    const std::vector<bool> active = activeChips(reading.reference);
    const Quality q = measureQuality(reading.aligned.samples, reference, r, active);
    // The reference as the channel shows it: what the transmitter sent, echoes included. Clock
    // drift and I/Q errors are fitted against it.
    const dsp::CVec seen = fine.channel.empty() ? reference : throughChannel(full, fine.channel, r).samples;
    const Quality equalizedQ = fine.channel.empty() ? q : measureQuality(reading.aligned.samples, seen, r, active);
    Result res;
    res.reference = reading.reference;
    res.sampleRate = capture.sampleRate;
    res.oversampling = r;
    res.pnOffset = candidates.chosen.pnOffset;
    // The delay is cyclic within the window: a start a hair before the window's first sample is
    // not a frame later.
    res.frameStartChips = static_cast<double>(fine.offset) / r + wrapStart(startOf(reading.aligned.alignment.delay, r, fine.chain));
    res.cyclic = fine.cyclic;
    res.frequencyErrorHz = reading.aligned.alignment.frequencyHz;
    res.phaseRad = std::arg(equalizedQ.gain);  // the main ray's
    if (!capture.onLock) res.clockErrorPpm = clockDriftPpm(reading.aligned.samples, seen, r);
    const IqErrors iq = iqErrors(reading.aligned.samples, seen, r, static_cast<double>(fine.offset), reading.aligned.alignment.delay,
                                 res.frequencyErrorHz, capture.sampleRate);
    res.iqOffsetDbc = iq.offsetDbc;
    res.iqGainImbalanceDb = iq.gainImbalanceDb;
    res.iqQuadratureErrorDeg = iq.quadratureErrorDeg;
    res.mirrorSpectrum = !acquired.acquisition.conjugated;
    res.channelFilter = channelFilterName(r);
    res.rho = q.rho;
    res.rhoPilot = q.rhoPilot;
    res.rhoEqualized = equalizedQ.rho;
    res.echoRays = fine.channel;
    const auto taps = channelTaps(fine.channel);
    res.channel.assign(taps.begin(), taps.end());
    res.evmRmsPercent = q.evmRmsPercent;
    res.evmPeakPercent = q.evmPeakPercent;
    res.rhoWholeFrame = q.rhoWholeFrame;
    res.evmRmsPercentWholeFrame = q.evmRmsPercentWholeFrame;
    res.powerDb = q.powerDb;
    const FrameContent& content = reading.content;
    res.dataSource = content.source.source;
    if (content.source.source) res.dataBitErrors = content.source.errors;
    res.dataBits = content.bits.size();
    for (std::size_t j = 0; j < engine::kSlots; ++j) {
        res.slotResults[j] = content.slots[j].result;
        res.slotResults[j].rho = q.slotRho[j];
        res.slotResults[j].evmRmsPercent = q.slotEvmRmsPercent[j];
    }
    const std::size_t primary = candidates.chosen.firstHalf;
    auto readingOf = [&](const Candidate& c) {
        const double shift = static_cast<double>((c.firstHalf + kHalfSlots - primary) % kHalfSlots * kHalfSlotChips);
        return Reading{c.pnOffset, wrapStart(res.frameStartChips + shift)};
    };
    for (const Candidate& c : candidates.tied)
        if (c.firstHalf != primary) res.alternatives.push_back(readingOf(c));
    std::sort(res.alternatives.begin(), res.alternatives.end(),
              [](const Reading& a, const Reading& b) { return a.frameStartChips < b.frameStartChips; });
    if (!capture.onLock)
        res.otherPilots = findOtherPilots(chipsFromSpectrum(reading.aligned.spectrum, fine.chain),
                                          engine::frameChips(reading.reference), res.pnOffset);
    std::vector<NearReading> near;
    for (const Candidate& c : candidates.near)
        if (c.firstHalf != primary) near.push_back({readingOf(c), *c.bitErrors});
    res.warnings = doubtsOf(res, content.slots, near);
    // An echo about as strong as the main ray may be the direct one: whose frame start is read is open.
    for (const Ray& e : fine.channel.echoes)
        if (std::norm(e.gain) > kRivalEcho) {
            char text[160];
            std::snprintf(text, sizeof text, "an echo %.2f chips from the main ray is about as strong (%.1f dB): the frame start may be the echo's",
                          e.delayChips, 10 * std::log10(std::norm(e.gain)));
            res.warnings.push_back(text);
        }
    return res;
}

Result readCapture(const Capture& capture) {
    const Acquired acquired = acquireStage(capture);
    const CoarseAlignment coarse = coarseAlignmentStage(capture, acquired);
    const Candidates candidates = candidatesStage(capture, acquired, coarse);
    const FineAlignment fine = fineAlignmentStage(capture, acquired, coarse, candidates);
    const FrameReading reading = readStage(capture, acquired, candidates, fine);
    return measureStage(capture, acquired, candidates, fine, reading);
}

}  // namespace analyzer
