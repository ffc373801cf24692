// The field value: its kinds and the conversions the order object and the windows rely on.
#include "core/value.h"

#include <gtest/gtest.h>

#include <limits>

#include "core/errors.h"
#include "support/scripted_seams.h"

using core::Value;

namespace {

QString messageOf(void (*step)()) {
    try {
        step();
    } catch (const core::Error& e) {
        return e.message();
    }
    return {};
}

TEST(Value, TextIsReadWithTheOperatorsSeparatorOrAPoint) {
    struct Case {
        QLocale locale;
        const char* text;
        double expected;
    } cases[] = {{QLocale(QLocale::Russian), "2,5", 2.5}, {QLocale(QLocale::Russian), "2.5", 2.5},
                 {QLocale(QLocale::Russian), " 7 ", 7.0}, {QLocale(QLocale::Russian), "-0,25", -0.25},
                 {QLocale(QLocale::English), "2.5", 2.5}, {QLocale::c(), "1e3", 1000.0},
                 {QLocale(QLocale::German), "2,5", 2.5}};
    for (const Case& c : cases) {
        testsupport::LocaleGuard g(c.locale);
        EXPECT_DOUBLE_EQ(Value(c.text).toDouble(), c.expected) << c.text;
    }
}

TEST(Value, TextThatIsNoNumberFailsToConvert) {
    testsupport::LocaleGuard ru(QLocale(QLocale::Russian));
    // group separators are not accepted: "1 234" could be two numbers typed apart
    for (const char* text : {"", "  ", "abc", "2,5,1", "1\u00a0234", "12x", "inf", "nan"}) {
        EXPECT_THROW(Value(text).toDouble(), core::ConversionError) << text;
        EXPECT_THROW(Value(text).toInt32(), core::ConversionError) << text;
    }
    EXPECT_EQ(messageOf([] { Value("12x").toInt32(); }), "«12x» — не число.");
    testsupport::LocaleGuard en(QLocale(QLocale::English));
    EXPECT_THROW(Value("1,234").toDouble(), core::ConversionError);
}

TEST(Value, WholeNumberConversionsRoundHalfToEvenAndCheckTheRange) {
    struct Case {
        Value v;
        int32_t expected;
    } cases[] = {{Value(2.5), 2}, {Value(3.5), 4},     {Value(-2.5), -2},
                 {Value(2.6), 3}, {Value("41,5"), 42}, {Value::boolean(true), -1},
                 {Value(), 0}};
    testsupport::LocaleGuard ru(QLocale(QLocale::Russian));
    for (const Case& c : cases) EXPECT_EQ(c.v.toInt32(), c.expected) << c.v.toText().toStdString();

    EXPECT_EQ(Value(32767).toInt16(), 32767);
    EXPECT_THROW(Value(32768).toInt16(), core::ConversionError);
    EXPECT_THROW(Value(-32769).toInt16(), core::ConversionError);
    EXPECT_EQ(Value(2147483647.0).toInt32(), std::numeric_limits<int32_t>::max());
    EXPECT_THROW(Value(2147483648.0).toInt32(), core::ConversionError);
    EXPECT_THROW(Value(std::numeric_limits<double>::quiet_NaN()).toInt32(), core::ConversionError);
}

TEST(Value, NullConvertsOnlyToTextAndTheOperatorReadsWhy) {
    EXPECT_EQ(messageOf([] { Value::null().toInt16(); }),
              "Пустое значение (NULL) нельзя преобразовать в целое из 16 бит.");
    EXPECT_THROW(Value::null().toDouble(), core::ConversionError);
    EXPECT_THROW(Value::null().toBool(), core::ConversionError);
    EXPECT_EQ(Value::null().toText(), "");
    EXPECT_EQ(Value().toDouble(), 0.0);
    EXPECT_TRUE(Value(" false ").toBool() == false && Value("2").toBool() && Value(-1).toBool());
    EXPECT_THROW(Value("yes").toBool(), core::ConversionError);
}

TEST(Value, TextFormUsesTheOperatorsSeparatorWithoutGrouping) {
    const struct {
        Value v;
        const char* c;
        const char* ru;
    } cases[] = {{Value(2.5), "2.5", "2,5"},
                 {Value(1234567.0), "1234567", "1234567"},
                 {Value(123456789012.3456), "123456789012.3456", "123456789012,3456"},
                 {Value(0.00001), "0.00001", "0,00001"},
                 {Value(1.2345678901234e-7), "0.00000012345678901234", "0,00000012345678901234"},
                 {Value(-0.5), "-0.5", "-0,5"},
                 {Value(0.0), "0", "0"},
                 {Value(1e20), "1e+20", "1e+20"},
                 {Value::int32(-12345), "-12345", "-12345"},
                 {Value::boolean(false), "False", "False"}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.v.toText(), QString::fromLatin1(c.c));
        testsupport::LocaleGuard ru(QLocale(QLocale::Russian));
        EXPECT_EQ(c.v.toText(), QString::fromLatin1(c.ru));
    }
}

TEST(Value, TextFormReadsBackToTheSameDouble) {
    testsupport::LocaleGuard ru(QLocale(QLocale::Russian));
    for (double d : {0.1, 1.0 / 3.0, 2.675, 1e-8, 98765.4321, 1e14 + 0.5})
        EXPECT_EQ(Value(Value(d).toText()).toDouble(), d) << d;
}

}  // namespace
