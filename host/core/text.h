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

inline std::string toUpper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// `text` safe to show on a terminal or in a message: control characters (line breaks included),
// DEL, C1 controls and bytes that are not UTF-8 become \xNN escapes; other characters stay.
std::string printable(std::string_view text);

}  // namespace host
