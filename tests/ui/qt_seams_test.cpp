// The real message boxes and popup menus, answered by a timer while they run their
// own event loop.
#include "ui/qt_seams.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <functional>

#include "core/seams.h"

namespace {

// Calls f with the popup menu or modal box once it is up.
void whenShown(std::function<void(QWidget*)> f) {
    QTimer::singleShot(10, [f] {
        QWidget* w = QApplication::activePopupWidget();
        if (w || (w = QApplication::activeModalWidget()))
            f(w);
        else
            whenShown(f);
    });
}

TEST(QtMessageBoxes, ShowTheTextUnderItsTitleAndMapTheButtonPressed) {
    const struct {
        QString title;
        core::MsgButtons buttons;
        QMessageBox::StandardButton press;  // NoButton: close with Escape
        core::MsgAnswer expected;
    } cases[] = {{"Заявка", core::MsgButtons::YesNo, QMessageBox::Yes, core::MsgAnswer::Yes},
                 {"Заявка", core::MsgButtons::YesNo, QMessageBox::No, core::MsgAnswer::No},
                 {"Заявка", core::MsgButtons::YesNo, QMessageBox::NoButton, core::MsgAnswer::No},
                 {QString(), core::MsgButtons::Ok, QMessageBox::Ok, core::MsgAnswer::Ok}};
    for (const auto& c : cases) {
        SCOPED_TRACE(int(&c - cases));
        QString seen;
        whenShown([&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            seen = box->windowTitle() + ": " + box->text() + (box->icon() == QMessageBox::Question  ? " (?)"
                                                          : box->icon() == QMessageBox::Warning ? " (!)"
                                                                                                : " (-)");
            if (c.press == QMessageBox::NoButton)
                QTest::keyClick(box, Qt::Key_Escape);
            else
                box->button(c.press)->click();
        });
        EXPECT_EQ(ui::QtMessageBoxes().show({"Неверный диапазон!", c.title, c.buttons}), c.expected);
        EXPECT_EQ(seen, (c.title.isEmpty() ? core::applicationTitle() : c.title) + ": Неверный диапазон!" +
                            (c.buttons == core::MsgButtons::YesNo ? " (?)" : " (!)"));
    }
}

TEST(QtPopupMenus, ReturnsTheChosenIdOrZero) {
    ui::QtPopupMenus menus;
    QStringList seen;
    whenShown([&](QWidget* w) {
        auto* menu = qobject_cast<QMenu*>(w);
        for (QAction* a : menu->actions()) seen << a->text();
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(menu->actions().at(1)).center());
    });
    EXPECT_EQ(menus.track({{1, "Открыть заказ"}, {2, "Удалить заказ"}}, QPoint(50, 50)), 2);
    EXPECT_EQ(seen, (QStringList{"Открыть заказ", "Удалить заказ"}));

    whenShown([](QWidget* menu) { menu->close(); });
    EXPECT_EQ(menus.track({{1, "Добавить в корзину"}}, QPoint(10, 10)), 0);
}

}  // namespace
