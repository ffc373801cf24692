#pragma once
// The module Global: the shared state every window uses (Cn, CurrentOrder,
// CatalogueOpen) and the shared operations that reach the catalogue's basket
// indicator and the modal dialogs through interfaces, never through window classes.

#include "core/helpers.h"
#include "order/clsZak.h"
#include "store/connection.h"

#include <QPoint>
#include <QSize>
#include <functional>
#include <memory>

class QGroupBox;
namespace ui {
class LabelArray;
}

namespace Global {

// The one connection. Throws core::DbError when none has been set.
store::Connection& Cn();
bool hasCn();
// Installs the connection (the main window does this at start-up; tests install a
// store of their own). Returns the previous one.
std::unique_ptr<store::Connection> setCn(std::unique_ptr<store::Connection> cn);

// The one order object, created (and connected to Cn) on first use.
clsZak& CurrentOrder();

// True exactly while the catalogue window is loaded (0 false, -1 true).
extern int16_t CatalogueOpen;

// What RefreshBasketIndicator drives: the catalogue's pictures b_emp / b_full and
// the count label c_bas. The catalogue registers itself while it is loaded.
class BasketIndicator {
public:
    virtual ~BasketIndicator() = default;
    // full: show b_full, hide b_emp, show c_bas; otherwise the reverse with c_bas hidden.
    virtual void setBasketIndicator(bool full, const QString& countCaption) = 0;
};
void registerBasketIndicator(BasketIndicator* indicator);  // nullptr unregisters

void RefreshBasketIndicator();
void ClearBasket();

// Fills a label array with the product types (typeId 0) or the groups of one type
// and sizes the frame around them.
void LoadTypeGroupLabels(int16_t& typeId, ui::LabelArray& labels, QGroupBox& frame);

// The modal dialogs, opened through this seam so that the catalogue and the order
// list need not know the basket's classes, and tests can replace them.
struct Dialogs {
    // Shows the basket window modally; returns when it is closed.
    std::function<void()> showBasket;
    // Shows the line editor modally on CurrentOrder's current line. place() gets the
    // editor's size and returns its screen position.
    std::function<void(bool onAdd, const std::function<QPoint(QSize)>& place)> showLineEditor;
};
Dialogs& dialogs();

}  // namespace Global
