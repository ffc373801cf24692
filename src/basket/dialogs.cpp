#include "basket/dialogs.h"

#include <QApplication>

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
    basket dialog(parent ? parent : QApplication::activeWindow());
    dialog.exec();
}

void showLineEditor(bool onAdd, const std::function<QPoint(QSize)>& place, QWidget* parent) {
    frmEd editor(parent ? parent : QApplication::activeWindow());
    editor.onAdd = onAdd;
    if (place) editor.move(place(editor.size()));
    editor.exec();
}

}  // namespace basket_dialogs
