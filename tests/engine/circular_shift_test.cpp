#include "engine/circular_shift.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

using engine::CircularShiftLeft;
using engine::CircularShiftRight;
using V = std::vector<int>;

dsp::Matrix rowMatrix(std::initializer_list<double> values) {
    dsp::Matrix m(1, values.size());
    m.data.assign(values);
    return m;
}

std::string messageOf(auto&& call) {
    try {
        call();
    } catch (const std::invalid_argument& e) {
        return e.what();
    }
    return "no exception";
}

TEST(CircularShift, RowRotationsRoundTheirCount) {
    const V v{1, 2, 3, 4, 5};
    EXPECT_EQ(CircularShiftLeft(v, 2), (V{3, 4, 5, 1, 2}));
    EXPECT_EQ(CircularShiftRight(v, 2), (V{4, 5, 1, 2, 3}));
    EXPECT_EQ(CircularShiftLeft(v, 1.5), (V{3, 4, 5, 1, 2}));   // halves away from zero
    EXPECT_EQ(CircularShiftRight(v, 2.49), (V{4, 5, 1, 2, 3}));
    EXPECT_EQ(CircularShiftLeft(v, 5), v);
    EXPECT_EQ(CircularShiftRight(v, 0), v);
    EXPECT_EQ(CircularShiftLeft(v, -3), v);   // non-positive counts leave the row alone
    EXPECT_EQ(CircularShiftRight(v, -0.4), v);
    EXPECT_EQ(CircularShiftLeft(V{}, 0), V{});
}

TEST(CircularShift, RowRotationsRejectCountsOutsideTheRow) {
    const V v{1, 2, 3};
    EXPECT_THROW(CircularShiftLeft(v, 4), std::invalid_argument);
    EXPECT_THROW(CircularShiftRight(v, 3.5), std::invalid_argument);
    EXPECT_THROW(CircularShiftLeft(v, std::numeric_limits<double>::infinity()), std::invalid_argument);
    EXPECT_THROW(CircularShiftRight(v, std::nan("")), std::invalid_argument);
    EXPECT_EQ(CircularShiftRight(v, 3.4), v);
}

TEST(CircularShift, MatrixRowOrColumn) {
    const dsp::Matrix row = rowMatrix({1, 2, 3, 4});
    EXPECT_EQ(engine::circularShift(row, -1), rowMatrix({2, 3, 4, 1}));
    EXPECT_EQ(engine::circularShift(row, 5), rowMatrix({4, 1, 2, 3}));
    EXPECT_EQ(engine::circularShift(row), rowMatrix({4, 1, 2, 3}));
    EXPECT_EQ(engine::circularShift(row, -9), rowMatrix({2, 3, 4, 1}));
    EXPECT_EQ(engine::circularShift(row, 8), row);

    // 3x2, column-major: [1 4; 2 5; 3 6]
    dsp::Matrix m(3, 2);
    m.data = {1, 2, 3, 4, 5, 6};
    dsp::Matrix rowTwo = m;  // row 2 rotated right by 1 swaps its two entries
    rowTwo(1, 0) = 5;
    rowTwo(1, 1) = 2;
    EXPECT_EQ(engine::circularShift(m, 1, 2, "r"), rowTwo);

    dsp::Matrix colTwo(3, 2);
    colTwo.data = {1, 2, 3, 6, 4, 5};
    EXPECT_EQ(engine::circularShift(m, 1, 2, "c"), colTwo);
    EXPECT_EQ(engine::circularShift(m, 1, 2, "x"), colTwo);  // anything but "r" means a column
    EXPECT_EQ(engine::circularShift(m, -2, 2, "c"), colTwo);
}

TEST(CircularShift, MatrixMessages) {
    dsp::Matrix m(2, 3);
    EXPECT_EQ(messageOf([&] { engine::circularShift(m, 1, 3, "r"); }), "Row does not exist");
    EXPECT_EQ(messageOf([&] { engine::circularShift(m, 1, 0, "r"); }), "Row does not exist");
    EXPECT_EQ(messageOf([&] { engine::circularShift(m, 1, 4, "c"); }), "Column does not exist");
    EXPECT_EQ(messageOf([] { engine::circularShift(); }),
              "Usage: circularShift(matrix, [amount], [position], [ 'r' | 'c' ] ");
    EXPECT_THROW(engine::circularShift(m, std::nan("")), std::invalid_argument);
}

}  // namespace
