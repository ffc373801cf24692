// The main window: its load on a database folder, its caption, and its menu.
#include "app/command_line.h"
#include "app/mdi_zelvorin.h"
#include "app_fixture.h"
#include "catalogue/positions.h"
#include "db/Form1.h"
#include "orderlist/BasketList.h"
#include "support/scripted_seams.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

TEST(MainCaption, FixedTextFollowedByThePlainVersionNumbers) {
    EXPECT_EQ(mainCaption(1, 2, 3), " Цены на металлопрокат    ver. 1.2.3");
    EXPECT_EQ(mainCaption(10, 0, 120), " Цены на металлопрокат    ver. 10.0.120");
}

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        testapp::buildDatabase(tmp);
    }
    void load() {
        w = std::make_unique<mdi_zelvorin>();
        w->Form_Load(localConnectionString(tmp.filePath("DB")));
        w->resize(1000, 700);
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    }
    QList<QWidget*> children() const {
        QList<QWidget*> out;
        for (QMdiSubWindow* s : w->mdiArea()->subWindowList())
            out << s->widget();
        return out;
    }
    void clickMenu(QAction* a) {
        QMenuBar* bar = w->menuBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(a).center());
    }

    QTemporaryDir tmp;
    testapp::GlobalGuard guard;
    testsupport::ScriptedMessages boxes;
    std::unique_ptr<mdi_zelvorin> w;
};

TEST_F(MainWindow, LoadOpensCnAndSetsTheCaption) {
    Global::CatalogueOpen = -1;
    load();
    EXPECT_TRUE(Global::hasCn());
    EXPECT_EQ(Global::CatalogueOpen, 0);
    EXPECT_EQ(w->windowTitle(),
              mainCaption(ZELVORIN_VERSION_MAJOR, ZELVORIN_VERSION_MINOR, ZELVORIN_VERSION_PATCH));
    EXPECT_TRUE(w->mdiArea()->subWindowList().isEmpty()) << "no child window opens by itself";
    auto rs = Global::Cn().open("SELECT * FROM TBL_TPS");
    EXPECT_FALSE(rs->eof());
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_F(MainWindow, FolderWithoutOrganisationsStillStarts) {
    QTemporaryDir empty;
    ASSERT_TRUE(empty.isValid());
    w = std::make_unique<mdi_zelvorin>();
    EXPECT_NO_THROW(w->Form_Load(localConnectionString(empty.path())));
    EXPECT_TRUE(Global::hasCn());
    EXPECT_TRUE(w->windowTitle().startsWith(" Цены на металлопрокат    ver. "));
    EXPECT_TRUE(boxes.shown.isEmpty()) << "the failed start-up statement is ignored silently";
}

TEST_F(MainWindow, MenuHasFourItemsWithTheLastTwoGreyed) {
    load();
    const QList<QAction*> actions = w->menuBar()->actions();
    ASSERT_EQ(actions.size(), 4);
    const QStringList texts = {"Металлопродукция", "Список заказов", "Корзина", "Синхронизация"};
    for (int i = 0; i < 4; ++i) {
        QString t = actions[i]->text();
        EXPECT_EQ(t.remove('&'), texts[i]);
        EXPECT_TRUE(actions[i]->menu() == nullptr) << "no sub-items";
    }
    EXPECT_EQ(actions[0], w->positions_cl);
    EXPECT_EQ(actions[3], w->sinch_cl);
    EXPECT_TRUE(w->positions_cl->isEnabled());
    EXPECT_TRUE(w->apps_cl->isEnabled());
    EXPECT_FALSE(w->basket_cl->isEnabled());
    EXPECT_FALSE(w->sinch_cl->isEnabled());
}

TEST_F(MainWindow, ClickOnAGreyedItemDoesNothing) {
    load();
    QSignalSpy basket(w->basket_cl, &QAction::triggered);
    QSignalSpy sync(w->sinch_cl, &QAction::triggered);
    int basketShown = 0;
    Global::dialogs().showBasket = [&] { ++basketShown; };
    clickMenu(w->basket_cl);
    clickMenu(w->sinch_cl);
    w->basket_cl->trigger();
    EXPECT_EQ(basket.count(), 0);
    EXPECT_EQ(sync.count(), 0);
    EXPECT_EQ(basketShown, 0);
    EXPECT_EQ(Global::CurrentOrder().RecordCount(), 0);
    EXPECT_EQ(w->findChild<Form1*>(), nullptr);
}

TEST_F(MainWindow, CatalogueOpensOnceAndAnewAfterClosing) {
    load();
    clickMenu(w->positions_cl);
    ASSERT_EQ(children().size(), 1);
    QPointer<QWidget> first = children().first();
    EXPECT_NE(qobject_cast<positions*>(first.data()), nullptr);

    clickMenu(w->apps_cl);
    ASSERT_EQ(children().size(), 2);
    EXPECT_NE(qobject_cast<BasketList*>(w->mdiArea()->activeSubWindow()->widget()), nullptr);

    w->positions_cl_Click();
    EXPECT_EQ(children().size(), 2) << "the second choice brings the same window forward";
    EXPECT_EQ(w->mdiArea()->activeSubWindow()->widget(), first.data());

    w->subWindowOf(first)->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull()) << "closing the child destroys it";
    EXPECT_EQ(children().size(), 1);

    w->positions_cl_Click();
    ASSERT_EQ(children().size(), 2);
    EXPECT_NE(qobject_cast<positions*>(w->mdiArea()->activeSubWindow()->widget()), nullptr);
}

TEST_F(MainWindow, BasketCommandAppendsTheTwoFixedLinesEachTime) {
    load();
    int basketShown = 0;
    Global::dialogs().showBasket = [&] {
        ++basketShown;
        EXPECT_EQ(Global::CurrentOrder().RecordCount(), 2 * basketShown)
            << "the lines are there before it opens";
    };
    w->basket_cl_Click();
    w->basket_cl_Click();
    EXPECT_EQ(basketShown, 2);
    clsZak& order = Global::CurrentOrder();
    QList<std::pair<int, double>> lines;
    for (order.MoveFirst(); order.Field("pos").toInt32() >= 0; order.MoveNext())
        lines.append({order.Field("idn").toInt32(), order.Field("qty").toDouble()});
    EXPECT_EQ(lines, (QList<std::pair<int, double>>{{8958, 11}, {8950, 12}, {8958, 11}, {8950, 12}}));
}

TEST_F(MainWindow, CtrlQCloses) {
    load();
    QAction* quit = w->findChild<QAction*>("quit");
    ASSERT_NE(quit, nullptr);
    EXPECT_EQ(quit->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->trigger();
    EXPECT_FALSE(w->isVisible());
}

TEST_F(MainWindow, SynchronisationWindowExistsOnce) {
    load();
    Form1* f = w->showForm1();
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(f->isWindow());
    EXPECT_EQ(w->showForm1(), f);
    EXPECT_EQ(w->findChildren<Form1*>().size(), 1);
}

}  // namespace
