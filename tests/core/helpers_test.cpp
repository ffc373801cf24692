// The window-free Global helpers: number display by magnitude and null-safe field text (the
// silent error sink is watched by the order list's window tests).
#include "core/helpers.h"

#include <gtest/gtest.h>

#include "core/errors.h"
#include "support/scripted_seams.h"

using core::Value;

namespace {

// Each magnitude rounds to its pattern: "#" from 10, "0.0" from 1, "0.0#" from 0.1, "0.0##" from
// 0.01, "0.0###" from 0.001, "0.0#####" below; the Russian text is the same with a comma.
TEST(FormatValue, RoundsToThePatternOfItsMagnitude) {
    // clang-format off
    const struct { Value value; const char* english; } cases[] = {
        {10, "10"}, {12.6, "13"}, {12.5, "13"}, {12345, "12345"}, {1234567.49, "1234567"}, {Value::int16(250), "250"},
        {999999999999999.0, "999999999999999"}, {1e15, "1000000000000000"}, {99999999999999.5, "100000000000000"},
        {1, "1.0"}, {2.26, "2.3"}, {2.25, "2.3"}, {2.35, "2.4"}, {9.96, "10.0"}, {9.99999, "10.0"}, {1.04, "1.0"},
        {0.1, "0.1"}, {0.126, "0.13"}, {0.125, "0.13"}, {0.5, "0.5"}, {0.999, "1.0"}, {0.01, "0.01"},
        {0.0126, "0.013"}, {0.0995, "0.1"}, {0.001, "0.001"}, {0.00126, "0.0013"}, {0, "0.0"}, {0.0, "0.0"},
        {0.0001234, "0.000123"}, {0.0000005, "0.000001"}, {0.0000004, "0.0"}, {1e-300, "0.0"}, {"12.6", "13"}};
    // clang-format on
    for (const auto& c : cases) {
        testsupport::LocaleGuard en(QLocale(QLocale::English, QLocale::UnitedStates));
        EXPECT_EQ(Global::FormatValue(c.value), Value::text(c.english));
        testsupport::LocaleGuard ru(QLocale(QLocale::Russian));
        EXPECT_EQ(Global::FormatValue(c.value),
                  Value::text(QString::fromLatin1(c.english).replace('.', ',')));
    }
}

TEST(FormatValue, NegativeAndNullComeBackUnchangedAndNoNumberFails) {
    testsupport::LocaleGuard ru(QLocale(QLocale::Russian));
    const Value cases[] = {Value(-5), Value(-0.001),        Value::int16(-1), Value::null(),
                           Value(),   Value::boolean(true), Value("-3,5")};
    for (const Value& v : cases) EXPECT_EQ(Global::FormatValue(v), v) << v.toText().toStdString();
    EXPECT_EQ(Global::FormatValue(Value::boolean(false)), Value::text("0,0"));
    EXPECT_THROW(Global::FormatValue(Value("abc")), core::ConversionError);
}

TEST(ValueOrDefault, FallsBackOnlyForNullAndEmptyText) {
    // clang-format off
    const struct Case { Value value, fallback; const char* expected; } cases[] = {
        {Value::null(), "", ""}, {Value::null(), "нет", "нет"}, {Value::text(""), "нет", "нет"}, {Value(), "нет", "нет"},
        {Value(0), "нет", "0"}, {Value(0.0), "x", "0"}, {Value::int16(7), "x", "7"}, {Value(2.5), "x", "2.5"},
        {Value("  "), "x", "  "}, {Value("текст"), "x", "текст"}, {Value::null(), 5, "5"}};
    // clang-format on
    for (const Case& c : cases)
        EXPECT_EQ(Global::ValueOrDefault(c.value, c.fallback), QString::fromUtf8(c.expected)) << c.expected;
}

}  // namespace
