#include "app/application.h"

#include "core/errors.h"
#include "core/seams.h"

#include <cstdio>

namespace app {

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const core::Error& e) {
        try {
            core::showMessage(e.message());
        } catch (...) {
            std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        }
    } catch (const std::exception& e) {
        try {
            core::showMessage(QString::fromLocal8Bit(e.what()));
        } catch (...) {
            std::fprintf(stderr, "%s\n", e.what());
        }
    } catch (...) {
        std::fprintf(stderr, "unknown error in an event handler\n");
    }
    return false;
}

}  // namespace app
