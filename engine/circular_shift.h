#pragma once
// Rotations of rows and of matrix rows or columns.
#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "dsp/types.h"

namespace engine {

// Count rounded to the nearest integer, halves away from zero; counts above the length
// are outside the contract and rejected.
std::size_t rotationCount(double count, std::size_t length);

template <class T>
std::vector<T> CircularShiftLeft(const std::vector<T>& input, double count) {
    const std::size_t k = rotationCount(count, input.size());
    std::vector<T> out(input);
    std::rotate(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(k), out.end());
    return out;
}

template <class T>
std::vector<T> CircularShiftRight(const std::vector<T>& input, double count) {
    const std::size_t k = rotationCount(count, input.size());
    std::vector<T> out(input);
    std::rotate(out.begin(), out.end() - static_cast<std::ptrdiff_t>(k), out.end());
    return out;
}

// Rotates row `position` right (entity "r") or column `position` down (any other entity) by
// `amount`, taken modulo the row or column length; a negative amount rotates the other way.
// position is 1-based. Throws std::invalid_argument("Row does not exist") and the like.
dsp::Matrix circularShift(const dsp::Matrix& matrix, double amount = 1, double position = 1,
                          std::string_view entity = "r");
// Called without a matrix: the usage message.
[[noreturn]] void circularShift();

}  // namespace engine
