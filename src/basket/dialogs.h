#pragma once
// Connects the basket window and the line editor to the Global::dialogs() seam, so
// the catalogue and the order list open them without knowing their classes.

#include <QPoint>
#include <QSize>
#include <functional>

class QWidget;

namespace basket_dialogs {

// Fills Global::dialogs().showBasket and .showLineEditor with the two functions below.
void registerDialogs();

// Opens the basket window modally on CurrentOrder and returns when it is closed. The
// window is centred on parent (by default the active window).
void showBasket(QWidget* parent = nullptr);

// Opens the line editor modally on CurrentOrder's current line; place, when given, gets
// the editor's size and returns its top-left corner on the screen.
void showLineEditor(bool onAdd, const std::function<QPoint(QSize)>& place = {}, QWidget* parent = nullptr);

}  // namespace basket_dialogs
