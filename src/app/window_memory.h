#pragma once
// Window sizes and places kept from one run to the next: the main window as it was closed
// (maximised on the first start), and each child window of the frame under its own name.

#include <QRect>
#include <QString>
#include <memory>

class QMainWindow;
class QMdiSubWindow;
class QSettings;

namespace app {

// The program's settings file (an INI file in the user's configuration folder; tests
// move it with QSettings::setPath).
std::unique_ptr<QSettings> openSettings();

// Shows the main window at the size and place it was closed with, or maximised.
void showRemembered(QMainWindow& w);
void rememberMainWindow(const QMainWindow& w);

// Puts a child window where it was closed last time when that still lies within the
// frame's area, else at `fallback` (in the frame area's pixels).
void placeChild(QMdiSubWindow& sub, const QString& name, const QRect& fallback);
void rememberChild(const QMdiSubWindow& sub, const QString& name);

}  // namespace app
