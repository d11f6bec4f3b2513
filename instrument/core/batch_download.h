#pragma once
// Download and playback without windows, for test benches (zuno-gen --download).
#include <array>
#include <iosfwd>
#include <string>
#include <string_view>

#include "model/records.h"
#include "dsp/types.h"
#include "hwio/link.h"

namespace instrument {

// One "SigGenSettings.NAME=VALUE" setting (VALUE a number, or text for Title, which is taken as
// the settings panel takes it: see filterTitle). Throws std::invalid_argument naming the field
// when it is unknown or the value does not fit.
void applySigGenSetting(model::SigGenSettings& settings, std::string_view nameEqualsValue);

// Downloads over TCP/IP to `address`, then runs the playback step, writing the title used, each
// step and the instrument's answers to `out`. Returns 0 when everything succeeded, else 1 with the reason
// written to `err`.
int downloadAndPlay(const dsp::CVec& waveform, const std::array<dsp::Bits, 2>& markers,
                    const model::SigGenSettings& settings, const std::string& address, std::ostream& out,
                    std::ostream& err, const hwio::Options& options = {});

}  // namespace instrument
