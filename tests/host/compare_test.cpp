#include "host/core/compare.h"

#include <gtest/gtest.h>

#include <cmath>

using host::compareStruct;
using host::Value;

namespace {

const double kNaN = std::nan("");

Value rec(std::initializer_list<std::pair<const char*, Value>> fields) {
    Value r = Value::record();
    for (const auto& [name, value] : fields) r.set(name, value);
    return r;
}

bool sameField(const Value& x, const Value& y) {
    return compareStruct(rec({{"f", x}}), rec({{"f", y}}));
}

}  // namespace

TEST(CompareStruct, NamesOrderAndCounts) {
    const Value ab = rec({{"a", 1}, {"b", 2}});
    EXPECT_TRUE(compareStruct(ab, rec({{"a", 1}, {"b", 2}})));
    EXPECT_FALSE(compareStruct(ab, rec({{"b", 2}, {"a", 1}})));  // same content, other order
    EXPECT_FALSE(compareStruct(ab, rec({{"a", 1}, {"c", 2}})));
    EXPECT_FALSE(compareStruct(ab, rec({{"a", 1}})));
    EXPECT_FALSE(compareStruct(ab, rec({{"a", 1}, {"b", 2}, {"c", 3}})));
    EXPECT_TRUE(compareStruct(Value::record(), Value::record()));
    EXPECT_FALSE(compareStruct(Value(1), Value(1)));  // only records compare
    EXPECT_FALSE(compareStruct(Value(), Value()));
}

TEST(CompareStruct, NestedRecords) {
    Value rpc = Value::filled(16, 59, -3);
    const Value a = rec({{"Mode", 1}, {"slot", rec({{"RPCslotGain", rpc}})}});
    EXPECT_TRUE(compareStruct(a, a));
    rpc.real()[16 * 58 + 15] = -3.5;  // the very last element
    const Value b = rec({{"Mode", 1}, {"slot", rec({{"RPCslotGain", rpc}})}});
    EXPECT_FALSE(compareStruct(a, b));
    EXPECT_FALSE(sameField(rec({{"x", 1}}), rec({{"y", 1}})));
    EXPECT_FALSE(sameField(rec({}), Value()));  // a record is never empty
}

TEST(CompareStruct, EmptyTextAndKinds) {
    // Empty values match whatever their kind or shape.
    EXPECT_TRUE(sameField(Value(), Value::matrix(0, 3, {})));
    EXPECT_TRUE(sameField(Value(""), Value()));
    EXPECT_TRUE(sameField(Value(""), Value::row({})));
    EXPECT_TRUE(sameField(Value("GPIB"), Value("GPIB")));
    EXPECT_FALSE(sameField(Value("GPIB"), Value("gpib")));
    EXPECT_FALSE(sameField(Value("1"), Value(1)));
    EXPECT_FALSE(sameField(Value(), Value(0)));
    EXPECT_FALSE(sameField(Value::row({1, 2}), Value::column({1, 2})));  // dimensions differ
}

TEST(CompareStruct, NaNRules) {
    // NaN differs from itself, so one NaN position alone is a difference...
    EXPECT_FALSE(sameField(Value(kNaN), Value(1)));
    EXPECT_FALSE(sameField(Value::row({kNaN, 1}), Value::row({kNaN, kNaN})));  // counts 1 vs 2
    EXPECT_FALSE(sameField(Value::row({1, 2}), Value::row({1, 3})));           // no NaN at all
    // ...but equal NaN counts forgive every difference, even in other positions.
    EXPECT_TRUE(sameField(Value(kNaN), Value(kNaN)));
    EXPECT_TRUE(sameField(Value::row({kNaN, 1}), Value::row({2, kNaN})));
    EXPECT_TRUE(sameField(Value::row({kNaN, 1, 5}), Value::row({kNaN, 1, 6})));
}

TEST(CompareStruct, ComplexComparesBothParts) {
    using C = std::complex<double>;
    EXPECT_TRUE(sameField(Value(C(1, 2)), Value(C(1, 2))));
    EXPECT_FALSE(sameField(Value(C(1, 2)), Value(C(1, -2))));
    EXPECT_FALSE(sameField(Value(C(1, 2)), Value(1)));
    EXPECT_TRUE(sameField(Value(C(1, 0)), Value(1)));  // a zero imaginary part is no difference
    EXPECT_TRUE(sameField(Value(C(1, kNaN)), Value(C(kNaN, 0))));
}
