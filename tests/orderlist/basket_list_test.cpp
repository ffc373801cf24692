// The order list window on a real table folder: loading and filtering, sorting,
// opening into the basket, both kinds of deletion, refreshing, wheel scrolling and
// the window's size bounds.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include "db/schema.h"
#include "global/global.h"
#include "ui/twips.h"
#include "orderlist/BasketList.h"
#include "store/dbf_connection.h"
#include "support/recording_connection.h"
#include "support/scripted_seams.h"
#include "ui/flexgrid.h"
#include "ui/twips_layout.h"

using testsupport::RecordingConnection;
using testsupport::Rows;

namespace {

const QDate kSep26(2010, 9, 26);
const QDate kSep27(2010, 9, 27);
const QString kAskDeleteOrder = QStringLiteral("Вы действительно хотите удалить выделенную заявку?");

class BasketListTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        ui::setLogicalDpiForTests(96);
        real_ = store::openFolder(dir_.path());
        real_->execute(db::createStatement(QStringLiteral("TBL_APPS")));
        real_->execute(db::createStatement(QStringLiteral("TBL_APTS")));
        auto local = std::make_unique<RecordingConnection>(real_.get());
        auto central = std::make_unique<RecordingConnection>();
        local_ = local.get();
        central_ = central.get();
        auto routed = std::make_unique<store::RoutedConnection>(std::move(local), std::move(central));
        routed_ = routed.get();
        savedOrder_ = Global::CurrentOrder();
        previousCn_ = Global::setCn(std::move(routed));
        previousBasket_ = Global::dialogs().showBasket;
        Global::dialogs().showBasket = [this] {
            basketShown_.append(Global::CurrentOrder().norder);
            linesShown_.append(Global::CurrentOrder().RecordCount());
        };
    }

    void TearDown() override {
        window_.reset();
        Global::dialogs().showBasket = previousBasket_;
        Global::CurrentOrder() = savedOrder_;
        Global::setCn(std::move(previousCn_));
        real_.reset();
        ui::setLogicalDpiForTests(0);
    }

    // state: a number, or nullptr for a blank column.
    void addOrder(int ind, const char* state, const QString& client, const QString& created,
                  const QString& comment = QString()) {
        real_->execute(QStringLiteral("INSERT INTO TBL_APPS(IND, IND_STT, CGT_NM, CMT, CR_DT) "
                                      "VALUES(%1, %2, '%3', '%4', '%5')")
                           .arg(ind)
                           .arg(QLatin1String(state ? state : "NULL"), client, comment, created));
    }
    void addLine(int ind, int order, int position, double qty) {
        real_->execute(QStringLiteral("INSERT INTO TBL_APTS(IND, IND_APP, IND_PST, VL) VALUES(%1, %2, %3, %4)")
                           .arg(ind).arg(order).arg(position).arg(qty));
    }
    QStringList storedNumbers(const QString& sql) {
        QStringList out;
        auto rs = real_->open(sql);
        for (; !rs->eof(); rs->moveNext()) out << rs->field(QStringLiteral("IND")).toText();
        return out;
    }

    BasketList& open() {
        window_ = std::make_unique<BasketList>();
        window_->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
        return *window_;
    }
    // Lists the orders of the range through "Вывести".
    void load(const QDate& from, const QDate& to, const QString& filter = QStringLiteral("<Все>")) {
        window_->DTP1->setDate(from);
        window_->DTP2->setDate(to);
        window_->Combo1->setCurrentText(filter);
        QTest::mouseClick(window_->Command4, Qt::LeftButton);
    }
    ui::GridModel& grid() { return window_->MFG->model(); }
    QStringList column(int col) {
        QStringList out;
        for (int r = grid().fixedRows(); r < grid().rows(); ++r) {
            if (grid().rowHeight(r) > 0) out << grid().text(r, col);
        }
        return out;
    }
    int rowOf(const QString& number) {
        for (int r = 1; r < grid().rows(); ++r) {
            if (grid().text(r, BasketList::colKey) == number) return r;
        }
        return -1;
    }
    QPoint cellCentre(int row, int col) { return window_->MFG->cellRect(row, col).center(); }
    void press(int row, Qt::MouseButton button) {
        const QPoint at = cellCentre(row, BasketList::colClient);
        QTest::mousePress(window_->MFG->viewport(), button, {}, at);
        QTest::mouseRelease(window_->MFG->viewport(), button, {}, at);
    }
    // A double click as the operator makes it: a click, then the second press.
    void doubleClick(int row, int col) {
        QWidget* viewport = window_->MFG->viewport();
        const QPoint at = cellCentre(row, col);
        QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
    }

    QTemporaryDir dir_;
    std::unique_ptr<store::Connection> real_;
    RecordingConnection* local_ = nullptr;
    RecordingConnection* central_ = nullptr;
    store::RoutedConnection* routed_ = nullptr;
    testsupport::ScriptedMessages messages_;
    testsupport::ScriptedMenus menus_;
    std::unique_ptr<BasketList> window_;
    QList<int> basketShown_;
    QList<int> linesShown_;

private:
    clsZak savedOrder_;
    std::unique_ptr<store::Connection> previousCn_;
    std::function<void()> previousBasket_;
};

// ---------------------------------------------------------------------------------
// Loading

TEST_F(BasketListTest, PlaceholderRowStaysOnlyWhileNoOrderIsListed) {
    open();
    load(kSep26, kSep27);
    ASSERT_EQ(grid().rows(), 2);
    EXPECT_EQ(grid().rowHeight(1), 0);
    EXPECT_EQ(grid().text(1, BasketList::colKey), QString());

    addOrder(5, "1", QStringLiteral("ООО Сталь"), QStringLiteral("2010.09.26 10:15"),
             QStringLiteral("срочно"));
    load(kSep26, kSep27);
    ASSERT_EQ(grid().rows(), 2);
    EXPECT_GT(grid().rowHeight(1), 0);
    EXPECT_EQ(grid().rowTexts(1), (QStringList{"5", "5", "2010.09.26 10:15", QStringLiteral("ООО Сталь"),
                                               QStringLiteral("Новая"), QStringLiteral("срочно")}));
    EXPECT_EQ(grid().colWidth(BasketList::colKey), 0);
    EXPECT_GT(grid().colWidth(BasketList::colClient), 0);
}

TEST_F(BasketListTest, RangeTakesBothDaysWholeAndNeverAnEmptyDate) {
    addOrder(1, "1", "a", QStringLiteral("2010.09.25 23:59"));
    addOrder(2, "1", "b", QStringLiteral("2010.09.26 00:00"));
    addOrder(3, "1", "c", QStringLiteral("2010.09.27 23:59"));
    addOrder(4, "1", "d", QStringLiteral("2010.09.28 00:00"));
    addOrder(5, "1", "e", QString());
    open();
    load(kSep26, kSep27);
    EXPECT_EQ(column(BasketList::colNumber), (QStringList{"2", "3"}));
    load(kSep27, kSep27);
    EXPECT_EQ(column(BasketList::colNumber), QStringList{"3"});
}

TEST_F(BasketListTest, EveryStateIsListedUnderAllWithItsCaption) {
    addOrder(1, nullptr, "a", QStringLiteral("2010.09.26 09:00"));
    addOrder(2, "0", "b", QStringLiteral("2010.09.26 09:00"));
    addOrder(3, "2", "c", QStringLiteral("2010.09.26 09:00"));
    addOrder(4, "3", "d", QStringLiteral("2010.09.26 09:00"));
    open();
    load(kSep26, kSep26);
    EXPECT_EQ(column(BasketList::colState),
              (QStringList{QStringLiteral("Новая"), QString(), QStringLiteral("Отложена"),
                           QStringLiteral("Обработана")}));
    load(kSep26, kSep26, QStringLiteral("Отложена"));
    EXPECT_EQ(column(BasketList::colNumber), QStringList{"3"});
}

TEST_F(BasketListTest, InvertedRangeIsRefusedAndTheRowsStay) {
    addOrder(1, "1", "a", QStringLiteral("2010.09.26 09:00"));
    open();
    load(kSep26, kSep27);
    local_->clearCalls();
    load(kSep27, kSep26);
    EXPECT_EQ(messages_.texts(), QStringList{QStringLiteral("Неверный диапазон!")});
    EXPECT_TRUE(local_->opened().isEmpty());
    EXPECT_EQ(column(BasketList::colNumber), QStringList{"1"});
}

TEST_F(BasketListTest, FailingQueryShowsTheReasonAndGivesTheListBack) {
    open();
    local_->failPrefix(QStringLiteral("SELECT * FROM TBL_APPS"), QStringLiteral("the table file is damaged"));
    load(kSep26, kSep27);
    ASSERT_EQ(messages_.shown.size(), 1);
    EXPECT_TRUE(messages_.shown[0].text.contains(QStringLiteral("the table file is damaged")));
    EXPECT_TRUE(window_->MFG->isVisible());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(grid().rows(), 2);
}

// ---------------------------------------------------------------------------------
// Sorting, selection, the state filter

TEST_F(BasketListTest, HeaderDoubleClicksSortAscendingThenDescendingAndAnotherColumnAscending) {
    addOrder(1, "1", QStringLiteral("Вега"), QStringLiteral("2010.09.26 12:00"));
    addOrder(2, "1", QStringLiteral("Альфа"), QStringLiteral("2010.09.26 08:00"));
    addOrder(3, "1", QStringLiteral("Бета"), QStringLiteral("2010.09.26 10:00"));
    open();
    load(kSep26, kSep26);
    doubleClick(0, BasketList::colClient);
    EXPECT_EQ(column(BasketList::colNumber), (QStringList{"2", "3", "1"}));
    doubleClick(0, BasketList::colClient);
    EXPECT_EQ(column(BasketList::colNumber), (QStringList{"1", "3", "2"}));
    doubleClick(0, BasketList::colDate);
    EXPECT_EQ(column(BasketList::colNumber), (QStringList{"2", "3", "1"}));
    EXPECT_TRUE(basketShown_.isEmpty());
}

TEST_F(BasketListTest, RightPressOnHeaderDoesNothingAndADismissedMenuOnlySelects) {
    addOrder(1, "1", "a", QStringLiteral("2010.09.26 12:00"));
    addOrder(2, "1", "b", QStringLiteral("2010.09.26 13:00"));
    open();
    load(kSep26, kSep26);
    grid().setRow(1);
    press(0, Qt::RightButton);
    EXPECT_TRUE(menus_.shownItems.isEmpty());
    EXPECT_EQ(grid().row(), 1);

    press(2, Qt::RightButton);
    ASSERT_EQ(menus_.shownItems.size(), 1);
    ASSERT_EQ(menus_.shownItems[0].size(), 2);
    EXPECT_EQ(menus_.shownItems[0][0].text, QStringLiteral("Редактировать"));
    EXPECT_EQ(menus_.shownItems[0][1].text, QStringLiteral("Удалить"));
    EXPECT_EQ(grid().row(), 2);
    EXPECT_EQ(grid().col(), 0);
    EXPECT_EQ(grid().colSel(), BasketList::colCount - 1);
    EXPECT_TRUE(basketShown_.isEmpty());
    EXPECT_TRUE(messages_.shown.isEmpty());
}

TEST_F(BasketListTest, StateFilterIgnoresTypingButFollowsArrowKeys) {
    open();
    window_->Combo1->setFocus();
    // Unfiltered, a list box jumps to the item that starts with the typed letter.
    for (const QChar ch : QStringLiteral("Обр")) {
        QKeyEvent typed(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(window_->Combo1, &typed);
    }
    EXPECT_EQ(window_->Combo1->currentIndex(), 0);
    QTest::keyClick(window_->Combo1, Qt::Key_Down);
    EXPECT_EQ(window_->Combo1->currentText(), QStringLiteral("Новая"));
}

// ---------------------------------------------------------------------------------
// Opening an order

TEST_F(BasketListTest, EditFromTheMenuLoadsTheOrderShowsTheBasketAndRefreshesTheRow) {
    addOrder(7, "1", "a", QStringLiteral("2010.09.26 12:00"));
    addLine(1, 7, 8958, 2.5);
    addLine(2, 7, 8950, 1);
    open();
    load(kSep26, kSep27);
    Global::CurrentOrder().InsertRow();  // an unsaved basket is replaced without a question
    central_->clearCalls();
    menus_.choose(1);
    press(1, Qt::RightButton);
    EXPECT_EQ(basketShown_, QList<int>{7});
    EXPECT_EQ(linesShown_, QList<int>{2});
    EXPECT_EQ(central_->opened(),
              QStringList{QStringLiteral("nom_command1 'sngApp', '20100926', '20100927', 7")});
}

TEST_F(BasketListTest, DoubleClickOnARowOpensItsOrder) {
    addOrder(3, "1", "a", QStringLiteral("2010.09.26 12:00"));
    addOrder(4, "2", "b", QStringLiteral("2010.09.26 13:00"));
    open();
    load(kSep26, kSep26);
    doubleClick(rowOf("4"), BasketList::colClient);
    EXPECT_EQ(basketShown_, QList<int>{4});
    EXPECT_EQ(Global::CurrentOrder().state, 2);
    EXPECT_EQ(grid().col(), 0);
    EXPECT_EQ(grid().colSel(), BasketList::colCount - 1);

    // An order gone from the tables ends the opening silently.
    real_->execute(QStringLiteral("DELETE FROM TBL_APPS WHERE IND=3"));
    doubleClick(rowOf("3"), BasketList::colClient);
    EXPECT_EQ(basketShown_, QList<int>{4});
    EXPECT_TRUE(messages_.shown.isEmpty());
}

// ---------------------------------------------------------------------------------
// Deleting through the menu

TEST_F(BasketListTest, DeletingTheOnlyOrderRemovesLinesThenHeaderAndKeepsAPlaceholder) {
    addOrder(7, "1", "a", QStringLiteral("2010.09.26 12:00"));
    addOrder(8, "1", "b", QStringLiteral("2010.09.20 12:00"));
    addLine(1, 7, 100, 1);
    addLine(2, 8, 100, 1);
    addLine(3, 7, 101, 2);
    real_->execute(QStringLiteral("CREATE TABLE TBL_APTN (IND int,PRIM varchar(254))"));
    for (int line : {1, 2, 3})
        real_->execute(QStringLiteral("INSERT INTO TBL_APTN(IND, PRIM) VALUES(%1, 'note')").arg(line));
    open();
    load(kSep26, kSep26);
    local_->clearCalls();
    menus_.choose(2);
    press(1, Qt::RightButton);

    ASSERT_EQ(messages_.shown.size(), 1);
    EXPECT_EQ(messages_.shown[0].text, kAskDeleteOrder);
    EXPECT_EQ(messages_.shown[0].title, QStringLiteral("Удаление"));
    EXPECT_EQ(local_->executed(), (QStringList{QStringLiteral("DELETE FROM TBL_APTN WHERE IND IN (SELECT IND FROM "
                                                              "TBL_APTS WHERE IND_APP=7)"),
                                               QStringLiteral("DELETE FROM TBL_APTS WHERE IND_APP=7"),
                                               QStringLiteral("DELETE FROM TBL_APPS WHERE IND=7")}));
    EXPECT_EQ(storedNumbers(QStringLiteral("SELECT * FROM TBL_APPS")), QStringList{"8"});
    EXPECT_EQ(storedNumbers(QStringLiteral("SELECT * FROM TBL_APTS")), QStringList{"2"});
    EXPECT_EQ(storedNumbers(QStringLiteral("SELECT * FROM TBL_APTN")), QStringList{"2"}) << "notes go with their lines";
    ASSERT_EQ(grid().rows(), 2);
    EXPECT_EQ(grid().rowHeight(1), 0);
    EXPECT_EQ(grid().text(1, BasketList::colKey), QString());
}

TEST_F(BasketListTest, DeletingOneOfSeveralOrdersRemovesJustItsRow) {
    addOrder(1, "1", "a", QStringLiteral("2010.09.26 12:00"));
    addOrder(2, "1", "b", QStringLiteral("2010.09.26 13:00"));
    addOrder(3, "1", "c", QStringLiteral("2010.09.26 14:00"));
    open();
    load(kSep26, kSep26);
    menus_.choose(2);
    press(rowOf("2"), Qt::RightButton);
    EXPECT_EQ(column(BasketList::colNumber), (QStringList{"1", "3"}));
    EXPECT_EQ(grid().rows(), 3);
    EXPECT_EQ(storedNumbers(QStringLiteral("SELECT * FROM TBL_APPS")), (QStringList{"1", "3"}));

    messages_.answer(core::MsgAnswer::No);
    menus_.choose(2);
    press(rowOf("3"), Qt::RightButton);
    EXPECT_EQ(column(BasketList::colNumber), (QStringList{"1", "3"}));
    EXPECT_EQ(storedNumbers(QStringLiteral("SELECT * FROM TBL_APPS")), (QStringList{"1", "3"}));
}

TEST_F(BasketListTest, FailedMenuDeletionIsReportedAndTheRowStays) {
    const struct {
        const char* failing;
        QStringList headersLeft;
        QStringList linesLeft;
    } cases[] = {
        {"DELETE FROM TBL_APTS", {"5"}, {"1"}},  // nothing goes: the header waits for its lines
        {"DELETE FROM TBL_APPS", {"5"}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.failing);
        real_->execute(QStringLiteral("DELETE FROM TBL_APPS"));
        real_->execute(QStringLiteral("DELETE FROM TBL_APTS"));
        addOrder(5, "1", "a", QStringLiteral("2010.09.26 12:00"));
        addLine(1, 5, 100, 1);
        open();
        load(kSep26, kSep26);
        messages_.shown.clear();
        local_->failPrefix(QLatin1String(c.failing), QStringLiteral("the file is read-only"));
        menus_.choose(2);
        press(1, Qt::RightButton);
        ASSERT_EQ(messages_.shown.size(), 2);
        EXPECT_TRUE(messages_.shown[1].text.contains(QStringLiteral("the file is read-only")));
        EXPECT_EQ(column(BasketList::colNumber), QStringList{"5"});
        EXPECT_EQ(storedNumbers(QStringLiteral("SELECT * FROM TBL_APPS")), c.headersLeft);
        EXPECT_EQ(storedNumbers(QStringLiteral("SELECT * FROM TBL_APTS")), c.linesLeft);
    }
}

// ---------------------------------------------------------------------------------
// Deleting through the order-exchange service (Delete key)

TEST_F(BasketListTest, DeleteKeyAsksTheServiceAndFollowsItsAnswer) {
    const struct {
        const char* name;
        bool central;
        int nb;
        QStringList messages;  // after the question
        bool hidden;
    } cases[] = {
        {"deleted", true, 1, {}, true},
        {"refused", true, 0, {QStringLiteral("Вы не можете удалять чужие заявки!")}, false},
        {"no central link", false, 0, {QStringLiteral("Ошибка удаления строки")}, false},
    };
    addOrder(7, "1", "a", QStringLiteral("2010.09.26 12:00"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<RecordingConnection> central;
        RecordingConnection* link = nullptr;
        if (c.central) {
            central = std::make_unique<RecordingConnection>();
            link = central.get();
            link->answer(QStringLiteral("exec nom_command 'delApp', 7, ''"), Rows{{{"nb", c.nb}}});
        }
        routed_->setCentral(std::move(central));
        open();
        load(kSep26, kSep26);
        messages_.shown.clear();
        press(1, Qt::LeftButton);
        QTest::keyClick(window_->MFG, Qt::Key_Delete);

        ASSERT_GE(messages_.shown.size(), 1);
        EXPECT_EQ(messages_.shown[0].text,
                  QStringLiteral("Вы действительно хотите удалить выделенную строку?"));
        EXPECT_EQ(messages_.shown[0].title, QStringLiteral("Удаление"));
        QStringList after;
        for (int i = 1; i < messages_.shown.size(); ++i) {
            after << messages_.shown[i].text;
            EXPECT_EQ(messages_.shown[i].title, QStringLiteral("Ошибка"));
        }
        EXPECT_EQ(after, c.messages);
        if (link) {
            EXPECT_EQ(link->unusedAnswers(), 0);
        }
        EXPECT_EQ(grid().rowHeight(1) == 0, c.hidden);
        EXPECT_EQ(storedNumbers(QStringLiteral("SELECT * FROM TBL_APPS")), QStringList{"7"});

        // A hidden row takes no second deletion.
        messages_.shown.clear();
        QTest::keyClick(window_->MFG, Qt::Key_Delete);
        EXPECT_EQ(messages_.shown.isEmpty(), c.hidden);
        messages_.shown.clear();
    }
}

// ---------------------------------------------------------------------------------
// Refreshing, clearing the basket, the wheel, the window

TEST_F(BasketListTest, ClearingTheBasketRefreshesTheRowIntoTheListsOwnColumns) {
    addOrder(7, "1", QStringLiteral("ООО Старое"), QStringLiteral("2010.09.26 12:00"),
             QStringLiteral("было"));
    open();
    load(kSep26, kSep27);
    Global::CurrentOrder().InsertRow();
    press(1, Qt::LeftButton);
    central_->clearCalls();
    central_->answer(QStringLiteral("nom_command1 'sngApp', '20100926', '20100927', 7"),
                     Rows{{{"name_k", QStringLiteral("ООО Новое")},
                           {"otd", QStringLiteral("Отдел продаж")},
                           {"state", 3},
                           {"cmt", QStringLiteral("стало")}}});
    QTest::mouseClick(window_->Command3, Qt::LeftButton);

    EXPECT_EQ(Global::CurrentOrder().RecordCount(), 0);
    EXPECT_EQ(central_->unusedAnswers(), 0);
    EXPECT_EQ(grid().cols(), BasketList::colCount);
    EXPECT_EQ(grid().rowTexts(1), (QStringList{"7", "7", "2010.09.26 12:00", QStringLiteral("ООО Новое"),
                                               QStringLiteral("Обработана"), QStringLiteral("стало")}));
}

TEST_F(BasketListTest, RefreshWithoutTheServiceLeavesTheRowAsItWas) {
    addOrder(7, "1", QStringLiteral("ООО Старое"), QStringLiteral("2010.09.26 12:00"));
    open();
    load(kSep26, kSep27);
    routed_->setCentral(nullptr);
    press(1, Qt::LeftButton);
    const QStringList before = grid().rowTexts(1);
    window_->ReloadStr();
    EXPECT_EQ(grid().rowTexts(1), before);
    EXPECT_TRUE(messages_.shown.isEmpty());
}

TEST_F(BasketListTest, WheelMovesByATenthOfTheGridAtLeastTwoRows) {
    for (int i = 1; i <= 100; ++i)
        addOrder(i, "1", QStringLiteral("Клиент %1").arg(i), QStringLiteral("2010.09.26 12:00"));
    open();
    load(kSep26, kSep26);
    ui::FlexGrid& mfg = *window_->MFG;
    const int rowHeight = grid().rowHeight(1);
    const struct { int rows, step; } cases[] = {{10, 2}, {40, 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rows);
        ui::setHeightTwips(mfg, c.rows * rowHeight);
        mfg.setTopRow(1);
        // A notch towards the operator, delivered as a real wheel event.
        const QPoint at = mfg.viewport()->rect().center();
        QWheelEvent towards(at, mfg.viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                            Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(mfg.viewport(), &towards);
        EXPECT_EQ(grid().topRow(), 1 + c.step);
        window_->MouseWheel(0, 120, 0, 0);
        EXPECT_EQ(grid().topRow(), 1);
        window_->MouseWheel(0, 120, 0, 0);
        EXPECT_EQ(grid().topRow(), 1);
    }
}

TEST_F(BasketListTest, SubWindowSitsAt100TwipsAndSpringsBackToItsBounds) {
    QMdiArea area;
    area.resize(1200, 900);
    area.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&area));
    auto* list = new BasketList;
    QMdiSubWindow* sub = area.addSubWindow(list);
    sub->show();
    QApplication::processEvents();
    EXPECT_EQ(sub->pos(), QPoint(ui::twipsToPx(100), ui::twipsToPx(100)));
    // The designed client width; the designed height lies below the bound and springs back.
    EXPECT_EQ(list->width(), list->sizeHint().width());
    EXPECT_EQ(sub->height(), ui::twipsToPx(BasketList::kMinHeight));

    sub->resize(200, 150);
    QApplication::processEvents();
    EXPECT_GE(sub->width(), ui::twipsToPx(BasketList::kMinWidth));
    EXPECT_GE(sub->height(), ui::twipsToPx(BasketList::kMinHeight));
    // At the narrowest width the clear button still keeps clear of "Вывести".
    EXPECT_GT(list->Command3->geometry().left(), list->Command4->geometry().right());

    sub->resize(ui::twipsToPx(12000), ui::twipsToPx(6000));
    QApplication::processEvents();
    // Within a pixel: twips seldom fall on whole pixels.
    EXPECT_NEAR(ui::widthTwips(*list->MFG), 12000 - 200, 15);
    EXPECT_LE(list->MFG->geometry().bottom(), list->height());
    EXPECT_NEAR(ui::leftTwips(*list->Command3), 12000 - 1770, 15);
}

}  // namespace
