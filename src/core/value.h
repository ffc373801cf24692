#pragma once
// The field value: what a database field yields and what the order object's fields
// take and return. A small tagged value with the ordinary conversions between its kinds.

#include <QString>
#include <cstdint>
#include <variant>

namespace core {

class Value {
public:
    enum class Kind { Empty, Null, Int16, Int32, Double, Bool, Text };

    Value() = default;  // empty
    static Value null();
    static Value int16(int16_t v);
    static Value int32(int32_t v);
    static Value dbl(double v);
    static Value boolean(bool v);
    static Value text(const QString& v);
    // Convenience constructors for literals in calling code and tests.
    Value(int v);             // NOLINT: 32-bit integer
    Value(double v);          // NOLINT
    Value(const QString& v);  // NOLINT
    Value(const char* v);     // NOLINT: UTF-8 text

    Kind kind() const { return kind_; }
    bool isEmpty() const { return kind_ == Kind::Empty; }
    bool isNull() const { return kind_ == Kind::Null; }
    bool isNumber() const;  // Int16, Int32, Double or Bool
    bool isText() const { return kind_ == Kind::Text; }

    // Conversions. Numbers held as text are read with the operator's decimal
    // separator or with a point; a text that is not a number, a null, or a value out
    // of range throws ConversionError. Empty converts to 0 / "" / false.
    // Whole-number conversions of a fraction round half to even.
    int16_t toInt16() const;
    int32_t toInt32() const;
    double toDouble() const;
    bool toBool() const;
    // Text form: numbers in the operator's locale (shortest form, no group separators),
    // booleans "True"/"False", null and empty as "".
    QString toText() const;

    // The raw held values, for callers that switch on kind().
    int32_t rawInt() const;  // Int16, Int32, Bool (-1/0)
    double rawDouble() const { return d_; }
    const QString& rawText() const { return s_; }

    bool operator==(const Value& o) const;

private:
    static Value make(Kind k, int32_t i = 0, double d = 0.0, const QString& s = QString());
    Kind kind_ = Kind::Empty;
    int32_t i_ = 0;
    double d_ = 0.0;
    QString s_;
};

// Parses a number typed by a person or stored as text: the operator's locale first
// (without group separators), then a point as the decimal separator. Returns false
// when the text is not a number.
bool parseNumber(const QString& text, double* out);

// Shortest round-trip text of a double with the given decimal separator, no exponent
// for ordinary magnitudes, a whole number without a fraction ("5", "0.5", "1234.5").
QString doubleToText(double v, QChar decimalPoint = QLatin1Char('.'));

}  // namespace core
