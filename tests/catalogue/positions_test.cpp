// The catalogue window driven by real mouse events under the offscreen platform, on a
// small database built through the real store.
#include "catalogue/positions.h"

#include <gtest/gtest.h>

#include <QCursor>
#include <QGroupBox>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "catalogue/catalogue_fixture.h"
#include "catalogue/catalogue_logic.h"
#include "catalogue/search.h"
#include "global/global.h"
#include "support/scripted_seams.h"
#include "ui/flexgrid.h"
#include "ui/label_array.h"
#include "ui/twips_layout.h"

namespace {

const QString kAllBases = QStringLiteral(" AND d.IND_BS IN (2,1,3)");

QString positionsSql(int group, const QString& filter = kAllBases) {
    return catalogue::positionsStatement(catalogue::positionsCondition(group, filter));
}

class PositionsWindow : public ::testing::Test {
protected:
    void SetUp() override { open(); }
    void open() {
        w.reset();
        ui::setLogicalDpiForTests(96);
        positions::setScreenSizeForTests(QSize(28800, 16200));
        w = std::make_unique<positions>();
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
        db->cn().clearCalls();
    }
    void reopen(const QStringList& data) {
        w.reset();
        db.reset();  // one store at a time: the guard of the next restores what this one found
        db = std::make_unique<testcat::CatalogueDb>(data);
        open();
    }

    QWidget* child(const char* name) { return w->findChild<QWidget*>(name); }
    ui::FlexGrid* dg() { return w->findChild<ui::FlexGrid*>("dg"); }
    ui::FlexGrid* prices() { return w->findChild<ui::FlexGrid*>("prices"); }
    ui::FlexGrid* bases() { return w->findChild<ui::FlexGrid*>("bases"); }
    QString text(const char* label) { return w->findChild<QLabel*>(label)->text(); }
    bool shown(const char* name) { return child(name)->isVisible(); }

    // Each move goes to a fresh point, so that no move is dropped as a repeat.
    void hover(QWidget* target) { QTest::mouseMove(target, QPoint(3 + ++moves_ % 5, target->height() / 2)); }
    void hoverTitle() { hover(child("Label10")); }
    void hoverType(int i) { hover(w->lb1().label(i)); }
    void hoverGroup(int i) { hover(w->lb2().label(i)); }
    void chooseGroup(int type, int group) {
        hoverTitle();
        hoverType(type);
        hoverGroup(group);
        QTest::mousePress(w->lb2().label(group), Qt::LeftButton, {}, QPoint(4, 4));
    }
    // Types by name: 0 Листовой прокат, 1 Сортовой прокат, 2 Трубы. Groups of Сортовой
    // прокат: 0 Арматура, 1 Круг.
    void chooseRebar() { chooseGroup(1, 0); }
    void click(ui::FlexGrid* g, int row, int col, Qt::MouseButton b = Qt::LeftButton) {
        QTest::mouseClick(g->viewport(), b, {}, g->cellRect(row, col).center());
    }
    QStringList column(ui::FlexGrid* g, int col) {
        QStringList out;
        for (int r = g->model().fixedRows(); r < g->model().rows(); ++r) out << g->model().text(r, col);
        return out;
    }
    int rowOf(const QString& key) { return column(dg(), 0).indexOf(key) + 1; }  // the data row of a position
    QStringList captions(ui::LabelArray& a) { return {a.caption(0), a.caption(1)}; }
    QStringList opened() { return db->cn().opened(); }
    // Types a text key by key (QTest's own clicks know only ASCII).
    static void type(QWidget* target, const QString& text) {
        for (QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(target, &press);
        }
    }

    std::unique_ptr<testcat::CatalogueDb> db = std::make_unique<testcat::CatalogueDb>();
    testsupport::ScriptedMessages messages;
    testsupport::ScriptedMenus menus;
    std::unique_ptr<positions> w;
    int moves_ = 0;
};

TEST_F(PositionsWindow, LoadListsEveryBaseMarkedUnderRegionRowsShowsAnEmptyBasketAndUnloadLetsItGo) {
    const ui::GridModel& b = bases()->model();
    EXPECT_EQ(column(bases(), 3), (QStringList{"Урал", "Склад ЕКБ", "Центр", "Склад Москва-1", "Тульская база"}));
    EXPECT_TRUE(b.mergeRow(2) && b.cellBold(2, 1) && !b.mergeRow(1) && !b.cellBold(1, 1));
    EXPECT_EQ(b.cellBackColor(0, 3), ui::bgr(positions::kRegionBack));
    EXPECT_TRUE(shown("b_emp") && !shown("b_full") && !shown("c_bas") && !shown("frm1") &&
                !shown("frmWaiting") && text("c_bas") + text("zag") == "0");
    // The filter controls exist, hidden; of the search only the check box shows.
    for (const char* name : {"Check_r1", "Check_m", "chckProf", "shablon"}) EXPECT_FALSE(shown(name));
    EXPECT_TRUE(shown("Check_con"));

    // Unloading gives the basket indicator up; shown again, the window loads afresh.
    db->cn().clearCalls();
    Global::CurrentOrder().InsertRow();
    w->close();
    EXPECT_EQ(Global::CatalogueOpen, 0);
    w->show();
    EXPECT_EQ(opened(), QStringList{catalogue::basesStatement()}) << "the bases query alone";
    EXPECT_TRUE(Global::CatalogueOpen == -1 && shown("b_full") && text("c_bas") == "1");
    w.reset();
    EXPECT_EQ(Global::CatalogueOpen, 0);
    Global::RefreshBasketIndicator();  // nothing registered any more: must not touch freed widgets
}

TEST_F(PositionsWindow, TheTitleOpensTheTypesAndATypeItsTrimmedGroupsBesideThem) {
    hoverTitle();
    ui::LabelArray &lb1 = w->lb1(), &lb2 = w->lb2();
    EXPECT_EQ(opened(), QStringList{"SELECT * FROM TBL_TPS ORDER BY TP_NM"});
    EXPECT_EQ(captions(lb1), (QStringList{"Листовой прокат", "Сортовой прокат"}));
    hoverTitle();
    EXPECT_EQ(opened().size(), 2) << "every move over the title reads the types again";

    hoverType(1);
    EXPECT_EQ(lb1.backColor(1), positions::kLabelHotBack);
    EXPECT_EQ(w->findChild<QGroupBox*>("frm2")->title(), "Сортовой прокат");
    EXPECT_EQ(opened().last(), "SELECT * FROM TBL_GRPS WHERE IND_TP=1 ORDER BY GRP_NM");
    EXPECT_EQ(captions(lb2), (QStringList{"Арматура", "Круг"}));
    hoverType(1);
    EXPECT_EQ(opened().size(), 3) << "moving within the same type reads nothing";
    hoverType(2);
    EXPECT_EQ(lb1.backColor(1), positions::kLabelBack) << "the colours go back";
    EXPECT_EQ(captions(lb2), (QStringList{"Трубы ВГП", "Трубы профильные"}));
    const int wide = lb2.measure("Трубы профильные");  // wider than the caption "Трубы"
    EXPECT_EQ(QList<int>({lb2.width(0), lb2.width(1)}), QList<int>({wide, wide})) << "the widest width";
    EXPECT_NEAR(ui::widthTwips(*child("frm2")), wide + 150, 15) << "the frame sized to them";
    EXPECT_NEAR(ui::heightTwips(*child("frm2")), 2 * lb2.spacing() + 350, 15);
    hoverGroup(0);
    hoverGroup(1);
    EXPECT_EQ(QList<uint32_t>({lb2.backColor(0), lb2.backColor(1)}),
              QList<uint32_t>({positions::kLabelBack, positions::kLabelHotBack}));
    hoverType(0);  // no groups: no group panel
    EXPECT_TRUE(shown("frm1") && !shown("frm2"));

    QTest::mouseClick(child("Label10"), Qt::LeftButton);
    EXPECT_TRUE(shown("frm1")) << "a click on the title closes nothing";
    // Between the positions grid and the rule above the offers nothing stands.
    const QPoint free(ui::twipsToPx(100), w->height() - ui::twipsToPx(4100));
    ASSERT_EQ(w->childAt(free), nullptr);
    QTest::mouseClick(w.get(), Qt::LeftButton, {}, free);
    EXPECT_FALSE(shown("frm1")) << "a click on free space closes the panels";
}

TEST_F(PositionsWindow, ChoosingAGroupListsItsPricedPositionsWithTheirPriceRange) {
    chooseRebar();
    EXPECT_FALSE(shown("frm1") || shown("frm2") || shown("prices"));
    EXPECT_EQ(text("zag"), "Сортовой прокат - Арматура");
    EXPECT_EQ(opened().last(), positionsSql(10));
    const ui::GridModel& m = dg()->model();
    EXPECT_EQ(m.rowTexts(0), (QStringList{"", "Наименование", "МинЦена", "МаксЦена"}));
    EXPECT_EQ(column(dg(), 1), (QStringList{"Арматура 10 А500С", "Арматура 10 А500С", "Арматура 12 А500С"}));
    EXPECT_EQ(m.rowTexts(rowOf("100")), (QStringList{"100", "Арматура 12 А500С", "49500", "53000"}));

    chooseGroup(1, 1);  // Круг: its one position has no offers
    ASSERT_EQ(m.rows(), 2);
    EXPECT_EQ(m.rowHeight(1), 0) << "only the hidden placeholder";
    const QRect head = dg()->cellRect(0, 1);
    QTest::mouseClick(dg()->viewport(), Qt::RightButton, {}, QPoint(head.center().x(), head.bottom() + 20));
    EXPECT_TRUE(menus.shownItems.isEmpty()) << "a right press on no row";

    // Back over the title no type is highlighted, yet a group chosen from the list still
    // open is named with the type that list belongs to.
    hoverTitle();
    hoverType(1);
    hoverTitle();
    hoverGroup(0);
    QTest::mousePress(w->lb2().label(0), Qt::LeftButton, {}, QPoint(4, 4));
    EXPECT_EQ(text("zag"), "Сортовой прокат - Арматура");
}

TEST_F(PositionsWindow, SelectingARowHighlightsItAndShowsItsOffersByBandAndHeaderClicksSortEachGrid) {
    chooseRebar();
    db->cn().clearCalls();
    const int row = rowOf("100"), other = rowOf("101");
    click(dg(), row, 1);
    const ui::GridModel &m = dg()->model(), &p = prices()->model();
    EXPECT_EQ(m.cellBackColor(row, 3), ui::kHighlightColour);
    EXPECT_EQ(opened(), (QStringList{catalogue::bandLimitsStatement("100"),
                                     catalogue::offersStatement("100", kAllBases)}));
    EXPECT_EQ(p.rowTexts(0), (QStringList{"", "Регион", "Город", "Организация", "Продукция", "до 5", "5 - 7",
                                          "7 - 10", "от 10"}));
    ASSERT_EQ(p.rows(), 4);
    EXPECT_EQ(p.rowTexts(1), (QStringList{"1001", "Урал", "Екатеринбург", "Склад ЕКБ", "Арматура 12мм",
                                          "53000", "53000", "53000", "53000"}));
    EXPECT_EQ(p.rowTexts(3).mid(3), (QStringList{"Тульская база", "Арм.12", "49500", "49500", "", ""}));

    click(dg(), other, 1);
    EXPECT_EQ(m.cellBackColor(row, 1), std::nullopt) << "the grid's own colour back";
    EXPECT_EQ(m.cellBackColor(other, 1), ui::kHighlightColour);
    EXPECT_EQ(p.rowTexts(0).mid(5), QStringList{"Цена"});

    // Header clicks sort with one toggle for each grid, and the highlight follows its row.
    click(dg(), 0, 2);  // МинЦена: the first click sorts descending
    EXPECT_EQ(column(dg(), 2), (QStringList{"49500", "48000", "47000"}));
    EXPECT_EQ(m.cellBackColor(rowOf("101"), 1), ui::kHighlightColour);
    click(dg(), 0, 1);  // the next click, whatever the column, ascending
    click(dg(), 2, 2);  // a data row never sorts
    EXPECT_EQ(column(dg(), 0), (QStringList{"101", "103", "100"}));
    click(dg(), rowOf("100"), 1);
    click(prices(), 0, 4);  // prices keeps its own toggle: descending first
    EXPECT_EQ(column(prices(), 4), (QStringList{"Арматура 12мм", "Арм.12", "Арм 12 А500С н/д"}));
}

TEST_F(PositionsWindow, BandCaptionsAndPricesUseTheOperatorsDecimalComma) {
    testsupport::LocaleGuard russian{QLocale(QLocale::Russian, QLocale::Russia)};
    reopen(testcat::sampleData() << testcat::insert("TBL_PSTS", "104, 10, 'Арматура 8 А240'")
                                 << testcat::insert("TBL_STFS", "1040, 104, 1, 'Арм 8'")
                                 << testcat::insert("TBL_CSTS", "100, 1040, 0, 0.5, 2.25")
                                 << testcat::insert("TBL_CSTS", "101, 1040, 0.5, 0, 1.5"));
    chooseRebar();
    click(dg(), rowOf("104"), 1);
    EXPECT_EQ(prices()->model().rowTexts(0).mid(5), (QStringList{"до 0,5", "от 0,5"}));
    EXPECT_EQ(prices()->model().rowTexts(1).mid(5), (QStringList{"2,3", "1,5"}));
    EXPECT_EQ(dg()->model().rowTexts(rowOf("104")).mid(2), (QStringList{"1,5", "2,3"}));
}

TEST_F(PositionsWindow, ClickingAMarkTogglesItAndRebuildsThePositions) {
    click(bases(), 1, 1);  // before any group: the grids hide, nothing is read
    EXPECT_FALSE(shown("dg") || shown("prices") || !opened().isEmpty());
    chooseRebar();
    click(bases(), 4, 2);  // Тульская база
    EXPECT_EQ(opened().last(), positionsSql(10, " AND d.IND_BS IN (2,1)"));
    EXPECT_EQ(dg()->model().rowTexts(rowOf("100")).mid(2), (QStringList{"50000", "53000"}));
    click(dg(), rowOf("100"), 1);
    EXPECT_EQ(prices()->model().text(0, 6), "5 - 7") << "an unmarked base still cuts the bands but shows no row";
    EXPECT_EQ(column(prices(), 3), (QStringList{"Склад ЕКБ", "Склад Москва-1"}));

    click(bases(), 1, 1);  // other columns change no mark but still rebuild
    EXPECT_EQ(opened().last(), positionsSql(10, " AND d.IND_BS IN (2,1)"));
    bases()->model().setText(1, 2, "v");
    EXPECT_EQ(w->BasesFilter(), " AND d.IND_BS IN (1)") << "only an exact V counts";
    click(bases(), 3, 2);
    EXPECT_EQ(opened().last(), positionsSql(10, QString())) << "no base marked restricts nothing";
    click(bases(), 0, 2);  // a region row's mark toggles like a base's
    EXPECT_EQ(w->BasesFilter(), " AND d.IND_BS IN (0)");

    hoverTitle();
    hoverType(2);  // Трубы: the rebuild still lists the group zag shows
    click(bases(), 0, 2);
    EXPECT_EQ(opened().last(), positionsSql(10, QString()));
    EXPECT_EQ(text("zag"), "Сортовой прокат - Арматура");
}

TEST_F(PositionsWindow, AFailingQueryIsReportedOnceAndTheWindowStaysUsable) {
    db->cn().failPrefix("SELECT a.IND, a.PST_NM", "TBL_PSTS.dbf cannot be read");
    chooseRebar();
    EXPECT_TRUE(messages.shown.size() == 1 && messages.shown[0].text.contains("TBL_PSTS.dbf cannot be read"));
    chooseRebar();
    db->cn().failPrefix("SELECT DISTINCT VL", "TBL_CSTS.dbf cannot be read");
    click(dg(), rowOf("100"), 1);
    EXPECT_TRUE(messages.shown.value(1).text.contains("TBL_CSTS.dbf"));
    EXPECT_TRUE(shown("dg") && !shown("prices"));
    click(dg(), rowOf("101"), 1);
    EXPECT_TRUE(shown("prices") && messages.shown.size() == 2);

    db->cn().failPrefix("SELECT a.RGN_NM", "TBL_RGNS.dbf cannot be read");
    db->cn().failPrefix("SELECT * FROM TBL_TPS", "TBL_TPS.dbf cannot be read");
    open();
    ASSERT_EQ(messages.shown.size(), 3);
    EXPECT_EQ(Global::CatalogueOpen, -1) << "the window still opens";
    hoverTitle();
    EXPECT_EQ(messages.shown.size(), 4);
}

TEST_F(PositionsWindow, ARightPressOffersToAddThePositionAndOpensTheLineEditorOnIt) {
    int editorCalls = 0;
    QPoint placed;
    Global::dialogs().showLineEditor = [&](bool onAdd, const std::function<QPoint(QSize)>& place) {
        ++editorCalls;
        placed = place(QSize(300, 200));
        EXPECT_TRUE(onAdd);
        EXPECT_EQ(Global::CurrentOrder().Field("idn").toInt32(), 100) << "the new line is the current one";
    };
    chooseRebar();
    click(dg(), 1, 1);
    click(dg(), 0, 1, Qt::RightButton);
    EXPECT_TRUE(menus.shownItems.isEmpty()) << "no menu for left presses or on the header";
    click(dg(), 2, 1, Qt::RightButton);  // dismissed
    EXPECT_EQ(Global::CurrentOrder().RecordCount(), 0);

    menus.choose(1);
    const int row = rowOf("100");
    click(dg(), row, 1, Qt::RightButton);
    ASSERT_EQ(menus.shownItems.size(), 2);
    EXPECT_EQ(menus.shownItems[1].value(0).text, "Добавить в корзину");
    EXPECT_EQ(menus.positions[1], QCursor::pos());
    clsZak& order = Global::CurrentOrder();
    EXPECT_TRUE(order.RecordCount() == 1 && order.Field("qty").toDouble() == 0.0 && editorCalls == 1);
    EXPECT_EQ(placed, dg()->mapToGlobal(QPoint(dg()->width(), dg()->height())) - QPoint(300, 200));
    menus.choose(1);
    click(dg(), row, 1, Qt::RightButton);
    EXPECT_EQ(order.RecordCount(), 2) << "the same position again is a second line";

    while (order.RecordCount() <= clsZak::kMaxSlot) order.InsertRow();
    order.setField("idn", 5000);
    menus.choose(1);
    click(dg(), row, 1, Qt::RightButton);
    EXPECT_EQ(messages.texts(), QStringList{"Корзина заполнена: в заявке не может быть больше 101 позиции."});
    EXPECT_TRUE(order.RecordCount() == 101 && order.Field("idn").toInt32() == 5000 && editorCalls == 2)
        << "no line changes";

    QTest::mouseClick(child("Command3"), Qt::LeftButton);
    EXPECT_EQ(order.RecordCount(), 0) << "the clear button empties the basket without asking";
    EXPECT_TRUE(shown("b_emp") && !shown("c_bas") && text("c_bas") == "0");
    Global::dialogs().showBasket = [] { Global::CurrentOrder().InsertRow(); };  // as if a line was added
    QTest::mouseDClick(child("b_emp"), Qt::LeftButton);
    EXPECT_TRUE(shown("b_full") && text("c_bas") == "1") << "the basket opened, the picture refreshed";
}

// The search mode by real keys and mouse: Ctrl+F, words, a row's offers, the basket by the
// menu and by Enter, the bases marks, and the two ways out.
TEST_F(PositionsWindow, TheContextSearchListsThePositionsOfEveryGroupThatMatchEveryWord) {
    int editorCalls = 0;
    Global::dialogs().showLineEditor = [&](bool, const std::function<QPoint(QSize)>&) { ++editorCalls; };
    chooseRebar();
    auto* check = w->findChild<QCheckBox*>("Check_con");
    auto* words = w->findChild<QLineEdit*>("shablon");
    QTest::keyClick(dg(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(check->isChecked() && words->isVisible() && words->hasFocus());
    type(words, "арм  10");
    EXPECT_EQ(text("zag"), "Поиск: арм 10");
    EXPECT_EQ(opened().last(), catalogue::positionsStatement(catalogue::searchCondition({101, 103}, kAllBases)));
    EXPECT_EQ(column(dg(), 1), (QStringList{"Арматура 10 А500С", "Арматура 10 А500С"}));
    words->clear();
    type(words, "a500c 12");  // Latin letters
    EXPECT_EQ(dg()->model().rowTexts(1), (QStringList{"100", "Арматура 12 А500С", "49500", "53000"}));
    QTest::keyClick(words, Qt::Key_Down);  // into the result: its first row and offers
    EXPECT_TRUE(dg()->hasFocus() && shown("prices"));
    EXPECT_EQ(dg()->model().highlightedRow(), 1);
    menus.choose(1);
    click(dg(), 1, 1, Qt::RightButton);
    QTest::keyClick(dg(), Qt::Key_Return);
    EXPECT_EQ(Global::CurrentOrder().RecordCount(), 2);
    EXPECT_EQ(editorCalls, 2);
    click(bases(), 4, 2);  // Тульская база unmarked: the search is read again
    EXPECT_EQ(opened().last(), catalogue::positionsStatement(catalogue::searchCondition({100}, " AND d.IND_BS IN (2,1)")));
    EXPECT_EQ(dg()->model().rowTexts(1), (QStringList{"100", "Арматура 12 А500С", "50000", "53000"}));

    QTest::keyClick(words, Qt::Key_Escape);
    EXPECT_FALSE(check->isChecked() || words->isVisible());
    EXPECT_EQ(text("zag"), "Сортовой прокат - Арматура");
    EXPECT_EQ(column(dg(), 1).size(), 3) << "the group's list again";
    QTest::mouseClick(check, Qt::LeftButton);
    EXPECT_EQ(text("zag"), "Поиск: a500c 12") << "the words typed before come back";
    hoverTitle();
    hoverType(1);
    EXPECT_FALSE(check->isChecked() || words->isVisible());
    EXPECT_EQ(text("zag"), "Сортовой прокат - Арматура");
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(PositionsWindow, TheKeyboardMovesThroughThePositionsAddsOneAndMarksBases) {
    chooseRebar();
    dg()->setFocus();
    QTest::keyClick(dg(), Qt::Key_Down);
    QTest::keyClick(dg(), Qt::Key_Down);
    const int row = dg()->model().row();
    EXPECT_GE(row, 2);
    EXPECT_EQ(opened().last(), catalogue::offersStatement(dg()->model().text(row, 0), kAllBases));
    menus.choose(0);
    QTest::keyClick(dg(), Qt::Key_Menu);
    ASSERT_EQ(menus.positions.size(), 1);
    EXPECT_TRUE(dg()->rect().contains(dg()->mapFromGlobal(menus.positions[0]))) << "the menu opens at the row";
    child("Check_con")->setFocus();
    for (QWidget* next : std::initializer_list<QWidget*>{dg(), prices(), bases(), child("Command3"), child("Fr_basket")}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
    }
    int basketShown = 0;  // the basket picture opens by Enter or Space as by a double click
    Global::dialogs().showBasket = [&] { ++basketShown; };
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Space, Qt::Key_Down}) QTest::keyClick(child("Fr_basket"), key);
    EXPECT_EQ(basketShown, 2);
    click(bases(), 4, 1);
    QTest::keyClick(bases(), Qt::Key_Right);
    QTest::keyClick(bases(), Qt::Key_Space);
    EXPECT_EQ(bases()->model().text(4, 2), "");
    EXPECT_EQ(opened().last(), positionsSql(10, " AND d.IND_BS IN (2,1)"));
}

TEST_F(PositionsWindow, TheLayoutFollowsTheSizeWithinItsBounds) {
    w->resize(1000, 700);  // 15000 x 10500 twips
    QCoreApplication::processEvents();
    EXPECT_EQ(dg()->geometry(), QRect(10, 56, 663, 347));  // 150, 840, 9950, 5200
    EXPECT_EQ(QList<int>({dg()->model().colWidth(1), dg()->model().colWidth(2)}), QList<int>({5790, 1930}));
    EXPECT_EQ(bases()->model().colWidth(2), 400) << "the mark column keeps its width";
    w->resize(600, 466);
    QCoreApplication::processEvents();
    EXPECT_EQ(w->size(), QSize(800, 567)) << "12000 x 8500 twips at the least";
    positions::setScreenSizeForTests(QSize(13500, 9000));
    w->resize(1000, 700);
    QCoreApplication::processEvents();
    EXPECT_EQ(w->size(), QSize(900, 567)) << "no wider than the screen, no taller than it less 500";
}

// A type and group list longer than the window is tall wraps into columns, every
// entry reachable and none outside the window.
TEST_F(PositionsWindow, FortyTypesAndFortyGroupsStayInsideTheWindow) {
    QStringList data;
    for (int i = 1; i <= 40; ++i) {
        const QString n = QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0'));
        data << testcat::insert("TBL_TPS", n + ", 'Тип " + n + "'")
             << testcat::insert("TBL_GRPS", n + ", 40, 'Группа " + n + "'");
    }
    reopen(data);
    hoverTitle();
    for (int i = 0; i < 40; ++i) EXPECT_TRUE(child("frm1")->rect().contains(w->lb1().label(i)->geometry())) << i;
    EXPECT_TRUE(w->rect().contains(child("frm1")->geometry()));
    hoverType(39);
    EXPECT_LE(child("frm2")->geometry().bottom(), w->rect().bottom());
    chooseGroup(39, 39);
    EXPECT_EQ(text("zag"), "Тип 40 - Группа 40");
}

}  // namespace
