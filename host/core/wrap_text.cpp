#include "host/core/wrap_text.h"

#include <vector>

namespace host {

namespace {

bool continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Byte offsets where each character of `line` starts, and the line's end.
std::vector<std::size_t> characterStarts(std::string_view line) {
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < line.size(); ++i)
        if (!continuation(line[i])) starts.push_back(i);
    starts.push_back(line.size());
    return starts;
}

void wrapLine(std::string_view line, std::size_t width, std::size_t longest, std::string& out) {
    if (characterStarts(line).size() - 1 <= longest) {
        out += line;
        return;
    }
    while (true) {
        const std::vector<std::size_t> starts = characterStarts(line);
        if (starts.size() - 1 <= width) {
            out += line;
            return;
        }
        const std::size_t limit = starts[width];  // bytes of the first `width` characters
        std::size_t cut = line.rfind(' ', limit);
        std::size_t next = cut + 1;
        if (cut == std::string_view::npos || cut == 0) {
            const std::size_t slash = line.rfind('/', limit - 1);
            cut = slash != std::string_view::npos && slash > 0 ? slash + 1 : limit;
            next = cut;
        }
        std::string_view head = line.substr(0, cut);
        while (!head.empty() && head.back() == ' ') head.remove_suffix(1);
        out += head;
        out += '\n';
        line.remove_prefix(next);
        while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
    }
}

}  // namespace

std::string wrapText(std::string_view text, std::size_t width, std::size_t longest) {
    std::string out;
    std::size_t begin = 0;
    while (true) {
        const std::size_t end = text.find('\n', begin);
        wrapLine(text.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin), width, longest, out);
        if (end == std::string_view::npos) return out;
        out += '\n';
        begin = end + 1;
    }
}

}  // namespace host
