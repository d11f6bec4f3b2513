#pragma once
// One reading of a capture against one reference transmitter, as a chain of stages: acquire,
// coarse alignment, candidates, fine alignment, read, measure. Each stage takes what the stages
// before it returned and returns its own struct, so a stage can be refined or repeated without
// touching the others.
#include <cstddef>
#include <optional>
#include <vector>

#include "analyzer/acquisition.h"
#include "analyzer/alignment.h"
#include "analyzer/analysis.h"
#include "analyzer/channel.h"
#include "analyzer/chips.h"
#include "analyzer/content.h"
#include "analyzer/result.h"
#include "dsp/types.h"
#include "engine/frame.h"

namespace analyzer {

// The reference transmitter the capture is read against.
struct Reference {
    ReferenceFilter filter;
    bool equalizer;
};

// What every stage reads: the samples (at least one frame), their rate R x 1228800, the reference.
struct Capture {
    const dsp::CVec* samples = nullptr;
    double sampleRate = 0;
    int r = 1;
    Reference reference;
    std::optional<int> pnOffset;  // the one asked for; searched when absent
    std::optional<Acquisition> acquisition;  // of the first frame's worth, when found beforehand
    bool multipath = true;  // echoes looked for, read through and reported
    // A further frame read on the lock of the one before: the clock comes from the timing across
    // frames, and other pilots were looked for in the first.
    bool onLock = false;
};

// What a frame carries, read from the chips from some slot on.
struct FrameContent {
    std::vector<SlotReading> slots;  // slot 1 first
    SourceMatch source;
    dsp::Bits bits;  // the traffic bits decided, in the order the frame consumes them
};

// Stage 1: the first frame's worth of samples, where its pilot lies, and the chain and working
// rate the next stages use. Timing, frequency and content are found at two samples per chip,
// which hold the band of the filtered signal; only the final measurement needs every sample.
struct Acquired {
    dsp::CVec first;  // the capture's first frame's worth (32768 R samples)
    Acquisition acquisition;
    int pnOffsetMod16 = 0;  // the PN offset up to a multiple of 16 (which half-slot begins slot 1)
    ChainSettings chain;
    std::size_t work = 2;  // samples per chip while aligning and reading
    std::size_t bins = 0;  // 32768 x work
    double scale = 1;      // R / work
    double workRate = 0;   // Hz
};
Acquired acquireStage(const Capture& capture);

// Stage 2: timing and frequency against the pilot-only reference, good enough to read content.
struct CoarseAlignment {
    Aligned aligned;      // at the working rate
    double chainPhase = 0;  // the chain's phase it settled on (R = 1 only)
    Channel channel;        // seen in the pilot bursts; aligned on its main ray
};
CoarseAlignment coarseAlignmentStage(const Capture& capture, const Acquired& acquired);

// Stage 3: the frame starts the content allows (either pairing of half-slots into slots, every
// slot that may be slot 1), those whose traffic reads best kept; the one chosen is the earliest,
// or the one with the PN offset asked for.
struct Candidate {
    std::size_t firstHalf;  // half-slot of the first reading that begins slot 1
    int pnOffset;
    double startChips;
    std::optional<std::size_t> bitErrors = {};  // of the data source its traffic matches; absent: none
};
struct Candidates {
    std::vector<Candidate> tied;
    std::vector<Candidate> near;  // match a data source, with more errors than the tied ones
    Candidate chosen;
    FrameContent content;  // read from the chosen start
};
Candidates candidatesStage(const Capture& capture, const Acquired& acquired, const CoarseAlignment& coarse);

// Stage 4: the window measured (the capture's first whole frame after the start, or the first
// frame's worth taken as cyclic) aligned against the whole reference rebuilt from the content.
struct FineAlignment {
    dsp::CVec window;
    std::size_t offset = 0;  // the window's first sample in the capture
    bool cyclic = false;
    double frequencyHz = 0;  // found before this stage; the estimate's frequency is on top
    Alignment estimate;      // at the working rate
    ChainSettings chain;     // with the phase settled (R = 1 only)
    engine::FrameArgs base;  // the pilot-only frame at the chosen PN offset
    Channel channel;         // against the whole reference; the estimate is the main ray's
};
FineAlignment fineAlignmentStage(const Capture& capture, const Acquired& acquired, const CoarseAlignment& coarse,
                                 const Candidates& candidates);

// Stage 5: the window aligned at the full rate and read once more.
struct FrameReading {
    Aligned aligned;
    FrameContent content;
    engine::FrameArgs reference;  // rebuilds what was read
    dsp::CVec referenceSamples;   // its waveform at the capture's rate, when already made
};
FrameReading readStage(const Capture& capture, const Acquired& acquired, const Candidates& candidates,
                       const FineAlignment& fine);

// Stage 6: quality against the rebuilt reference, and the result reported. Its clockErrorPpm is
// the drift left in the samples as read.
Result measureStage(const Capture& capture, const Acquired& acquired, const Candidates& candidates,
                    const FineAlignment& fine, const FrameReading& reading);

// What the stages share with a frame read on a lock kept from the frame before.
// A frame with nothing on but the pilot, in the reference transmitter's settings.
engine::FrameArgs emptyFrame(int pnOffset, int r, const Reference& ref, bool conjugated);
// The engine's arguments that rebuild what was read: the data source's own bits where one was
// found, so that the reference carries no bit errors.
engine::FrameArgs rebuild(const FrameContent& f, engine::FrameArgs base);
// The frame read from a spectrum aligned with slot 1 at its start.
FrameContent readAt(const dsp::CVec& spectrum, const ChainSettings& chain, int pnOffset);
// What the chain makes of the frame the arguments describe, kept to its `size` lowest frequencies.
Waveform waveformOf(const engine::FrameArgs& a, const ChainSettings& chain, std::size_t size);
// A reference as the channel between transmitter and capture shows it.
Waveform throughChannel(Waveform w, const Channel& channel, double samplesPerChip);
// Aligned samples' transform with the channel's echoes divided out, for reading the content.
dsp::CVec equalized(dsp::CVec spectrum, const Channel& channel, double samplesPerChip);

// The stages in order.
Result readCapture(const Capture& capture);

}  // namespace analyzer
