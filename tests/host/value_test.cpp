#include "host/core/value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <stdexcept>

#include "host/core/number_text.h"
#include "host/core/text.h"

using host::Value;

TEST(Value, KindsAndEmptiness) {
    EXPECT_TRUE(Value().isEmpty());
    EXPECT_EQ(Value().kind(), Value::Kind::Empty);
    EXPECT_TRUE(Value::row({}).isEmpty());
    EXPECT_TRUE(Value::matrix(0, 5, {}).isEmpty());
    EXPECT_TRUE(Value("").isEmpty());
    EXPECT_FALSE(Value(0).isEmpty());  // zero is a value, not "nothing"
    EXPECT_FALSE(Value::record().isEmpty());

    const Value m = Value::matrix(2, 3, {1, 2, 3, 4, 5, 6});
    EXPECT_EQ(m.rows(), 2u);
    EXPECT_EQ(m.cols(), 3u);
    EXPECT_EQ(m.at(1, 0), 2);  // column-major
    EXPECT_EQ(m.at(0, 2), 5);
    EXPECT_THROW(m.at(2, 0), std::out_of_range);
    EXPECT_EQ(Value::column({1, 2, 3}).rows(), 3u);
    EXPECT_EQ(Value::row({1, 2, 3}).rows(), 1u);

    const Value z(std::complex<double>(1, -2));
    EXPECT_TRUE(z.isComplex());
    EXPECT_EQ(z.complexAt(0, 0), std::complex<double>(1, -2));
    EXPECT_THROW(z.scalar(), std::runtime_error);

    EXPECT_THROW(Value::matrix(2, 2, {1, 2, 3}), std::invalid_argument);
    EXPECT_THROW(Value::matrix(1, 2, {1, 2}, {1}), std::invalid_argument);
}

TEST(Value, WrongKindAccessNamesBothKinds) {
    try {
        (void)Value("abc").scalar();
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("numeric"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("\"abc\""), std::string::npos) << e.what();
    }
    EXPECT_THROW(Value(1.0).text(), std::runtime_error);
    EXPECT_THROW(Value(1.0).fieldNames(), std::runtime_error);
    EXPECT_THROW(Value::record().field("x"), std::runtime_error);
}

TEST(Value, RecordKeepsFieldOrderAndCopiesDeeply) {
    Value r = Value::record();
    r.set("b", 1);
    r.set("a", "text");
    Value inner = Value::record();
    inner.set("x", Value::row({1, 2}));
    r.set("c", inner);
    r.set("a", 7);  // replaced in place, not moved to the end
    EXPECT_EQ(r.fieldNames(), (std::vector<std::string>{"b", "a", "c"}));
    EXPECT_EQ(r.field("a").scalar(), 7);

    Value copy = r;
    copy.field("c").field("x").real()[0] = 99;
    EXPECT_EQ(r.field("c").field("x").at(0, 0), 1);
    EXPECT_FALSE(copy == r);
    EXPECT_EQ(r.find("missing"), nullptr);
}

TEST(Value, PrintsCompactly) {
    Value r = Value::record();
    r.set("n", -12.5);
    r.set("t", "hi");
    r.set("m", Value::filled(16, 59, 0));
    r.set("e", Value());
    std::ostringstream os;
    os << r;
    EXPECT_EQ(os.str(), "{n: -12.5, t: \"hi\", m: [16x59], e: []}");
}

TEST(NumberText, IntegersPlainOthersGeneral) {
    using host::numberText;
    EXPECT_EQ(numberText(2200000000), "2200000000");
    EXPECT_EQ(numberText(-30), "-30");
    EXPECT_EQ(numberText(983040), "983040");
    EXPECT_EQ(numberText(1e15), "1000000000000000");
    EXPECT_EQ(numberText(-0.0), "0");
    EXPECT_EQ(numberText(-12.5), "-12.5");
    EXPECT_EQ(numberText(0.1), "0.1");
    EXPECT_EQ(numberText(0.1 + 0.2), "0.3");
    EXPECT_EQ(numberText(95.25), "95.25");
    EXPECT_EQ(std::stod(numberText(6.25e-5)), 6.25e-5);
    EXPECT_EQ(numberText(std::nan("")), "NaN");
    EXPECT_EQ(numberText(std::numeric_limits<double>::infinity()), "Inf");
    EXPECT_EQ(numberText(-std::numeric_limits<double>::infinity()), "-Inf");
    // Huge and tiny values in messages stay short.
    EXPECT_EQ(numberText(1e308), "1e308");
    EXPECT_EQ(numberText(-1e16), "-1e16");
    EXPECT_EQ(numberText(2.5e-7), "2.5e-7");
}

TEST(Printable, ControlCharactersAndBrokenTextAreEscaped) {
    EXPECT_EQ(host::printable("gain \x1b[31mred\x1b[0m\n\x7f"), "gain \\x1B[31mred\\x1B[0m\\x0A\\x7F");
    EXPECT_EQ(host::printable("\xff\xc2\x9b x"), "\\xFF\\xC2\\x9B x");  // not UTF-8; a C1 control
    EXPECT_EQ(host::printable("Trägerfrequenz µ Ω ≤ 2"), "Trägerfrequenz µ Ω ≤ 2");
    // Text shown in messages is escaped too.
    EXPECT_EQ(Value("a\x07").describe(), "text \"a\\x07\"");
}
