#include "model/json_text.h"

#include <stdexcept>
#include <vector>

#include "host/core/text.h"

namespace model {

using nlohmann::json;

namespace {

// Counts what a text holds without building it, and stops at the first limit passed. A first
// pass of its own, because the parser's callback form rescans a list's elements at the end of
// every object inside it, which makes a long list of objects take quadratic time.
struct LimitCheck : nlohmann::json_sax<json> {
    explicit LimitCheck(const JsonLimits& l) : limits(l) {}
    const JsonLimits& limits;
    int open = 0;
    std::size_t values = 0;

    bool inside() const {
        if (open > limits.maxDepth)
            throw std::invalid_argument("lists and objects are nested more than " + std::to_string(limits.maxDepth) +
                                        " levels deep");
        return true;
    }
    bool value() {
        inside();
        if (++values > limits.maxValues)
            throw std::invalid_argument("it holds more than " + std::to_string(limits.maxValues) + " values");
        return true;
    }
    bool start() {
        value();
        ++open;
        return true;
    }
    bool null() override { return value(); }
    bool boolean(bool) override { return value(); }
    bool number_integer(number_integer_t) override { return value(); }
    bool number_unsigned(number_unsigned_t) override { return value(); }
    bool number_float(number_float_t, const string_t&) override { return value(); }
    bool string(string_t&) override { return value(); }
    bool binary(binary_t&) override { return value(); }
    bool start_object(std::size_t) override { return start(); }
    bool key(string_t&) override { return inside(); }
    bool end_object() override { return --open, true; }
    bool start_array(std::size_t) override { return start(); }
    bool end_array() override { return --open, true; }
    // The parse proper reports the error in its own words.
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }
};

}  // namespace

json parseJsonLimited(std::string_view text, const JsonLimits& limits) {
    if (text.size() > limits.maxBytes)
        throw std::invalid_argument("the text is longer than " + std::to_string(limits.maxBytes >> 20) + " MB");
    LimitCheck check(limits);
    json::sax_parse(text, &check);
    return json::parse(text);
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

}  // namespace model
