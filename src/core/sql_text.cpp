#include "core/sql_text.h"

#include "core/value.h"

namespace core::sql {

QString escaped(const QString& text) {
    QString t = text;
    t.replace(QLatin1Char('\''), QStringLiteral("''"));
    return t;
}

QString literal(const QString& text) { return QLatin1Char('\'') + escaped(text) + QLatin1Char('\''); }

QString number(double value) { return doubleToText(value, QLatin1Char('.')); }

}  // namespace core::sql
