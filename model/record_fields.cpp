#include "model/record_fields.h"

#include <algorithm>

namespace model::detail {

namespace {

std::string sizeText(std::size_t rows, std::size_t cols) {
    return std::to_string(rows) + "x" + std::to_string(cols);
}

bool isRealNumeric(const host::Value& v) {
    return v.isNumeric() && !v.isComplex();
}

}  // namespace

void fail(const ReadContext& ctx, const std::string& expected, const host::Value& got) {
    throw std::invalid_argument(ctx.path + " must be " + expected + " (got " + got.describe() + ")");
}

host::Value write(double x, Shape) {
    return host::Value(x);
}

host::Value write(const std::string& x, Shape) {
    return host::Value(x);
}

host::Value write(const SlotVector& x, Shape) {
    return host::Value::column(std::vector<double>(x.begin(), x.end()));
}

host::Value write(const dsp::Matrix& x, Shape) {
    return host::Value::matrix(x.rows, x.cols, x.data);
}

host::Value write(const std::vector<double>& x, Shape) {
    return host::Value::row(x);
}

host::Value write(const Nothing&, Shape) {
    return host::Value();
}

void read(const host::Value& v, double& x, const ReadContext& ctx) {
    if (!isRealNumeric(v) || v.numel() != 1) fail(ctx, "a real number", v);
    x = v.scalar();
}

void read(const host::Value& v, std::string& x, const ReadContext& ctx) {
    // Record files commonly hold an unset text as an empty numeric array.
    if (v.isEmpty()) {
        x.clear();
        return;
    }
    if (!v.isText()) fail(ctx, "a text", v);
    x = v.text();
}

void read(const host::Value& v, SlotVector& x, const ReadContext& ctx) {
    const std::size_t n = x.size();
    // A row is as good as a column here: files from other tools often hold per-slot data as rows.
    if (!isRealNumeric(v) || v.numel() != n || (v.rows() != 1 && v.cols() != 1))
        fail(ctx, "a " + sizeText(n, 1) + " numeric column", v);
    std::copy(v.real().begin(), v.real().end(), x.begin());
}

void read(const host::Value& v, dsp::Matrix& x, const ReadContext& ctx) {
    const Shape s = ctx.shape;
    const bool anySize = s.rows == 0 && s.cols == 0;
    if (!isRealNumeric(v) || (!anySize && (v.rows() != s.rows || v.cols() != s.cols)))
        fail(ctx, anySize ? std::string("a real numeric matrix") : "a " + sizeText(s.rows, s.cols) + " numeric matrix", v);
    x.rows = v.rows();
    x.cols = v.cols();
    x.data = v.real();
}

void read(const host::Value& v, std::vector<double>& x, const ReadContext& ctx) {
    if (v.isEmpty()) {
        x.clear();
        return;
    }
    const std::size_t n = ctx.shape.cols;
    if (!isRealNumeric(v) || (v.rows() != 1 && v.cols() != 1) || (n != 0 && v.numel() != n))
        fail(ctx, n == 0 ? std::string("empty or a numeric row") : "empty or a " + sizeText(1, n) + " numeric row", v);
    x = v.real();
}

void read(const host::Value& v, Nothing&, const ReadContext& ctx) {
    if (!v.isEmpty()) fail(ctx, "empty", v);
}

}  // namespace model::detail
