// The grid widget driven by real mouse, keyboard and wheel events under the offscreen
// platform, and what it paints; widgets placed in twips; columns fitted to their texts,
// each visible one to its widest trimmed text plus 100 twips, the header rows measured
// bold, in the grid's font families at the measuring label's size.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QLabel>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include "core/errors.h"
#include "support/scripted_seams.h"
#include "ui/fit_columns.h"
#include "ui/flexgrid.h"
#include "ui/twips.h"
#include "ui/twips_layout.h"

namespace {

using ui::FlexGrid;

class FlexGridWidget : public ::testing::Test {
protected:
    void SetUp() override {
        ui::setLogicalDpiForTests(96);
        grid.resize(400, 200);
        grid.model() = ui::GridModel(1, 4, 1, 0);
        for (int r = 1; r <= 50; ++r) grid.model().addItem(QStringLiteral("a%1\tb%1\tc%1\td%1").arg(r));
        // Every signal in the order it came; a key with the row it found current.
        auto log = [this](const char* what) { return [this, what] { events << what; }; };
        QObject::connect(&grid, &FlexGrid::currentCellChanged, log("changed"));
        QObject::connect(&grid, &FlexGrid::mousePressed, [this](Qt::MouseButton b) {
            events << (b == Qt::RightButton ? "right-pressed" : "pressed");
        });
        QObject::connect(&grid, &FlexGrid::mouseReleased, log("released"));
        QObject::connect(&grid, &FlexGrid::clicked, log("clicked"));
        QObject::connect(&grid, &FlexGrid::doubleClicked, log("double"));
        QObject::connect(&grid, &FlexGrid::scrolled, log("scrolled"));
        QObject::connect(&grid, &FlexGrid::keyPressed,
                         [this](int) { events << QStringLiteral("key@%1").arg(grid.model().row()); });
        grid.refresh();
        grid.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    }
    void TearDown() override { ui::setLogicalDpiForTests(0); }

    QPoint centre(int row, int col) const { return grid.cellRect(row, col).center(); }

    FlexGrid grid;
    QStringList events;
};

TEST_F(FlexGridWidget, MouseAndKeysMoveTheCurrentCellAndSignalInOrder) {
    enum Gesture { Left, Right, Double, Key, CtrlKey };
    const int last = grid.model().rows() - 1;
    // The last row in view is cut by the bottom edge; pressing it must not scroll it
    // away from under the second click.
    int partly = 1;
    while (grid.cellRect(partly, 0).height() == grid.cellRect(0, 0).height()) ++partly;
    // In order: the keys scroll, the mouse cases want the top of the grid in view.
    const struct {
        const char* name;
        Gesture gesture;
        int a, b;  // the cell pointed at, or the key
        int fromRow, fromCol, toRow, toCol;
        const char* events;
    } cases[] = {
        {"click", Left, 3, 2, 2, 1, 3, 2, "changed pressed released clicked"},
        {"click on the current cell", Left, 2, 1, 2, 1, 2, 1, "pressed released clicked"},
        {"right click", Right, 4, 1, 2, 1, 4, 1, "changed right-pressed released"},
        {"click on the header", Left, 0, 3, 2, 1, 2, 1, "pressed released clicked"},
        {"double click on the partly shown row", Double, partly, 0, 2, 1, partly, 0,
         "changed pressed released clicked double released"},
        {"up from the first row: the header is no place to go", Key, Qt::Key_Up, 0, 1, 1, 1, 1, "key@1"},
        {"end", Key, Qt::Key_End, 0, 1, 1, 1, 3, "key@1 changed"},
        {"home", Key, Qt::Key_Home, 0, 1, 2, 1, 0, "key@1 changed"},
        {"ctrl+end", CtrlKey, Qt::Key_End, 0, 1, 1, last, 3, "key@1 changed"},
        {"ctrl+home", CtrlKey, Qt::Key_Home, 0, last, 3, 1, 0, "key@50 changed"},
        {"a key of the window's", Key, Qt::Key_Delete, 0, 1, 0, 1, 0, "key@1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        grid.model().setRow(c.fromRow);
        grid.model().setCol(c.fromCol);
        events.clear();
        if (c.gesture >= Key) {
            QKeyEvent e(QEvent::KeyPress, c.a, c.gesture == CtrlKey ? Qt::ControlModifier : Qt::NoModifier);
            QApplication::sendEvent(&grid, &e);
            EXPECT_EQ(e.isAccepted(), c.a != Qt::Key_Delete) << "the window sees the keys the grid leaves";
        } else {
            const QPoint at = centre(c.a, c.b);
            QTest::mouseClick(grid.viewport(), c.gesture == Right ? Qt::RightButton : Qt::LeftButton, {}, at);
            EXPECT_EQ(QPoint(grid.mouseCol(), grid.mouseRow()), QPoint(c.b, c.a));
            if (c.gesture == Double) {  // what a real double click delivers: a click, then these
                QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, at);
                QTest::mouseRelease(grid.viewport(), Qt::LeftButton, {}, at);
            }
        }
        events.removeAll("scrolled");
        EXPECT_EQ(events.join(' '), c.events);
        EXPECT_EQ(QPoint(grid.model().col(), grid.model().row()), QPoint(c.toCol, c.toRow));
        const bool wholly = grid.cellRect(c.toRow, c.toCol).height() == grid.cellRect(0, 0).height();
        EXPECT_EQ(wholly, c.toRow != partly) << "keys scroll the cell wholly into view, the mouse does not scroll";
    }
    EXPECT_TRUE(grid.hasFocus());
}

TEST_F(FlexGridWidget, ScrollingKeepsTheHeaderStopsAtTheLastRowAndCountsOnlyVisibleRowsAsTheWheelDoes) {
    const QRect header = grid.cellRect(0, 1);
    grid.setTopRow(20);
    EXPECT_TRUE(events.contains("scrolled"));
    EXPECT_EQ(grid.cellRect(0, 1), header);
    EXPECT_EQ(grid.rowAt(header.bottom() + 2), 20) << "row 20 right under the header";

    EXPECT_FALSE(grid.horizontalScrollBar()->isVisible());
    grid.model().setColWidth(1, 9000);
    grid.refresh();
    QCoreApplication::processEvents();  // the scroll area lays its bars out when idle
    EXPECT_TRUE(grid.horizontalScrollBar()->isVisible()) << "the columns no longer fit";
    grid.setTopRow(10'000);
    const QRect last = grid.cellRect(grid.model().rows() - 1, 0);
    EXPECT_EQ(last.height(), header.height()) << "the last row wholly in view";
    EXPECT_LE(last.bottom(), grid.viewport()->height() - 1) << "above the horizontal bar";
    EXPECT_TRUE(grid.cellRect(grid.model().topRow() - 1, 0).isEmpty()) << "no further than the last row";

    grid.model().setRowHeight(1, 0);
    grid.model().setRowHeight(2, 0);
    grid.refresh();
    grid.verticalScrollBar()->setValue(4);
    EXPECT_EQ(grid.model().topRow(), 7) << "the fifth visible data row";
    // The wheel scrolls three rows a notch; a window that scrolls on wheelTurned() by
    // itself is tested with that window.
    const QPointF at(10, 40);
    QWheelEvent e(at, grid.viewport()->mapToGlobal(at), QPoint(), QPoint(0, -240), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(grid.viewport(), &e);
    EXPECT_EQ(grid.model().topRow(), 13);
}

TEST_F(FlexGridWidget, HiddenRowsAndColumnsTakeNoSpaceNeitherMouseNorKeysStopOnThemAndRowsFitTheFont) {
    const QPoint row2col1 = centre(2, 1);
    grid.model().setRowHeight(2, 0);
    grid.model().setColWidth(1, 0);
    grid.refresh();
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, row2col1);
    EXPECT_EQ(QPoint(grid.mouseCol(), grid.mouseRow()), QPoint(2, 3));
    for (Qt::Key k : {Qt::Key_Up, Qt::Key_Left}) QTest::keyClick(&grid, k);
    EXPECT_EQ(QPoint(grid.model().col(), grid.model().row()), QPoint(0, 1));
    for (Qt::Key k : {Qt::Key_Down, Qt::Key_Right}) QTest::keyClick(&grid, k);
    EXPECT_EQ(QPoint(grid.model().col(), grid.model().row()), QPoint(2, 3));
    QTest::keyClick(&grid, Qt::Key_PageDown);
    EXPECT_GT(grid.model().row(), 6);
    QTest::keyClick(&grid, Qt::Key_PageUp);
    EXPECT_EQ(grid.model().row(), 3) << "a page up is a page down back";
    QTest::mouseMove(grid.viewport(), QPoint(grid.cellRect(3, 3).right() + 5, row2col1.y()));
    EXPECT_EQ(QPoint(grid.mouseCol(), grid.mouseRow()), QPoint(-1, -1)) << "right of the last column";

    // Rows of the default height grow with a large font; an explicit height is kept.
    grid.model().setRowHeight(4, 300);
    grid.setFont(QFont(grid.font().family(), 30));
    grid.refresh();
    EXPECT_GT(grid.cellRect(5, 0).height(), ui::twipsToPx(ui::GridModel::kDefaultRowHeight));
    EXPECT_EQ(grid.cellRect(4, 0).height(), 20);
}

TEST_F(FlexGridWidget, ModelChangedWithoutRefreshOrEmptiedStillPaintsAndHitsRight) {
    auto& m = grid.model();
    grid.setTopRow(40);
    while (m.rows() > 3) m.removeItem(m.rows() - 1);
    m.setColWidth(0, 0);
    grid.grab();
    EXPECT_EQ(grid.colAt(2), 1);
    for (int i = 0; i < 500; ++i) m.addItem("x\ty");
    QCoreApplication::processEvents();  // the scroll bars catch up, and it paints
    EXPECT_GT(grid.verticalScrollBar()->maximum(), 400);
    m.setRows(0);
    m.setCols(0);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    QTest::keyClick(&grid, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(grid.mouseRow(), -1);
    EXPECT_FALSE(grid.grab().isNull());
}

TEST_F(FlexGridWidget, AnErrorInAHandlerBecomesAMessageNotACrash) {
    testsupport::ScriptedMessages messages;
    QObject::connect(&grid, &FlexGrid::doubleClicked, [] { throw core::DbError("нет таблицы TBL_CORD"); });
    QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, centre(2, 2));
    EXPECT_EQ(messages.texts(), QStringList{"нет таблицы TBL_CORD"});
}

TEST_F(FlexGridWidget, PaintsHeaderColouredRowsAndSelectionDistinctly) {
    auto& m = grid.model();
    m.addItem("Центральный\tЦентральный\tЦентральный\tЦентральный", 1);
    m.setMergeRow(1, true);
    for (int c = 0; c < 4; ++c) m.setCellBackColor(1, c, ui::bgr(0xC0FFC0));
    m.setCellBackColor(3, 1, ui::bgr(0xEBD6C2));
    m.setRow(3);
    m.setCol(1);
    m.setColSel(3);
    grid.refresh();
    const QImage img = grid.viewport()->grab().toImage();
    // A pixel near the top-left inside of a cell, clear of text and grid lines.
    auto inside = [&](int row, int col) {
        return img.pixelColor(grid.cellRect(row, col).topLeft() + QPoint(1, 2));
    };
    EXPECT_EQ(inside(2, 1), QColor(Qt::white));
    EXPECT_NE(inside(0, 1), QColor(Qt::white)) << "the header has its own colour";
    EXPECT_EQ(inside(1, 2), ui::bgr(0xC0FFC0));
    // The highlighted row's colour shows through the selection.
    EXPECT_NE(inside(3, 1), QColor(Qt::white));
    EXPECT_NE(inside(3, 1), grid.palette().color(QPalette::Active, QPalette::Highlight));
}

TEST_F(FlexGridWidget, TwipsConvertAtTheEdgesSoThatNeighboursTouchAtAnyDpi) {
    for (double dpi : {96.0, 110.0, 120.0, 144.0, 157.0}) {
        ui::setLogicalDpiForTests(dpi);
        QWidget a, b;
        ui::setGeometryTwips(a, 107, 0, 2333, 100);
        ui::setGeometryTwips(b, 107 + 2333, 0, 1000, 100);
        EXPECT_EQ(a.geometry().right() + 1, b.geometry().left()) << "dpi " << dpi;
    }
    ui::setLogicalDpiForTests(144);
    QWidget w;
    ui::setGeometryTwips(w, 1500, 300, 3000, 450);
    EXPECT_EQ(w.geometry(), QRect(150, 30, 300, 45));
}

TEST_F(FlexGridWidget, FitColumnsMeasuresTrimmedTextsHeadersBoldAtTheLabelsSize) {
    auto& m = grid.model();
    m = ui::GridModel(0, 4, 0, 0);
    for (const char* row : {"Город\tWWWWWWWWWW\tЦена", "Москва\tii\t12\tскрыт",
                            "   Санкт-Петербург   \tWW\t1234567,89\tскрытый столбец"})
        m.addItem(row);
    m.setColWidth(3, 0);
    const struct { int boldRows, pointSize, col; const char* widest; bool bold; } cases[] = {
        {1, 10, 0, "Санкт-Петербург", false}, {1, 10, 1, "WWWWWWWWWW", true},
        {3, 10, 0, "Санкт-Петербург", true}, {1, 16, 2, "1234567,89", false}};
    QLabel label;
    for (const auto& c : cases) {
        label.setFont(QFont("Nimbus Mono PS", c.pointSize));  // the label's own family does not count
        ui::FitColumns(grid, label, c.boldRows);
        QFont f = c.bold ? grid.headerFont() : grid.cellFont();
        f.setPointSize(c.pointSize);
        f.setBold(c.bold);
        EXPECT_EQ(m.colWidth(c.col), ui::pxToTwips(QFontMetrics(f).horizontalAdvance(c.widest)) + 100)
            << c.widest << " at " << c.pointSize << "pt";
        EXPECT_EQ(m.colWidth(3), 0) << "hidden columns stay hidden";
    }
    m.setRows(0);
    ui::FitColumns(grid, label, 1);
    EXPECT_EQ(m.colWidth(0), 100) << "no rows: the margin alone";
}

}  // namespace
