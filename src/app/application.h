#pragma once
// The application object of the windowed modes. It is the last guard between an event
// handler and Qt's event loop: an error no handler trapped ends that operation with a
// message box, and the program carries on.

#include <QApplication>
#include <functional>

namespace app {

// Runs one delivery of an event; an exception it lets out is shown to the operator
// through the message-box seam and the event counts as not handled.
bool deliverGuarded(const std::function<bool()>& deliver);

class GuardedApplication final : public QApplication {
public:
    GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace app
