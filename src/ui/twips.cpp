#include "ui/twips.h"

#include <QGuiApplication>
#include <QScreen>

namespace ui {
namespace {
double g_pinnedDpi = 0;
}

double logicalDpi() {
    if (g_pinnedDpi > 0) return g_pinnedDpi;
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (QScreen* s = app->primaryScreen()) return s->logicalDotsPerInchX();
    }
    return 96.0;
}

void setLogicalDpiForTests(double dpi) {
    g_pinnedDpi = dpi;
}

}  // namespace ui
