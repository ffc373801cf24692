#include "app/window_memory.h"

#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QSettings>

namespace app {

std::unique_ptr<QSettings> openSettings() {
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("zelvorin"),
                                       QStringLiteral("zelvorin"));
}

void showRemembered(QMainWindow& w) {
    const QByteArray geometry = openSettings()->value(QStringLiteral("main/geometry")).toByteArray();
    if (geometry.isEmpty() || !w.restoreGeometry(geometry)) {
        // Filling the screen first, for a display without a window manager to maximise it.
        if (const QScreen* screen = w.screen()) w.setGeometry(screen->availableGeometry());
        w.showMaximized();
        return;
    }
    w.show();
}

void rememberMainWindow(const QMainWindow& w) {
    openSettings()->setValue(QStringLiteral("main/geometry"), w.saveGeometry());
}

void placeChild(QMdiSubWindow& sub, const QString& name, const QRect& fallback) {
    auto settings = openSettings();
    const QRect kept = settings->value(name + QStringLiteral("/geometry")).toRect();
    const QWidget* area = sub.mdiArea() ? sub.mdiArea()->viewport() : nullptr;
    // A place kept on a larger screen may no longer be reachable: its title bar must show.
    const bool usable = kept.isValid() && area && area->rect().contains(kept.topLeft()) &&
                        kept.top() + 20 <= area->height();
    sub.setGeometry(usable ? kept : fallback);
    if (settings->value(name + QStringLiteral("/maximized")).toBool()) sub.showMaximized();
}

void rememberChild(const QMdiSubWindow& sub, const QString& name) {
    auto settings = openSettings();
    const bool maximized = sub.isMaximized();
    settings->setValue(name + QStringLiteral("/maximized"), maximized);
    if (!maximized && !sub.isMinimized()) settings->setValue(name + QStringLiteral("/geometry"), sub.geometry());
}

}  // namespace app
