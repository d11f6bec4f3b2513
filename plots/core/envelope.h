#pragma once
// Thinning a long row for drawing without losing its peaks.
#include <cstddef>
#include <vector>

namespace plots {

// Indices of the samples to keep so that a row of n values still looks the same when drawn
// `columns` wide: per column the smallest and the largest value, in the order they occur.
// Rows no longer than 2 x columns are kept whole.
std::vector<std::size_t> envelopeIndices(const double* row, std::size_t n, std::size_t columns);

}  // namespace plots
