#include "plots/core/envelope.h"

namespace plots {

std::vector<std::size_t> envelopeIndices(const double* row, std::size_t n, std::size_t columns) {
    std::vector<std::size_t> keep;
    if (columns == 0 || n <= 2 * columns) {
        keep.resize(n);
        for (std::size_t k = 0; k < n; ++k) keep[k] = k;
        return keep;
    }
    keep.reserve(2 * columns + 2);
    // Both ends of the row stay where they are.
    keep.push_back(0);
    for (std::size_t c = 0; c < columns; ++c) {
        const std::size_t first = c * n / columns;
        const std::size_t end = (c + 1) * n / columns;
        std::size_t lo = first, hi = first;
        for (std::size_t k = first + 1; k < end; ++k) {
            // A NaN is never kept as an extreme while its column holds a number.
            if (row[k] < row[lo] || !(row[lo] == row[lo])) lo = k;
            if (row[k] > row[hi] || !(row[hi] == row[hi])) hi = k;
        }
        for (std::size_t k : {lo < hi ? lo : hi, lo < hi ? hi : lo})
            if (k != keep.back()) keep.push_back(k);
    }
    if (keep.back() != n - 1) keep.push_back(n - 1);
    return keep;
}

}  // namespace plots
