#pragma once
#include <cctype>
#include <string>
#include <string_view>

namespace host {

// ASCII lower case: action names, SCPI words, link types.
inline std::string toLower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace host
