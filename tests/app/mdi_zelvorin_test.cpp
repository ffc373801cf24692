// The main window: its load on a database folder, its caption, and its menu.
#include "app/mdi_zelvorin.h"

#include <gtest/gtest.h>

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QTest>

#include "app_fixture.h"
#include "catalogue/positions.h"
#include "db/Form1.h"
#include "orderlist/BasketList.h"
#include "support/scripted_seams.h"

namespace {

TEST(MainCaption, FixedTextFollowedByThePlainVersionNumbers) {
    EXPECT_EQ(mainCaption(1, 2, 3), " Цены на металлопрокат    ver. 1.2.3");
}

class MainWindow : public ::testing::Test {
protected:
    void load() {
        testapp::buildDatabase(tmp);
        w->Form_Load(localConnectionString(tmp.filePath("DB")));
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    }
    QWidget* active() const { return w->mdiArea()->activeSubWindow()->widget(); }

    QTemporaryDir tmp;
    testsupport::GlobalGuard guard;
    testsupport::ScriptedMessages boxes;
    std::unique_ptr<mdi_zelvorin> w = std::make_unique<mdi_zelvorin>();
};

TEST_F(MainWindow, LoadOpensCnAndSetsTheCaptionWithoutAChildWindowOrAMessage) {
    Global::CatalogueOpen = -1;
    load();
    EXPECT_EQ(Global::CatalogueOpen, 0);
    EXPECT_EQ(w->windowTitle(),
              mainCaption(ZELVORIN_VERSION_MAJOR, ZELVORIN_VERSION_MINOR, ZELVORIN_VERSION_PATCH));
    EXPECT_TRUE(w->mdiArea()->subWindowList().isEmpty());
    EXPECT_FALSE(Global::Cn().open("SELECT * FROM TBL_TPS")->eof());
    mdi_zelvorin other;  // a folder without TBL_ORGS: the failing start-up statement is ignored
    other.Form_Load(localConnectionString(tmp.path()));
    EXPECT_TRUE(boxes.shown.isEmpty());
}

// Five items, the refresh greyed without a central database, the two before it always; each form exists once and a second choice brings it
// forward; Ctrl+Q closes.
TEST_F(MainWindow, MenuShowsEachFormOnce) {
    load();
    QStringList texts;
    for (QAction* a : w->menuBar()->actions())
        texts << a->text().remove('&') + (a->isEnabled() ? "" : " (off)");
    EXPECT_EQ(texts,
              (QStringList{"Металлопродукция", "Список заказов", "Корзина (off)", "Синхронизация (off)",
                           "Обновить цены (off)"}));
    QTest::mouseClick(w->menuBar(), Qt::LeftButton, {}, w->menuBar()->actionGeometry(w->basket_cl).center());
    EXPECT_EQ(Global::CurrentOrder().RecordCount(), 0);
    w->positions_cl_Click();
    QWidget* first = active();
    EXPECT_NE(qobject_cast<positions*>(first), nullptr);
    w->apps_cl_Click();
    EXPECT_NE(qobject_cast<BasketList*>(active()), nullptr);
    w->positions_cl_Click();
    EXPECT_EQ(w->mdiArea()->subWindowList().size(), 2);
    EXPECT_EQ(active(), first);
    Form1* f = w->showForm1();
    EXPECT_EQ(w->showForm1(), f);
    EXPECT_EQ(w->findChildren<Form1*>().size(), 1);
    QTest::keyClick(w.get(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(w->isVisible()) << "Ctrl+Q closes the main window";
}

TEST_F(MainWindow, BasketCommandAppendsTheTwoFixedLinesEachTime) {
    load();
    Global::dialogs().showBasket = [] {};
    w->basket_cl_Click();
    w->basket_cl_Click();
    clsZak& order = Global::CurrentOrder();
    QList<std::pair<int, double>> lines;
    for (order.MoveFirst(); order.Field("pos").toInt32() >= 0; order.MoveNext())
        lines.append({order.Field("idn").toInt32(), order.Field("qty").toDouble()});
    EXPECT_EQ(lines, (QList<std::pair<int, double>>{{8958, 11}, {8950, 12}, {8958, 11}, {8950, 12}}));
}

}  // namespace
