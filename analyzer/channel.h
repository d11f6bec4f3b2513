#pragma once
// A static multipath channel between the transmitter and the capture: the main ray and its
// echoes, found by fitting rays (a delay and a complex gain each) to the capture against a
// reference waveform. Rays are resolved closer than the signal's band would let a plain FIR fit
// tell them apart, and a capture without echoes keeps the main ray alone.
#include <array>
#include <cstddef>
#include <vector>

#include "dsp/types.h"

namespace analyzer {

struct Ray {
    double delayChips = 0;  // after the main ray
    dsp::cplx gain = 0;     // relative to the main ray
};

// The echoes, relative to the main ray (delay 0, gain 1); none when the capture shows none.
struct Channel {
    std::vector<Ray> echoes;
    bool empty() const { return echoes.empty(); }
};

// Echoes are looked for to this many chips either side of the main ray.
constexpr double kEchoSpanChips = 8;
// Taps at chip/2 over +-kEchoSpanChips: tap i lies (i - 16) / 2 chips after the main ray.
constexpr std::size_t kChannelTaps = 33;

struct ChannelFit {
    Channel channel;
    double mainDelayChips = 0;  // where the main ray lies after the alignment the spectrum has
    dsp::cplx mainGain = 0;
};

// `spectrum`: the transform of aligned samples at `samplesPerChip` (2 or more); `reference`: the
// transform of the waveform they are compared with, the same bins. Rays are searched within 16
// chips of the alignment; the strongest is the main ray.
ChannelFit estimateChannel(const dsp::CVec& spectrum, const dsp::CVec& reference, double samplesPerChip);

// The transform of aligned samples (the frame's first chip at the first) with everything but the
// pilot bursts set to zero: the other channels' chips beside the bursts would otherwise pass for
// echoes of the pilot. The capture and its pilot-only reference are both cut so.
dsp::CVec pilotBurstsSpectrum(const dsp::CVec& samples, std::size_t samplesPerChip);

// The channel's response on the bins of a transform at `samplesPerChip`, multiplied in
// (a reference as the channel shows it) or divided out (a capture with its echoes removed).
void applyChannel(dsp::CVec& spectrum, const Channel& channel, double samplesPerChip);
void equalizeChannel(dsp::CVec& spectrum, const Channel& channel, double samplesPerChip);

// The channel as taps at chip/2 (kChannelTaps, the main ray in the middle): each ray
// band-limited to the taps' rate, so that a ray between two taps shows in both.
std::array<dsp::cplx, kChannelTaps> channelTaps(const Channel& channel);

// A tap of those beside the main ray worth naming: where, how strong and at what phase.
struct Echo {
    double delayChips = 0;  // after the main ray
    double levelDb = 0;     // relative to it
    double phaseDeg = 0;
};
// The taps (kChannelTaps, the main ray in the middle) at `leastDb` or stronger, in order of delay.
inline constexpr double kEchoShownDb = -30;
std::vector<Echo> echoesOf(const std::vector<dsp::cplx>& taps, double leastDb = kEchoShownDb);

}  // namespace analyzer
