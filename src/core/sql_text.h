#pragma once
// Values written into SQL statements: texts as character literals with every single
// quote doubled, numbers with a point whatever the operator's decimal separator is.

#include <QString>

namespace core::sql {

// The text with each single quote doubled, without the surrounding quotes.
QString escaped(const QString& text);

// The text as an SQL character literal: 'It''s'.
QString literal(const QString& text);

// A number with "." as decimal mark and no exponent for the magnitudes of prices and
// quantities.
QString number(double value);

}  // namespace core::sql
