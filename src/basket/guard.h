#pragma once
// The basket windows' handler guard: an error that a handler does not trap itself ends
// the handler and is shown to the operator, and never reaches Qt's event loop.

#include <QString>
#include <exception>

#include "core/errors.h"
#include "core/seams.h"

namespace basket_guard {

inline QString errorText(const std::exception& e) {
    if (const auto* err = dynamic_cast<const core::Error*>(&e)) return err->message();
    return QString::fromLocal8Bit(e.what());
}

// Runs f; shows what it throws in a message box with the application's title. Returns
// false when f failed.
template <class F>
bool guarded(F&& f) noexcept {
    try {
        try {
            f();
            return true;
        } catch (const std::exception& e) {
            core::showMessage(errorText(e));
        } catch (...) {
            core::showMessage(QStringLiteral("Непредвиденная ошибка."));
        }
    } catch (...) {
        // The message box itself failed: nothing more can be told to the operator.
    }
    return false;
}

}  // namespace basket_guard
