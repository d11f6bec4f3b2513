#pragma once
// The name a waveform is stored under on the instrument.
#include <string>
#include <string_view>

namespace instrument {

// Upper case; only A-Z, 0-9 and _ $ & # + - [ ] kept; at most 20 characters; "BLANK" when none remain.
std::string filterTitle(std::string_view text);

}  // namespace instrument
