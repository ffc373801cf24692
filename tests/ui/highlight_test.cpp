// The highlighted row is state of the grid model: it follows its data through a sort and
// leaves no colour behind when it moves on.
#include <gtest/gtest.h>

#include "ui/grid_model.h"

namespace {

TEST(GridHighlight, FollowsItsRowThroughSortsAndMovesOnCleanly) {
    ui::GridModel m(1, 3, 1, 0);
    for (const char* row : {"1\tбалка\t30", "2\tарматура\t10", "3\tлист\t20"})
        m.addItem(QString::fromUtf8(row));
    m.setCellBackColor(3, 0, QColor(Qt::green));  // a colour of the caller's own stays
    m.setHighlightedRow(2, 1);
    m.sort(2, true);  // by price: арматура, лист, балка
    ASSERT_EQ(m.highlightedRow(), 1);
    EXPECT_EQ(m.text(1, 1), QStringLiteral("арматура"));
    EXPECT_EQ(m.cellBackColor(1, 2), ui::kHighlightColour);
    EXPECT_FALSE(m.cellBackColor(1, 0).has_value()) << "columns before the first highlighted one keep theirs";
    m.sort(1, false);
    EXPECT_EQ(m.text(m.highlightedRow(), 1), QStringLiteral("арматура"));

    m.setHighlightedRow(m.rows() - 1, 1);
    int coloured = 0;
    for (int r = 1; r < m.rows(); ++r) coloured += m.cellBackColor(r, 1) == ui::kHighlightColour;
    EXPECT_EQ(coloured, 1);
    for (int row : {0, -1, 99}) {  // a fixed row or none clears it
        m.setHighlightedRow(row);
        EXPECT_EQ(m.highlightedRow(), -1) << row;
    }
    for (int r = 1; r < m.rows(); ++r) EXPECT_NE(m.cellBackColor(r, 1), ui::kHighlightColour) << r;
    for (int r = 1; r < m.rows(); ++r)
        if (m.text(r, 1) == QStringLiteral("лист")) EXPECT_EQ(m.cellBackColor(r, 0), QColor(Qt::green));
}

}  // namespace
