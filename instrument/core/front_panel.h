#pragma once
// What the signal generator panel does on the instrument between downloads: the RF output and
// the waveform player switched on their own, and what the instrument holds read back.
#include <string>
#include <vector>

#include "hwio/link.h"

namespace instrument {

// Switches the RF output or the player, with the playback step's own command lines, then
// returns the instrument to local control.
hwio::Result switchOutput(hwio::Link& link, bool on);
hwio::Result switchPlayer(hwio::Link& link, bool on);

struct ReadBack {
    std::vector<std::string> errors;     // the error queue as it was, oldest first ("-221,\"Settings conflict\"")
    std::vector<std::string> waveforms;  // names in the waveform memory
};
// Empties the instrument's error queue into `errors` and lists its waveform memory. The result
// is the first link failure, else success.
hwio::Result readBack(hwio::Link& link, ReadBack& out);

}  // namespace instrument
