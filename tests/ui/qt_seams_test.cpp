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

// Runs f on the modal box or popup once it is up.
template <typename W>
void whenShown(std::function<void(W*)> f) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, f] {
        QWidget* top =
            std::is_same_v<W, QMenu> ? QApplication::activePopupWidget() : QApplication::activeModalWidget();
        if (auto* w = qobject_cast<W*>(top)) {
            timer->stop();
            timer->deleteLater();
            f(w);
        }
    });
    timer->start();
}

struct BoxCase {
    const char* name;
    core::MsgButtons buttons;
    QMessageBox::StandardButton press;  // NoButton: close with Escape
    core::MsgAnswer expected;
};

class QtMessageBoxAnswers : public ::testing::TestWithParam<BoxCase> {};

TEST_P(QtMessageBoxAnswers, MapsTheButtonPressed) {
    const BoxCase c = GetParam();
    QString seenTitle, seenText;
    int buttonCount = 0;
    whenShown<QMessageBox>([&](QMessageBox* box) {
        seenTitle = box->windowTitle();
        seenText = box->text();
        buttonCount = box->buttons().size();
        if (c.press == QMessageBox::NoButton)
            QTest::keyClick(box, Qt::Key_Escape);
        else
            box->button(c.press)->click();
    });
    ui::QtMessageBoxes boxes;
    const core::MsgAnswer a = boxes.show({"Неверный диапазон!", "Заявка", c.buttons});
    EXPECT_EQ(a, c.expected);
    EXPECT_EQ(seenTitle, "Заявка");
    EXPECT_EQ(seenText, "Неверный диапазон!");
    EXPECT_EQ(buttonCount, c.buttons == core::MsgButtons::Ok ? 1 : 2);
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, QtMessageBoxAnswers,
    ::testing::Values(BoxCase{"Ok", core::MsgButtons::Ok, QMessageBox::Ok, core::MsgAnswer::Ok},
                      BoxCase{"Yes", core::MsgButtons::YesNo, QMessageBox::Yes, core::MsgAnswer::Yes},
                      BoxCase{"No", core::MsgButtons::YesNo, QMessageBox::No, core::MsgAnswer::No},
                      BoxCase{"EscapeOnYesNo", core::MsgButtons::YesNo, QMessageBox::NoButton,
                              core::MsgAnswer::No}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(QtMessageBoxes, WithoutATitleTheApplicationsTitleIsUsed) {
    QString seenTitle;
    whenShown<QMessageBox>([&](QMessageBox* box) {
        seenTitle = box->windowTitle();
        box->button(QMessageBox::Ok)->click();
    });
    ui::QtMessageBoxes().show({"Готово", QString(), core::MsgButtons::Ok});
    EXPECT_EQ(seenTitle, core::applicationTitle());
}

TEST(QtPopupMenus, ReturnsTheChosenIdOrZero) {
    ui::QtPopupMenus menus;
    QStringList seen;
    whenShown<QMenu>([&](QMenu* menu) {
        for (QAction* a : menu->actions()) seen << a->text();
        QAction* second = menu->actions().at(1);
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(second).center());
    });
    EXPECT_EQ(menus.track({{1, "Открыть заказ"}, {2, "Удалить заказ"}}, QPoint(50, 50)), 2);
    EXPECT_EQ(seen, (QStringList{"Открыть заказ", "Удалить заказ"}));

    whenShown<QMenu>([](QMenu* menu) { menu->close(); });
    EXPECT_EQ(menus.track({{1, "Добавить в корзину"}}, QPoint(10, 10)), 0);
}

TEST(QtSeams, InstallReplacesTheDefaultsAndCanBeUndone) {
    core::MessageBoxes* before = &core::messageBoxes();
    core::PopupMenus* beforeMenus = &core::popupMenus();
    ui::installQtSeams();
    EXPECT_NE(dynamic_cast<ui::QtMessageBoxes*>(&core::messageBoxes()), nullptr);
    EXPECT_NE(dynamic_cast<ui::QtPopupMenus*>(&core::popupMenus()), nullptr);
    core::installMessageBoxes(before);
    core::installPopupMenus(beforeMenus);
}

}  // namespace
