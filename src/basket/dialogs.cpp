#include "basket/dialogs.h"

#include <QApplication>
#include <QScreen>
#include <algorithm>

#include "global/global.h"
#include "basket/basket.h"
#include "basket/frmEd.h"

namespace basket_dialogs {

void registerDialogs() {
    Global::Dialogs& d = Global::dialogs();
    d.showBasket = [] { showBasket(); };
    d.showLineEditor = [](bool onAdd, const std::function<QPoint(QSize)>& place) {
        showLineEditor(onAdd, place);
    };
}

void showBasket(QWidget* parent) {
    QWidget* owner = parent ? parent : QApplication::activeWindow();
    basket dialog(owner);
    // Centred over the window it belongs to, within the screen, and no larger than it.
    if (const QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen()) {
        const QRect room = screen->availableGeometry();
        // The window system's frame, as it frames the owner.
        const QSize frame = owner ? owner->frameGeometry().size() - owner->size() : QSize(0, 0);
        dialog.resize(dialog.size().boundedTo(room.size() - frame).expandedTo(dialog.minimumSize()));
        QRect place(QPoint(0, 0), dialog.size() + frame);
        place.moveCenter(owner ? owner->frameGeometry().center() : room.center());
        place.moveRight(std::min(place.right(), room.right()));
        place.moveBottom(std::min(place.bottom(), room.bottom()));
        place.moveLeft(std::max(place.left(), room.left()));
        place.moveTop(std::max(place.top(), room.top()));
        dialog.move(place.topLeft());
    }
    dialog.exec();
}

void showLineEditor(bool onAdd, const std::function<QPoint(QSize)>& place, QWidget* parent) {
    frmEd editor(parent ? parent : QApplication::activeWindow());
    editor.onAdd = onAdd;
    if (place) editor.move(place(editor.size()));
    editor.exec();
}

}  // namespace basket_dialogs
