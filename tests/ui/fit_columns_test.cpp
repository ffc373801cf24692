// Column fitting measures every row's trimmed text in the grid's fonts at the
// measuring label's size and leaves hidden columns hidden.
#include "ui/fit_columns.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QLabel>

#include "ui/twips.h"
#include "ui/flexgrid.h"

namespace {

using ui::FlexGrid;

class FitColumnsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ui::setLogicalDpiForTests(96);
        auto& m = grid.model();
        m.setCols(3);
        m.setRows(1);
        m.setText(0, 0, "Город");
        m.setText(0, 1, "WWWWWWWWWW");  // the header is the widest text of column 1
        m.setText(0, 2, "Цена");
        m.addItem("Москва\tii\t12");
        m.addItem("   Санкт-Петербург   \tWW\t1234567,89");
    }
    void TearDown() override { ui::setLogicalDpiForTests(0); }

    int expectedWidth(const QString& text, bool bold, const QFont& sizeSource) const {
        QFont f = bold ? grid.headerFont() : grid.cellFont();
        f.setPointSizeF(sizeSource.pointSizeF());
        f.setBold(bold);
        return ui::pxToTwips(QFontMetrics(f).horizontalAdvance(text)) + 100;
    }

    FlexGrid grid;
    QLabel label;
};

TEST_F(FitColumnsTest, EachColumnTakesItsWidestTrimmedTextPlus100Twips) {
    ui::FitColumns(grid, label, 1);
    const auto& m = grid.model();
    EXPECT_EQ(m.colWidth(0), expectedWidth("Санкт-Петербург", false, label.font()));
    EXPECT_EQ(m.colWidth(1), expectedWidth("WWWWWWWWWW", true, label.font()));
    EXPECT_EQ(m.colWidth(2), expectedWidth("1234567,89", false, label.font()));
    EXPECT_GT(m.colWidth(0), m.colWidth(2)) << "a longer text gives a wider column";
}

TEST_F(FitColumnsTest, HeaderRowsAreMeasuredBold) {
    ui::FitColumns(grid, label, 1);
    const int boldHeader = grid.model().colWidth(1);
    EXPECT_GT(boldHeader, expectedWidth("WWWWWWWWWW", false, label.font()));

    // With two rows counted as header, row 1's text is measured bold as well.
    grid.model().setText(1, 0, "Москва-Сортировочная-Товарная");
    ui::FitColumns(grid, label, 2);
    EXPECT_EQ(grid.model().colWidth(0), expectedWidth("Москва-Сортировочная-Товарная", true, label.font()));
}

TEST_F(FitColumnsTest, HiddenColumnsStayHidden) {
    grid.model().setColWidth(1, 0);
    ui::FitColumns(grid, label, 1);
    EXPECT_EQ(grid.model().colWidth(1), 0);
    EXPECT_GT(grid.model().colWidth(0), 100);
}

TEST_F(FitColumnsTest, TheLabelGivesTheSizeTheGridGivesTheFamily) {
    QFont small = label.font();
    small.setPointSize(8);
    label.setFont(small);
    ui::FitColumns(grid, label, 1);
    const int narrow = grid.model().colWidth(0);

    QFont big = small;
    big.setPointSize(16);
    big.setFamily("Nimbus Mono PS");  // the label's own family does not count
    label.setFont(big);
    ui::FitColumns(grid, label, 1);
    EXPECT_GT(grid.model().colWidth(0), narrow);
    EXPECT_EQ(grid.model().colWidth(0), expectedWidth("Санкт-Петербург", false, big));
}

TEST_F(FitColumnsTest, FittedTextsShowWithoutElision) {
    // A fitted column must hold its text whole; the grid elides only what does not fit.
    QFont cell = grid.font();
    label.setFont(cell);
    ui::FitColumns(grid, label, 1);
    const int colPx = ui::twipsToPx(grid.model().colWidth(0));
    const int textPx = QFontMetrics(cell).horizontalAdvance("Санкт-Петербург");
    EXPECT_GE(colPx - textPx, 5) << "room for padding and the grid line";
}

TEST(FitColumnsEmpty, AGridWithoutRowsGetsTheMargin) {
    FlexGrid grid;
    grid.model().setRows(0);
    grid.model().setCols(2);
    QLabel label;
    ui::FitColumns(grid, label, 1);
    EXPECT_EQ(grid.model().colWidth(0), 100);
}

}  // namespace
