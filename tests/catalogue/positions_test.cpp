// The catalogue window driven by real mouse events under the offscreen platform, on a
// small database built through the real store.
#include "catalogue/positions.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCursor>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <array>

#include "global/global.h"
#include "catalogue/catalogue_fixture.h"
#include "catalogue/catalogue_logic.h"
#include "ui/twips.h"
#include "support/scripted_seams.h"
#include "ui/flexgrid.h"
#include "ui/label_array.h"

namespace {

using testsupport::ScriptedMenus;
using testsupport::ScriptedMessages;

const QString kAllBases = QStringLiteral(" AND d.IND_BS IN (2,1,3)");

QString positionsSql(int group, const QString& filter = kAllBases) {
    return catalogue::positionsStatement(catalogue::positionsCondition(group, filter));
}

class PositionsWindow : public ::testing::Test {
protected:
    void SetUp() override { open(); }

    // Builds the window on the database; tests with a database of their own call it again.
    void open() {
        w.reset();
        ui::setLogicalDpiForTests(96);
        positions::setScreenSizeForTests(QSize(28800, 16200));
        w = std::make_unique<positions>();
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
        db->cn().clearCalls();
    }

    template <class T>
    T* child(const char* name) {
        T* c = w->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    ui::FlexGrid* dg() { return child<ui::FlexGrid>("dg"); }
    ui::FlexGrid* prices() { return child<ui::FlexGrid>("prices"); }
    ui::FlexGrid* bases() { return child<ui::FlexGrid>("bases"); }

    // Each move goes to a fresh point, so that no move is dropped as a repeat.
    QPoint nextPoint(QWidget* target) {
        ++moves_;
        return QPoint(3 + moves_ % 5, std::max(1, target->height() / 2));
    }
    void hoverTitle() {
        QLabel* title = child<QLabel>("Label10");
        QTest::mouseMove(title, nextPoint(title));
    }
    void hoverType(int i) {
        QLabel* l = w->lb1().label(i);
        ASSERT_TRUE(l->isVisible()) << "type " << i;
        QTest::mouseMove(l, nextPoint(l));
    }
    void hoverGroup(int i) {
        QLabel* l = w->lb2().label(i);
        ASSERT_TRUE(l->isVisible()) << "group " << i;
        QTest::mouseMove(l, nextPoint(l));
    }
    void chooseGroup(int type, int group) {
        hoverTitle();
        hoverType(type);
        hoverGroup(group);
        QTest::mousePress(w->lb2().label(group), Qt::LeftButton, {}, QPoint(4, 4));
    }
    // Types by name: 0 Листовой прокат, 1 Сортовой прокат, 2 Трубы. Groups of Сортовой
    // прокат: 0 Арматура, 1 Круг.
    void chooseRebar() { chooseGroup(1, 0); }

    void clickCell(ui::FlexGrid* g, int row, int col, Qt::MouseButton b = Qt::LeftButton) {
        const QRect r = g->cellRect(row, col);
        ASSERT_FALSE(r.isEmpty()) << g->objectName().toStdString() << " " << row << "," << col;
        QTest::mouseClick(g->viewport(), b, {}, r.center());
    }
    void rightPress(ui::FlexGrid* g, int row, int col) {
        const QRect r = g->cellRect(row, col);
        ASSERT_FALSE(r.isEmpty());
        QTest::mousePress(g->viewport(), Qt::RightButton, {}, r.center());
        QTest::mouseRelease(g->viewport(), Qt::RightButton, {}, r.center());
    }
    // The data row of dg that holds a position key; -1 when none.
    int rowOf(const QString& key) {
        const ui::GridModel& m = dg()->model();
        for (int r = m.fixedRows(); r < m.rows(); ++r)
            if (m.text(r, 0) == key) return r;
        return -1;
    }
    QStringList column(ui::FlexGrid* g, int col) {
        QStringList out;
        for (int r = g->model().fixedRows(); r < g->model().rows(); ++r) out << g->model().text(r, col);
        return out;
    }
    QStringList opened() { return db->cn().opened(); }

    std::unique_ptr<testcat::CatalogueDb> db = std::make_unique<testcat::CatalogueDb>();
    ScriptedMessages messages;
    ScriptedMenus menus;
    std::unique_ptr<positions> w;
    int moves_ = 0;
};

// --- load and unload ---------------------------------------------------------------

TEST_F(PositionsWindow, LoadListsEveryBaseMarkedUnderBoldGreenRegionRows) {
    ui::GridModel& b = bases()->model();
    ASSERT_EQ(b.rows(), 5);
    EXPECT_EQ(b.rowTexts(0), (QStringList{"0", "Урал", "Урал", "Урал"}));
    EXPECT_EQ(b.rowTexts(1), (QStringList{"2", "Екатеринбург", "V", "Склад ЕКБ"}));
    EXPECT_EQ(b.rowTexts(2), (QStringList{"0", "Центр", "Центр", "Центр"}));
    EXPECT_EQ(b.rowTexts(3), (QStringList{"1", "Москва", "V", "Склад Москва-1"}));
    EXPECT_EQ(b.rowTexts(4), (QStringList{"3", "Тула", "V", "Тульская база"}));
    for (int r : {0, 2}) {
        EXPECT_TRUE(b.mergeRow(r));
        for (int c = 0; c < 4; ++c) {
            EXPECT_TRUE(b.cellBold(r, c));
            EXPECT_EQ(b.cellBackColor(r, c), ui::bgr(0x80FF80));
        }
    }
    EXPECT_FALSE(b.mergeRow(1));
    EXPECT_FALSE(b.cellBold(1, 1));
    EXPECT_EQ(b.colWidth(0), 0);
    EXPECT_EQ(w->BasesFilter(), kAllBases);
    EXPECT_TRUE(bases()->isVisible());
    EXPECT_EQ(Global::CatalogueOpen, -1);
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(PositionsWindow, LoadRunsOnlyTheBasesQueryAndShowsTheEmptyBasket) {
    w.reset();
    w = std::make_unique<positions>();
    EXPECT_EQ(opened(), QStringList{catalogue::basesStatement()});
    w->show();
    EXPECT_TRUE(child<QLabel>("b_emp")->isVisible());
    EXPECT_FALSE(child<QLabel>("b_full")->isVisible());
    EXPECT_FALSE(child<QLabel>("c_bas")->isVisible());
    EXPECT_EQ(child<QLabel>("c_bas")->text(), QStringLiteral("0"));
    EXPECT_FALSE(child<QGroupBox>("frm1")->isVisible());
    EXPECT_FALSE(child<QWidget>("frmWaiting")->isVisible());
    EXPECT_TRUE(child<QLabel>("zag")->text().isEmpty());
}

TEST_F(PositionsWindow, UnloadClosesTheCatalogueForTheBasketIndicator) {
    Global::CurrentOrder().InsertRow();
    w->close();
    EXPECT_EQ(Global::CatalogueOpen, 0);
    Global::RefreshBasketIndicator();  // the window is closed: its pictures stay as they were
    EXPECT_TRUE(child<QLabel>("b_emp")->isVisibleTo(w.get()));

    // Shown again, it loads afresh and takes the indicator back.
    w->show();
    EXPECT_EQ(Global::CatalogueOpen, -1);
    EXPECT_EQ(opened(), QStringList{catalogue::basesStatement()});
    EXPECT_TRUE(child<QLabel>("b_full")->isVisible());
    EXPECT_EQ(child<QLabel>("c_bas")->text(), QStringLiteral("1"));

    w.reset();
    EXPECT_EQ(Global::CatalogueOpen, 0);
    Global::RefreshBasketIndicator();  // nothing registered any more: must not touch freed widgets
}

TEST_F(PositionsWindow, TheFilterControlsExistButFilterNothing) {
    for (const char* name : {"Check_r1", "Check_m", "chckProf", "Check_con"})
        EXPECT_FALSE(child<QCheckBox>(name)->isVisible()) << name;
    EXPECT_EQ(child<QCheckBox>("Check_con")->text(), QStringLiteral("Контекстный поиск"));
    child<QCheckBox>("Check_con")->setChecked(true);
    chooseRebar();
    EXPECT_FALSE(child<QCheckBox>("Check_con")->isChecked());
    EXPECT_FALSE(child<QLineEdit>("shablon")->isVisible());
    EXPECT_EQ(opened().last(), positionsSql(10));
}

// --- type and group lists ----------------------------------------------------------

TEST_F(PositionsWindow, MovingOverTheTitleOpensTheTypeListAboveTheGrids) {
    hoverTitle();
    QGroupBox* frm1 = child<QGroupBox>("frm1");
    EXPECT_TRUE(frm1->isVisible());
    EXPECT_EQ(opened(), QStringList{"SELECT * FROM TBL_TPS ORDER BY TP_NM"});
    ui::LabelArray& lb1 = w->lb1();
    QStringList captions;
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(lb1.isVisible(i));
        captions << lb1.caption(i);
        EXPECT_EQ(lb1.backColor(i), positions::kLabelBack);
        EXPECT_EQ(lb1.foreColor(i), positions::kLabelFore);
        EXPECT_EQ(lb1.width(i), lb1.width(0));
    }
    EXPECT_EQ(captions, (QStringList{"Листовой прокат", "Сортовой прокат", "Трубы"}));
    EXPECT_EQ(lb1.tag(0), 3);
    EXPECT_EQ(lb1.tag(1), 1);
    // Stacked above the positions grid.
    const QObjectList kids = w->children();
    EXPECT_GT(kids.indexOf(frm1), kids.indexOf(dg()));
    // Every move over the title reads the types again.
    hoverTitle();
    EXPECT_EQ(opened().size(), 2);
}

TEST_F(PositionsWindow, HoveringATypeOpensItsGroupsBesideTheTypeList) {
    hoverTitle();
    hoverType(1);
    ui::LabelArray& lb1 = w->lb1();
    ui::LabelArray& lb2 = w->lb2();
    EXPECT_EQ(lb1.backColor(1), positions::kLabelHotBack);
    EXPECT_EQ(lb1.foreColor(1), positions::kLabelHotFore);
    QGroupBox* frm1 = child<QGroupBox>("frm1");
    QGroupBox* frm2 = child<QGroupBox>("frm2");
    EXPECT_EQ(frm2->title(), QStringLiteral("Сортовой прокат"));
    EXPECT_TRUE(frm2->isVisible());
    EXPECT_EQ(opened().last(), QStringLiteral("SELECT * FROM TBL_GRPS WHERE IND_TP=1 ORDER BY GRP_NM"));
    EXPECT_EQ(lb2.caption(0), QStringLiteral("Арматура"));
    EXPECT_EQ(lb2.caption(1), QStringLiteral("Круг"));
    EXPECT_EQ(lb2.tag(0), 10);
    EXPECT_NEAR(frm2->x(), frm1->x() + frm1->width(), 1);

    // Moving within the same type does nothing more.
    const int queries = opened().size();
    hoverType(1);
    EXPECT_EQ(opened().size(), queries);

    // Another type restores the first one's colours and lists its own groups, trimmed.
    hoverType(2);
    EXPECT_EQ(lb1.backColor(1), positions::kLabelBack);
    EXPECT_EQ(lb1.foreColor(1), positions::kLabelFore);
    EXPECT_EQ(lb1.backColor(2), positions::kLabelHotBack);
    EXPECT_EQ(lb2.caption(0), QStringLiteral("Трубы ВГП"));
    EXPECT_EQ(lb2.caption(1), QStringLiteral("Трубы профильные"));

    // A type without groups hides the group panel.
    hoverType(0);
    EXPECT_FALSE(frm2->isVisible());
    EXPECT_TRUE(frm1->isVisible());
}

TEST_F(PositionsWindow, HoveringGroupsMovesTheHighlight) {
    hoverTitle();
    hoverType(1);
    hoverGroup(0);
    ui::LabelArray& lb2 = w->lb2();
    EXPECT_EQ(lb2.backColor(0), positions::kLabelHotBack);
    hoverGroup(1);
    EXPECT_EQ(lb2.backColor(0), positions::kLabelBack);
    EXPECT_EQ(lb2.foreColor(0), positions::kLabelFore);
    EXPECT_EQ(lb2.backColor(1), positions::kLabelHotBack);
    EXPECT_EQ(lb2.foreColor(1), positions::kLabelHotFore);
    EXPECT_EQ(w->curGroup(), 1);
}

TEST_F(PositionsWindow, ChoosingAGroupListsItsPositionsWithTheirPriceRange) {
    chooseRebar();
    EXPECT_FALSE(child<QGroupBox>("frm1")->isVisible());
    EXPECT_FALSE(child<QGroupBox>("frm2")->isVisible());
    EXPECT_EQ(child<QLabel>("zag")->text(), QStringLiteral("Сортовой прокат - Арматура"));
    EXPECT_EQ(opened().last(), positionsSql(10));
    EXPECT_TRUE(dg()->isVisible());
    EXPECT_FALSE(prices()->isVisible());

    ui::GridModel& m = dg()->model();
    ASSERT_EQ(m.rows(), 4);  // header and three positions; the one without offers is not listed
    EXPECT_EQ(m.rowTexts(0), (QStringList{"", "Наименование", "МинЦена", "МаксЦена"}));
    EXPECT_EQ(m.colWidth(0), 0);
    // Two positions of the same name are both listed.
    EXPECT_EQ(column(dg(), 1), (QStringList{"Арматура 10 А500С", "Арматура 10 А500С", "Арматура 12 А500С"}));
    EXPECT_EQ(m.rowTexts(rowOf("100")), (QStringList{"100", "Арматура 12 А500С", "49500", "53000"}));
    EXPECT_EQ(m.rowTexts(rowOf("101")), (QStringList{"101", "Арматура 10 А500С", "48000", "48000"}));
    for (int r = 1; r < m.rows(); ++r) EXPECT_GT(m.rowHeight(r), 0);
}

TEST_F(PositionsWindow, AGroupWithoutPricedPositionsKeepsOnlyTheHiddenPlaceholder) {
    chooseGroup(1, 1);
    ui::GridModel& m = dg()->model();
    ASSERT_EQ(m.rows(), 2);
    EXPECT_EQ(m.rowHeight(1), 0);
    // A right press below the header finds no row: no menu.
    const QRect head = dg()->cellRect(0, 1);
    QTest::mousePress(dg()->viewport(), Qt::RightButton, {}, QPoint(head.center().x(), head.bottom() + 20));
    EXPECT_TRUE(menus.shownItems.isEmpty());
}

// --- selecting a position and its offers -------------------------------------------

TEST_F(PositionsWindow, SelectingARowHighlightsItAndShowsItsOffersByBand) {
    chooseRebar();
    db->cn().clearCalls();
    const int row = rowOf("100");
    clickCell(dg(), row, 1);
    ui::GridModel& m = dg()->model();
    for (int c = 0; c < 4; ++c) EXPECT_EQ(m.cellBackColor(row, c), ui::kHighlightColour) << c;
    EXPECT_EQ(opened(), (QStringList{catalogue::bandLimitsStatement("100"),
                                     catalogue::offersStatement("100", kAllBases)}));
    EXPECT_TRUE(prices()->isVisible());

    ui::GridModel& p = prices()->model();
    EXPECT_EQ(p.rowTexts(0), (QStringList{"", "Регион", "Город", "Организация", "Продукция", "до 5", "5 - 7",
                                          "7 - 10", "от 10"}));
    ASSERT_EQ(p.rows(), 4);
    EXPECT_EQ(p.rowTexts(1), (QStringList{"1001", "Урал", "Екатеринбург", "Склад ЕКБ", "Арматура 12мм",
                                          "53000", "53000", "53000", "53000"}));
    EXPECT_EQ(p.rowTexts(2), (QStringList{"1000", "Центр", "Москва", "Склад Москва-1", "Арм 12 А500С н/д",
                                          "52000", "51000", "51000", "50000"}));
    EXPECT_EQ(p.rowTexts(3),
              (QStringList{"1002", "Центр", "Тула", "Тульская база", "Арм.12", "49500", "49500", "", ""}));
    EXPECT_EQ(p.colWidth(0), 0);
    for (int c = 1; c < p.cols(); ++c) EXPECT_GT(p.colWidth(c), 100) << c;

    // Another row takes the highlight; the first gets the grid's own colour back.
    const int other = rowOf("101");
    clickCell(dg(), other, 1);
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(m.cellBackColor(row, c), std::nullopt);
        EXPECT_EQ(m.cellBackColor(other, c), ui::kHighlightColour);
    }
    EXPECT_EQ(p.rowTexts(0), (QStringList{"", "Регион", "Город", "Организация", "Продукция", "Цена"}));
    EXPECT_EQ(p.rows(), 2);
}

TEST_F(PositionsWindow, AFreshListHighlightsWhicheverRowIsSelectedFirst) {
    chooseRebar();
    clickCell(dg(), 2, 1);
    // The same group again: a new list whose row 2 was never highlighted.
    chooseRebar();
    EXPECT_EQ(w->prevRow(), 0);
    EXPECT_FALSE(prices()->isVisible());
    db->cn().clearCalls();
    clickCell(dg(), 2, 1);
    EXPECT_EQ(dg()->model().cellBackColor(2, 1), ui::kHighlightColour);
    EXPECT_TRUE(prices()->isVisible());
    EXPECT_EQ(opened().size(), 2);
}

TEST_F(PositionsWindow, HeaderClicksSortWithOneToggleForEachGrid) {
    chooseRebar();
    clickCell(dg(), 0, 2);  // МинЦена: the first click sorts descending
    EXPECT_EQ(column(dg(), 2), (QStringList{"49500", "48000", "47000"}));
    clickCell(dg(), 0, 1);  // Наименование: the next click, whatever the column, ascending
    EXPECT_EQ(column(dg(), 1), (QStringList{"Арматура 10 А500С", "Арматура 10 А500С", "Арматура 12 А500С"}));
    const QStringList before = column(dg(), 0);
    clickCell(dg(), 2, 2);  // a data row never sorts
    EXPECT_EQ(column(dg(), 0), before);

    clickCell(dg(), rowOf("100"), 1);
    ASSERT_EQ(prices()->model().rows(), 4);
    clickCell(prices(), 0, 4);  // prices keeps its own toggle: descending first
    EXPECT_EQ(column(prices(), 4), (QStringList{"Арматура 12мм", "Арм.12", "Арм 12 А500С н/д"}));
}

TEST_F(PositionsWindow, TheHighlightFollowsItsRowThroughASort) {
    chooseRebar();
    clickCell(dg(), rowOf("100"), 1);
    clickCell(dg(), 0, 2);
    clickCell(dg(), rowOf("103"), 1);
    int highlighted = 0;
    for (int r = 1; r < dg()->model().rows(); ++r)
        highlighted += dg()->model().cellBackColor(r, 1).has_value() ? 1 : 0;
    EXPECT_EQ(highlighted, 1);
    EXPECT_TRUE(dg()->model().cellBackColor(rowOf("103"), 1).has_value());
}

// Position 104 of Арматура with the given bands in one offer at base 1.
QStringList withOffer(const std::vector<std::array<double, 3>>& bands) {
    QStringList data = testcat::sampleData();
    data << QStringLiteral("INSERT INTO TBL_PSTS (IND, IND_GRP, PST_NM) VALUES (104, 10, 'Арматура 8 А240')")
         << QStringLiteral(
                "INSERT INTO TBL_STFS (IND, IND_PST, IND_PRS, TO_OUT) VALUES (1040, 104, 1, 'Арм 8')");
    int ind = 100;
    for (const auto& b : bands)
        data << QStringLiteral(
                    "INSERT INTO TBL_CSTS (IND, IND_STF, VL_FRM, VL_TO, CST) VALUES (%1, 1040, %2, %3, %4)")
                    .arg(ind++)
                    .arg(b[0])
                    .arg(b[1])
                    .arg(b[2]);
    return data;
}

TEST_F(PositionsWindow, APositionWithManyBandLimitsShowsEveryBand) {
    std::vector<std::array<double, 3>> bands;
    for (int i = 0; i < 120; ++i) bands.push_back({i * 10.0, i * 10.0 + 10, 60000.0 - i * 10});
    w.reset();
    db.reset();
    db = std::make_unique<testcat::CatalogueDb>(withOffer(bands));
    open();
    chooseRebar();
    clickCell(dg(), rowOf("104"), 1);
    const ui::GridModel& p = prices()->model();
    // 121 limits and the end mark: 121 bands, the last one open above 1200.
    ASSERT_EQ(p.cols(), 5 + 121);
    EXPECT_EQ(p.text(0, 5), QStringLiteral("до 10"));
    EXPECT_EQ(p.text(0, 5 + 119), QStringLiteral("1190 - 1200"));
    EXPECT_EQ(p.text(0, 5 + 120), QStringLiteral("от 1200"));
    ASSERT_EQ(p.rows(), 2);
    EXPECT_EQ(p.text(1, 5), QStringLiteral("60000"));
    EXPECT_EQ(p.text(1, 5 + 119), QStringLiteral("58810"));
    EXPECT_EQ(p.text(1, 5 + 120), QString());
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(PositionsWindow, BandCaptionsAndPricesUseTheOperatorsDecimalComma) {
    testsupport::LocaleGuard russian{QLocale(QLocale::Russian, QLocale::Russia)};
    w.reset();
    db.reset();
    db = std::make_unique<testcat::CatalogueDb>(withOffer({{0, 0.5, 2.25}, {0.5, 0, 1.5}}));
    open();
    chooseRebar();
    clickCell(dg(), rowOf("104"), 1);
    const ui::GridModel& p = prices()->model();
    EXPECT_EQ(p.rowTexts(0).mid(5), (QStringList{"до 0,5", "от 0,5"}));
    EXPECT_EQ(p.rowTexts(1).mid(5), (QStringList{"2,3", "1,5"}));
    EXPECT_EQ(dg()->model().rowTexts(rowOf("104")).mid(2), (QStringList{"1,5", "2,3"}));
}

// --- bases filter ------------------------------------------------------------------

TEST_F(PositionsWindow, ClickingAMarkTogglesItAndRebuildsThePositions) {
    chooseRebar();
    clickCell(bases(), 4, 2);  // Тульская база
    EXPECT_EQ(bases()->model().text(4, 2), QString());
    EXPECT_EQ(opened().last(), positionsSql(10, QStringLiteral(" AND d.IND_BS IN (2,1)")));
    EXPECT_EQ(dg()->model().rowTexts(rowOf("100")),
              (QStringList{"100", "Арматура 12 А500С", "50000", "53000"}));

    // Other columns change no mark but still rebuild.
    const int queries = opened().size();
    clickCell(bases(), 1, 1);
    clickCell(bases(), 3, 3);
    EXPECT_EQ(opened().size(), queries + 2);
    EXPECT_EQ(bases()->model().text(1, 2), QStringLiteral("V"));

    // With no base marked nothing is restricted.
    clickCell(bases(), 1, 2);
    clickCell(bases(), 3, 2);
    EXPECT_EQ(opened().last(), positionsSql(10, QString()));
    EXPECT_EQ(dg()->model().rowTexts(rowOf("100")),
              (QStringList{"100", "Арматура 12 А500С", "49500", "53000"}));

    // A region row's mark cell toggles like a base's, and its key 0 joins the filter.
    clickCell(bases(), 0, 2);
    EXPECT_EQ(bases()->model().text(0, 2), QStringLiteral("V"));
    EXPECT_EQ(w->BasesFilter(), QStringLiteral(" AND d.IND_BS IN (0)"));
    clickCell(bases(), 0, 2);
    EXPECT_EQ(bases()->model().text(0, 2), QString());
}

TEST_F(PositionsWindow, AnUnmarkedBaseStillCutsTheBandsButShowsNoRow) {
    chooseRebar();
    clickCell(bases(), 4, 2);  // Тульская база, the only one with the 0-7 band
    clickCell(dg(), rowOf("100"), 1);
    ui::GridModel& p = prices()->model();
    EXPECT_EQ(p.rowTexts(0), (QStringList{"", "Регион", "Город", "Организация", "Продукция", "до 5", "5 - 7",
                                          "7 - 10", "от 10"}));
    EXPECT_EQ(column(prices(), 3), (QStringList{"Склад ЕКБ", "Склад Москва-1"}));
    EXPECT_EQ(opened().last(), catalogue::offersStatement("100", QStringLiteral(" AND d.IND_BS IN (2,1)")));
}

TEST_F(PositionsWindow, ABasesClickBeforeAnyGroupOnlyHidesTheGrids) {
    clickCell(bases(), 1, 2);
    EXPECT_FALSE(dg()->isVisible());
    EXPECT_FALSE(prices()->isVisible());
    EXPECT_TRUE(opened().isEmpty());
}

// Moving back over the title leaves no type highlighted while the group list stays open;
// a group chosen from it is still named with the type the list belongs to.
TEST_F(PositionsWindow, AGroupChosenAfterLeavingTheTypeListIsNamedWithItsType) {
    hoverTitle();
    hoverType(1);
    hoverTitle();
    ASSERT_TRUE(child<QGroupBox>("frm2")->isVisible());
    hoverGroup(0);
    QTest::mousePress(w->lb2().label(0), Qt::LeftButton, {}, QPoint(4, 4));
    EXPECT_EQ(child<QLabel>("zag")->text(), QStringLiteral("Сортовой прокат - Арматура"));
    EXPECT_EQ(opened().last(), positionsSql(10));
}

TEST_F(PositionsWindow, ARebuildAfterHoveringAnotherTypeListsTheGroupZagShows) {
    chooseRebar();
    hoverTitle();
    hoverType(2);  // Трубы: no group of it highlighted
    EXPECT_EQ(w->curGroup(), -1);
    clickCell(bases(), 4, 2);
    EXPECT_EQ(opened().last(), positionsSql(10, QStringLiteral(" AND d.IND_BS IN (2,1)")));
    EXPECT_EQ(child<QLabel>("zag")->text(), QStringLiteral("Сортовой прокат - Арматура"));
    EXPECT_EQ(dg()->model().rows(), 4);
    EXPECT_TRUE(messages.shown.isEmpty());
}

// --- failures ----------------------------------------------------------------------

TEST_F(PositionsWindow, AFailingQueryIsReportedOnceAndTheWindowStaysUsable) {
    db->cn().failPrefix(QStringLiteral("SELECT a.IND, a.PST_NM"),
                        QStringLiteral("TBL_PSTS.dbf cannot be read"));
    chooseRebar();
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("TBL_PSTS.dbf cannot be read")));
    EXPECT_TRUE(dg()->isVisible());

    chooseRebar();
    EXPECT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(dg()->model().rows(), 4);

    db->cn().failPrefix(QStringLiteral("SELECT DISTINCT VL"), QStringLiteral("TBL_CSTS.dbf cannot be read"));
    clickCell(dg(), rowOf("100"), 1);
    ASSERT_EQ(messages.shown.size(), 2);
    EXPECT_TRUE(messages.shown[1].text.contains(QStringLiteral("TBL_CSTS.dbf")));
    EXPECT_TRUE(dg()->isVisible());
    EXPECT_FALSE(prices()->isVisible());
    clickCell(dg(), rowOf("101"), 1);
    EXPECT_TRUE(prices()->isVisible());
    EXPECT_EQ(messages.shown.size(), 2);
}

TEST_F(PositionsWindow, AMissingTableAtLoadIsReportedAndTheWindowStillOpens) {
    w.reset();
    db.reset();  // one store at a time: the guard of the next restores what this one found
    db = std::make_unique<testcat::CatalogueDb>(QStringList{}, false);
    open();
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(bases()->model().rows(), 0);
    EXPECT_EQ(Global::CatalogueOpen, -1);
    hoverTitle();
    EXPECT_EQ(messages.shown.size(), 2);
}

// --- the basket --------------------------------------------------------------------

struct EditorCall {
    bool onAdd = false;
    QPoint placed;
    int calls = 0;
};

TEST_F(PositionsWindow, ARightPressAddsThePositionAndOpensTheLineEditor) {
    EditorCall editor;
    Global::dialogs().showLineEditor = [&](bool onAdd, const std::function<QPoint(QSize)>& place) {
        ++editor.calls;
        editor.onAdd = onAdd;
        editor.placed = place(QSize(300, 200));
        // The editor sees the new line as the current one.
        EXPECT_EQ(Global::CurrentOrder().Field("idn").toInt32(), 100);
    };
    chooseRebar();
    menus.choose(1);
    const int row = rowOf("100");
    rightPress(dg(), row, 1);

    ASSERT_EQ(menus.shownItems.size(), 1);
    ASSERT_EQ(menus.shownItems[0].size(), 1);
    EXPECT_EQ(menus.shownItems[0][0].id, 1);
    EXPECT_EQ(menus.shownItems[0][0].text, QStringLiteral("Добавить в корзину"));
    EXPECT_EQ(menus.positions[0], QCursor::pos());
    // The press selected the row and showed its offers before the menu.
    EXPECT_EQ(dg()->model().cellBackColor(row, 1), ui::kHighlightColour);
    EXPECT_TRUE(prices()->isVisible());

    clsZak& order = Global::CurrentOrder();
    EXPECT_EQ(order.RecordCount(), 1);
    EXPECT_EQ(order.Field("idn").toInt32(), 100);
    EXPECT_EQ(order.Field("qty").toDouble(), 0.0);
    EXPECT_EQ(editor.calls, 1);
    EXPECT_TRUE(editor.onAdd);
    EXPECT_EQ(editor.placed, dg()->mapToGlobal(QPoint(dg()->width(), dg()->height())) - QPoint(300, 200));
    EXPECT_TRUE(child<QLabel>("b_full")->isVisible());
    EXPECT_FALSE(child<QLabel>("b_emp")->isVisible());
    EXPECT_EQ(child<QLabel>("c_bas")->text(), QStringLiteral("1"));

    // The same position again is a second line.
    menus.choose(1);
    rightPress(dg(), row, 1);
    EXPECT_EQ(order.RecordCount(), 2);
    EXPECT_EQ(child<QLabel>("c_bas")->text(), QStringLiteral("2"));
}

TEST_F(PositionsWindow, NoMenuForLeftPressesOrTheHeaderAndADismissedMenuAddsNothing) {
    int editorCalls = 0;
    Global::dialogs().showLineEditor = [&](bool, const std::function<QPoint(QSize)>&) { ++editorCalls; };
    chooseRebar();
    clickCell(dg(), 1, 1);
    rightPress(dg(), 0, 1);
    EXPECT_TRUE(menus.shownItems.isEmpty());
    rightPress(dg(), 2, 1);  // dismissed
    EXPECT_EQ(menus.shownItems.size(), 1);
    EXPECT_EQ(Global::CurrentOrder().RecordCount(), 0);
    EXPECT_EQ(editorCalls, 0);
}

TEST_F(PositionsWindow, AFullBasketIsReportedAndNoLineChanges) {
    int editorCalls = 0;
    Global::dialogs().showLineEditor = [&](bool, const std::function<QPoint(QSize)>&) { ++editorCalls; };
    clsZak& order = Global::CurrentOrder();
    for (int i = 0; i <= clsZak::kMaxSlot; ++i) {
        ASSERT_GE(order.InsertRow(), 0);
        order.setField("idn", 5000 + i);
        order.setField("qty", 3);
    }
    chooseRebar();
    menus.choose(1);
    rightPress(dg(), rowOf("100"), 1);
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.shown[0].text,
              QStringLiteral("Корзина заполнена: в заявке не может быть больше 101 позиции."));
    EXPECT_EQ(order.RecordCount(), 101);
    EXPECT_EQ(order.Field("idn").toInt32(), 5000 + clsZak::kMaxSlot);
    EXPECT_EQ(order.Field("qty").toDouble(), 3.0);
    EXPECT_EQ(editorCalls, 0);
}

TEST_F(PositionsWindow, DoubleClickOnTheBasketOpensItAndRefreshesThePicture) {
    int opens = 0;
    Global::dialogs().showBasket = [&] {
        ++opens;
        Global::CurrentOrder().InsertRow();  // as if the basket dialog gained a line
    };
    QTest::mouseDClick(child<QLabel>("b_emp"), Qt::LeftButton);
    EXPECT_EQ(opens, 1);
    EXPECT_TRUE(child<QLabel>("b_full")->isVisible());
    EXPECT_EQ(child<QLabel>("c_bas")->text(), QStringLiteral("1"));
    QTest::mouseDClick(child<QLabel>("b_full"), Qt::LeftButton);
    EXPECT_EQ(opens, 2);
    EXPECT_EQ(child<QLabel>("c_bas")->text(), QStringLiteral("2"));
}

TEST_F(PositionsWindow, ClearEmptiesTheBasketWithoutAsking) {
    Global::CurrentOrder().InsertRow();
    Global::RefreshBasketIndicator();
    ASSERT_TRUE(child<QLabel>("b_full")->isVisible());
    QTest::mouseClick(child<QPushButton>("Command3"), Qt::LeftButton);
    EXPECT_EQ(Global::CurrentOrder().RecordCount(), 0);
    EXPECT_TRUE(child<QLabel>("b_emp")->isVisible());
    EXPECT_FALSE(child<QLabel>("c_bas")->isVisible());
    EXPECT_EQ(child<QLabel>("c_bas")->text(), QStringLiteral("0"));
    QTest::mouseClick(child<QPushButton>("Command3"), Qt::LeftButton);  // already empty
    EXPECT_TRUE(child<QLabel>("b_emp")->isVisible());
    EXPECT_TRUE(messages.shown.isEmpty());
}

// --- the window's free area --------------------------------------------------------

TEST_F(PositionsWindow, AClickOnFreeSpaceClosesThePanelsButAClickOnTheTitleDoesNot) {
    hoverTitle();
    hoverType(1);
    ASSERT_TRUE(child<QGroupBox>("frm2")->isVisible());
    QTest::mouseClick(child<QLabel>("Label10"), Qt::LeftButton);
    EXPECT_TRUE(child<QGroupBox>("frm1")->isVisible());
    // Between the positions grid and the rule above the offers nothing stands.
    const QPoint free(ui::twipsToPx(100), w->height() - ui::twipsToPx(4100));
    ASSERT_EQ(w->childAt(free), nullptr);
    QTest::mouseClick(w.get(), Qt::LeftButton, {}, free);
    EXPECT_FALSE(child<QGroupBox>("frm1")->isVisible());
    EXPECT_FALSE(child<QGroupBox>("frm2")->isVisible());
}

// --- layout ------------------------------------------------------------------------

// The pixel rectangle a twips rectangle takes, edges converted.
QRect px(int left, int top, int width, int height) {
    const int x = ui::twipsToPx(left), y = ui::twipsToPx(top);
    return QRect(x, y, ui::twipsToPx(left + width) - x, ui::twipsToPx(top + height) - y);
}

TEST_F(PositionsWindow, LayoutOfA15000TwipsWideWindow) {
    w->resize(ui::twipsToPx(15000), ui::twipsToPx(10500));
    QCoreApplication::processEvents();
    ASSERT_EQ(w->size(), QSize(1000, 700));
    const int H = 10500;
    EXPECT_EQ(child<QWidget>("Frame1")->geometry(), px(10250, 840, 4500, H - 5000));
    EXPECT_EQ(dg()->geometry(), px(150, 840, 9950, H - 5300));
    EXPECT_EQ(child<QWidget>("Command3")->x(), ui::twipsToPx(12770));
    EXPECT_EQ(child<QWidget>("Fr_basket")->x(), ui::twipsToPx(13750));
    EXPECT_EQ(prices()->geometry(), px(150, H - 3885 + 240, 14600, 3070));
    EXPECT_EQ(child<QWidget>("Label2")->y(), ui::twipsToPx(H - 3885 + 20));
    EXPECT_EQ(child<QWidget>("Line2")->y(), ui::twipsToPx(H - 3885));
    EXPECT_EQ(child<QWidget>("zag")->width(), px(3050, 0, 7200, 0).width());
    const ui::GridModel& m = dg()->model();
    EXPECT_EQ((std::vector<int>{m.colWidth(0), m.colWidth(1), m.colWidth(2), m.colWidth(3)}),
              (std::vector<int>{0, 5790, 1930, 1930}));
    EXPECT_EQ(bases()->model().colWidth(2), 400);
    EXPECT_EQ(bases()->model().colWidth(0), 0);
    EXPECT_EQ(bases()->width(), child<QWidget>("Frame1")->width());

    // Grown, the columns fill the wider grid at once and the mark column keeps its width.
    w->resize(ui::twipsToPx(18000), ui::twipsToPx(12000));
    QCoreApplication::processEvents();
    EXPECT_EQ(child<QWidget>("Frame1")->geometry(), px(18000 - 5400 - 250, 840, 5400, 12000 - 5000));
    EXPECT_EQ(dg()->geometry(), px(150, 840, 12050, 12000 - 5300));
    EXPECT_EQ((std::vector<int>{m.colWidth(0), m.colWidth(1), m.colWidth(2), m.colWidth(3)}),
              (std::vector<int>{0, 7050, 2350, 2350}));
    EXPECT_EQ(bases()->model().colWidth(2), 400);
}

TEST_F(PositionsWindow, ANormalWindowKeepsItsSizeBounds) {
    w->resize(ui::twipsToPx(9000), ui::twipsToPx(7000));
    QCoreApplication::processEvents();
    EXPECT_EQ(w->size(), QSize(ui::twipsToPx(12000), ui::twipsToPx(8500)));

    positions::setScreenSizeForTests(QSize(13500, 9000));
    w->resize(ui::twipsToPx(15000), ui::twipsToPx(10500));
    QCoreApplication::processEvents();
    EXPECT_EQ(w->size(), QSize(ui::twipsToPx(13500), ui::twipsToPx(8500)));
}

}  // namespace
