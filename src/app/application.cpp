#include "app/application.h"

#include "core/guard.h"

namespace app {

bool deliverGuarded(const std::function<bool()>& deliver) {
    bool handled = false;
    core::guarded([&] { handled = deliver(); });
    return handled;
}

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
    return deliverGuarded([&] { return QApplication::notify(receiver, event); });
}

}  // namespace app
