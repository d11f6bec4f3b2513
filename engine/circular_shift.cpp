#include "engine/circular_shift.h"

#include <string>

#include "dsp/number_text.h"

namespace engine {

namespace {

// Floored modulo, so that a negative amount rotates the other way.
std::size_t wrap(double amount, std::size_t length) {
    const double n = static_cast<double>(length);
    double r = std::fmod(amount, n);
    if (r < 0) r += n;
    return static_cast<std::size_t>(r) % length;
}

}  // namespace

std::size_t rotationCount(double count, std::size_t length) {
    if (!std::isfinite(count))
        throw std::invalid_argument("Rotation count " + dsp::generalText(count) + " is not a finite number");
    const double k = std::round(count);
    if (k <= 0) return 0;
    if (k > static_cast<double>(length))
        throw std::invalid_argument("Rotation count " + dsp::generalText(count) + " exceeds the row length " +
                                    std::to_string(length));
    return static_cast<std::size_t>(k);
}

dsp::Matrix circularShift(const dsp::Matrix& matrix, double amount, double position, std::string_view entity) {
    const bool byRow = entity == "r";
    const std::size_t count = byRow ? matrix.rows : matrix.cols;
    if (!(position >= 1) || position != std::floor(position) || position > static_cast<double>(count))
        throw std::invalid_argument(byRow ? "Row does not exist" : "Column does not exist");
    if (!std::isfinite(amount))
        throw std::invalid_argument("circularShift amount " + dsp::generalText(amount) + " is not a finite number");

    dsp::Matrix out(matrix);
    const auto p = static_cast<std::size_t>(position) - 1;
    const std::size_t length = byRow ? matrix.cols : matrix.rows;
    if (length == 0) return out;
    const std::size_t k = wrap(std::round(amount), length);
    for (std::size_t i = 0; i < length; ++i) {
        const std::size_t to = (i + k) % length;
        if (byRow)
            out(p, to) = matrix(p, i);
        else
            out(to, p) = matrix(i, p);
    }
    return out;
}

void circularShift() {
    throw std::invalid_argument("Usage: circularShift(matrix, [amount], [position], [ 'r' | 'c' ] ");
}

}  // namespace engine
