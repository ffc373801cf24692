#include "core/helpers.h"

#include <QLocale>
#include <QtGlobal>
#include <cmath>
#include <cstdio>

namespace Global {
namespace {

// A display pattern "0.0##": how many decimals it can show and how many it always shows.
struct Pattern {
    int maxDecimals;
    int minDecimals;
};

// Writes a non-negative finite number with at most maxDecimals decimals, rounding half
// away from zero on its decimal digits. The number is first written with 15 significant
// digits, so that 2.25 (stored as 2.2499999...) rounds to 2.3 like the figure the operator
// typed, not like its binary neighbour.
QString formatFixed(double a, const Pattern& p) {
    constexpr int kSignificant = 15;
    QString digits(kSignificant, QLatin1Char('0'));
    int intLen = 1;  // digits before the decimal point
    if (a != 0.0) {
        const QString e = QString::number(a, 'e', kSignificant - 1);  // "d.dddddddddddddde+XX"
        const qsizetype ePos = e.indexOf(QLatin1Char('e'));
        digits = e.left(1) + e.mid(2, ePos - 2);
        intLen = e.mid(ePos + 1).toInt() + 1;
    }

    // Round to the digits the pattern can show.
    const int keep = intLen + p.maxDecimals;
    if (keep < 0) {
        digits = QString(kSignificant, QLatin1Char('0'));
        intLen = 1;
    } else if (keep < digits.size()) {
        const bool up = digits.at(keep) >= QLatin1Char('5');
        digits.truncate(keep);
        if (up) {
            int i = keep - 1;
            while (i >= 0 && digits.at(i) == QLatin1Char('9')) {
                digits[i] = QLatin1Char('0');
                --i;
            }
            if (i >= 0) {
                digits[i] = QChar(digits.at(i).unicode() + 1);
            } else {
                digits.prepend(QLatin1Char('1'));
                ++intLen;
            }
        }
    }

    // Place the decimal point.
    QString intPart;
    QString frac;
    if (intLen <= 0) {
        intPart = QStringLiteral("0");
        frac = QString(-intLen, QLatin1Char('0')) + digits;
    } else if (intLen >= digits.size()) {
        intPart = digits + QString(intLen - digits.size(), QLatin1Char('0'));
    } else {
        intPart = digits.left(intLen);
        frac = digits.mid(intLen);
    }
    while (intPart.size() > 1 && intPart.startsWith(QLatin1Char('0')))
        intPart.remove(0, 1);
    frac = frac.left(p.maxDecimals);
    while (frac.size() < p.minDecimals)
        frac += QLatin1Char('0');
    while (frac.size() > p.minDecimals && frac.endsWith(QLatin1Char('0')))
        frac.chop(1);

    return frac.isEmpty() ? intPart : intPart + QLocale().decimalPoint() + frac;
}

}  // namespace

core::Value FormatValue(const core::Value& value) {
    double v = 0.0;
    if (value.isNumber() || value.isText()) {
        v = value.toDouble();  // a text that is no number fails like the caller's own conversion would
    } else {
        return value;  // null or empty: nothing to show as a number
    }
    if (!std::isfinite(v) || !(v >= 0))
        return value;
    // Whole prices, the common case, show as they are: nothing to round below 10^15.
    if (v >= 10 && v < 1e15 && v == std::trunc(v)) return core::Value::text(QString::number(qint64(v)));

    Pattern p;
    if (v >= 10)
        p = {0, 0};  // "#"
    else if (v >= 1)
        p = {1, 1};  // "0.0"
    else if (v >= 0.1)
        p = {2, 1};  // "0.0#"
    else if (v >= 0.01)
        p = {3, 1};  // "0.0##"
    else if (v >= 0.001)
        p = {4, 1};  // "0.0###"
    else
        p = {6, 1};  // "0.0#####"
    return core::Value::text(formatFixed(v == 0.0 ? 0.0 : v, p));
}

QString ValueOrDefault(const core::Value& value, const core::Value& fallback) {
    const QString fallbackText = fallback.toText();
    if (value.isNull())
        return fallbackText;
    const QString text = value.toText();
    if (value.isNumber())
        return text;
    return text.isEmpty() ? fallbackText : text;
}

void ReportError(const QString& message) {
    // Silent for the operator by design; a developer can switch the trace on.
    if (qEnvironmentVariableIsSet("ZELVORIN_LOG"))
        std::fprintf(stderr, "zelvorin: %s\n", message.toLocal8Bit().constData());
}

QString CurrentUserName() { return QString(); }

}  // namespace Global
