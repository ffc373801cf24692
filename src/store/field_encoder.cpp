// Writing SQL values into the bytes of a record, field kind by field kind.
#include <QDate>
#include <cstring>

#include "store/engine_table.h"

namespace store {

namespace {

QString where(const SqlEngine::Table& t, const DbfField& f) {
    return QStringLiteral("Таблица %1, поле %2: ").arg(t.name, f.name);
}

void putRight(char* dst, int width, const std::string& s) {
    std::memset(dst, ' ', size_t(width));
    std::memcpy(dst + (width - int(s.size())), s.data(), s.size());
}

QString valueText(sqlite3_value* v) {
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(v)), sqlite3_value_bytes(v));
}

}  // namespace

QString encodeField(const SqlEngine::Table& t, const DbfField& f, sqlite3_value* v, char* dst) {
    const int type = sqlite3_value_type(v);
    const bool binary = f.kind == FieldKind::BinInt || f.kind == FieldKind::Currency ||
                        f.kind == FieldKind::BinDouble || f.kind == FieldKind::DateTime;
    if (type == SQLITE_NULL) {
        std::memset(dst, binary ? 0 : ' ', size_t(f.length));
        return QString();
    }
    if (type == SQLITE_BLOB && f.kind != FieldKind::Text)
        return where(t, f) + QStringLiteral("двоичное значение сохранить нельзя.");
    switch (f.kind) {
        case FieldKind::Text: {
            const char* txt = reinterpret_cast<const char*>(sqlite3_value_text(v));
            int n = sqlite3_value_bytes(v);
            while (n > 0 && txt[n - 1] == ' ') --n;  // trailing blanks are padding in the file anyway
            std::string bytes;
            QString bad;
            if (!t.data->file().codePage().encode(txt, size_t(n), bytes, &bad))
                return where(t, f) +
                       QStringLiteral("символ %1 нельзя сохранить в кодовой странице таблицы %2.")
                           .arg(bad, t.data->file().codePage().name());
            if (int(bytes.size()) > f.length)
                return where(t, f) + QStringLiteral("текст длиной %1 знаков, а поле вмещает %2.")
                                         .arg(QString::fromUtf8(txt, n).size())
                                         .arg(f.length);
            std::memset(dst, ' ', size_t(f.length));
            std::memcpy(dst, bytes.data(), bytes.size());
            return QString();
        }
        case FieldKind::Number:
        case FieldKind::Decimal: {
            bool isInt = false;
            int64_t i = 0;
            double d = 0;
            if (type == SQLITE_INTEGER) {
                isInt = true;
                i = sqlite3_value_int64(v);
            } else if (type == SQLITE_FLOAT) {
                d = sqlite3_value_double(v);
            } else {
                const QByteArray s = valueText(v).trimmed().toUtf8();
                const dbf::NumberRead r = dbf::readNumber(s.constData(), size_t(s.size()), i, d);
                if (r == dbf::NumberRead::Null) {
                    if (s.isEmpty()) {
                        std::memset(dst, ' ', size_t(f.length));
                        return QString();
                    }
                    return where(t, f) + QStringLiteral("«%1» — не число.").arg(valueText(v));
                }
                isInt = r == dbf::NumberRead::Integer;
            }
            std::string s;
            if (f.kind == FieldKind::Number) {
                if (!isInt) {
                    bool ok = false;
                    i = dbf::roundHalfEven(d, &ok);
                    if (!ok) return where(t, f) + QStringLiteral("число %1 сохранить нельзя.").arg(d);
                }
                s = std::to_string(i);
                if (int(s.size()) > f.length)
                    return where(t, f) + QStringLiteral("число %1 не помещается в %2 цифр поля.")
                                             .arg(QString::fromStdString(s))
                                             .arg(f.length);
            } else {
                if (isInt) d = double(i);
                if (!dbf::formatDouble(d, f.length, s))
                    return where(t, f) + QStringLiteral("число %1 не помещается в %2 знаков поля.")
                                             .arg(d, 0, 'g', 17)
                                             .arg(f.length);
            }
            putRight(dst, f.length, s);
            return QString();
        }
        case FieldKind::Date: {
            const QString s = valueText(v).trimmed();
            if (s.isEmpty()) {
                std::memset(dst, ' ', 8);
                return QString();
            }
            QDate date;
            for (const char* fmt : {"yyyy-MM-dd", "yyyyMMdd", "yyyy.MM.dd"}) {
                date = QDate::fromString(s, QLatin1String(fmt));
                if (date.isValid()) break;
            }
            if (!date.isValid() || date.year() < 0 || date.year() > 9999)
                return where(t, f) + QStringLiteral("«%1» — не дата (ГГГГ-ММ-ДД).").arg(s);
            const QByteArray b = date.toString(QStringLiteral("yyyyMMdd")).toLatin1();
            std::memcpy(dst, b.constData(), 8);
            return QString();
        }
        case FieldKind::Logical: {
            if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
                *dst = sqlite3_value_double(v) != 0.0 ? 'T' : 'F';
                return QString();
            }
            const QString s = valueText(v).trimmed().toUpper();
            if (s.isEmpty())
                *dst = ' ';
            else if (s == QLatin1String("T") || s == QLatin1String("Y") || s == QLatin1String("TRUE") ||
                     s == QLatin1String("1") || s == QLatin1String("-1"))
                *dst = 'T';
            else if (s == QLatin1String("F") || s == QLatin1String("N") || s == QLatin1String("FALSE") ||
                     s == QLatin1String("0"))
                *dst = 'F';
            else
                return where(t, f) + QStringLiteral("«%1» — не логическое значение.").arg(valueText(v));
            return QString();
        }
        default:
            return where(t, f) +
                   QStringLiteral("поля типа %1 эта программа не записывает.").arg(QLatin1Char(f.type));
    }
}

}  // namespace store
