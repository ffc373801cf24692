// The window-free Global helpers: number display by magnitude, null-safe field text,
// the silent error sink.
#include "core/errors.h"
#include "core/helpers.h"
#include "support/scripted_seams.h"

#include <gtest/gtest.h>

using core::Value;

namespace {

struct DisplayCase {
    Value value;
    const char* english;  // the Russian text is the same with a comma
};

class FormatValueDisplay : public ::testing::TestWithParam<DisplayCase> {};

TEST_P(FormatValueDisplay, RoundsToThePatternOfItsMagnitude) {
    const DisplayCase& c = GetParam();
    {
        testsupport::LocaleGuard en(QLocale(QLocale::English, QLocale::UnitedStates));
        EXPECT_EQ(Global::FormatValue(c.value), Value::text(c.english));
    }
    {
        testsupport::LocaleGuard ru(QLocale(QLocale::Russian));
        EXPECT_EQ(Global::FormatValue(c.value), Value::text(QString::fromLatin1(c.english).replace('.', ',')));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Thresholds, FormatValueDisplay,
    ::testing::Values(
        // "#" from 10 up: no fraction, no group separators
        DisplayCase{10, "10"}, DisplayCase{12.6, "13"}, DisplayCase{12.5, "13"}, DisplayCase{12345, "12345"},
        DisplayCase{1234567.49, "1234567"}, DisplayCase{Value::int16(250), "250"},
        // "0.0" from 1: exactly one decimal
        DisplayCase{1, "1.0"}, DisplayCase{2.26, "2.3"}, DisplayCase{2.25, "2.3"}, DisplayCase{2.35, "2.4"},
        DisplayCase{9.96, "10.0"}, DisplayCase{9.99999, "10.0"}, DisplayCase{1.04, "1.0"},
        // "0.0#" from 0.1
        DisplayCase{0.1, "0.1"}, DisplayCase{0.126, "0.13"}, DisplayCase{0.125, "0.13"}, DisplayCase{0.5, "0.5"},
        DisplayCase{0.999, "1.0"},
        // "0.0##" from 0.01
        DisplayCase{0.01, "0.01"}, DisplayCase{0.0126, "0.013"}, DisplayCase{0.0995, "0.1"},
        // "0.0###" from 0.001
        DisplayCase{0.001, "0.001"}, DisplayCase{0.00126, "0.0013"},
        // "0.0#####" from 0
        DisplayCase{0, "0.0"}, DisplayCase{0.0, "0.0"}, DisplayCase{0.0001234, "0.000123"},
        DisplayCase{0.0000005, "0.000001"}, DisplayCase{0.0000004, "0.0"}, DisplayCase{1e-300, "0.0"},
        // numbers held as text are shown by their value
        DisplayCase{"12.6", "13"}));

TEST(FormatValue, NegativeAndNullComeBackUnchanged) {
    testsupport::LocaleGuard ru(QLocale(QLocale::Russian));
    const Value cases[] = {Value(-5), Value(-0.001), Value::int16(-1), Value::null(), Value(), Value::boolean(true),
                           Value("-3,5")};
    for (const Value& v : cases)
        EXPECT_EQ(Global::FormatValue(v), v) << v.toText().toStdString();
    EXPECT_EQ(Global::FormatValue(Value::boolean(false)), Value::text("0,0"));
}

TEST(FormatValue, TextThatIsNoNumberFails) {
    EXPECT_THROW(Global::FormatValue(Value("abc")), core::ConversionError);
}

TEST(ValueOrDefault, FallsBackOnlyForNullAndEmptyText) {
    struct Case {
        Value value;
        Value fallback;
        const char* expected;
    } cases[] = {
        {Value::null(), "", ""},
        {Value::null(), "нет", "нет"},
        {Value::text(""), "нет", "нет"},
        {Value(), "нет", "нет"},
        {Value(0), "нет", "0"},
        {Value(0.0), "x", "0"},
        {Value::int16(7), "x", "7"},
        {Value(2.5), "x", "2.5"},
        {Value("  "), "x", "  "},
        {Value("текст"), "x", "текст"},
        {Value::null(), 5, "5"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Global::ValueOrDefault(c.value, c.fallback), QString::fromUtf8(c.expected)) << c.expected;
}

TEST(ReportError, ShowsNothingToTheOperator) {
    testsupport::ScriptedMessages boxes;
    Global::ReportError(QStringLiteral("Не могу проверить корзину!"));
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST(CurrentUserName, IsEmpty) { EXPECT_EQ(Global::CurrentUserName(), QString()); }

}  // namespace
