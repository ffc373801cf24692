// The field value: its kinds and the conversions the order object and the windows rely on.
#include "core/value.h"

#include <gtest/gtest.h>

#include <limits>
#include <tuple>
#include <utility>

#include "core/errors.h"
#include "support/scripted_seams.h"

using core::Value;

namespace {

// The operator's decimal separator or a point, nothing else ("12x" is refused by its message
// in the store's tests).
TEST(Value, TextIsReadWithTheOperatorsSeparatorOrAPointAndNothingElse) {
    const std::tuple<QLocale, const char*, double> cases[] = {
        {QLocale(QLocale::Russian), "2,5", 2.5}, {QLocale(QLocale::Russian), "2.5", 2.5},
        {QLocale(QLocale::Russian), " 7 ", 7.0}, {QLocale(QLocale::Russian), "-0,25", -0.25},
        {QLocale(QLocale::English), "2.5", 2.5}, {QLocale::c(), "1e3", 1000.0},
        {QLocale(QLocale::German), "2,5", 2.5}};
    for (const auto& [locale, text, expected] : cases) {
        testsupport::LocaleGuard g(locale);
        EXPECT_DOUBLE_EQ(Value(text).toDouble(), expected) << text;
    }
    testsupport::LocaleGuard ru(QLocale(QLocale::Russian));
    // group separators are not accepted: "1 234" could be two numbers typed apart
    for (const char* text : {"", "  ", "abc", "2,5,1", "1\u00a0234", "12x", "inf", "nan"}) {
        EXPECT_THROW(Value(text).toDouble(), core::ConversionError) << text;
        EXPECT_THROW(Value(text).toInt32(), core::ConversionError) << text;
    }
    testsupport::LocaleGuard en(QLocale(QLocale::English));
    EXPECT_THROW(Value("1,234").toDouble(), core::ConversionError);
}

TEST(Value, WholeNumberConversionsRoundHalfToEvenAndCheckTheRange) {
    const std::pair<Value, int32_t> cases[] = {{Value(2.5), 2},     {Value(3.5), 4},
                                               {Value(-2.5), -2},   {Value(2.6), 3},
                                               {Value("41,5"), 42}, {Value::boolean(true), -1},
                                               {Value(), 0}};
    testsupport::LocaleGuard ru(QLocale(QLocale::Russian));
    for (const auto& [v, expected] : cases) EXPECT_EQ(v.toInt32(), expected) << v.toText().toStdString();

    EXPECT_EQ(Value(32767).toInt16(), 32767);
    EXPECT_THROW(Value(32768).toInt16(), core::ConversionError);
    EXPECT_THROW(Value(-32769).toInt16(), core::ConversionError);
    EXPECT_EQ(Value(2147483647.0).toInt32(), std::numeric_limits<int32_t>::max());
    EXPECT_THROW(Value(2147483648.0).toInt32(), core::ConversionError);
    EXPECT_THROW(Value(std::numeric_limits<double>::quiet_NaN()).toInt32(), core::ConversionError);
}

TEST(Value, NullConvertsOnlyToTextAndTheOperatorReadsWhy) {
    try {
        Value::null().toInt16();
        ADD_FAILURE() << "a null became a number";
    } catch (const core::ConversionError& e) {
        EXPECT_EQ(e.message(), "Пустое значение (NULL) нельзя преобразовать в целое из 16 бит.");
    }
    EXPECT_THROW(Value::null().toDouble(), core::ConversionError);
    EXPECT_THROW(Value::null().toBool(), core::ConversionError);
    EXPECT_EQ(Value::null().toText(), "");
    EXPECT_EQ(Value().toDouble(), 0.0);
    EXPECT_TRUE(Value(" false ").toBool() == false && Value("2").toBool() && Value(-1).toBool());
    EXPECT_THROW(Value("yes").toBool(), core::ConversionError);
}

TEST(Value, TextFormUsesTheOperatorsSeparatorWithoutGroupingAndReadsBackToTheSameDouble) {
    const std::tuple<Value, const char*, const char*> cases[] = {
        {Value(2.5), "2.5", "2,5"},
        {Value(1234567.0), "1234567", "1234567"},
        {Value(123456789012.3456), "123456789012.3456", "123456789012,3456"},
        {Value(0.00001), "0.00001", "0,00001"},
        {Value(1.2345678901234e-7), "0.00000012345678901234", "0,00000012345678901234"},
        {Value(-0.5), "-0.5", "-0,5"},
        {Value(0.0), "0", "0"},
        {Value(1e20), "1e+20", "1e+20"},
        {Value::int32(-12345), "-12345", "-12345"},
        {Value::boolean(false), "False", "False"}};
    for (const auto& [v, c, ru] : cases) {
        EXPECT_EQ(v.toText(), QString::fromLatin1(c));
        testsupport::LocaleGuard russian(QLocale(QLocale::Russian));
        EXPECT_EQ(v.toText(), QString::fromLatin1(ru));
    }
    testsupport::LocaleGuard russian(QLocale(QLocale::Russian));  // and the text reads back unchanged
    for (double d : {0.1, 1.0 / 3.0, 2.675, 1e-8, 98765.4321, 1e14 + 0.5})
        EXPECT_EQ(Value(Value(d).toText()).toDouble(), d) << d;
}

}  // namespace
