// The order object in memory: slots, cursor, field access and SQL renderings.
#include "core/errors.h"
#include "order/clsZak.h"
#include "support/scripted_seams.h"

#include <gtest/gtest.h>

#include <cfloat>

using core::Value;

namespace {

class OrderObject : public ::testing::Test {
protected:
    void SetUp() override { order.Init(); }

    int16_t addLine(int32_t idn, double qty = 1.0) {
        const int16_t slot = order.InsertRow();
        order.setField("idn", idn);
        order.setField("qty", qty);
        return slot;
    }
    QList<int> walk() {
        QList<int> visited;
        for (order.MoveFirst(); order.Field("pos").toInt32() >= 0; order.MoveNext())
            visited << order.Field("pos").toInt32();
        return visited;
    }
    int pos() const { return order.Field("pos").toInt32(); }

    clsZak order;
    testsupport::ScriptedMessages boxes;
};

TEST_F(OrderObject, SlotsAreReusedAndTheWalkFollowsSlotOrder) {
    EXPECT_EQ(pos(), 0) << "a fresh object's cursor";
    addLine(10);
    addLine(20, 2.5);
    addLine(30);
    order.setField("prim", "note");
    order.MoveTo(1);
    EXPECT_EQ(order.RemoveRow(1), 0);
    EXPECT_EQ(pos(), 1) << "the cursor stays on the cleared slot";
    EXPECT_EQ(QStringList({order.Field("idn").toText(), order.Field("qty").toText()}), (QStringList{"0", "0"}));
    for (int16_t slot : {int16_t(-1), int16_t(1), int16_t(101), int16_t(32767)})
        EXPECT_EQ(order.RemoveRow(slot), 0) << slot;
    EXPECT_EQ(order.RecordCount(), 2);
    EXPECT_EQ(walk(), (QList<int>{0, 2}));
    EXPECT_EQ(order.InsertRow(), 1);
    EXPECT_EQ(order.Field("prim"), Value::text("")) << "a reused slot starts empty";
    EXPECT_EQ(walk(), (QList<int>{0, 1, 2}));
    while (order.InsertRow() >= 0) {
    }
    order.MoveTo(40);
    EXPECT_EQ(order.InsertRow(), -1) << "a full table refuses the next line and keeps the cursor";
    EXPECT_EQ(QList<int>({order.RecordCount(), pos()}), QList<int>({101, 40}));
    order.MoveTo(100);
    order.MoveNext();
    EXPECT_EQ(pos(), -1) << "the last slot ends the walk";
}

TEST_F(OrderObject, UnknownNamesCursorAndMissingLineAreRefused) {
    addLine(1);
    addLine(77);
    for (const Value& name : {Value("QTY"), Value("Pos"), Value(), Value(3)})
        EXPECT_TRUE(order.Field(name).isEmpty()) << name.toText().toStdString();
    order.setField("QTY", 5);
    order.setField("pos", 0);
    EXPECT_EQ(boxes.texts(), (QStringList{"Err2", "Err2"}));
    EXPECT_EQ(pos(), 1);
    EXPECT_EQ(order.Field("qty"), Value::dbl(1.0));

    order.MoveTo(50);  // no current line: reading gives empty, writing shows "Err" whatever the name
    EXPECT_TRUE(order.Field("idn").isEmpty());
    order.setField("qty", 5);
    order.setField("nonsense", 5);
    EXPECT_EQ(boxes.texts().mid(2), (QStringList{"Err", "Err"}));
    EXPECT_TRUE(boxes.shown.at(2).title.isEmpty()) << "the application's title";
}

TEST_F(OrderObject, WritingConvertsOrThrowsAndKeepsTheField) {
    testsupport::LocaleGuard ru(QLocale(QLocale::Russian));
    addLine(9, 4.0);
    order.setField("rezFlg", 1);
    const struct { const char* field; Value value, stored; } cases[] = {  // stored empty: the write throws
        {"qty", "2,5", Value::dbl(2.5)}, {"qty", "3.75", Value::dbl(3.75)}, {"idn", 41.6, Value::int32(42)},
        {"idn", "17", Value::int32(17)}, {"rezFlg", -1, Value::int16(-1)}, {"id_base", 123, Value::int32(123)},
        {"ed", "t", Value::text("t")}, {"idn", Value::null(), Value::int32(0)}, {"qty", Value::null(), Value::dbl(0)},
        {"prim", Value::null(), Value::text("")}, {"qty", "abc", {}}, {"qty", "2.5.1", {}}, {"idn", "12x", {}},
        {"idn", 3e10, {}}, {"ind_tbl", "1,2,3", {}}, {"rezFlg", 40000, {}}, {"id_base", Value::text(""), {}},
        {"qty", Value::dbl(std::numeric_limits<double>::infinity()), {}},
        {"prim", QString(255, QLatin1Char('x')), {}},  // wider than the notes' column
    };
    for (const auto& c : cases) {
        const std::string what = std::string(c.field) + " " + c.value.toText().left(9).toStdString();
        const Value before = order.Field(c.field);
        if (c.stored.isEmpty())
            EXPECT_THROW(order.setField(c.field, c.value), core::ConversionError) << what;
        else
            order.setField(c.field, c.value);
        EXPECT_EQ(order.Field(c.field), c.stored.isEmpty() ? before : c.stored) << what;
    }
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_F(OrderObject, MoveToMoveNextAndFindIND) {
    addLine(1);
    addLine(7);
    addLine(7);
    order.RemoveRow(0);
    const struct { int32_t target, expected; } cases[] = {{2, 2}, {0, -1}, {1, 1}, {-1, -1}, {101, -1}, {100000, -1}};
    for (const auto& c : cases) {
        order.MoveTo(c.target);
        EXPECT_EQ(pos(), c.expected) << c.target;
    }
    order.MoveTo(-1);
    order.MoveNext();  // from no line, like MoveFirst
    EXPECT_EQ(pos(), 1);
    EXPECT_TRUE(order.FindIND(7));
    EXPECT_EQ(pos(), 1) << "the lowest slot";
    EXPECT_FALSE(order.FindIND(1)) << "a free slot is not found by its cleared values";
    EXPECT_EQ(pos(), -1);
    EXPECT_FALSE(order.FindIND(0));
}

TEST_F(OrderObject, ClearFreesTheLinesAndResetsTheHeaderButThree) {
    addLine(5);
    addLine(6);
    order.order_type = order.norder = order.state = order.dost_flg = 3;
    order.order_is_locked = true;  // without an exchange number nothing is sent
    order.contr_id = order.Comment = order.shts = "x";
    order.create_date = "01.02.2024";
    order.otd = "o";
    order.grpZay = 9;
    order.Clear();
    EXPECT_EQ(QList<int>({order.RecordCount(), pos(), order.order_type, order.norder, order.order_is_locked,
                          order.state, order.dost_flg, order.grpZay}),
              QList<int>({0, 1, 0, 0, 0, 0, 0, 9}));  // the cursor stays
    EXPECT_EQ(QStringList({order.contr_id, order.Comment, order.shts, order.create_date, order.otd}),
              QStringList({"", "", "", "01.02.2024", "o"}));
}

TEST_F(OrderObject, FieldSqlRendersTheCurrentLinesField) {
    testsupport::LocaleGuard ru(QLocale(QLocale::Russian));  // a comma must never reach SQL
    addLine(0, 0.0);
    const struct { const char* field; Value value; const char* sql; } cases[] = {
        {"qty", 2.5, "2.5"}, {"qty", 3, "3"}, {"qty", 0.1 + 0.2, "0.3"}, {"qty", 1234567.125, "1234567.125"},
        {"qty", 0.00001, "0.00001"}, {"qty", -1.5, "-1.5"}, {"qty", -DBL_MAX, "-1.7976931348623157e+308"}, {"idn", -17, "-17"}, {"ind_tbl", 2048, "2048"},
        {"prim", "  ", "NULL"}, {"prim", " ab ", "'ab'"}, {"prim", "O'Neil", "'O''Neil'"}, {"ed", "", "NULL"},
        {"filial", "Склад №1", "'Склад №1'"}, {"rezFlg", -1, "1"}, {"rezFlg", 0, "NULL"}, {"id_usl", "   ", "NULL"},
        {"id_usl", " 12345678901", "' 12345678'"}, {"id_usl", "ab'cdefghij", "'ab''cdefgh'"},
        {"id_base", 1234567890, "123456789"}, {"id_base", -42, "-42"},
    };
    for (const auto& c : cases) {
        order.setField(c.field, c.value);
        EXPECT_EQ(order.FieldSql(c.field), QString::fromUtf8(c.sql)) << c.field << " " << c.sql;
    }
    EXPECT_EQ(order.FieldSql("pos"), "0");
    EXPECT_EQ(order.FieldSql("QTY"), "");
    order.MoveFirst();
    order.MoveNext();
    for (const char* name : {"qty", "pos", "nothing"})
        EXPECT_EQ(order.FieldSql(name), "NULL") << "no current line: " << name;
}

}  // namespace
