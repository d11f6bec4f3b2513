#pragma once
// The transmitter's I/Q modulator errors, seen against the rebuilt reference.
#include "dsp/types.h"

namespace analyzer {

struct IqErrors {
    double offsetDbc = 0;          // origin (DC) offset over the signal's power
    double gainImbalanceDb = 0;    // I gain over Q gain
    double quadratureErrorDeg = 0; // Q's angle from I minus 90 degrees
};

// z: aligned samples, sample t taken at capture sample first + ((t + delay) mod size), with the
// frequency `frequencyHz` removed from there at `sampleRate`; ref: the reference under them.
// Fitted as x = a s + b conj(s) + c on the samples as captured, the frequency put back exactly:
// the modulator's errors turn with the carrier, not with the signal, and a phase left on x would
// turn b against a. The MAC bursts are left out: the channel gains read from them take up part
// of the image, and the reference would hide it.
IqErrors iqErrors(const dsp::CVec& z, const dsp::CVec& ref, int r, double first, double delay, double frequencyHz,
                  double sampleRate);

}  // namespace analyzer
