// The grid widget driven by real mouse, keyboard and wheel events under the offscreen
// platform.
#include "core/twips.h"
#include "ui/flexgrid.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using ui::FlexGrid;

class FlexGridWidget : public ::testing::Test {
protected:
    void SetUp() override {
        core::setLogicalDpiForTests(96);
        grid.resize(400, 200);
        auto& m = grid.model();
        m.setCols(4);
        m.setRows(1);
        for (int c = 0; c < 4; ++c)
            m.setText(0, c, QStringLiteral("H%1").arg(c));
        for (int r = 1; r <= 50; ++r)
            m.addItem(QStringLiteral("a%1\tb%1\tc%1\td%1").arg(r));
        grid.refresh();
        grid.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    }
    void TearDown() override { core::setLogicalDpiForTests(0); }

    QPoint centre(int row, int col) {
        const QRect r = grid.cellRect(row, col);
        EXPECT_FALSE(r.isEmpty()) << "cell " << row << "," << col << " not on screen";
        return r.center();
    }

    FlexGrid grid;
};

TEST_F(FlexGridWidget, ClickMakesTheCellCurrentAndSignals) {
    QSignalSpy changed(&grid, &FlexGrid::currentCellChanged);
    QSignalSpy pressed(&grid, &FlexGrid::mousePressed);
    QSignalSpy clicked(&grid, &FlexGrid::clicked);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, centre(3, 2));
    EXPECT_EQ(grid.mouseRow(), 3);
    EXPECT_EQ(grid.mouseCol(), 2);
    EXPECT_EQ(grid.model().row(), 3);
    EXPECT_EQ(grid.model().col(), 2);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(pressed.count(), 1);
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_TRUE(grid.hasFocus());
}

}  // namespace
