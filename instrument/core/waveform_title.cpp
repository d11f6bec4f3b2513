#include "instrument/core/waveform_title.h"

#include <cctype>
#include <cstring>

namespace instrument {

std::string filterTitle(std::string_view text) {
    std::string out;
    for (char c : text) {
        const char u = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        const bool keep = (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || (u != '\0' && std::strchr("_$&#+-[]", u));
        if (keep && out.size() < 20) out += u;
    }
    return out.empty() ? "BLANK" : out;
}

}  // namespace instrument
