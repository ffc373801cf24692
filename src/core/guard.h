#pragma once
// The one guard of event handlers: whatever a handler does not trap itself ends the
// handler and is shown to the operator, and never unwinds through Qt's event loop.

#include <QString>
#include <exception>

#include "core/errors.h"

namespace core {

// Shows the text to the operator; when the message box itself fails, stderr is all
// that is left.
void tellOperator(const QString& text) noexcept;

// Runs f. What it throws is shown as prefix + the error's text, after onError (if
// given) has run. Returns false when f threw.
template <class F, class G>
bool guarded(F&& f, const QString& prefix, G&& onError) noexcept {
    QString text;
    try {
        f();
        return true;
    } catch (const std::exception& e) {
        text = errorText(e);
    } catch (...) {
        text = unexpectedErrorText();
    }
    try {
        onError();
    } catch (...) {
        // Clean-up after a failure is best effort; the failure itself is still told.
    }
    tellOperator(prefix + text);
    return false;
}

template <class F>
bool guarded(F&& f, const QString& prefix = QString()) noexcept {
    return guarded(static_cast<F&&>(f), prefix, [] {});
}

}  // namespace core
