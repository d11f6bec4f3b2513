#pragma once
// Putting a waveform on the signal generator (download) and making it play with the user's
// carrier and playback settings (the playback command lines).
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "model/records.h"
#include "dsp/types.h"
#include "hwio/link.h"

namespace instrument {

// A question dialog: title, text, buttons, default button -> the button pressed, or "" when closed.
using Question = std::function<std::string(const std::string&, const std::string&, const std::vector<std::string>&,
                                           const std::string&)>;

// Minutes a serial transfer of `samples` takes at `baud` (32 bits a sample, 12.5 % framing).
double rs232Minutes(std::size_t samples, double baud);

// On a serial link, asks whether a transfer longer than 0.75 minutes goes ahead; true when it
// does, and always on the other links.
bool confirmDownload(std::size_t samples, const model::Configuration& config, const Question& ask);

// What a download and its playback step did on one link.
struct Delivery {
    hwio::Result download;
    hwio::Result setup;  // the playback step's result; sent only after the waveform was stored
    std::vector<hwio::Result> lines;  // each playback line's result
};

// Downloads the waveform under `title`, then sends `playLines` on the same link as playSequence
// does. The window's Download and zuno-gen --download both come here.
Delivery downloadAndPlay(hwio::Link& link, const dsp::CVec& waveform, const std::array<dsp::Bits, 2>& markers,
                         const std::string& title, const std::vector<std::string>& playLines);

// The fifteen command lines of the playback step, and the eleven of the other instrument family
// (`ReconFilter` 1 to 3 chooses its reconstruction filter, anything else or none "through").
std::vector<std::string> playLines_c(const std::string& FileName, const model::SigGenSettings& setting);
std::vector<std::string> playLines(const std::string& FileName, const model::SigGenSettings& setting,
                                   std::optional<double> ReconFilter = {});

// The player start and the RF-on line that end both sequences.
inline constexpr std::size_t kSwitchOnLines = 2;

// The playback step: sends the lines, then returns the instrument to local control. The setting lines are sent
// even when the instrument rejects one; the last kSwitchOnLines (player start, RF on) only when
// every line before them succeeded. A link that fails stops the sequence, since no later line
// would arrive. The result names every failing line with the instrument's error, else it is the
// last line's; a cancelled sequence ends at once with the cancelled line's result. `sent`
// (optional) receives each line's result.
hwio::Result playSequence(hwio::Link& link, const std::vector<std::string>& lines,
                          std::vector<hwio::Result>* sent = nullptr);

}  // namespace instrument
