#include "app/core/json_text.h"

#include <stdexcept>
#include <vector>

#include "host/core/text.h"

namespace app {

using nlohmann::json;

json parseJsonLimited(std::string_view text, const JsonLimits& limits) {
    if (text.size() > limits.maxBytes)
        throw std::invalid_argument("the text is longer than " + std::to_string(limits.maxBytes >> 20) + " MB");
    std::size_t values = 0;
    const json::parser_callback_t limit = [&](int depth, json::parse_event_t event, json&) {
        if (depth > limits.maxDepth)
            throw std::invalid_argument("lists and objects are nested more than " + std::to_string(limits.maxDepth) +
                                        " levels deep");
        if ((event == json::parse_event_t::value || event == json::parse_event_t::object_start ||
             event == json::parse_event_t::array_start) &&
            ++values > limits.maxValues)
            throw std::invalid_argument("it holds more than " + std::to_string(limits.maxValues) + " values");
        return true;
    };
    return json::parse(text, limit);
}

std::string jsonExcerpt(const json& value, std::size_t maxChars) {
    std::string out;
    auto scalar = [&](const json& v) {
        // A long text is cut before it is written out.
        if (v.is_string() && v.get_ref<const std::string&>().size() > maxChars)
            out += json(v.get_ref<const std::string&>().substr(0, maxChars)).dump(-1, ' ', false, json::error_handler_t::replace);
        else
            out += v.dump(-1, ' ', false, json::error_handler_t::replace);
    };
    struct Level {
        const json* v;
        json::const_iterator next;
        bool first = true;
    };
    std::vector<Level> open;
    // Each level opened writes a bracket, so the levels are as few as the characters shown.
    auto visit = [&](const json& v) {
        if (!v.is_structured()) return scalar(v);
        out += v.is_object() ? '{' : '[';
        open.push_back({&v, v.cbegin()});
    };
    visit(value);
    while (!open.empty() && out.size() <= maxChars) {
        Level& l = open.back();
        if (l.next == l.v->cend()) {
            out += l.v->is_object() ? '}' : ']';
            open.pop_back();
            continue;
        }
        if (!l.first) out += ',';
        l.first = false;
        const json::const_iterator at = l.next++;
        if (l.v->is_object()) out += json(at.key()).dump(-1, ' ', false, json::error_handler_t::replace) + ':';
        visit(*at);
    }
    return textExcerpt(out, maxChars);
}

std::string textExcerpt(std::string_view text, std::size_t maxChars) {
    if (text.size() <= maxChars) return host::printable(text);
    return host::printable(text.substr(0, maxChars)) + "...";
}

}  // namespace app
