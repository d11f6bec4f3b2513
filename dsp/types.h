#pragma once
// Vector and matrix types shared by the signal-processing routines and the engine.
#include <complex>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace dsp {

using cplx = std::complex<double>;
using CVec = std::vector<cplx>;
using RVec = std::vector<double>;
using Bits = std::vector<std::uint8_t>;  // one 0/1 value per element

// Real matrix held column by column (the layout record files use).
struct Matrix {
    std::size_t rows = 0;
    std::size_t cols = 0;
    std::vector<double> data;

    Matrix() = default;
    Matrix(std::size_t r, std::size_t c, double fill = 0.0) : rows(r), cols(c), data(r * c, fill) {}

    double& operator()(std::size_t r, std::size_t c) { return data[c * rows + r]; }
    double operator()(std::size_t r, std::size_t c) const { return data[c * rows + r]; }
    std::size_t size() const { return data.size(); }
    bool empty() const { return data.empty(); }
    RVec row(std::size_t r) const {
        RVec out(cols);
        for (std::size_t c = 0; c < cols; ++c) out[c] = (*this)(r, c);
        return out;
    }
    bool operator==(const Matrix&) const = default;
};

}  // namespace dsp
