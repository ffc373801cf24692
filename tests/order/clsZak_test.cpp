// The order object in memory: slots, cursor, field access and SQL renderings.
#include "core/errors.h"
#include "order/clsZak.h"
#include "support/scripted_seams.h"

#include <gtest/gtest.h>

using core::Value;

namespace {

class OrderObject : public ::testing::Test {
protected:
    void SetUp() override { order.Init(); }

    // Adds a line for a position and returns its slot.
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

    clsZak order;
    testsupport::ScriptedMessages boxes;
};

TEST_F(OrderObject, FreshObjectHasNoLinesAndCursorOnSlotZero) {
    EXPECT_EQ(order.RecordCount(), 0);
    EXPECT_EQ(order.Field("pos"), Value::int16(0));
    order.MoveFirst();
    EXPECT_EQ(order.Field("pos"), Value::int16(-1));
}

TEST_F(OrderObject, RemovedSlotIsReusedAndWalkFollowsSlotOrder) {
    addLine(10);
    addLine(20);
    addLine(30);
    EXPECT_EQ(order.RemoveRow(1), 0);
    EXPECT_EQ(order.RecordCount(), 2);
    EXPECT_EQ(walk(), (QList<int>{0, 2}));

    EXPECT_EQ(order.InsertRow(), 1);
    EXPECT_EQ(order.Field("idn"), Value::int32(0)) << "a reused slot starts with the free-slot values";
    EXPECT_EQ(walk(), (QList<int>{0, 1, 2}));
}

TEST_F(OrderObject, RemovingTheCurrentLineLeavesTheCursorOnTheClearedSlot) {
    addLine(10, 2.5);
    order.setField("prim", "note");
    order.RemoveRow(0);
    EXPECT_EQ(order.Field("pos"), Value::int16(0));
    EXPECT_EQ(order.Field("idn"), Value::int32(0));
    EXPECT_EQ(order.Field("qty"), Value::dbl(0.0));
    EXPECT_EQ(order.Field("prim"), Value::text(""));
}

TEST_F(OrderObject, FullTableRefusesTheNextLineAndKeepsTheCursor) {
    for (int i = 0; i <= clsZak::kMaxSlot; ++i)
        ASSERT_EQ(order.InsertRow(), i);
    order.MoveTo(40);
    EXPECT_EQ(order.InsertRow(), -1);
    EXPECT_EQ(order.RecordCount(), 101);
    EXPECT_EQ(order.Field("pos"), Value::int16(40));
}

TEST_F(OrderObject, RemoveRowOfFreeNegativeOrOutOfRangeSlotChangesNothing) {
    addLine(10);
    addLine(20);
    for (int16_t slot : {int16_t(-1), int16_t(5), int16_t(101), int16_t(32767)}) {
        EXPECT_EQ(order.RemoveRow(slot), 0) << slot;
        EXPECT_EQ(order.RecordCount(), 2) << slot;
    }
    order.MoveTo(1);
    EXPECT_EQ(order.Field("idn"), Value::int32(20));
}

TEST_F(OrderObject, ReadsEachLineFieldWithItsType) {
    addLine(77, 1.25);
    order.setField("ind_tbl", 5);
    order.setField("rezFlg", -1);
    order.setField("id_base", 123);
    order.setField("ed", "t");
    EXPECT_EQ(order.Field("pos"), Value::int16(0));
    EXPECT_EQ(order.Field("ind_tbl"), Value::int32(5));
    EXPECT_EQ(order.Field("idn"), Value::int32(77));
    EXPECT_EQ(order.Field("qty"), Value::dbl(1.25));
    EXPECT_EQ(order.Field("rezFlg"), Value::int16(-1));
    EXPECT_EQ(order.Field("id_base"), Value::int32(123));
    EXPECT_EQ(order.Field("ed"), Value::text("t"));
    for (const char* text : {"pr", "rezka", "prim", "sklad", "codeza", "id_usl", "filial"})
        EXPECT_EQ(order.Field(text), Value::text("")) << text;
}

TEST_F(OrderObject, NamesAreCaseSensitiveAndUnknownOnesReadEmpty) {
    addLine(77);
    EXPECT_TRUE(order.Field("QTY").isEmpty());
    EXPECT_TRUE(order.Field("Pos").isEmpty());
    EXPECT_TRUE(order.Field(Value()).isEmpty());
    EXPECT_TRUE(order.Field(3).isEmpty());
    order.setField("QTY", 5);
    EXPECT_EQ(boxes.texts(), QStringList{"Err2"});
    EXPECT_EQ(order.Field("qty"), Value::dbl(1.0));
}

TEST_F(OrderObject, WritingWithoutCurrentLineShowsErrBeforeLookingAtTheName) {
    order.MoveFirst();  // empty order: no current line
    order.setField("qty", 5);
    order.setField("nonsense", 5);
    EXPECT_EQ(boxes.texts(), (QStringList{"Err", "Err"}));
    EXPECT_TRUE(boxes.shown.at(0).title.isEmpty()) << "the application's title";
}

TEST_F(OrderObject, CursorCannotBeWrittenThroughField) {
    addLine(1);
    addLine(2);
    order.setField("pos", 0);
    EXPECT_EQ(boxes.texts(), QStringList{"Err2"});
    EXPECT_EQ(order.Field("pos"), Value::int16(1));
}

TEST_F(OrderObject, ReadingALineFieldWithoutCurrentLineGivesEmpty) {
    addLine(9);
    order.MoveTo(50);
    EXPECT_EQ(order.Field("pos"), Value::int16(-1));
    EXPECT_TRUE(order.Field("idn").isEmpty());
    EXPECT_TRUE(order.Field("prim").isEmpty());
}

TEST_F(OrderObject, NullStoresZeroOrEmptyText) {
    addLine(9, 4.0);
    order.setField("prim", "x");
    order.setField("idn", Value::null());
    order.setField("qty", Value::null());
    order.setField("prim", Value::null());
    EXPECT_EQ(order.Field("idn"), Value::int32(0));
    EXPECT_EQ(order.Field("qty"), Value::dbl(0.0));
    EXPECT_EQ(order.Field("prim"), Value::text(""));
}

TEST_F(OrderObject, UnconvertibleValueThrowsAndKeepsTheField) {
    addLine(9, 4.0);
    order.setField("rezFlg", 1);
    struct Case {
        const char* field;
        Value value;
    } cases[] = {
        {"qty", "abc"},       {"qty", "2.5.1"},          {"idn", "12x"},           {"idn", 3e10},
        {"ind_tbl", "1,2,3"}, {"rezFlg", 40000},         {"id_base", Value::text("")},
        {"qty", Value::dbl(std::numeric_limits<double>::infinity())},
    };
    for (const Case& c : cases) {
        const Value before = order.Field(c.field);
        EXPECT_THROW(order.setField(c.field, c.value), core::ConversionError) << c.field << " " << c.value.toText().toStdString();
        EXPECT_EQ(order.Field(c.field), before) << c.field;
    }
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_F(OrderObject, QuantityTextIsReadWithTheOperatorsSeparatorOrAPoint) {
    testsupport::LocaleGuard ru(QLocale(QLocale::Russian));
    addLine(9);
    order.setField("qty", "2,5");
    EXPECT_EQ(order.Field("qty"), Value::dbl(2.5));
    order.setField("qty", "3.75");
    EXPECT_EQ(order.Field("qty"), Value::dbl(3.75));
}

TEST_F(OrderObject, WholeNumberFieldsRoundAFraction) {
    addLine(9);
    order.setField("idn", 41.6);
    EXPECT_EQ(order.Field("idn"), Value::int32(42));
    order.setField("idn", "17");
    EXPECT_EQ(order.Field("idn"), Value::int32(17));
}

TEST_F(OrderObject, MoveToAndMoveNext) {
    addLine(1);
    addLine(2);
    addLine(3);
    order.RemoveRow(1);
    struct Case {
        int32_t target;
        int expected;
    } cases[] = {{2, 2}, {1, -1}, {0, 0}, {-1, -1}, {101, -1}, {100000, -1}};
    for (const Case& c : cases) {
        order.MoveTo(c.target);
        EXPECT_EQ(order.Field("pos"), Value::int16(c.expected)) << c.target;
    }
    order.MoveTo(0);
    order.MoveNext();
    EXPECT_EQ(order.Field("pos"), Value::int16(2));
    order.MoveNext();
    EXPECT_EQ(order.Field("pos"), Value::int16(-1));
    order.MoveNext();  // from no line, like MoveFirst
    EXPECT_EQ(order.Field("pos"), Value::int16(0));
}

TEST_F(OrderObject, MoveNextFromTheLastSlotEndsTheWalk) {
    for (int i = 0; i <= clsZak::kMaxSlot; ++i)
        order.InsertRow();
    order.MoveTo(100);
    order.MoveNext();
    EXPECT_EQ(order.Field("pos"), Value::int16(-1));
}

TEST_F(OrderObject, FindINDPicksTheLowestSlotOrClearsTheCursor) {
    addLine(5);
    addLine(7);
    addLine(7);
    EXPECT_TRUE(order.FindIND(7));
    EXPECT_EQ(order.Field("pos"), Value::int16(1));
    EXPECT_FALSE(order.FindIND(8));
    EXPECT_EQ(order.Field("pos"), Value::int16(-1));
    order.RemoveRow(1);
    EXPECT_TRUE(order.FindIND(7));
    EXPECT_EQ(order.Field("pos"), Value::int16(2));
}

TEST_F(OrderObject, FreeSlotsAreNotFoundByTheirClearedValues) {
    addLine(0);
    order.RemoveRow(0);
    EXPECT_FALSE(order.FindIND(0));
}

TEST_F(OrderObject, InitEmptiesTheTableAgain) {
    addLine(5);
    addLine(6);
    order.contr = "kept";
    order.Init();
    EXPECT_EQ(order.RecordCount(), 0);
    EXPECT_EQ(order.Field("pos"), Value::int16(0));
    EXPECT_EQ(order.Field("idn"), Value::int32(0));
    EXPECT_EQ(order.contr, "kept");
}

TEST_F(OrderObject, ClearResetsHeaderExceptThreeFieldsAndFreesLines) {
    addLine(5);
    addLine(6);
    order.order_type = 3;
    order.norder = 12;
    order.order_is_locked = true;  // without an exchange number nothing is sent
    order.contr = "c";
    order.contr_id = "i";
    order.Comment = "x";
    order.rekl = "r";
    order.state = 2;
    order.dost_flg = 1;
    order.shts = "s";
    order.create_date = "01.02.2024";
    order.otd = "o";
    order.grpZay = 9;
    order.Clear();
    EXPECT_EQ(order.RecordCount(), 0);
    EXPECT_EQ(order.Field("pos"), Value::int16(1)) << "the cursor stays";
    EXPECT_EQ(order.Field("idn"), Value::int32(0));
    EXPECT_EQ(order.order_type, 0);
    EXPECT_EQ(order.norder, 0);
    EXPECT_FALSE(order.order_is_locked);
    EXPECT_EQ(order.contr, "");
    EXPECT_EQ(order.contr_id, "");
    EXPECT_EQ(order.Comment, "");
    EXPECT_EQ(order.rekl, "");
    EXPECT_EQ(order.state, 0);
    EXPECT_EQ(order.dost_flg, 0);
    EXPECT_EQ(order.shts, "");
    EXPECT_EQ(order.create_date, "01.02.2024");
    EXPECT_EQ(order.otd, "o");
    EXPECT_EQ(order.grpZay, 9);
}

// --- FieldSql -------------------------------------------------------------------------

struct SqlCase {
    const char* field;
    Value value;
    const char* sql;
};

class FieldSqlRendering : public OrderObject, public ::testing::WithParamInterface<SqlCase> {};

TEST_P(FieldSqlRendering, RendersTheCurrentLinesField) {
    testsupport::LocaleGuard ru(QLocale(QLocale::Russian));  // a comma must never reach SQL
    addLine(0, 0.0);
    const SqlCase& c = GetParam();
    order.setField(c.field, c.value);
    EXPECT_EQ(order.FieldSql(c.field), QString::fromUtf8(c.sql));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FieldSqlRendering,
    ::testing::Values(SqlCase{"qty", 2.5, "2.5"}, SqlCase{"qty", 3, "3"}, SqlCase{"qty", 0.1 + 0.2, "0.3"},
                      SqlCase{"qty", 1234567.125, "1234567.125"}, SqlCase{"qty", 0.00001, "0.00001"},
                      SqlCase{"qty", -1.5, "-1.5"}, SqlCase{"idn", -17, "-17"}, SqlCase{"ind_tbl", 2048, "2048"},
                      SqlCase{"prim", "  ", "NULL"}, SqlCase{"prim", " ab ", "'ab'"},
                      SqlCase{"prim", "O'Neil", "'O''Neil'"}, SqlCase{"ed", "", "NULL"},
                      SqlCase{"filial", "Склад №1", "'Склад №1'"}, SqlCase{"rezFlg", -1, "1"},
                      SqlCase{"rezFlg", 1, "1"}, SqlCase{"rezFlg", 0, "NULL"}, SqlCase{"id_usl", "   ", "NULL"},
                      SqlCase{"id_usl", " 12345678901", "' 12345678'"}, SqlCase{"id_usl", "ab'cdefghij", "'ab''cdefgh'"},
                      SqlCase{"id_base", 1234567890, "123456789"}, SqlCase{"id_base", -42, "-42"}));

TEST_F(OrderObject, FieldSqlOfPosAndUnknownNames) {
    addLine(1);
    addLine(2);
    EXPECT_EQ(order.FieldSql("pos"), "1");
    EXPECT_EQ(order.FieldSql("QTY"), "");
    EXPECT_EQ(order.FieldSql("nothing"), "");
}

TEST_F(OrderObject, FieldSqlWithoutCurrentLineIsNullForAnyName) {
    order.MoveFirst();
    for (const char* name : {"qty", "idn", "pos", "prim", "nothing"})
        EXPECT_EQ(order.FieldSql(name), "NULL") << name;
}

}  // namespace
