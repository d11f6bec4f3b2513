#include "engine/circular_shift.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

using engine::CircularShiftLeft;
using engine::CircularShiftRight;
using V = std::vector<int>;

dsp::Matrix matrix(std::size_t rows, std::size_t cols, std::vector<double> columnMajor) {
    dsp::Matrix m(rows, cols);
    m.data = std::move(columnMajor);
    return m;
}

TEST(CircularShift, RowRotations) {
    const V v{1, 2, 3, 4, 5};
    EXPECT_EQ(CircularShiftLeft(v, 2), (V{3, 4, 5, 1, 2}));
    EXPECT_EQ(CircularShiftRight(v, 2), (V{4, 5, 1, 2, 3}));
    EXPECT_EQ(CircularShiftLeft(v, 1.5), (V{3, 4, 5, 1, 2}));  // halves away from zero
    EXPECT_EQ(CircularShiftRight(v, 2.49), (V{4, 5, 1, 2, 3}));
    EXPECT_EQ(CircularShiftLeft(v, 5), v);
    EXPECT_EQ(CircularShiftLeft(v, -3), v);  // non-positive counts leave the row alone
    EXPECT_THROW(CircularShiftLeft(v, 6), std::invalid_argument);
    EXPECT_THROW(CircularShiftRight(v, 5.5), std::invalid_argument);
    EXPECT_THROW(CircularShiftRight(v, std::nan("")), std::invalid_argument);
}

TEST(CircularShift, MatrixRowOrColumn) {
    const dsp::Matrix row = matrix(1, 4, {1, 2, 3, 4});
    EXPECT_EQ(engine::circularShift(row, -1), matrix(1, 4, {2, 3, 4, 1}));
    EXPECT_EQ(engine::circularShift(row, 5), matrix(1, 4, {4, 1, 2, 3}));
    EXPECT_EQ(engine::circularShift(row), matrix(1, 4, {4, 1, 2, 3}));
    EXPECT_EQ(engine::circularShift(row, -9), matrix(1, 4, {2, 3, 4, 1}));

    const dsp::Matrix m = matrix(3, 2, {1, 2, 3, 4, 5, 6});  // [1 4; 2 5; 3 6]
    EXPECT_EQ(engine::circularShift(m, 1, 2, "r"), matrix(3, 2, {1, 5, 3, 4, 2, 6}));
    const dsp::Matrix colTwoDown = matrix(3, 2, {1, 2, 3, 6, 4, 5});
    EXPECT_EQ(engine::circularShift(m, 1, 2, "c"), colTwoDown);
    EXPECT_EQ(engine::circularShift(m, -2, 2, "x"), colTwoDown);  // anything but "r" is a column
}

TEST(CircularShift, MatrixMessages) {
    auto message = [](auto&& call) -> std::string {
        try {
            call();
        } catch (const std::invalid_argument& e) {
            return e.what();
        }
        return "no exception";
    };
    const dsp::Matrix m(2, 3);
    EXPECT_EQ(message([&] { engine::circularShift(m, 1, 3, "r"); }), "Row does not exist");
    EXPECT_EQ(message([&] { engine::circularShift(m, 1, 0, "r"); }), "Row does not exist");
    EXPECT_EQ(message([&] { engine::circularShift(m, 1, 4, "c"); }), "Column does not exist");
    EXPECT_EQ(message([] { engine::circularShift(); }),
              "Usage: circularShift(matrix, [amount], [position], [ 'r' | 'c' ] ");
}

}  // namespace
