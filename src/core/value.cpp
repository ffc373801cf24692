#include "core/value.h"

#include <QLocale>
#include <cmath>
#include <limits>

#include "core/errors.h"

namespace core {

Value Value::make(Kind k, int32_t i, double d, const QString& s) {
    Value v;
    v.kind_ = k;
    v.i_ = i;
    v.d_ = d;
    v.s_ = s;
    return v;
}
Value Value::null() { return make(Kind::Null); }
Value Value::int16(int16_t x) { return make(Kind::Int16, x); }
Value Value::int32(int32_t x) { return make(Kind::Int32, x); }
Value Value::dbl(double x) { return make(Kind::Double, 0, x); }
Value Value::boolean(bool x) { return make(Kind::Bool, x ? -1 : 0); }
Value Value::text(const QString& x) { return make(Kind::Text, 0, 0.0, x); }
Value::Value(int v) : kind_(Kind::Int32), i_(v) {}
Value::Value(double v) : kind_(Kind::Double), d_(v) {}
Value::Value(const QString& v) : kind_(Kind::Text), s_(v) {}
Value::Value(const char* v) : kind_(Kind::Text), s_(QString::fromUtf8(v)) {}

bool Value::isNumber() const {
    return kind_ == Kind::Int16 || kind_ == Kind::Int32 || kind_ == Kind::Double || kind_ == Kind::Bool;
}

int32_t Value::rawInt() const { return i_; }

bool parseNumber(const QString& text, double* out) {
    const QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    bool ok = false;
    QLocale loc;
    loc.setNumberOptions(QLocale::RejectGroupSeparator);
    double d = loc.toDouble(t, &ok);
    if (!ok) {
        QLocale c = QLocale::c();
        c.setNumberOptions(QLocale::RejectGroupSeparator);
        d = c.toDouble(t, &ok);
    }
    if (!ok || !std::isfinite(d))
        return false;
    *out = d;
    return true;
}

QString doubleToText(double v, QChar decimalPoint) {
    if (v == 0.0)
        return QStringLiteral("0");
    QString s = QString::number(v, 'g', QLocale::FloatingPointShortest);
    if (s.contains(QLatin1Char('e'))) {
        // Spell ordinary magnitudes out; keep the exponent only for extreme ones.
        const double a = std::fabs(v);
        // Fixed notation with the shortest digits: a fixed count of decimals would cut
        // the significant digits of small numbers and invent some for large ones.
        if (a >= 1e-9 && a < 1e15)
            s = QString::number(v, 'f', QLocale::FloatingPointShortest);
    }
    if (decimalPoint != QLatin1Char('.'))
        s.replace(QLatin1Char('.'), decimalPoint);
    return s;
}

namespace {

ConversionError nullError(const char* what) {
    return ConversionError(
        QStringLiteral("Пустое значение (NULL) нельзя преобразовать в %1.").arg(QString::fromUtf8(what)));
}

ConversionError notNumber(const QString& text) { return ConversionError(QStringLiteral("«%1» — не число.").arg(text)); }

double roundHalfEven(double d) { return std::nearbyint(d); }  // default rounding mode is to-nearest-even

int64_t toWhole(const Value& v, int64_t lo, int64_t hi, const char* what) {
    double d = 0;
    switch (v.kind()) {
    case Value::Kind::Empty:
        return 0;
    case Value::Kind::Null:
        throw nullError(what);
    case Value::Kind::Int16:
    case Value::Kind::Int32:
    case Value::Kind::Bool:
        d = v.rawInt();
        break;
    case Value::Kind::Double:
        d = v.rawDouble();
        break;
    case Value::Kind::Text:
        if (!parseNumber(v.rawText(), &d))
            throw notNumber(v.rawText());
        break;
    }
    d = roundHalfEven(d);
    if (!std::isfinite(d) || d < static_cast<double>(lo) || d > static_cast<double>(hi))
        throw ConversionError(QStringLiteral("Число %1 не помещается в %2.").arg(v.toText(), QString::fromUtf8(what)));
    return static_cast<int64_t>(d);
}

}  // namespace

int16_t Value::toInt16() const {
    return static_cast<int16_t>(
        toWhole(*this, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max(), "целое из 16 бит"));
}

int32_t Value::toInt32() const {
    return static_cast<int32_t>(
        toWhole(*this, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), "целое из 32 бит"));
}

double Value::toDouble() const {
    switch (kind_) {
    case Kind::Empty:
        return 0.0;
    case Kind::Null:
        throw nullError("число");
    case Kind::Int16:
    case Kind::Int32:
    case Kind::Bool:
        return i_;
    case Kind::Double:
        return d_;
    case Kind::Text: {
        double d = 0;
        if (!parseNumber(s_, &d))
            throw notNumber(s_);
        return d;
    }
    }
    return 0.0;
}

bool Value::toBool() const {
    switch (kind_) {
    case Kind::Empty:
        return false;
    case Kind::Null:
        throw nullError("логическое значение");
    case Kind::Int16:
    case Kind::Int32:
    case Kind::Bool:
        return i_ != 0;
    case Kind::Double:
        return d_ != 0.0;
    case Kind::Text: {
        const QString t = s_.trimmed();
        if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return true;
        if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
            return false;
        double d = 0;
        if (!parseNumber(t, &d))
            throw ConversionError(QStringLiteral("«%1» — не логическое значение.").arg(s_));
        return d != 0.0;
    }
    }
    return false;
}

QString Value::toText() const {
    switch (kind_) {
    case Kind::Empty:
    case Kind::Null:
        return QString();
    case Kind::Int16:
    case Kind::Int32:
        return QString::number(i_);
    case Kind::Bool:
        return i_ ? QStringLiteral("True") : QStringLiteral("False");
    case Kind::Double:
        return doubleToText(d_, QLocale().decimalPoint().at(0));
    case Kind::Text:
        return s_;
    }
    return QString();
}

bool Value::operator==(const Value& o) const {
    if (kind_ != o.kind_)
        return false;
    switch (kind_) {
    case Kind::Empty:
    case Kind::Null:
        return true;
    case Kind::Int16:
    case Kind::Int32:
    case Kind::Bool:
        return i_ == o.i_;
    case Kind::Double:
        return d_ == o.d_;
    case Kind::Text:
        return s_ == o.s_;
    }
    return false;
}

}  // namespace core
