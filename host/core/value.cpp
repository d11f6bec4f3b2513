#include "host/core/value.h"

#include <algorithm>
#include <ostream>
#include <stdexcept>
#include <utility>

#include "host/core/text.h"

#include "host/core/number_text.h"

namespace host {

namespace {

const char* kindName(Value::Kind k) {
    switch (k) {
        case Value::Kind::Empty: return "empty";
        case Value::Kind::Numeric: return "numeric";
        case Value::Kind::Text: return "text";
        case Value::Kind::Record: return "record";
    }
    return "?";
}

}  // namespace

Value::Value(double x) : kind_(Kind::Numeric), rows_(1), cols_(1), re_{x} {}

Value::Value(std::complex<double> x)
    : kind_(Kind::Numeric), rows_(1), cols_(1), re_{x.real()}, im_{x.imag()} {}

Value::Value(std::string text) : kind_(Kind::Text), text_(std::move(text)) {}

Value::Value(const char* text) : Value(std::string(text)) {}

Value Value::matrix(std::size_t rows, std::size_t cols, std::vector<double> re,
                    std::vector<double> im) {
    if (re.size() != rows * cols)
        throw std::invalid_argument("a " + std::to_string(rows) + "x" + std::to_string(cols) +
                                    " matrix needs " + std::to_string(rows * cols) +
                                    " values, got " + std::to_string(re.size()));
    if (!im.empty() && im.size() != re.size())
        throw std::invalid_argument("imaginary part has " + std::to_string(im.size()) +
                                    " values, the real part " + std::to_string(re.size()));
    Value v;
    v.kind_ = Kind::Numeric;
    v.rows_ = rows;
    v.cols_ = cols;
    v.re_ = std::move(re);
    v.im_ = std::move(im);
    return v;
}

Value Value::filled(std::size_t rows, std::size_t cols, double fill) {
    return matrix(rows, cols, std::vector<double>(rows * cols, fill));
}

Value Value::row(std::vector<double> values) {
    const std::size_t n = values.size();
    // An empty row is 0x0, the shape record files give an empty array.
    return matrix(n == 0 ? 0 : 1, n, std::move(values));
}

Value Value::column(std::vector<double> values) {
    const std::size_t n = values.size();
    return matrix(n, n == 0 ? 0 : 1, std::move(values));
}

Value Value::record() {
    Value v;
    v.kind_ = Kind::Record;
    return v;
}

bool Value::isEmpty() const {
    switch (kind_) {
        case Kind::Empty: return true;
        case Kind::Numeric: return re_.empty();
        case Kind::Text: return text_.empty();
        case Kind::Record: return false;
    }
    return false;
}

void Value::requireKind(Kind k, const char* what) const {
    if (kind_ != k)
        throw std::runtime_error(std::string(what) + " needs a " + kindName(k) + " value, not " +
                                 describe());
}

std::size_t Value::rows() const {
    requireKind(Kind::Numeric, "rows()");
    return rows_;
}

std::size_t Value::cols() const {
    requireKind(Kind::Numeric, "cols()");
    return cols_;
}

std::size_t Value::numel() const {
    requireKind(Kind::Numeric, "numel()");
    return re_.size();
}

const std::vector<double>& Value::real() const {
    requireKind(Kind::Numeric, "real()");
    return re_;
}

std::vector<double>& Value::real() {
    requireKind(Kind::Numeric, "real()");
    return re_;
}

const std::vector<double>& Value::imag() const {
    requireKind(Kind::Numeric, "imag()");
    return im_;
}

double Value::scalar() const {
    requireKind(Kind::Numeric, "scalar()");
    if (re_.size() != 1 || !im_.empty())
        throw std::runtime_error("scalar() needs a real 1x1 value, not " + describe());
    return re_[0];
}

double Value::at(std::size_t r, std::size_t c) const {
    return complexAt(r, c).real();
}

std::complex<double> Value::complexAt(std::size_t r, std::size_t c) const {
    requireKind(Kind::Numeric, "at()");
    if (r >= rows_ || c >= cols_)
        throw std::out_of_range("element (" + std::to_string(r + 1) + "," + std::to_string(c + 1) +
                                ") is outside a " + describe() + " matrix");
    const std::size_t k = c * rows_ + r;
    return {re_[k], im_.empty() ? 0.0 : im_[k]};
}

const std::string& Value::text() const {
    requireKind(Kind::Text, "text()");
    return text_;
}

std::size_t Value::fieldCount() const {
    requireKind(Kind::Record, "fieldCount()");
    return names_.size();
}

std::vector<std::string> Value::fieldNames() const {
    requireKind(Kind::Record, "fieldNames()");
    return names_;
}

const std::string& Value::fieldName(std::size_t i) const {
    requireKind(Kind::Record, "fieldName()");
    return names_.at(i);
}

const Value& Value::fieldValue(std::size_t i) const {
    requireKind(Kind::Record, "fieldValue()");
    return values_.at(i);
}

bool Value::hasField(std::string_view name) const {
    return find(name) != nullptr;
}

const Value* Value::find(std::string_view name) const {
    requireKind(Kind::Record, "find()");
    const auto it = std::find(names_.begin(), names_.end(), name);
    return it == names_.end() ? nullptr : &values_[static_cast<std::size_t>(it - names_.begin())];
}

Value* Value::find(std::string_view name) {
    return const_cast<Value*>(std::as_const(*this).find(name));
}

const Value& Value::field(std::string_view name) const {
    const Value* v = find(name);
    if (!v) throw std::runtime_error("the record has no field " + std::string(name));
    return *v;
}

Value& Value::field(std::string_view name) {
    return const_cast<Value&>(std::as_const(*this).field(name));
}

Value& Value::set(std::string name, Value value) {
    if (Value* existing = find(name)) {
        *existing = std::move(value);
        return *existing;
    }
    names_.push_back(std::move(name));
    values_.push_back(std::move(value));
    return values_.back();
}

std::string Value::describe() const {
    switch (kind_) {
        case Kind::Empty: return "empty";
        case Kind::Numeric: {
            std::string s = std::to_string(rows_) + "x" + std::to_string(cols_);
            return im_.empty() ? s : s + " complex";
        }
        case Kind::Text: {
            constexpr std::size_t kShown = 40;
            // The text may come from a file: shown escaped, never raw.
            return "text \"" + printable(text_.size() > kShown ? text_.substr(0, kShown) + "..." : text_) +
                   "\"";
        }
        case Kind::Record: return "a record";
    }
    return "?";
}

bool operator==(const Value& a, const Value& b) {
    return a.kind_ == b.kind_ && a.rows_ == b.rows_ && a.cols_ == b.cols_ && a.re_ == b.re_ &&
           a.im_ == b.im_ && a.text_ == b.text_ && a.names_ == b.names_ && a.values_ == b.values_;
}

std::ostream& operator<<(std::ostream& os, const Value& v) {
    switch (v.kind()) {
        case Value::Kind::Empty: return os << "[]";
        case Value::Kind::Text: return os << '"' << v.text() << '"';
        case Value::Kind::Numeric: {
            constexpr std::size_t kShown = 8;
            if (v.numel() == 0 || v.numel() > kShown) return os << '[' << v.describe() << ']';
            const bool scalar = v.rows() == 1 && v.cols() == 1;
            if (!scalar) os << '[';
            for (std::size_t r = 0; r < v.rows(); ++r) {
                if (r > 0) os << "; ";
                for (std::size_t c = 0; c < v.cols(); ++c) {
                    if (c > 0) os << ' ';
                    const auto z = v.complexAt(r, c);
                    os << numberText(z.real());
                    if (v.isComplex())
                        os << (z.imag() < 0 ? "-" : "+") << numberText(std::abs(z.imag())) << 'i';
                }
            }
            return scalar ? os : os << ']';
        }
        case Value::Kind::Record: {
            os << '{';
            for (std::size_t i = 0; i < v.fieldCount(); ++i)
                os << (i > 0 ? ", " : "") << v.fieldName(i) << ": " << v.fieldValue(i);
            return os << '}';
        }
    }
    return os;
}

}  // namespace host
