// The grid's data and algorithms without a widget: rows from tab-separated text,
// removal, reshaping, the cursor and the generic sort. The highlighted row is followed
// through clicks and sorts by the catalogue's and the basket's window tests.
#include <gtest/gtest.h>

#include "support/scripted_seams.h"
#include "ui/flexgrid.h"

namespace {

using ui::GridModel;

// A grid with header rows "h<row>" and the given data rows, one text per row split on '\t'.
GridModel gridWith(int cols, const QStringList& rows, int fixedRows = 1) {
    GridModel m(fixedRows, cols, fixedRows, 0);
    for (int r = 0; r < fixedRows; ++r) m.setText(r, 0, QStringLiteral("h%1").arg(r));
    for (const QString& r : rows) m.addItem(r);
    return m;
}

QStringList column(const GridModel& m, int col) {
    QStringList out;
    for (int r = m.fixedRows(); r < m.rows(); ++r) out << m.text(r, col);
    return out;
}

TEST(GridModelRows, AddItemSplitsOnTabsAtTheEndOrBeforeARowAndRemoveItemKeepsTheCursorInside) {
    const struct { QString text; QStringList cells; } cases[] = {
        {"a\tb\tc", {"a", "b", "c"}}, {"a", {"a", "", ""}}, {"a\tb\tc\td\te", {"a", "b", "c"}},
        {"\t\tc", {"", "", "c"}}, {" a \t b", {" a ", " b", ""}}, {"", {"", "", ""}}};
    for (const auto& c : cases) {
        GridModel m(1, 3, 1, 0);
        m.addItem(c.text);
        EXPECT_EQ(m.rowTexts(m.rows() - 1), c.cells) << c.text.toStdString();
    }
    GridModel m = gridWith(1, {"a", "c"});
    m.addItem("b", 2);
    EXPECT_EQ(column(m, 0), (QStringList{"a", "b", "c"})) << "inserted before row 2";

    m.setRow(3);
    m.setTopRow(3);
    m.removeItem(-1);
    m.removeItem(10);
    m.removeItem(2);
    EXPECT_EQ(column(m, 0), (QStringList{"a", "c"}));
    m.removeItem(2);
    EXPECT_EQ(m.text(m.row(), 0), "a");
    EXPECT_EQ(m.rowSel(), m.row());
    EXPECT_EQ(m.topRow(), 1);
}

TEST(GridModelShape, ReshapingKeepsWhatRemainsAndClearingKeepsTheShape) {
    GridModel m = gridWith(2, {"a\t1", "b\t2"});
    m.setCellBackColor(2, 1, QColor(Qt::green));
    m.setColWidth(1, 1234);
    m.setCols(4);
    m.setRows(5);
    EXPECT_EQ(m.rowTexts(2), (QStringList{"b", "2", "", ""}));
    m.setCols(2);
    m.setRows(3);
    EXPECT_EQ(m.rowTexts(2), (QStringList{"b", "2"}));
    EXPECT_EQ(m.cellBackColor(2, 1), QColor(Qt::green));
    m.clearCells();
    EXPECT_EQ(m.rowTexts(2), (QStringList{"", ""}));
    EXPECT_FALSE(m.cellBackColor(2, 1).has_value());
    EXPECT_EQ(m.colWidth(1), 1234);
}

TEST(GridModelSort, OrdersTheDataRowsNumbersAsNumbersAndTextsWithoutCaseAndSurvivesMixedColumns) {
    const struct { QStringList cells; bool ascending; QStringList expected; int fixedRows = 1; } cases[] = {
        {{"10", "9", "100", "-2", "0.5"}, true, {"-2", "0.5", "9", "10", "100"}},
        {{"b", "A", "c", "B"}, true, {"A", "b", "B", "c"}},
        {{"Уголок", "арматура", "Лист", "Балка"}, true, {"арматура", "Балка", "Лист", "Уголок"}},
        {{"10a", "9a", "100a"}, true, {"100a", "10a", "9a"}},
        {{"5", "", "x", "1"}, true, {"", "1", "5", "x"}},
        {{"5", "", "x", "1"}, false, {"x", "5", "1", ""}},
        {{" 20", "3 "}, true, {"3 ", " 20"}},
        {{"2", "1", "1.0", "02", "01"}, true, {"1", "1.0", "01", "2", "02"}},  // stable for equal numbers
        {{"2", "1", "1.0", "02", "01"}, false, {"2", "02", "1", "1.0", "01"}},
        {{"10,5", "9,75", "10.25", "2"}, true, {"2", "9,75", "10.25", "10,5"}},  // the operator's comma
        {{"a", "b"}, false, {"b", "a"}, 3},
    };
    testsupport::LocaleGuard ru{QLocale(QLocale::Russian, QLocale::Russia)};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cells.join('|').toStdString());
        GridModel m = gridWith(1, c.cells, c.fixedRows);
        m.sort(0, c.ascending);
        EXPECT_EQ(column(m, 0), c.expected);
        for (int r = 0; r < c.fixedRows; ++r) EXPECT_EQ(m.text(r, 0), QStringLiteral("h%1").arg(r));
    }

    // Numbers and texts mixed in one column do not form a consistent order; the sort must
    // still finish with every row present once.
    QStringList cells;
    for (int i = 0; i < 300; ++i) cells << (i % 3 ? QStringLiteral("%1x").arg(i * 13 % 97) : QString::number(i % 101));
    GridModel m = gridWith(1, cells);
    m.sort(0, true);
    QStringList got = column(m, 0);
    got.sort();
    cells.sort();
    EXPECT_EQ(got, cells);
}

}  // namespace
