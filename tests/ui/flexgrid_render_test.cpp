// What the grid paints: header colour, a coloured row that stays visible under the
// selection, merged captions, hidden columns. Set ZELVORIN_GRID_PNG to a file name to
// keep the picture for a look.
#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QTest>

#include "ui/twips.h"
#include "ui/fit_columns.h"
#include "ui/flexgrid.h"

namespace {

using ui::FlexGrid;

// A comparison-style grid: a bold merged region row in green, a sorted body with
// Cyrillic texts, a hidden key column, one row highlighted in 0xEBD6C2.
void fillSample(FlexGrid& grid) {
    auto& m = grid.model();
    m.setCols(6);
    m.setRows(1);
    m.setFixedRows(1);
    const QStringList header{"ключ", "Регион", "Город", "База", "Наименование", "Цена, руб."};
    for (int c = 0; c < header.size(); ++c) m.setText(0, c, header[c]);
    m.setColWidth(0, 0);
    m.setColAlignment(5, Qt::AlignRight | Qt::AlignVCenter);
    m.setFixedAlignment(5, Qt::AlignRight | Qt::AlignVCenter);
    m.addItem("\tЦентральный\tЦентральный\tЦентральный\tЦентральный\tЦентральный");
    m.setMergeRow(1, true);
    for (int c = 0; c < 6; ++c) {
        m.setCellBold(1, c, true);
        m.setCellBackColor(1, c, ui::bgr(0xC0FFC0));
    }
    m.addItem("17\tМосковская обл.\tМосква\tСклад №1\tАрматура А500С ф12 11,7 м\t41250.5");
    m.addItem("4\tЛенинградская обл.\tСанкт-Петербург\tОсновная\tЛист г/к 3х1250х2500 ст3сп\t58900");
    m.addItem(
        "9\tСвердловская обл.\tЕкатеринбург\tУральская база металлопроката\tТруба профильная 40х20х2\t9870");
    m.addItem("23\tТатарстан\tКазань\tКазанская\tУголок 50х50х5\t120000");
    m.addItem("31\tНовосибирская обл.\tНовосибирск\tСибирь-Металл\tШвеллер 10П\t");
    m.sort(5, false);  // texts after numbers: the region row first, the empty price last
}

QColor pixelAt(const QImage& img, const QPoint& p) {
    return img.pixelColor(p);
}

TEST(FlexGridRender, PaintsHeaderHighlightAndSelectionDistinctly) {
    ui::setLogicalDpiForTests(96);
    FlexGrid grid;
    grid.resize(760, 170);
    fillSample(grid);
    QLabel widthLabel;
    ui::FitColumns(grid, widthLabel, 1);
    auto& m = grid.model();
    const int highlighted = 3;
    for (int c = 1; c < 6; ++c) m.setCellBackColor(highlighted, c, ui::bgr(0xEBD6C2));
    m.setRow(highlighted);
    m.setCol(1);
    m.setColSel(5);
    grid.refresh();
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));

    const QImage img = grid.viewport()->grab().toImage();
    if (const QByteArray out = qgetenv("ZELVORIN_GRID_PNG"); !out.isEmpty())
        grid.grab().save(QString::fromLocal8Bit(out));

    // Sample a pixel near the top-left inside of a cell, clear of text and grid lines.
    auto inside = [&](int row, int col) { return grid.cellRect(row, col).topLeft() + QPoint(1, 2); };
    const QColor header = pixelAt(img, inside(0, 1));
    const QColor plain = pixelAt(img, inside(2, 1));
    const QColor marked = pixelAt(img, inside(highlighted, 1));
    const QColor region = pixelAt(img, inside(1, 2));
    EXPECT_NE(header, plain);
    EXPECT_EQ(plain, QColor(Qt::white));
    // The highlighted row is neither plain white nor flat highlight colour: its own
    // colour shows through the selection.
    const QColor hl = grid.palette().color(QPalette::Active, QPalette::Highlight);
    EXPECT_NE(marked, plain);
    EXPECT_NE(marked, hl);
    EXPECT_EQ(region, ui::bgr(0xC0FFC0));
    // Hidden column 0 takes no space: column 1 starts at the left edge.
    EXPECT_EQ(grid.cellRect(2, 1).left(), 0);
    EXPECT_TRUE(grid.cellRect(2, 0).isEmpty());
    ui::setLogicalDpiForTests(0);
}

}  // namespace
