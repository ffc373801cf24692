// The grid's data and algorithms without a widget: rows from tab-separated text,
// removal, reshaping, the cursor, and the generic sort.
#include <gtest/gtest.h>

#include <functional>

#include "support/scripted_seams.h"
#include "ui/flexgrid.h"

namespace {

using ui::GridModel;

// A grid with a header row and the given data rows, one text per row split on '\t'.
GridModel gridWith(int cols, const QStringList& rows, int fixedRows = 1) {
    GridModel m(fixedRows, cols, fixedRows, 0);
    for (int c = 0; c < cols; ++c) m.setText(0, c, QStringLiteral("h%1").arg(c));
    for (const QString& r : rows) m.addItem(r);
    return m;
}

QStringList column(const GridModel& m, int col) {
    QStringList out;
    for (int r = m.fixedRows(); r < m.rows(); ++r) out << m.text(r, col);
    return out;
}

struct AddCase {
    const char* name;
    QString text;
    QStringList expected;
};

class AddItemSplits : public ::testing::TestWithParam<AddCase> {};

TEST_P(AddItemSplits, IntoCellsByTabs) {
    GridModel m(1, 3, 1, 0);
    m.addItem(GetParam().text);
    ASSERT_EQ(m.rows(), 2);
    EXPECT_EQ(m.rowTexts(1), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Texts, AddItemSplits,
                         ::testing::Values(AddCase{"Exact", "a\tb\tc", {"a", "b", "c"}},
                                           AddCase{"MissingPartsEmpty", "a", {"a", "", ""}},
                                           AddCase{"SurplusIgnored", "a\tb\tc\td\te", {"a", "b", "c"}},
                                           AddCase{"EmptyPartsKept", "\t\tc", {"", "", "c"}},
                                           AddCase{"BlanksKept", " a \t b", {" a ", " b", ""}},
                                           AddCase{"Empty", "", {"", "", ""}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(GridModelRows, AddItemAtIndexInsertsBeforeThatRow) {
    GridModel m = gridWith(2, {"a\t1", "c\t3"});
    m.addItem("b\t2", 2);
    m.addItem("top\t0", 1);
    EXPECT_EQ(column(m, 0), (QStringList{"top", "a", "b", "c"}));
    // An index past the end appends.
    m.addItem("z\t9", 99);
    EXPECT_EQ(m.text(m.rows() - 1, 0), "z");
}

TEST(GridModelRows, AddedRowHasDefaultsNotItsNeighboursLooks) {
    GridModel m = gridWith(2, {"a\t1"});
    m.setCellBackColor(1, 0, QColor(Qt::red));
    m.setCellBold(1, 0, true);
    m.setMergeRow(1, true);
    m.setRowHeight(1, 500);
    m.addItem("b\t2", 1);
    EXPECT_FALSE(m.cellBackColor(1, 0).has_value());
    EXPECT_FALSE(m.cellBold(1, 0));
    EXPECT_FALSE(m.mergeRow(1));
    EXPECT_EQ(m.rowHeight(1), GridModel::kDefaultRowHeight);
    // The old row moved down with its looks.
    EXPECT_EQ(m.cellBackColor(2, 0), QColor(Qt::red));
    EXPECT_EQ(m.rowHeight(2), 500);
}

TEST(GridModelRows, RemoveItemShiftsRowsUpAndIgnoresBadIndexes) {
    GridModel m = gridWith(1, {"a", "b", "c"});
    m.removeItem(2);
    EXPECT_EQ(column(m, 0), (QStringList{"a", "c"}));
    m.removeItem(-1);
    m.removeItem(10);
    EXPECT_EQ(m.rows(), 3);
}

TEST(GridModelRows, RemovingRowsKeepsTheCursorInside) {
    GridModel m = gridWith(2, {"a", "b", "c"});
    m.setRow(3);
    m.setTopRow(3);
    m.removeItem(3);
    m.removeItem(2);
    EXPECT_LT(m.row(), m.rows());
    EXPECT_LT(m.rowSel(), m.rows());
    EXPECT_LT(m.topRow(), m.rows());
    EXPECT_EQ(m.text(m.row(), 0), "a");
}

TEST(GridModelShape, GrowingAndShrinkingKeepsWhatRemains) {
    GridModel m = gridWith(2, {"a\t1", "b\t2"});
    m.setCellBackColor(2, 1, QColor(Qt::green));
    m.setColWidth(1, 1234);
    m.setCols(4);
    m.setRows(5);
    EXPECT_EQ(m.rowTexts(2), (QStringList{"b", "2", "", ""}));
    EXPECT_EQ(m.rowTexts(4), (QStringList{"", "", "", ""}));
    EXPECT_EQ(m.colWidth(1), 1234);
    EXPECT_EQ(m.colWidth(3), GridModel::kDefaultColWidth);
    EXPECT_EQ(m.rowHeight(4), GridModel::kDefaultRowHeight);
    m.setCols(2);
    m.setRows(3);
    EXPECT_EQ(m.rowTexts(2), (QStringList{"b", "2"}));
    EXPECT_EQ(m.cellBackColor(2, 1), QColor(Qt::green));
    // Out of range reads are empty and writes are ignored.
    EXPECT_EQ(m.text(3, 0), "");
    EXPECT_EQ(m.text(0, 2), "");
    m.setText(7, 7, "x");
    EXPECT_EQ(m.rows(), 3);
}

TEST(GridModelShape, FixedRowsNeverExceedTheRows) {
    GridModel m(4, 2, 3, 1);
    m.setRows(2);
    EXPECT_EQ(m.fixedRows(), 2);
    m.setFixedRows(9);
    EXPECT_EQ(m.fixedRows(), 2);
    m.setCols(0);
    EXPECT_EQ(m.fixedCols(), 0);
}

TEST(GridModelShape, SizesZeroHideAndNegativeRestoreTheDefault) {
    GridModel m(3, 3, 1, 0);
    m.setColWidth(0, 0);
    m.setRowHeight(2, 0);
    EXPECT_EQ(m.colWidth(0), 0);
    EXPECT_EQ(m.rowHeight(2), 0);
    m.setColWidth(0, -1);
    m.setRowHeight(2, -1);
    EXPECT_EQ(m.colWidth(0), GridModel::kDefaultColWidth);
    EXPECT_EQ(m.rowHeight(2), GridModel::kDefaultRowHeight);
}

TEST(GridModelShape, ClearCellsEmptiesContentButKeepsShape) {
    GridModel m = gridWith(2, {"a\t1"});
    m.setCellBold(1, 0, true);
    m.setCellBackColor(1, 1, QColor(Qt::blue));
    m.setMergeRow(1, true);
    m.setColWidth(1, 777);
    m.clearCells();
    EXPECT_EQ(m.rows(), 2);
    EXPECT_EQ(m.rowTexts(1), (QStringList{"", ""}));
    EXPECT_FALSE(m.cellBold(1, 0));
    EXPECT_FALSE(m.cellBackColor(1, 1).has_value());
    EXPECT_FALSE(m.mergeRow(1));
    EXPECT_EQ(m.colWidth(1), 777);
}

TEST(GridModelShape, LayoutRevisionMovesWithSizesNotWithTexts) {
    GridModel m = gridWith(2, {"a\t1"});
    auto rev = m.layoutRevision();
    m.setText(1, 0, "changed");
    m.setCellBackColor(1, 0, QColor(Qt::red));
    EXPECT_EQ(m.layoutRevision(), rev);
    for (auto change : std::initializer_list<std::function<void(GridModel&)>>{
             [](GridModel& g) { g.addItem("x"); }, [](GridModel& g) { g.removeItem(1); },
             [](GridModel& g) { g.setColWidth(0, 10); }, [](GridModel& g) { g.setRowHeight(0, 10); },
             [](GridModel& g) { g.setRows(9); }, [](GridModel& g) { g.setCols(3); },
             [](GridModel& g) { g.setFixedRows(2); }, [](GridModel& g) { g.sort(0, true); }}) {
        change(m);
        EXPECT_NE(m.layoutRevision(), rev);
        rev = m.layoutRevision();
    }
}

TEST(GridModelCursor, SetRowAndColCollapseTheSelection) {
    GridModel m = gridWith(3, {"a", "b", "c"});
    m.setRow(1);
    m.setRowSel(3);
    m.setCol(0);
    m.setColSel(2);
    EXPECT_EQ(m.rowSel(), 3);
    EXPECT_EQ(m.colSel(), 2);
    m.setRow(2);
    m.setCol(1);
    EXPECT_EQ(m.rowSel(), 2);
    EXPECT_EQ(m.colSel(), 1);
    m.setTopRow(0);  // the top row is a data row
    EXPECT_EQ(m.topRow(), 1);
}

// ---- sorting ---------------------------------------------------------------------

struct SortCase {
    const char* name;
    QStringList cells;
    bool ascending;
    QStringList expected;
};

class GenericSort : public ::testing::TestWithParam<SortCase> {};

TEST_P(GenericSort, OrdersTheDataRows) {
    GridModel m = gridWith(1, GetParam().cells);
    m.sort(0, GetParam().ascending);
    EXPECT_EQ(column(m, 0), GetParam().expected);
    EXPECT_EQ(m.text(0, 0), "h0");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GenericSort,
    ::testing::Values(
        SortCase{"NumbersAsNumbers", {"10", "9", "100", "-2", "0.5"}, true, {"-2", "0.5", "9", "10", "100"}},
        SortCase{"NumbersDescending", {"10", "9", "100"}, false, {"100", "10", "9"}},
        SortCase{"TextsIgnoreCase", {"b", "A", "c", "B"}, true, {"A", "b", "B", "c"}},
        SortCase{"Cyrillic",
                 {"Уголок", "арматура", "Лист", "Балка"},
                 true,
                 {"арматура", "Балка", "Лист", "Уголок"}},
        SortCase{"TextsLikeNumbersButNotNumbers", {"10a", "9a", "100a"}, true, {"100a", "10a", "9a"}},
        SortCase{"EmptyBeforeNumbersAndTexts", {"5", "", "x", "1"}, true, {"", "1", "5", "x"}},
        SortCase{"MixedDescending", {"5", "", "x", "1"}, false, {"x", "5", "1", ""}},
        SortCase{"BlanksAroundNumbers", {" 20", "3 "}, true, {"3 ", " 20"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GridModelSort, IsStableForEqualKeys) {
    GridModel m = gridWith(2, {"1\ta", "2\tb", "1\tc", "2\td", "1\te"});
    m.sort(0, true);
    EXPECT_EQ(column(m, 1), (QStringList{"a", "c", "e", "b", "d"}));
    m.sort(0, false);
    EXPECT_EQ(column(m, 1), (QStringList{"b", "d", "a", "c", "e"}));
}

TEST(GridModelSort, MovesColoursBoldMergeAndHeightsWithTheirRows) {
    GridModel m = gridWith(2, {"3\tc", "1\ta", "2\tb"});
    m.setCellBackColor(1, 1, QColor(0xC2, 0xD6, 0xEB));
    m.setCellBold(1, 0, true);
    m.setMergeRow(1, true);
    m.setRowHeight(1, 0);
    m.sort(0, true);
    ASSERT_EQ(m.text(3, 1), "c");
    EXPECT_EQ(m.cellBackColor(3, 1), QColor(0xC2, 0xD6, 0xEB));
    EXPECT_TRUE(m.cellBold(3, 0));
    EXPECT_TRUE(m.mergeRow(3));
    EXPECT_EQ(m.rowHeight(3), 0);
    EXPECT_FALSE(m.cellBackColor(1, 1).has_value());
    EXPECT_EQ(m.rowHeight(1), GridModel::kDefaultRowHeight);
}

TEST(GridModelSort, LeavesEveryFixedRowAlone) {
    GridModel m(3, 1, 3, 0);
    m.setText(0, 0, "z");
    m.setText(1, 0, "y");
    m.setText(2, 0, "x");
    m.addItem("b");
    m.addItem("a");
    m.sort(0, true);
    EXPECT_EQ(m.rowTexts(0).first(), "z");
    EXPECT_EQ(m.rowTexts(1).first(), "y");
    EXPECT_EQ(m.rowTexts(2).first(), "x");
    EXPECT_EQ(column(m, 0), (QStringList{"a", "b"}));
}

TEST(GridModelSort, ReadsTheOperatorsDecimalComma) {
    testsupport::LocaleGuard ru{QLocale(QLocale::Russian, QLocale::Russia)};
    GridModel m = gridWith(1, {"10,5", "9,75", "10.25", "2"});
    m.sort(0, true);
    EXPECT_EQ(column(m, 0), (QStringList{"2", "9,75", "10.25", "10,5"}));
}

// Numbers and texts mixed in one column do not form a consistent order; the sort must
// still finish with every row present once.
TEST(GridModelSort, SurvivesInconsistentMixedColumns) {
    QStringList cells;
    for (int i = 0; i < 300; ++i)
        cells << (i % 3 == 0 ? QString::number(i * 7 % 101) : QStringLiteral("%1x").arg(i * 13 % 97));
    GridModel m = gridWith(1, cells);
    m.sort(0, true);
    QStringList got = column(m, 0), want = cells;
    got.sort();
    want.sort();
    EXPECT_EQ(got, want);
}

}  // namespace
