// The order list's statements, state captions and wheel arithmetic, without a window.
#include "orderlist/basket_list_logic.h"

#include <gtest/gtest.h>

using namespace orderlist;

namespace {

const QDate kSep26(2010, 9, 26);
const QDate kSep27(2010, 9, 27);

TEST(OrderListStatement, EachFilterItemGivesItsCondition) {
    const struct {
        const char* filter;
        const char* condition;
    } cases[] = {
        {"<Все>", " WHERE  CR_DT>'2010.09.26' AND  CR_DT<'2010.09.28'"},
        {"Новая", " WHERE IND_STT=1 AND  CR_DT>'2010.09.26' AND  CR_DT<'2010.09.28'"},
        {"Отложена", " WHERE IND_STT=2 AND  CR_DT>'2010.09.26' AND  CR_DT<'2010.09.28'"},
        {"Обработана", " WHERE IND_STT=3 AND  CR_DT>'2010.09.26' AND  CR_DT<'2010.09.28'"},
        {"", " WHERE  CR_DT>'2010.09.26' AND  CR_DT<'2010.09.28'"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(listStatement(QString::fromUtf8(c.filter), kSep26, kSep27),
                  QStringLiteral("SELECT * FROM TBL_APPS ") + QString::fromUtf8(c.condition) +
                      QStringLiteral(" ORDER BY IND"))
            << c.filter;
    }
}

TEST(OrderListStatement, LastDayAtYearEndRollsIntoNextYear) {
    EXPECT_TRUE(listStatement(QStringLiteral("<Все>"), QDate(2010, 12, 31), QDate(2010, 12, 31))
                    .contains(QStringLiteral("CR_DT<'2011.01.01'")));
}

TEST(OrderListCaption, StateValues) {
    const struct {
        core::Value value;
        const char* caption;
    } cases[] = {
        {core::Value::null(), "Новая"},        {core::Value::int32(0), ""},
        {core::Value::int32(1), "Новая"},      {core::Value::int32(2), "Отложена"},
        {core::Value::int32(3), "Обработана"}, {core::Value::int32(4), ""},
        {core::Value::int32(-1), ""},          {core::Value::dbl(2.0), "Отложена"},
        {core::Value::dbl(2.5), ""},           {core::Value::dbl(1e12), ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(stateCaption(c.value), QString::fromUtf8(c.caption)) << c.value.toText().toStdString();
}

TEST(OrderListCaption, RefreshedStateNumbersBecomeCaptionsOtherTextsStay) {
    EXPECT_EQ(refreshedStateCaption(QStringLiteral("3")), QStringLiteral("Обработана"));
    EXPECT_EQ(refreshedStateCaption(QStringLiteral(" 1 ")), QStringLiteral("Новая"));
    EXPECT_EQ(refreshedStateCaption(QStringLiteral("9")), QString());
    EXPECT_EQ(refreshedStateCaption(QStringLiteral("В работе")), QStringLiteral("В работе"));
    EXPECT_EQ(refreshedStateCaption(QString()), QString());
}

TEST(OrderExchangeStatements, DeletionAndRefreshTexts) {
    EXPECT_EQ(delAppStatement(QStringLiteral("42"), QString()),
              QStringLiteral("exec nom_command 'delApp', 42, ''"));
    EXPECT_EQ(delAppStatement(QStringLiteral("42"), QStringLiteral("O'Neil")),
              QStringLiteral("exec nom_command 'delApp', 42, 'O''Neil'"));
    EXPECT_EQ(sngAppStatement(QDate(2010, 9, 6), QDate(2010, 10, 1), QStringLiteral("7")),
              QStringLiteral("nom_command1 'sngApp', '20100906', '20101001', 7"));
}

TEST(OrderListWheel, StepIsATenthOfTheGridAtLeastTwo) {
    const struct {
        int gridHeight, rowHeight, step;
    } cases[] = {
        {2550, 255, 2},   // ten rows: quotient 1
        {10200, 255, 4},  // forty rows
        {10199, 255, 3},  // whole part only
        {100, 255, 2},    // tiny grid
        {5000, 0, 2},     // hidden row 1
    };
    for (const auto& c : cases)
        EXPECT_EQ(wheelStep(c.gridHeight, c.rowHeight), c.step) << c.gridHeight << "/" << c.rowHeight;
}

TEST(OrderListWheel, TopRowStaysBetweenFirstAndLastRow) {
    EXPECT_EQ(wheelTopRow(1, 4, -120, 50), 5);  // towards the operator: down
    EXPECT_EQ(wheelTopRow(1, 4, 0, 50), 5);
    EXPECT_EQ(wheelTopRow(48, 4, -120, 50), 50);
    EXPECT_EQ(wheelTopRow(9, 4, 120, 50), 5);  // away: up
    EXPECT_EQ(wheelTopRow(3, 4, 1, 50), 1);
}

}  // namespace
