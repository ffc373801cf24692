#include "app/application.h"

#include "core/errors.h"
#include "core/seams.h"

#include <cstdio>

namespace app {
namespace {

void tell(const QString& text) {
    try {
        core::showMessage(text);
    } catch (...) {
        // The message box itself failed; stderr is all that is left.
        std::fprintf(stderr, "%s\n", qPrintable(text));
    }
}

}  // namespace

bool deliverGuarded(const std::function<bool()>& deliver) {
    try {
        return deliver();
    } catch (const core::Error& e) {
        tell(e.message());
    } catch (const std::exception& e) {
        tell(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        tell(QStringLiteral("Unknown error"));
    }
    return false;
}

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
    return deliverGuarded([&] { return QApplication::notify(receiver, event); });
}

}  // namespace app
