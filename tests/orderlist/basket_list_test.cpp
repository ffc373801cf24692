// The order list window on a real table folder, driven by real mouse and key events:
// loading and filtering, sorting, opening into the basket, both kinds of deletion,
// refreshing, wheel scrolling and the window's size bounds; then what it computes
// without a window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "db/schema.h"
#include "orderlist/BasketList.h"
#include "orderlist/basket_list_logic.h"
#include "store/dbf_connection.h"
#include "support/global_guard.h"
#include "support/keys.h"
#include "support/recording_connection.h"
#include "support/scripted_seams.h"
#include "ui/flexgrid.h"
#include "ui/twips.h"
#include "ui/twips_layout.h"

using namespace orderlist;
using core::Value;
using testsupport::RecordingConnection;
using testsupport::Rows;

namespace {

const QDate kSep26(2010, 9, 26);
const QDate kSep27(2010, 9, 27);
const QString kAskOrder = QStringLiteral("Вы действительно хотите удалить выделенную заявку? / Удаление");
const QString kAskLine = QStringLiteral("Вы действительно хотите удалить выделенную строку? / Удаление");

class BasketListTest : public ::testing::Test {
protected:
    void SetUp() override {
        ui::setLogicalDpiForTests(96);
        real_ = store::openFolder(dir_.path());
        for (const char* table : {"TBL_APPS", "TBL_APTS"}) real_->execute(db::createStatement(table));
        auto local = std::make_unique<RecordingConnection>(real_.get());
        local_ = local.get();
        routed_ = new store::RoutedConnection(std::move(local), std::make_unique<RecordingConnection>());
        Global::setCn(std::unique_ptr<store::Connection>(routed_));
        Global::dialogs().showBasket = [this] {
            basketShown_.append({Global::CurrentOrder().norder, Global::CurrentOrder().RecordCount()});
        };
        window_ = std::make_unique<BasketList>();
        window_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    }
    void TearDown() override { ui::setLogicalDpiForTests(0); }  // the window goes with the fixture

    // state: a number, or "NULL" for a blank column.
    void addOrder(int ind, const char* state = "1", const char* created = "2010.09.26 12:00",
                  const char* client = "", const char* comment = "") {
        real_->execute(QStringLiteral("INSERT INTO TBL_APPS(IND, IND_STT, CR_DT, CGT_NM, CMT) "
                                      "VALUES(%1, %2, '%3', '%4', '%5')")
                           .arg(ind).arg(state, created, client, comment));
    }
    // The IND column of a table as stored on disk.
    QStringList stored(const char* table) {
        QStringList out;
        for (auto rs = real_->open(QStringLiteral("SELECT * FROM ") + table); !rs->eof(); rs->moveNext())
            out << rs->field("IND").toText();
        return out;
    }
    // Each message shown as "text / title".
    QStringList shown() {
        QStringList out;
        for (const auto& m : messages_.shown) out << m.text + " / " + m.title;
        return out;
    }
    // Lists the orders of the range through "Вывести".
    void load(const QDate& from = kSep26, const QDate& to = kSep26, const char* filter = "<Все>") {
        window_->DTP1->setDate(from);
        window_->DTP2->setDate(to);
        window_->Combo1->setCurrentText(QString::fromUtf8(filter));
        QTest::mouseClick(window_->Command4, Qt::LeftButton);
    }
    ui::GridModel& grid() { return window_->MFG->model(); }
    // The visible rows' texts of a column.
    QStringList column(int col = BasketList::colNumber) {
        QStringList out;
        for (int r = grid().fixedRows(); r < grid().rows(); ++r)
            if (grid().rowHeight(r) > 0) out << grid().text(r, col);
        return out;
    }
    QPoint centre(int row, int col) { return window_->MFG->cellRect(row, col).center(); }
    // A right click on a row chooses menuItem from its popup menu (1 edit, 2 delete, 0 dismisses).
    void click(int row, Qt::MouseButton button = Qt::LeftButton, int menuItem = -1) {
        if (menuItem >= 0) menus_.choose(menuItem);
        QTest::mouseClick(window_->MFG->viewport(), button, {}, centre(row, BasketList::colClient));
    }
    // A double click as the operator makes it: a click, then the second press.
    void doubleClick(int row, int col = BasketList::colClient) {
        QTest::mouseClick(window_->MFG->viewport(), Qt::LeftButton, {}, centre(row, col));
        QTest::mouseDClick(window_->MFG->viewport(), Qt::LeftButton, {}, centre(row, col));
    }

    QTemporaryDir dir_;
    std::unique_ptr<store::Connection> real_;
    testsupport::GlobalGuard guard_;  // gives Cn back before real_ goes
    RecordingConnection* local_ = nullptr;
    store::RoutedConnection* routed_ = nullptr;
    testsupport::ScriptedMessages messages_;
    testsupport::ScriptedMenus menus_;
    std::unique_ptr<BasketList> window_;
    QList<std::pair<int, int>> basketShown_;  // (order number, lines) at each showing
};

// Header double clicks sort ascending, then descending, and another column ascending; the state
// filter is chosen from its list only. An inverted range is refused; a failed query leaves one
// hidden placeholder row.
TEST_F(BasketListTest, ListsBothDaysSortedByTheHeaderAndTheChosenStateOnlyOrSaysWhatFailed) {
    real_->execute("INSERT INTO TBL_APPS(IND, IND_STT, CR_DT) VALUES (1, 1, '2010.09.25 23:59'), "
        "(2, NULL, '2010.09.26 00:00'), (3, 2, '2010.09.27 23:59'), (4, 1, '2010.09.28 00:00'), "
        "(5, 1, ''), (6, 0, '2010.09.27 09:00'), (7, 3, '2010.09.27 10:00'), "
        "(8, 4, '2010.09.27 11:00')");
    addOrder(9, "1", "2010.09.26 10:15", "Сталь", "срочно");
    load(kSep26, kSep27);
    EXPECT_EQ(column(BasketList::colState), (QStringList{"Новая", "Отложена", "", "Обработана", "", "Новая"}));
    EXPECT_EQ(grid().rowTexts(6), (QStringList{"9", "9", "2010.09.26 10:15", "Сталь", "Новая", "срочно"}));
    EXPECT_EQ(grid().colWidth(BasketList::colKey), 0);
    const std::pair<int, QStringList> steps[] = {{BasketList::colDate, {"2", "9", "6", "7", "8", "3"}},
                                                 {BasketList::colDate, {"3", "8", "7", "6", "9", "2"}},
                                                 {BasketList::colNumber, {"2", "3", "6", "7", "8", "9"}}};
    for (const auto& [col, numbers] : steps) {
        doubleClick(0, col);
        EXPECT_EQ(column(), numbers) << col;
    }
    EXPECT_TRUE(basketShown_.isEmpty());
    // Unfiltered, a list box jumps to the item that starts with the typed letter.
    for (const QChar ch : QStringLiteral("Обр")) {
        QKeyEvent typed(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(window_->Combo1, &typed);
    }
    EXPECT_EQ(window_->Combo1->currentIndex(), 0);
    QTest::keyClick(window_->Combo1, Qt::Key_Down);
    EXPECT_EQ(window_->Combo1->currentText(), "Новая");
    load(kSep26, kSep27, "Отложена");
    EXPECT_EQ(column(), QStringList{"3"});
    load(kSep27, kSep26);
    EXPECT_EQ(messages_.texts(), QStringList{"Неверный диапазон!"});
    EXPECT_EQ(column(), QStringList{"3"});

    local_->failPrefix("SELECT * FROM TBL_APPS", "the table file is damaged");
    load(kSep26, kSep27);
    EXPECT_EQ(messages_.texts().value(1), "Не удалось загрузить список заявок:\nthe table file is damaged");
    EXPECT_TRUE(window_->MFG->isVisible() && !QApplication::overrideCursor());
    EXPECT_EQ(QList<int>({grid().rows(), grid().rowHeight(1)}), QList<int>({2, 0}));
}

// Rows 1 to 3: orders 3, 4 (put aside) and 7 (two lines). An opened row is refreshed from the
// order-exchange service, and so is it when "Очистить корзину" empties the basket.
TEST_F(BasketListTest, MenuOrDoubleClickOpensTheOrderAndClearingTheBasketRefreshesItsRow) {
    for (int ind : {3, 4, 7}) addOrder(ind, ind == 4 ? "2" : "1", "2010.09.26 12:00", "Старое");
    real_->execute("INSERT INTO TBL_APTS VALUES (1, 7, 8958, 2.5), (2, 7, 8950, 1)");
    load(kSep26, kSep27);
    click(0, Qt::RightButton);     // the header has no menu
    click(2, Qt::RightButton, 0);  // a dismissed menu only selects, the whole row
    ASSERT_EQ(menus_.shownItems.size(), 1);
    EXPECT_EQ(QStringList({menus_.shownItems[0].value(0).text, menus_.shownItems[0].value(1).text}),
              QStringList({"Редактировать", "Удалить"}));
    EXPECT_EQ(QList<int>({grid().row(), grid().col(), grid().colSel()}), QList<int>({2, 0, 5}));

    Global::CurrentOrder().InsertRow();  // an unsaved basket is replaced without a question
    auto& central = *static_cast<RecordingConnection*>(routed_->central());
    const QString refresh = "nom_command1 'sngApp', '20100926', '20100927', 7";
    central.answer(refresh, Rows{{{"name_k", "Новое"}, {"otd", "Отдел"}, {"state", 3}, {"cmt", "стало"}}});
    click(3, Qt::RightButton, 1);
    const QStringList refreshed{"7", "7", "2010.09.26 12:00", "Новое", "Обработана", "стало"};
    EXPECT_EQ(grid().rowTexts(3), refreshed);
    doubleClick(2);
    EXPECT_EQ(basketShown_, (QList<std::pair<int, int>>{{7, 2}, {4, 0}}));
    EXPECT_EQ(QList<int>({grid().row(), grid().col(), grid().colSel()}), QList<int>({2, 0, 5}));
    // An order gone from the tables ends the opening silently.
    real_->execute("DELETE FROM TBL_APPS WHERE IND=3");
    doubleClick(1);
    EXPECT_EQ(basketShown_.size(), 2);

    click(3);
    central.clearCalls();
    QTest::mouseClick(window_->Command3, Qt::LeftButton);
    EXPECT_EQ(Global::CurrentOrder().RecordCount(), 0);
    EXPECT_TRUE(central.opened().contains(refresh));
    routed_->setCentral(nullptr);  // without the service the row stays as it was
    QTest::mouseClick(window_->Command3, Qt::LeftButton);
    EXPECT_EQ(grid().rowTexts(3), refreshed);
    EXPECT_TRUE(messages_.shown.isEmpty());
}

// Orders 1 and 2 are listed, 8 is of another day; lines 1 to 3 carry notes. The Delete key
// asks the order-exchange service instead, and a row it hid takes no second deletion.
TEST_F(BasketListTest, DeletionAsksThenTakesNotesLinesAndHeaderAndStopsAtTheFirstFailure) {
    for (int ind : {1, 2}) addOrder(ind);
    addOrder(8, "1", "2010.09.20 12:00");
    real_->execute("INSERT INTO TBL_APTS VALUES (1, 1, 9, 1), (2, 8, 9, 1), (3, 1, 9, 2), (4, 2, 9, 1)");
    real_->execute("CREATE TABLE TBL_APTN (IND int,PRIM varchar(254))");
    real_->execute("INSERT INTO TBL_APTN(IND, PRIM) VALUES(1, 'a'), (2, 'b'), (3, 'c')");
    load();
    click(2);
    const std::pair<int, QStringList> service[] = {
        {0, {kAskLine, "Вы не можете удалять чужие заявки! / Ошибка"}},
        {-1, {kAskLine, "Ошибка удаления строки / Ошибка"}},  // no link
        {1, {kAskLine}},
        {1, {}}};
    for (const auto& [nb, messages] : service) {
        auto central = nb < 0 ? nullptr : std::make_unique<RecordingConnection>();
        if (central) central->answer("exec nom_command 'delApp', 2, ''", Rows{{{"nb", nb}}});
        routed_->setCentral(std::move(central));
        messages_.shown.clear();
        QTest::keyClick(window_->MFG, Qt::Key_Delete);
        EXPECT_EQ(shown(), messages) << nb;
        EXPECT_EQ(column(), (nb > 0 ? QStringList{"1"} : QStringList{"1", "2"})) << nb;
    }
    load();  // the row the service hid comes back with the next load
    click(1, Qt::RightButton, 2);
    EXPECT_EQ(QList<QStringList>({stored("TBL_APPS"), stored("TBL_APTS"), stored("TBL_APTN")}),
              QList<QStringList>({{"2", "8"}, {"2", "4"}, {"2"}}));

    const QString failed = QStringLiteral("Не удалось удалить заявку 2:\nthe file is read-only / Удаление");
    const std::tuple<const char*, QStringList, QStringList> cases[] = {
        {"", {kAskOrder}, {"2", "4"}},                              // answered No
        {"DELETE FROM TBL_APTS", {kAskOrder, failed}, {"2", "4"}},  // nothing goes: the header waits
        {"DELETE FROM TBL_APPS", {kAskOrder, failed}, {"2"}}};
    for (const auto& [failing, messages, linesLeft] : cases) {
        messages_.shown.clear();
        if (*failing) local_->failPrefix(failing, "the file is read-only");
        messages_.answer(*failing ? core::MsgAnswer::Yes : core::MsgAnswer::No);
        click(1, Qt::RightButton, 2);
        EXPECT_EQ(shown(), messages) << failing;
        EXPECT_EQ(QList<QStringList>({column(), stored("TBL_APPS"), stored("TBL_APTS")}),
                  QList<QStringList>({{"2"}, {"2", "8"}, linesLeft}));
    }
    click(1, Qt::RightButton, 2);
    EXPECT_EQ(stored("TBL_APPS"), QStringList{"8"});
    EXPECT_EQ(QList<int>({grid().rows(), grid().rowHeight(1)}), QList<int>({2, 0}));
}

// Without a mouse: Tab reaches the dates and the state list, the arrows move the selected row,
// Enter opens its order, the context-menu key shows the popup under the row, F5 lists anew.
TEST_F(BasketListTest, KeyboardReachesTheFiltersMovesTheRowOpensItAndListsAnewWithF5) {
    for (int ind : {3, 4, 7}) addOrder(ind);
    load();
    EXPECT_EQ(testsupport::mnemonicFaults(*window_), QStringList{});
    QStringList walked;
    window_->MFG->setFocus();
    for (int i = 0; i < 10; ++i) {  // Tab walks the three parts of each date
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        if (!walked.contains(testsupport::focusedName())) walked << testsupport::focusedName();
    }
    EXPECT_EQ(walked, (QStringList{"DTP1", "DTP2", "Combo1", "Command4", "Command3", "MFG"}));
    QTest::keyClick(window_->MFG, Qt::Key_Home, Qt::ControlModifier);  // the first row
    for (Qt::Key key : {Qt::Key_Down, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down})
        QTest::keyClick(window_->MFG, key);
    EXPECT_EQ(QList<int>({grid().row(), grid().col(), grid().colSel()}), QList<int>({2, 0, 5}));
    QTest::keyClick(window_->MFG, Qt::Key_Return);
    menus_.choose(1);
    QTest::keyClick(window_->MFG, Qt::Key_Menu);
    EXPECT_EQ(basketShown_, (QList<std::pair<int, int>>{{4, 0}, {4, 0}}));
    EXPECT_EQ(menus_.positions.value(0),
              window_->MFG->viewport()->mapToGlobal(window_->MFG->cellRect(2, BasketList::colNumber).bottomLeft()));
    addOrder(9);
    QTest::keyClick(window_->MFG, Qt::Key_F5);
    EXPECT_EQ(column(), (QStringList{"3", "4", "7", "9"}));
}

// A notch towards the operator moves a tenth of the grid's rows; away stops at the first row.
TEST_F(BasketListTest, WheelMovesByATenthOfTheGrid) {
    for (int i = 1; i <= 100; ++i) addOrder(i);
    load();
    ui::FlexGrid& mfg = *window_->MFG;
    ui::setHeightTwips(mfg, 40 * grid().rowHeight(1));
    const QPoint at = mfg.viewport()->rect().center();
    for (const auto& [delta, top] : {std::pair{-120, 5}, std::pair{120, 1}, std::pair{120, 1}}) {
        QWheelEvent wheel(at, mfg.viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(mfg.viewport(), &wheel);
        EXPECT_EQ(grid().topRow(), top) << delta;
    }
}

TEST_F(BasketListTest, SubWindowSitsAt100TwipsAndSpringsBackToItsBounds) {
    QMdiArea area;
    area.resize(1200, 900);
    area.show();
    auto* list = new BasketList;
    QMdiSubWindow* sub = area.addSubWindow(list);
    sub->show();
    QApplication::processEvents();
    EXPECT_EQ(sub->pos(), QPoint(ui::twipsToPx(100), ui::twipsToPx(100)));
    const QSize bound(ui::twipsToPx(BasketList::kMinWidth), ui::twipsToPx(BasketList::kMinHeight));
    // It fills the rest of the frame's area.
    EXPECT_EQ(sub->geometry().bottomRight(), area.viewport()->rect().bottomRight());
    sub->resize(200, 150);
    QApplication::processEvents();
    EXPECT_EQ(sub->size(), bound);
    sub->resize(ui::twipsToPx(12000), ui::twipsToPx(6000));
    QApplication::processEvents();
    // Within a pixel: twips seldom fall on whole pixels.
    EXPECT_NEAR(ui::widthTwips(*list->MFG), 12000 - 200, 15);
    // At the rule's place, moved left only as far as its whole caption needs.
    const int left = ui::leftTwips(*list->Command3);
    EXPECT_LE(left, 12000 - 1770 + 15);
    EXPECT_NEAR(left, std::min(12000 - 1770, ui::widthTwips(*list) - ui::widthTwips(*list->Command3) - 45), 15);
}

// What the window cannot show: states no program of ours writes, captions of the
// order-exchange service's own, the escaping of the deletion request and the wheel's bounds.

TEST(OrderListLogic, ForeignStatesServiceCaptionsStatementEdgesAndWheelBounds) {
    // Only a foreign writer stores a fraction, a huge number or a negative one.
    const std::pair<Value, const char*> stored[] = {
        {Value::dbl(2.0), "Отложена"}, {Value::dbl(2.5), ""}, {Value::dbl(1e12), ""}, {Value::int32(-1), ""}};
    for (const auto& [value, caption] : stored)
        EXPECT_EQ(stateCaption(value), QString::fromUtf8(caption)) << value.toText().toStdString();
    // A whole number is a state; any other text is the service's own caption.
    const std::pair<const char*, const char*> refreshed[] = {
        {" 1 ", "Новая"}, {"9", ""}, {"В работе", "В работе"}, {"", ""}};
    for (const auto& [state, caption] : refreshed)
        EXPECT_EQ(refreshedStateCaption(QString::fromUtf8(state)), QString::fromUtf8(caption)) << state;

    EXPECT_EQ(delAppStatement("42", "O'Neil"), "exec nom_command 'delApp', 42, 'O''Neil'");

    // The wheel: a tenth of the grid, at least two rows, and the top row stays in the list.
    const std::tuple<int, int, int> steps[] = {{2550, 255, 2}, {10199, 255, 3}, {100, 255, 2}, {5000, 0, 2}};
    for (const auto& [grid, row, step] : steps) EXPECT_EQ(wheelStep(grid, row), step) << grid << "/" << row;
    EXPECT_EQ(wheelTopRow(48, 4, -120, 50), 50);
    EXPECT_EQ(wheelTopRow(1, 4, 0, 50), 5);  // no turn counts as towards the operator
}

}  // namespace
