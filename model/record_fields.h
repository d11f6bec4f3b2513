#pragma once
// Field lists of the typed records and the conversions derived from them.
//
// A record type T describes itself once by specialising RecordFields<T> with its fields, each a
// name and a member pointer, in the order the record keeps them. Conversion to and from
// host::Value walks that list; nothing is written per field.
#include <array>
#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "dsp/types.h"
#include "host/core/value.h"

namespace model {

// One value per slot, slot 1 first; kept as a 16x1 column in a record.
using SlotVector = std::array<double, 16>;

// A field that always holds the empty value.
struct Nothing {
    bool operator==(const Nothing&) const = default;
};

// Required size of a dsp::Matrix field, or the length of a std::vector<double> field
// (cols; 0 = any length). Vector fields may always be empty.
struct Shape {
    std::size_t rows = 0;
    std::size_t cols = 0;
};

template <class Owner, class Member>
struct Field {
    std::string_view name;
    Member Owner::*member;
    Shape shape{};
};

template <class Owner, class Member>
constexpr Field<Owner, Member> field(std::string_view name, Member Owner::*member, Shape shape = {}) {
    return {name, member, shape};
}

// Specialised per record with `static constexpr std::tuple fields{...}` and
// `static constexpr std::string_view path`, the record's name in messages.
template <class T>
struct RecordFields;

template <class T>
concept Record = requires { RecordFields<T>::fields; };

// What reading a record does with fields it does not know.
enum class UnknownFields {
    Reject,  // an error naming the first unknown field
    Ignore,  // dropped silently
};

namespace detail {

struct ReadContext {
    std::string path;  // "parameters.slot.RAslotGain"
    Shape shape;
    UnknownFields unknown;
    ReadContext child(std::string_view name, Shape s) const {
        return {path + "." + std::string(name), s, unknown};
    }
};

[[noreturn]] void fail(const ReadContext& ctx, const std::string& expected, const host::Value& got);

host::Value write(double x, Shape);
host::Value write(const std::string& x, Shape);
host::Value write(const SlotVector& x, Shape);
host::Value write(const dsp::Matrix& x, Shape);
host::Value write(const std::vector<double>& x, Shape);
host::Value write(const Nothing&, Shape);
template <Record T>
host::Value write(const T& x, Shape = {});
template <Record T>
host::Value write(const std::optional<T>& x, Shape);

void read(const host::Value& v, double& x, const ReadContext& ctx);
void read(const host::Value& v, std::string& x, const ReadContext& ctx);
void read(const host::Value& v, SlotVector& x, const ReadContext& ctx);
void read(const host::Value& v, dsp::Matrix& x, const ReadContext& ctx);
void read(const host::Value& v, std::vector<double>& x, const ReadContext& ctx);
void read(const host::Value& v, Nothing& x, const ReadContext& ctx);
template <Record T>
void read(const host::Value& v, T& x, const ReadContext& ctx);
template <Record T>
void read(const host::Value& v, std::optional<T>& x, const ReadContext& ctx);

template <Record T>
host::Value write(const T& x, Shape) {
    host::Value out = host::Value::record();
    std::apply([&](const auto&... f) { (out.set(std::string(f.name), write(x.*(f.member), f.shape)), ...); },
               RecordFields<T>::fields);
    return out;
}

template <Record T>
host::Value write(const std::optional<T>& x, Shape shape) {
    return x ? write(*x, shape) : host::Value();
}

template <Record T>
bool isKnownField(std::string_view name) {
    return std::apply([&](const auto&... f) { return ((f.name == name) || ...); }, RecordFields<T>::fields);
}

template <Record T>
void read(const host::Value& v, T& x, const ReadContext& ctx) {
    if (!v.isRecord()) fail(ctx, "a record", v);
    if (ctx.unknown == UnknownFields::Reject) {
        for (std::size_t i = 0; i < v.fieldCount(); ++i)
            if (!isKnownField<T>(v.fieldName(i)))
                throw std::invalid_argument(ctx.path + "." + v.fieldName(i) + " is not a known field");
    }
    std::apply(
        [&](const auto&... f) {
            auto one = [&](const auto& fd) {
                const host::Value* fv = v.find(fd.name);
                if (!fv) throw std::invalid_argument(ctx.path + "." + std::string(fd.name) + " is missing");
                read(*fv, x.*(fd.member), ctx.child(fd.name, fd.shape));
            };
            (one(f), ...);
        },
        RecordFields<T>::fields);
}

template <Record T>
void read(const host::Value& v, std::optional<T>& x, const ReadContext& ctx) {
    if (v.isEmpty()) {
        x.reset();
        return;
    }
    T inner{};
    read(v, inner, ctx);
    x = std::move(inner);
}

}  // namespace detail

// The record with every field in list order.
template <Record T>
host::Value toValue(const T& x) {
    return detail::write(x);
}

// Reads every listed field by name, checking kinds and shapes; errors name the full path
// ("parameters.slot.RPCslotGain must be ..."), starting at `path` (the record's own name by
// default). Fields come back in list order whatever their order in `v`. Unknown fields are an
// error unless `unknown` says to ignore them. On error `x` is left unchanged.
template <Record T>
void fromValue(const host::Value& v, T& x, UnknownFields unknown = UnknownFields::Reject,
               std::string_view path = RecordFields<T>::path) {
    T result{};
    detail::read(v, result, detail::ReadContext{std::string(path), {}, unknown});
    x = std::move(result);
}

}  // namespace model
