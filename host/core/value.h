#pragma once
// The generic record value: what record files hold and what the settings comparison works on.
// Numeric data is column-major with a separate imaginary part, the layout record files use.
#include <complex>
#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace host {

class Value {
public:
    enum class Kind { Empty, Numeric, Text, Record };

    Value() = default;  // empty
    Value(double x);
    template <class T>
        requires std::is_arithmetic_v<T>
    Value(T x) : Value(static_cast<double>(x)) {}
    Value(std::complex<double> x);
    Value(std::string text);
    Value(const char* text);

    // `im` is either empty (a real matrix) or as long as `re`.
    static Value matrix(std::size_t rows, std::size_t cols, std::vector<double> re,
                        std::vector<double> im = {});
    static Value filled(std::size_t rows, std::size_t cols, double fill);
    static Value row(std::vector<double> values);
    static Value column(std::vector<double> values);
    static Value record();  // a record without fields

    Kind kind() const { return kind_; }
    bool isNumeric() const { return kind_ == Kind::Numeric; }
    bool isText() const { return kind_ == Kind::Text; }
    bool isRecord() const { return kind_ == Kind::Record; }
    bool isComplex() const { return kind_ == Kind::Numeric && !im_.empty(); }
    // True for the empty value and for numbers or texts without elements; a record never is.
    bool isEmpty() const;

    // Numeric access; each throws std::runtime_error when the value is not numeric.
    std::size_t rows() const;
    std::size_t cols() const;
    std::size_t numel() const;
    const std::vector<double>& real() const;
    std::vector<double>& real();
    const std::vector<double>& imag() const;  // empty for a real matrix
    double scalar() const;                     // a real 1x1 value
    double at(std::size_t r, std::size_t c) const;
    std::complex<double> complexAt(std::size_t r, std::size_t c) const;

    const std::string& text() const;

    // Record access; each throws std::runtime_error when the value is not a record, and
    // field() also when the name is missing.
    std::size_t fieldCount() const;
    std::vector<std::string> fieldNames() const;
    const std::string& fieldName(std::size_t i) const;
    const Value& fieldValue(std::size_t i) const;
    bool hasField(std::string_view name) const;
    const Value* find(std::string_view name) const;
    Value* find(std::string_view name);
    const Value& field(std::string_view name) const;
    Value& field(std::string_view name);
    // Replaces the field of that name in place, or appends it as the last field.
    Value& set(std::string name, Value value);

    // Short description for messages: "empty", "3x3", "3x3 complex", "text \"abc\"", "a record".
    std::string describe() const;

    friend bool operator==(const Value& a, const Value& b);

private:
    void requireKind(Kind k, const char* what) const;

    Kind kind_ = Kind::Empty;
    std::size_t rows_ = 0;
    std::size_t cols_ = 0;
    std::vector<double> re_;
    std::vector<double> im_;
    std::string text_;
    std::vector<std::string> names_;
    std::vector<Value> values_;
};

// One-line rendering, records in braces with their fields in order; large matrices show only
// their size.
std::ostream& operator<<(std::ostream& os, const Value& v);

}  // namespace host
