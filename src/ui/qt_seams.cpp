#include "ui/qt_seams.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>

namespace ui {

core::MsgAnswer QtMessageBoxes::show(const core::MessageRequest& request) {
    const bool yesNo = request.buttons == core::MsgButtons::YesNo;
    const QString title = request.title.isEmpty() ? core::applicationTitle() : request.title;
    // Owned by the active window so that it stays on top of it and centred over it.
    const QMessageBox::Icon icon = yesNo                                            ? QMessageBox::Question
                                   : request.kind == core::MsgKind::Information ? QMessageBox::Information
                                                                                : QMessageBox::Warning;
    QMessageBox box(icon, title, request.text,
                    yesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setDefaultButton(yesNo ? QMessageBox::Yes : QMessageBox::Ok);
    switch (box.exec()) {
        case QMessageBox::Ok:
            return core::MsgAnswer::Ok;
        case QMessageBox::Yes:
            return core::MsgAnswer::Yes;
        case QMessageBox::No:
            return core::MsgAnswer::No;
        default:
            return core::MsgAnswer::Closed;
    }
}

int QtPopupMenus::track(const QList<core::MenuItem>& items, const QPoint& screenPos) {
    QMenu menu(QApplication::activeWindow());
    for (const core::MenuItem& item : items) menu.addAction(item.text)->setData(item.id);
    QAction* chosen = menu.exec(screenPos);
    return chosen ? chosen->data().toInt() : 0;
}

void installQtSeams() {
    static QtMessageBoxes boxes;
    static QtPopupMenus menus;
    core::installMessageBoxes(&boxes);
    core::installPopupMenus(&menus);
}

}  // namespace ui
