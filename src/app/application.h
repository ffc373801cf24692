#pragma once
// The application object of the windowed modes. It is the last guard between an event
// handler and Qt's event loop: an error no handler trapped ends that operation with a
// message box, and the program carries on.

#include <QApplication>

namespace app {

class GuardedApplication final : public QApplication {
public:
    GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace app
