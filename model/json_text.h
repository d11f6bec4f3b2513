#pragma once
// JSON that arrives from outside (settings files, --set, Python settings, SigMF meta files):
// parsed within limits and quoted in messages by a bounded prefix, so that neither a deep nor a
// huge value can exhaust the stack or the memory of the program reading it.
#include <cstddef>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace model {

struct JsonLimits {
    int maxDepth = 32;                      // lists and objects inside each other
    std::size_t maxValues = std::size_t{1} << 18;  // every number, text, list and object
    std::size_t maxBytes = std::size_t{16} << 20;  // of the text
};

// As nlohmann::json::parse, but text beyond `limits` throws std::invalid_argument saying which
// limit it passes, before the parser has built more than the limits allow.
nlohmann::json parseJsonLimited(std::string_view text, const JsonLimits& limits = {});

// At most `maxChars` characters of the compact text of `value` (then "..."), printable; made
// without recursion and without writing out more of the value than is shown.
std::string jsonExcerpt(const nlohmann::json& value, std::size_t maxChars = 60);

// At most `maxChars` characters of `text` (then "..."), printable.
std::string textExcerpt(std::string_view text, std::size_t maxChars = 60);

}  // namespace model
