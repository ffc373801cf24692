// The grid widget driven by real mouse, keyboard and wheel events under the offscreen
// platform.
#include <gtest/gtest.h>

#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include "core/errors.h"
#include "ui/twips.h"
#include "support/scripted_seams.h"
#include "ui/flexgrid.h"

namespace {

using ui::FlexGrid;

class FlexGridWidget : public ::testing::Test {
protected:
    static constexpr int kDataRows = 50;

    void SetUp() override {
        ui::setLogicalDpiForTests(96);
        grid.resize(400, 200);
        auto& m = grid.model();
        m.setCols(4);
        m.setRows(1);
        for (int c = 0; c < 4; ++c) m.setText(0, c, QStringLiteral("H%1").arg(c));
        for (int r = 1; r <= kDataRows; ++r) m.addItem(QStringLiteral("a%1\tb%1\tc%1\td%1").arg(r));
        grid.refresh();
        grid.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    }
    void TearDown() override { ui::setLogicalDpiForTests(0); }

    QPoint centre(int row, int col) {
        const QRect r = grid.cellRect(row, col);
        EXPECT_FALSE(r.isEmpty()) << "cell " << row << "," << col << " not on screen";
        return r.center();
    }
    void click(int row, int col, Qt::MouseButton b = Qt::LeftButton) {
        QTest::mouseClick(grid.viewport(), b, {}, centre(row, col));
    }
    // What a real double click delivers: press, release, double click, release.
    void doubleClick(const QPoint& at) {
        QTest::mousePress(grid.viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(grid.viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(grid.viewport(), Qt::LeftButton, {}, at);
    }
    void key(int k, Qt::KeyboardModifiers mods = {}) {
        QTest::keyClick(&grid, static_cast<Qt::Key>(k), mods);
    }
    int lastRow() const { return grid.model().rows() - 1; }

    FlexGrid grid;
};

TEST_F(FlexGridWidget, ClickMakesTheCellCurrentAndSignals) {
    QStringList order;
    QObject::connect(&grid, &FlexGrid::currentCellChanged, [&] { order << "changed"; });
    QObject::connect(&grid, &FlexGrid::mousePressed, [&] { order << "pressed"; });
    QObject::connect(&grid, &FlexGrid::mouseReleased, [&] { order << "released"; });
    QObject::connect(&grid, &FlexGrid::clicked, [&] { order << "clicked"; });
    grid.model().setRowSel(5);
    click(3, 2);
    EXPECT_EQ(grid.mouseRow(), 3);
    EXPECT_EQ(grid.mouseCol(), 2);
    EXPECT_EQ(grid.model().row(), 3);
    EXPECT_EQ(grid.model().col(), 2);
    EXPECT_EQ(grid.model().rowSel(), 3);
    EXPECT_EQ(grid.model().colSel(), 2);
    EXPECT_EQ(order, (QStringList{"changed", "pressed", "released", "clicked"}));
    EXPECT_TRUE(grid.hasFocus());

    order.clear();
    click(3, 2);
    EXPECT_EQ(order, (QStringList{"pressed", "released", "clicked"})) << "same cell: no change signal";
}

TEST_F(FlexGridWidget, RightPressSelectsTooButIsNoClick) {
    QSignalSpy pressed(&grid, &FlexGrid::mousePressed);
    QSignalSpy clicked(&grid, &FlexGrid::clicked);
    click(4, 1, Qt::RightButton);
    EXPECT_EQ(grid.model().row(), 4);
    ASSERT_EQ(pressed.count(), 1);
    EXPECT_EQ(pressed.at(0).at(0).value<Qt::MouseButton>(), Qt::RightButton);
    EXPECT_EQ(clicked.count(), 0);
}

TEST_F(FlexGridWidget, PressOnTheHeaderKeepsTheCurrentCell) {
    grid.model().setRow(2);
    grid.model().setCol(1);
    QSignalSpy changed(&grid, &FlexGrid::currentCellChanged);
    QSignalSpy pressed(&grid, &FlexGrid::mousePressed);
    click(0, 3);
    EXPECT_EQ(grid.mouseRow(), 0);
    EXPECT_EQ(grid.mouseCol(), 3);
    EXPECT_EQ(grid.model().row(), 2);
    EXPECT_EQ(grid.model().col(), 1);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(pressed.count(), 1);
}

TEST_F(FlexGridWidget, DoubleClickIsOneClickAndOneDoubleClick) {
    QSignalSpy clicked(&grid, &FlexGrid::clicked);
    QSignalSpy doubled(&grid, &FlexGrid::doubleClicked);
    doubleClick(centre(6, 0));
    EXPECT_EQ(grid.mouseRow(), 6);
    EXPECT_EQ(grid.model().row(), 6);
    EXPECT_EQ(doubled.count(), 1);
    EXPECT_EQ(clicked.count(), 1);
}

TEST_F(FlexGridWidget, DoubleClickOnAPartlyShownRowStaysOnIt) {
    // The last row in view is cut by the bottom edge; pressing it must not scroll it
    // away from under the second click.
    int partly = -1;
    for (int r = 1; r <= lastRow(); ++r) {
        const QRect c = grid.cellRect(r, 0);
        if (!c.isEmpty() && c.height() < grid.cellRect(1, 0).height()) {
            partly = r;
            break;
        }
    }
    if (partly < 0) GTEST_SKIP() << "no partly shown row at this size";
    doubleClick(grid.cellRect(partly, 0).center());
    EXPECT_EQ(grid.mouseRow(), partly);
    EXPECT_EQ(grid.model().row(), partly);
}

TEST_F(FlexGridWidget, ALoneDoubleClickEventStillMovesTheCurrentCell) {
    QSignalSpy changed(&grid, &FlexGrid::currentCellChanged);
    QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, centre(7, 1));
    EXPECT_EQ(grid.model().row(), 7);
    EXPECT_EQ(changed.count(), 1);
}

TEST_F(FlexGridWidget, MouseMoveTracksTheCellAndMinusOneOutside) {
    QTest::mouseMove(grid.viewport(), centre(2, 3));
    EXPECT_EQ(grid.mouseRow(), 2);
    EXPECT_EQ(grid.mouseCol(), 3);
    // Right of the last column there is no cell.
    const QRect last = grid.cellRect(2, 3);
    ASSERT_LT(last.right() + 5, grid.viewport()->width());
    QTest::mouseMove(grid.viewport(), QPoint(last.right() + 5, last.center().y()));
    EXPECT_EQ(grid.mouseRow(), -1);
    EXPECT_EQ(grid.mouseCol(), -1);
}

TEST_F(FlexGridWidget, HiddenRowsAndColumnsTakeNoSpaceAndCannotBeHit) {
    const QPoint whereRow2Was = centre(2, 0);
    const QPoint whereCol1Was = centre(1, 1);
    grid.model().setRowHeight(2, 0);
    grid.model().setColWidth(1, 0);
    grid.refresh();
    EXPECT_TRUE(grid.cellRect(2, 0).isEmpty());
    EXPECT_TRUE(grid.cellRect(1, 1).isEmpty());
    EXPECT_EQ(grid.rowAt(whereRow2Was.y()), 3);
    EXPECT_EQ(grid.colAt(whereCol1Was.x()), 2);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, QPoint(whereCol1Was.x(), whereRow2Was.y()));
    EXPECT_EQ(grid.mouseRow(), 3);
    EXPECT_EQ(grid.mouseCol(), 2);
    EXPECT_EQ(grid.model().row(), 3);
}

TEST_F(FlexGridWidget, FixedRowStaysInViewWhenScrolled) {
    QSignalSpy scrolled(&grid, &FlexGrid::scrolled);
    const QRect header = grid.cellRect(0, 1);
    grid.setTopRow(20);
    EXPECT_EQ(grid.model().topRow(), 20);
    EXPECT_GE(scrolled.count(), 1);
    EXPECT_EQ(grid.cellRect(0, 1), header);
    EXPECT_EQ(grid.rowAt(header.center().y()), 0);
    // The first body row on screen is 20, right under the header.
    EXPECT_EQ(grid.rowAt(header.bottom() + 2), 20);
    EXPECT_TRUE(grid.cellRect(5, 0).isEmpty());
    EXPECT_GT(grid.verticalScrollBar()->value(), 0);
}

TEST_F(FlexGridWidget, TopRowStopsWhereTheLastRowIsInView) {
    grid.setTopRow(10'000);
    EXPECT_LT(grid.model().topRow(), lastRow());
    EXPECT_FALSE(grid.cellRect(lastRow(), 0).isEmpty());
    EXPECT_TRUE(grid.cellRect(grid.model().topRow() - 1, 0).isEmpty());
}

TEST_F(FlexGridWidget, ScrollBarMovesTheTopRowSkippingHiddenRows) {
    grid.model().setRowHeight(1, 0);
    grid.model().setRowHeight(2, 0);
    grid.refresh();
    QSignalSpy scrolled(&grid, &FlexGrid::scrolled);
    grid.verticalScrollBar()->setValue(4);
    EXPECT_EQ(grid.model().topRow(), 7);  // the fifth visible data row
    EXPECT_EQ(scrolled.count(), 1);
}

TEST_F(FlexGridWidget, ModelTopRowWithRefreshMovesTheScrollBar) {
    grid.model().setTopRow(11);
    grid.refresh();
    EXPECT_EQ(grid.verticalScrollBar()->value(), 10);
    EXPECT_EQ(grid.rowAt(grid.cellRect(0, 0).bottom() + 2), 11);
}

TEST_F(FlexGridWidget, KeysEmitFirstThenMoveAmongVisibleDataCells) {
    grid.model().setRow(1);
    grid.model().setCol(0);
    grid.model().setRowHeight(2, 0);
    grid.model().setColWidth(1, 0);
    grid.refresh();
    grid.setFocus();
    QStringList order;
    QObject::connect(&grid, &FlexGrid::keyPressed, [&](int k, Qt::KeyboardModifiers) {
        order << QStringLiteral("key %1 at row %2")
                     .arg(k == Qt::Key_Down ? "down" : "other")
                     .arg(grid.model().row());
    });
    QObject::connect(&grid, &FlexGrid::currentCellChanged, [&] { order << "changed"; });
    key(Qt::Key_Down);
    EXPECT_EQ(order, (QStringList{"key down at row 1", "changed"}));
    EXPECT_EQ(grid.model().row(), 3) << "hidden row 2 skipped";
    key(Qt::Key_Right);
    EXPECT_EQ(grid.model().col(), 2) << "hidden column 1 skipped";
    key(Qt::Key_Left);
    EXPECT_EQ(grid.model().col(), 0);
    key(Qt::Key_Up);
    EXPECT_EQ(grid.model().row(), 1);

    order.clear();
    key(Qt::Key_Up);
    EXPECT_EQ(grid.model().row(), 1) << "the header is not a place to go";
    EXPECT_EQ(order.size(), 1) << "no change signal when nothing moved";
}

TEST_F(FlexGridWidget, PageAndEndKeysScrollTheCurrentRowIntoView) {
    grid.model().setRow(1);
    grid.setFocus();
    key(Qt::Key_PageDown);
    const int afterPage = grid.model().row();
    EXPECT_GT(afterPage, 2);
    EXPECT_FALSE(grid.cellRect(afterPage, 0).isEmpty());
    key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(grid.model().row(), lastRow());
    EXPECT_EQ(grid.model().col(), 3);
    const QRect last = grid.cellRect(lastRow(), 3);
    ASSERT_FALSE(last.isEmpty());
    EXPECT_EQ(last.height(), grid.cellRect(0, 3).height()) << "wholly in view";
    key(Qt::Key_Home);
    EXPECT_EQ(grid.model().col(), 0);
    EXPECT_EQ(grid.model().row(), lastRow());
    key(Qt::Key_PageUp);
    EXPECT_LT(grid.model().row(), lastRow());
    key(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(grid.model().row(), 1);
    EXPECT_EQ(grid.model().topRow(), 1);
}

TEST_F(FlexGridWidget, OtherKeysAreReportedAndLeftToTheWindow) {
    QSignalSpy keys(&grid, &FlexGrid::keyPressed);
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QApplication::sendEvent(&grid, &del);
    ASSERT_EQ(keys.count(), 1);
    EXPECT_EQ(keys.at(0).at(0).toInt(), int(Qt::Key_Delete));
    EXPECT_FALSE(del.isAccepted());
}

void turnWheel(FlexGrid& grid, int delta) {
    const QPointF at(10, 40);
    QWheelEvent e(at, grid.viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(grid.viewport(), &e);
}

TEST_F(FlexGridWidget, WheelReportsAndScrollsThreeRowsANotch) {
    QSignalSpy wheel(&grid, &FlexGrid::wheelTurned);
    turnWheel(grid, -120);
    ASSERT_EQ(wheel.count(), 1);
    EXPECT_EQ(wheel.at(0).at(0).toInt(), -120);
    EXPECT_EQ(grid.model().topRow(), 4);
    turnWheel(grid, 120);
    EXPECT_EQ(grid.model().topRow(), 1);
}

TEST_F(FlexGridWidget, WheelScrollingCanBeLeftToTheWindow) {
    grid.setWheelScrolls(false);
    QSignalSpy wheel(&grid, &FlexGrid::wheelTurned);
    turnWheel(grid, -240);
    EXPECT_EQ(wheel.count(), 1);
    EXPECT_EQ(grid.model().topRow(), 1);
}

TEST_F(FlexGridWidget, ModelChangedWithoutRefreshStillPaintsAndHitsRight) {
    auto& m = grid.model();
    grid.setTopRow(40);
    while (m.rows() > 3) m.removeItem(m.rows() - 1);
    m.setColWidth(0, 0);
    EXPECT_FALSE(grid.grab().isNull());
    EXPECT_EQ(grid.colAt(2), 1);
    EXPECT_FALSE(grid.cellRect(2, 1).isEmpty());
    for (int i = 0; i < 500; ++i) m.addItem("x\ty");
    EXPECT_FALSE(grid.grab().isNull());
    QCoreApplication::processEvents();  // the scroll bars catch up by themselves
    EXPECT_GT(grid.verticalScrollBar()->maximum(), 400);
}

TEST_F(FlexGridWidget, AnEmptyGridPaintsAndHitsNothing) {
    grid.model().setRows(0);
    grid.model().setCols(0);
    grid.refresh();
    EXPECT_FALSE(grid.grab().isNull());
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(grid.mouseRow(), -1);
    grid.setFocus();
    key(Qt::Key_Down);
    key(Qt::Key_End, Qt::ControlModifier);
}

TEST_F(FlexGridWidget, AnErrorInAHandlerBecomesAMessageNotACrash) {
    testsupport::ScriptedMessages messages;
    QObject::connect(&grid, &FlexGrid::doubleClicked, [] { throw core::DbError("нет таблицы TBL_CORD"); });
    doubleClick(centre(2, 2));
    EXPECT_EQ(messages.texts(), QStringList{"нет таблицы TBL_CORD"});
}

TEST(FlexGridRowHeight, DefaultRowsGrowWithALargeFontOnly) {
    ui::setLogicalDpiForTests(96);
    FlexGrid grid;
    grid.resize(300, 300);
    grid.model().setRows(3);
    grid.model().setRowHeight(2, 300);
    QFont big = grid.font();
    big.setPointSize(30);
    grid.setFont(big);
    grid.refresh();
    EXPECT_GT(grid.cellRect(1, 0).height(), ui::twipsToPx(ui::GridModel::kDefaultRowHeight));
    EXPECT_EQ(grid.cellRect(2, 0).height(), ui::twipsToPx(300)) << "an explicit height is kept";
    EXPECT_EQ(grid.model().rowHeight(1), ui::GridModel::kDefaultRowHeight);
    ui::setLogicalDpiForTests(0);
}

}  // namespace

namespace {

TEST(FlexGridScrollBars, ShowOnlyWhileTheRowsOrColumnsDoNotFit) {
    ui::setLogicalDpiForTests(96);
    ui::FlexGrid grid;
    grid.resize(300, 200);
    grid.model().setCols(2);
    grid.model().setRows(3);
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    grid.refresh();
    EXPECT_FALSE(grid.verticalScrollBar()->isVisible());
    EXPECT_FALSE(grid.horizontalScrollBar()->isVisible());

    for (int i = 0; i < 100; ++i) grid.model().addItem("x\ty");
    grid.model().setColWidth(1, 9000);
    grid.refresh();
    QCoreApplication::processEvents();  // the scroll area lays its bars out when idle
    EXPECT_TRUE(grid.verticalScrollBar()->isVisible());
    EXPECT_TRUE(grid.horizontalScrollBar()->isVisible());
    // The last row can be scrolled wholly into view above the horizontal bar.
    grid.setTopRow(grid.model().rows());
    const QRect last = grid.cellRect(grid.model().rows() - 1, 0);
    ASSERT_FALSE(last.isEmpty());
    EXPECT_LE(last.bottom(), grid.viewport()->height() - 1);
    EXPECT_EQ(last.height(), grid.cellRect(0, 0).height());

    grid.model().setRows(3);
    grid.model().setColWidth(1, 500);
    grid.refresh();
    QCoreApplication::processEvents();
    EXPECT_FALSE(grid.verticalScrollBar()->isVisible());
    EXPECT_FALSE(grid.horizontalScrollBar()->isVisible());
    EXPECT_EQ(grid.model().topRow(), 1);
    ui::setLogicalDpiForTests(0);
}

}  // namespace
