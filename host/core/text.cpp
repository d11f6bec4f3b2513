#include "host/core/text.h"

#include <cstdio>

namespace host {

namespace {

// The length of the well-formed UTF-8 sequence at the start of `s`, or 0.
std::size_t sequenceLength(std::string_view s, char32_t& c) {
    const auto b = static_cast<unsigned char>(s[0]);
    std::size_t len = 0;
    char32_t min = 0;
    if ((b & 0xE0) == 0xC0) len = 2, c = b & 0x1F, min = 0x80;
    else if ((b & 0xF0) == 0xE0) len = 3, c = b & 0x0F, min = 0x800;
    else if ((b & 0xF8) == 0xF0) len = 4, c = b & 0x07, min = 0x10000;
    if (len == 0 || len > s.size()) return 0;
    for (std::size_t k = 1; k < len; ++k) {
        const auto x = static_cast<unsigned char>(s[k]);
        if ((x & 0xC0) != 0x80) return 0;
        c = (c << 6) | (x & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
    return len;
}

void escape(std::string& out, std::string_view bytes) {
    for (const char b : bytes) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\x%02X", static_cast<unsigned char>(b));
        out += buf;
    }
}

}  // namespace

std::string printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b >= 0x20 && b < 0x7F) {
            out += text[i++];
            continue;
        }
        char32_t c = 0;
        const std::size_t len = b >= 0x80 ? sequenceLength(text.substr(i), c) : 0;
        if (len == 0 || c < 0xA0) {
            escape(out, text.substr(i, len == 0 ? 1 : len));
            i += len == 0 ? 1 : len;
            continue;
        }
        out.append(text.substr(i, len));
        i += len;
    }
    return out;
}

}  // namespace host
