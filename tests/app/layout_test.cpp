// The windows on screen: no control drawn over another or cut by its window's edge, at the
// minimum size and at a large one, at whatever scale factor the run has (the test runs
// once plain and once each at 1.5 and 2); the catalogue's corner controls where its
// layout puts them on the first show.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QScreen>
#include <QTimer>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSettings>
#include <QTest>

#include "app/mdi_zelvorin.h"
#include "app/window_memory.h"
#include "app_fixture.h"
#include "basket/basket.h"
#include "basket/comparison.h"
#include "basket/dialogs.h"
#include "basket/frmEd.h"
#include "catalogue/positions.h"
#include "orderlist/BasketList.h"
#include "support/scripted_seams.h"
#include "ui/elided_label.h"
#include "ui/grid_model.h"
#include "ui/twips.h"

namespace {

// A caption that its control cannot show whole (a title that ends in "…" by design aside);
// a button's own hint holds a minimum width, so it is measured by its text.
bool clipped(const QWidget* c) {
    const auto* l = qobject_cast<const QLabel*>(c);
    const auto* b = qobject_cast<const QAbstractButton*>(c);
    const QString text = l && !qobject_cast<const ui::ElidedLabel*>(c) ? l->text() : b ? b->text() : QString();
    if (text.isEmpty()) return false;
    const int need = b ? c->fontMetrics().horizontalAdvance(QString(text).remove('&')) + 4 : c->sizeHint().width();
    return need > c->width() + 1 || c->fontMetrics().height() > c->height() + 1;
}

// Every pair of visible sibling controls that intersect, every control that runs past its
// parent's edge and every caption cut short, inside `top`. Frames and plain widgets hold
// controls; the shapes and lines along the edges decorate and may cross anything.
QStringList overlaps(QWidget* top) {
    QStringList found;
    QList<QWidget*> parents{top};
    while (!parents.isEmpty()) {
        QWidget* p = parents.takeFirst();
        QList<QWidget*> kids;
        for (QWidget* c : p->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            const QString name = c->objectName();
            if (!c->isVisible() || c->isWindow() || name.isEmpty() || name.startsWith("qt_") ||
                name.startsWith("Shape") || name.startsWith("Line"))
                continue;
            kids << c;
            if (QStringList{"QFrame", "QGroupBox", "QWidget"}.contains(c->metaObject()->className())) parents << c;
            if (clipped(c)) found << name + " cuts its caption";
            if (!p->rect().contains(c->geometry())) found << name + " runs past " + p->objectName();
        }
        for (int i = 0; i < kids.size(); ++i)
            for (int j = i + 1; j < kids.size(); ++j)
                if (kids[i]->geometry().intersects(kids[j]->geometry()))
                    found << kids[i]->objectName() + " over " + kids[j]->objectName();
    }
    return found;
}

class Layout : public ::testing::Test {
protected:
    void SetUp() override {
        app::openSettings()->clear();  // every test starts as a first run
        testapp::buildDatabase(tmp);
        w->Form_Load(localConnectionString(tmp.filePath("DB")));
        w->resize(1280, 1000);
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    }
    // The child window of `child`, resized so that its client area is `size` twips.
    void resizeTo(QWidget* child, int widthTwips, int heightTwips) {
        QMdiSubWindow* sub = w->subWindowOf(child);
        const QSize want(ui::twipsToPx(widthTwips), ui::twipsToPx(heightTwips));
        sub->resize(sub->size() + (want - child->size()));
        QTest::qWait(20);
    }
    QTemporaryDir tmp;
    testsupport::GlobalGuard guard;
    testsupport::ScriptedMessages boxes;
    std::unique_ptr<mdi_zelvorin> w = std::make_unique<mdi_zelvorin>();
};

TEST_F(Layout, CatalogueCornerControlsSitAtTheRightOnTheFirstShow) {
    positions* p = w->showPositions();
    QTest::qWait(20);
    const int W = ui::pxToTwips(p->width());
    EXPECT_NEAR(ui::pxToTwips(p->findChild<QWidget*>("Fr_basket")->x()), W - 1250, 15);
    EXPECT_NEAR(ui::pxToTwips(p->findChild<QWidget*>("Command3")->x()), W - 2230, 15);
    EXPECT_GE(W, 12000);
    EXPECT_GE(ui::pxToTwips(p->height()), 8500);
}

TEST_F(Layout, NoControlOverlapsAnotherAtTheSmallestAndALargeSize) {
    positions* p = w->showPositions();
    BasketList* list = w->showBasketList();
    for (const QSize& twips : {QSize(12000, 8500), QSize(18000, 13000)}) {
        resizeTo(p, twips.width(), twips.height());
        EXPECT_EQ(overlaps(p).join("; ").toStdString(), "") << "catalogue at " << twips.width() << "x" << twips.height();
        resizeTo(list, twips.width() * 2 / 3, twips.height() * 2 / 3);
        EXPECT_EQ(overlaps(list).join("; ").toStdString(), "") << "order list at " << twips.width() * 2 / 3;
    }
    frmEd editor;
    editor.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor));
    EXPECT_EQ(overlaps(&editor).join("; ").toStdString(), "") << "line editor";
    editor.close();
    basket b;
    b.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&b));
    for (const QSize& twips : {QSize(9000, 6000), QSize(16000, 11000)}) {
        b.resize(ui::twipsToPx(twips.width()), ui::twipsToPx(twips.height()));
        QTest::qWait(20);
        EXPECT_EQ(overlaps(&b).join("; ").toStdString(), "") << "basket at " << twips.width();
    }
}

}  // namespace

namespace {

// The main window opens maximised the first time and then as it was closed; a child window
// opens filling the frame the first time and then where it was closed.
TEST_F(Layout, WindowsOpenAsTheyWereClosed) {
    w.reset();
    Global::setCn(nullptr);  // the folder takes one connection at a time
    auto first = std::make_unique<mdi_zelvorin>();
    first->Form_Load(localConnectionString(tmp.filePath("DB")));
    app::showRemembered(*first);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(first.get()));
    EXPECT_TRUE(first->isMaximized());
    first->showNormal();
    first->setGeometry(40, 50, 900, 700);
    positions* p = first->showPositions();
    QMdiSubWindow* sub = first->subWindowOf(p);
    EXPECT_GE(p->width(), ui::twipsToPx(12000) - 1);
    sub->setGeometry(10, 20, ui::twipsToPx(12500), ui::twipsToPx(9000));
    const QRect childPlace = sub->geometry();
    sub->close();  // remembered as it closes
    const QRect mainPlace = first->geometry();
    first->close();
    first.reset();
    Global::setCn(nullptr);

    auto second = std::make_unique<mdi_zelvorin>();
    second->Form_Load(localConnectionString(tmp.filePath("DB")));
    app::showRemembered(*second);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(second.get()));
    EXPECT_FALSE(second->isMaximized());
    EXPECT_EQ(second->geometry(), mainPlace);
    EXPECT_EQ(second->subWindowOf(second->showPositions())->geometry(), childPlace);
    second->close();
}

// F1 tells the version; every window carries the program's icon.
TEST_F(Layout, F1ShowsTheVersionAndTheWindowHasTheIcon) {
    QTest::keyClick(w.get(), Qt::Key_F1);
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].title, "О программе");
    EXPECT_TRUE(boxes.shown[0].text.contains(QString("Версия %1.%2.%3")
                                                 .arg(ZELVORIN_VERSION_MAJOR)
                                                 .arg(ZELVORIN_VERSION_MINOR)
                                                 .arg(ZELVORIN_VERSION_PATCH)));
    EXPECT_FALSE(w->windowIcon().isNull());
    EXPECT_FALSE(w->windowIcon().pixmap(32).isNull());
}

}  // namespace

namespace {

// The basket opens centred over the main window, showing its whole header and ten bases,
// and within the screen whatever its size (the scaled runs have a screen large enough).
TEST_F(Layout, TheBasketOpensCentredWithItsHeaderAndTenBaseRows) {
    const QRect room = w->screen()->availableGeometry();
    w->setGeometry(room);
    QRect place;
    int baseRows = 0;
    QStringList cut;
    QTimer::singleShot(0, [&] {
        auto* b = qobject_cast<basket*>(QApplication::activeModalWidget());
        if (!b) return;
        place = b->frameGeometry();
        const QWidget* grid = b->findChild<QAbstractScrollArea*>("gbasket")->viewport();
        baseRows = grid->height() / ui::twipsToPx(ui::GridModel::kDefaultRowHeight) - basket_cmp::kFixedRows;
        cut = overlaps(b);
        b->reject();
    });
    basket_dialogs::showBasket(w.get());
    EXPECT_TRUE(room.contains(place)) << "on a screen of " << room.width() << "x" << room.height() << " at "
                                      << place.x() << "," << place.y() << " " << place.width() << "x" << place.height();
    if (room.width() < ui::twipsToPx(13500) || room.height() < ui::twipsToPx(7800)) return;
    EXPECT_NEAR(place.center().x(), w->frameGeometry().center().x(), 3);
    EXPECT_NEAR(place.center().y(), w->frameGeometry().center().y(), 3);
    EXPECT_GE(baseRows, 10);
    EXPECT_EQ(cut.join("; ").toStdString(), "");
}

}  // namespace
