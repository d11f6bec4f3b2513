#pragma once
// Several carriers side by side, with calibrated noise and crest-factor reduction: the waveform
// a multi-carrier test plays, made of one frame per carrier, each moved to its offset.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dsp/noise.h"
#include "dsp/types.h"
#include "engine/frame.h"
#include "model/crest_reduction.h"
#include "model/records.h"

namespace model {

constexpr std::size_t kMaxCarriers = 4;
// Frames per second (1228800 chips / 32768): an offset that is a multiple of this loops in one frame.
constexpr double kFrameRateHz = 37.5;
// Each carrier's band (1.25 MHz), which must lie inside the sampled band with 10 % of it to spare.
constexpr double kCarrierBandHz = 1.25e6;
constexpr double kBandSpare = 0.10;
// The ranges of the noise and crest-factor settings.
constexpr double kMinCarrierToNoiseDb = -20, kMaxCarrierToNoiseDb = 60;
constexpr double kMinCrestDb = 3, kMaxCrestDb = 20;
constexpr double kMinCarrierGainDb = -40, kMaxCarrierGainDb = 40;
// The longest waveform a set of offsets may need to loop seamlessly: 2 s, where every whole-Hz
// offset loops; within the instrument's memory.
constexpr int kMaxLoopFrames = 75;
constexpr std::uint64_t kMaxLoopSamples = std::uint64_t(1) << 25;

struct Carrier {
    double offsetHz = 0;
    double gainDb = 0;  // relative to the other carriers
    // The carrier's own settings (a parameter file); absent: the main settings, with
    // `pnOffset` when given.
    std::optional<Parameters> parameters;
    std::optional<int> pnOffset;
};

struct CarrierPlan {
    std::vector<Carrier> carriers;  // empty: one carrier at 0 Hz with the main settings
    std::optional<double> noiseCnDb;
    std::optional<double> crestDb;
    bool quantizeOffsets = false;  // move each offset to the nearest multiple of 37.5 Hz

    bool plain() const;  // one carrier at 0 Hz, no noise, no reduction: the frame as it is
};

struct CarrierWaveform {
    engine::FrameResult frame;  // the whole waveform and the first carrier's markers, repeated
    int frames = 1;             // frames the waveform holds
    std::vector<double> offsetsHz;  // as used
    std::vector<std::string> notes;  // what was changed to make the waveform loop
    std::optional<CrestReduction> crest;
};

// `plan` (a file's) changed by what a command line or script gives: its carriers replace the
// file's when it names any, its noise, crest factor and quantizing each when set.
void overridePlan(CarrierPlan& plan, const CarrierPlan& given);

// A carrier as the command line gives it: "OFFSET_HZ[,GAIN_DB[,PARAMS]]", PARAMS a parameter
// file (.mat or .json) or a whole number, the carrier's PN offset on the main settings. Throws
// std::invalid_argument naming the part that is wrong.
Carrier carrierFrom(const std::string& text);

// The smallest oversampling whose band holds carriers at these offsets.
int smallestOverSampling(const std::vector<double>& offsetsHz);
// The fewest frames after which every offset has turned a whole number of cycles, or nothing
// when more than `maxFrames` would be needed.
std::optional<int> seamlessFrames(const std::vector<double>& offsetsHz, int maxFrames = kMaxLoopFrames);

// Refuses, naming the setting and what it may be: more than four carriers, offsets the
// oversampling cannot hold (naming the smallest that can), offsets that do not loop within
// kMaxLoopFrames (unless quantized), noise or crest targets out of range. `main` is checked by
// the calculation itself.
void checkPlan(const Parameters& main, const CarrierPlan& plan);

// Each carrier's frame (from its settings, with idle noise drawn from a generator seeded with
// `seed` for every carrier, so that a carrier equals the frame calculated alone with that seed),
// repeated and moved to its offset and summed; then noise set as C/N against the first
// carrier's power within 1.2288 MHz, the total power held; then crest-factor reduction.
CarrierWaveform calculateCarriers(const Parameters& main, const CarrierPlan& plan, std::optional<std::uint64_t> seed);

// "3 frames (80 ms), carriers at -1250000, 0 and 1250000 Hz; C/N 20 dB; crest factor 8.00 dB
// after 4 passes (from 10.9 dB), rho 0.9921", and what was changed to make it loop.
std::string carrierSummary(const CarrierWaveform& w, const CarrierPlan& plan);

}  // namespace model
