#pragma once
// What the analyzer reports of a frame: per slot, the code channels found and their quality;
// for the frame, its timing, frequency, quality and the engine's arguments that rebuild it.
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "analyzer/channel.h"
#include "dsp/types.h"
#include "engine/bursts.h"
#include "engine/frame.h"

namespace analyzer {

enum class Modulation { Idle, Qpsk, Psk8, Qam16 };

constexpr std::size_t kMacCodes = 64;      // Walsh functions of the MAC bursts, on I and on Q
constexpr std::size_t kTrafficCodes = 16;  // Walsh functions of the traffic chips
constexpr int kFirstRpcMacIndex = 5;       // RPC channel k (0-based) is MAC index k + 5
constexpr int kRaMacIndex = 4;

// Where MAC index 0..63 lies: Walsh function (0..63) and branch.
constexpr int macWalshFunction(int macIndex) { return macIndex / 2 + 32 * (macIndex % 2); }
constexpr bool macOnQuadrature(int macIndex) { return macIndex % 2 == 1; }

// A code channel found on: its bit (0/1) and gain in dB relative to the pilot.
struct ChannelReading {
    int bit = 0;
    double gainDb = 0;
};

struct SlotResult {
    bool macActive = false;
    std::optional<ChannelReading> ra;                                 // absent: RA channel off
    std::array<std::optional<ChannelReading>, engine::kRpcChannels> rpc;  // MAC indices 5..63
    Modulation traffic = Modulation::Idle;
    std::optional<double> trafficPowerDb;  // mean chip power of the traffic chips; absent when idle
    std::optional<double> idlePowerDb;     // mean chip power over the idle positions; absent when none
    double rho = 0;                        // waveform quality over the slot's active chips
    double evmRmsPercent = 0;              // over the slot's active chips, against the frame's gain

    // Code-domain powers in dB relative to the pilot, indexed by Walsh function, and which codes
    // carry a channel found on.
    std::array<double, kMacCodes> macCodePowerI{}, macCodePowerQ{};
    std::array<bool, kMacCodes> macCodeOnI{}, macCodeOnQ{};
    std::array<double, kTrafficCodes> trafficCodePower{};
    // The traffic symbols after despreading (1600, chip-rate order), scaled so that the ideal
    // points lie on the modulation's unit-power constellation; empty for an idle slot.
    dsp::CVec constellation;
    // The pilot chips despread (192, ideally 1), and per burst (4) the symbol of each MAC channel
    // found on, on its branch (I or Q), in units of the pilot; ideally +-10^(gain/20).
    dsp::CVec pilotSymbols;
    dsp::CVec macSymbols;
};

// Another way the same samples can be read (a different PN offset and frame start).
struct Reading {
    int pnOffset = 0;
    double frameStartChips = 0;
};

// Another sector's pilot beside the one read.
struct OtherPilot {
    int pnOffset = 0;
    double levelDb = 0;      // its pilot's power relative to the pilot read
    double delayChips = 0;   // its frame start after the one read's, within half a frame
};

// One frame of a capture read frame by frame.
struct FrameSummary {
    double startChips = 0;  // first chip of slot 1, in chips from the capture's first sample
    int pnOffset = 0;
    double frequencyErrorHz = 0;
    double clockErrorPpm = 0;
    double rho = 0;
    double rhoPilot = 0;
    double evmRmsPercent = 0;
    // "acquired" (searched for: the first frame), "kept" (read on the lock of the frame before),
    // "reacquired" (searched for again once the lock was lost) or "none" (searched for in vain
    // here; the warning says why, the figures are 0).
    std::string lock;
    std::vector<std::string> warnings;
};

struct Result {
    double sampleRate = 0;  // Hz
    int oversampling = 0;   // R
    int pnOffset = 0;
    double frameStartChips = 0;  // first chip of slot 1, in chips from the first sample
    double carrierOffsetHz = 0;  // the carrier read, from the capture's centre
    double frequencyErrorHz = 0;
    double phaseRad = 0;          // carrier phase removed at the frame start
    // The capture's sample clock against its stated rate, (true / stated - 1) x 1e6: estimated
    // from the pilot bursts' drift and removed before timing and quality were measured.
    double clockErrorPpm = 0;
    // The transmitter's I/Q errors, from the fit x = a ref + b conj(ref) + c: origin offset
    // |c|^2 over the signal's power, I gain over Q gain, and how far Q lies from 90 degrees of I.
    // Left in rho and EVM, as a transmitter test counts them.
    double iqOffsetDbc = 0;
    double iqGainImbalanceDb = 0;
    double iqQuadratureErrorDeg = 0;
    bool mirrorSpectrum = false;  // the MirrorSpectrum setting that reproduces the capture
    // Measured after the channel filter named, over the active chips (idle positions left out),
    // and over the whole frame beside them.
    std::string channelFilter;
    double rho = 0;
    double rhoPilot = 0;
    double evmRmsPercent = 0;
    double evmPeakPercent = 0;
    // rho against the reference passed through the channel found: the transmitter without the
    // echoes between it and the capture (rho itself counts them, as a transmitter test does).
    double rhoEqualized = 0;
    // The channel relative to its main ray: 33 taps at chip/2 spacing, the main ray (1) in the
    // middle, from 8 chips before it to 8 chips after. Every tap is kept, however small.
    std::vector<dsp::cplx> channel;
    // The same channel as the echoes were found (delay and gain each): what further frames of a
    // capture are read through.
    Channel echoRays;
    double rhoWholeFrame = 0;
    double evmRmsPercentWholeFrame = 0;
    // Power after the channel filter, 16 chips at a time (2048 values, slot 1 first), in dB
    // relative to the pilot.
    dsp::RVec powerDb;
    // The reference was found (the best fit of referencesTried) rather than given.
    bool referenceFound = false;
    int referencesTried = 1;
    std::optional<int> dataSource;  // 1 zeros, 2 ones, 3 0101.., 4 1010.., 5 PN9, 6 PN15; absent: no traffic
    std::optional<std::size_t> dataBitErrors;
    std::size_t dataBits = 0;  // traffic bits the frame carries
    std::array<SlotResult, engine::kSlots> slotResults;
    std::vector<Reading> alternatives;  // by frame start
    // Read as the first 32768 R samples repeating: a capture of one frame, or a longer one that
    // holds no whole frame after the start found.
    bool cyclic = false;
    // The engine's arguments of the reference waveform (recovered content, idle noise off). At
    // R = 1 they say R = 2, the engine's least: the reference is every second sample of that,
    // taken at the capture's sampling phase.
    engine::FrameArgs reference;
    // Pilots of other sectors found at most 20 dB below the one read, strongest first.
    std::vector<OtherPilot> otherPilots;
    // Why the reading may be wrong; empty when it checks out.
    std::vector<std::string> warnings;
    // Every whole frame read, in order, when the capture was read frame by frame; the figures
    // above are then their averages (the content and slots are the first frame's).
    std::vector<FrameSummary> frames;
};

}  // namespace analyzer
