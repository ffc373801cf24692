#pragma once
// Keyboard checks shared by the window tests: the mnemonic letters of a window, and the
// named control that holds the focus.
#include <QApplication>
#include <QLabel>
#include <QPushButton>

namespace testsupport {

// Every button of the window without a letter of its own, and every letter that two of its
// buttons or captions share; empty when the keyboard reaches each one.
inline QStringList mnemonicFaults(const QWidget& window) {
    QStringList faults, seen;
    for (QWidget* c : window.findChildren<QWidget*>()) {
        auto* label = qobject_cast<QLabel*>(c);
        const bool button = qobject_cast<QPushButton*>(c);
        if (!button && !(label && label->buddy())) continue;
        const QString text = button ? static_cast<QPushButton*>(c)->text() : label->text();
        const QString key = QKeySequence::mnemonic(text).toString();
        if (key.isEmpty() && button) faults << "без буквы: " + text;
        if (!key.isEmpty() && seen.contains(key)) faults << "дважды " + key + ": " + text;
        seen << key;
    }
    return faults;
}

// The object name of the focused control.
inline QString focusedName() { return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : ""; }

}  // namespace testsupport
