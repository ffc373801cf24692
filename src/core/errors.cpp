#include "core/errors.h"

#include "core/guard.h"
#include "core/seams.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace core {

QString errorText(const std::exception& e) {
    if (const auto* err = dynamic_cast<const Error*>(&e)) return err->message();
    return QString::fromLocal8Bit(e.what());
}

QString systemErrorText(int err) {
    switch (err) {
    case ENOSPC: return QStringLiteral("на диске нет места");
    case EDQUOT: return QStringLiteral("исчерпана дисковая квота");
    case EROFS: return QStringLiteral("диск доступен только для чтения");
    case EACCES:
    case EPERM: return QStringLiteral("нет прав доступа");
    case EIO: return QStringLiteral("ошибка ввода-вывода");
    case ENOENT: return QStringLiteral("нет такого файла или папки");
    case EISDIR: return QStringLiteral("это папка, а не файл");
    case ENOTDIR: return QStringLiteral("часть пути — не папка");
    case EMFILE:
    case ENFILE: return QStringLiteral("открыто слишком много файлов");
    case ENAMETOOLONG: return QStringLiteral("слишком длинное имя");
    case ELOOP: return QStringLiteral("ссылки указывают друг на друга");
    case EFBIG: return QStringLiteral("файл превысил допустимый размер");
    default: return QString::fromLocal8Bit(std::strerror(err));
    }
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
