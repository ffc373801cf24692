#include "core/errors.h"

#include "core/guard.h"
#include "core/seams.h"

#include <cstdio>

namespace core {

QString errorText(const std::exception& e) {
    if (const auto* err = dynamic_cast<const Error*>(&e)) return err->message();
    return QString::fromLocal8Bit(e.what());
}

QString unexpectedErrorText() { return QStringLiteral("Непредвиденная ошибка."); }

void tellOperator(const QString& text) noexcept {
    try {
        showMessage(text);
    } catch (...) {
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    }
}

}  // namespace core
