#include "host/core/compare.h"

#include <cmath>
#include <cstddef>

namespace host {

namespace {

bool isNaNAt(const Value& v, std::size_t k) {
    return std::isnan(v.real()[k]) || (v.isComplex() && std::isnan(v.imag()[k]));
}

bool numericEqual(const Value& x, const Value& y) {
    if (x.rows() != y.rows() || x.cols() != y.cols()) return false;
    std::size_t differing = 0, nanX = 0, nanY = 0;
    for (std::size_t k = 0; k < x.numel(); ++k) {
        const bool xNaN = isNaNAt(x, k), yNaN = isNaNAt(y, k);
        nanX += xNaN;
        nanY += yNaN;
        const double xi = x.isComplex() ? x.imag()[k] : 0.0;
        const double yi = y.isComplex() ? y.imag()[k] : 0.0;
        if (xNaN || yNaN || x.real()[k] != y.real()[k] || xi != yi) ++differing;
    }
    if (differing == 0) return true;
    return (nanX > 0 || nanY > 0) && nanX == nanY;
}

bool fieldValuesEqual(const Value& x, const Value& y) {
    if (x.isEmpty() && y.isEmpty()) return true;
    if (x.isRecord() && y.isRecord()) return compareStruct(x, y);
    if (x.isNumeric() && y.isNumeric()) return numericEqual(x, y);
    if (x.isText() && y.isText()) return x.text() == y.text();
    return false;
}

}  // namespace

bool compareStruct(const Value& a, const Value& b) {
    if (!a.isRecord() || !b.isRecord()) return false;
    if (a.fieldCount() != b.fieldCount()) return false;
    for (std::size_t i = 0; i < a.fieldCount(); ++i) {
        if (a.fieldName(i) != b.fieldName(i)) return false;
        if (!fieldValuesEqual(a.fieldValue(i), b.fieldValue(i))) return false;
    }
    return true;
}

}  // namespace host
