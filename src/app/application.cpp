#include "app/application.h"

#include "core/guard.h"

namespace app {

bool deliverGuarded(const std::function<bool()>& deliver) {
    try {
        return deliver();
    } catch (const std::exception& e) {
        core::tellOperator(core::errorText(e));
    } catch (...) {
        core::tellOperator(core::unexpectedErrorText());
    }
    return false;
}

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
    return deliverGuarded([&] { return QApplication::notify(receiver, event); });
}

}  // namespace app
