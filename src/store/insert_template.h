#pragma once
// A single-row INSERT whose values are all literals, taken apart into a statement with
// parameters and the values to bind, so that a bulk load of thousands of such inserts is
// prepared once. The values bind exactly as SQLite reads the literals: whole numbers as
// 64-bit integers, other numbers converted by SQLite itself (the template casts their
// text to REAL), texts with their doubled quotes undone, NULL as null.

#include <QString>
#include <cstdint>
#include <string>
#include <vector>

namespace store {

struct InsertLiteral {
    enum class Kind { Null, Integer, Real, Text };
    Kind kind = Kind::Null;
    int64_t integer = 0;
    std::string text;  // UTF-8: the text of a Text, the literal of a Real
};

struct InsertTemplate {
    QString statement;  // "INSERT INTO T(A, B) VALUES(?,CAST(? AS REAL))"
    std::vector<InsertLiteral> values;
};

// True, with `out` filled, for "INSERT INTO <anything without quotes> VALUES (<literal>,
// ...)" with nothing after the closing bracket but blanks. Literals are numbers with an
// optional sign, quoted texts and NULL. Anything else (expressions, several rows,
// comments, hexadecimal numbers, whole numbers beyond 64 bits) is false: such a
// statement is prepared as it stands.
bool splitInsert(const QString& sql, InsertTemplate* out);

}  // namespace store
