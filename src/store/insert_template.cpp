#include "store/insert_template.h"

#include <QByteArray>
#include <QStringView>
#include <cctype>

namespace store {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || (c & 0x80); }

void skipBlanks(const char*& p, const char* end) {
    while (p < end && (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r')) ++p;
}

// One literal at p; false when what stands there is none we take.
bool readLiteral(const char*& p, const char* end, InsertLiteral* v) {
    if (p < end && *p == '\'') {
        v->kind = InsertLiteral::Kind::Text;
        for (++p;; ++p) {
            if (p == end) return false;
            if (*p == '\'') {
                if (p + 1 < end && p[1] == '\'') {
                    v->text.push_back('\'');
                    ++p;
                    continue;
                }
                ++p;
                return true;
            }
            v->text.push_back(*p);
        }
    }
    if (end - p >= 4 && (p[0] | 0x20) == 'n' && (p[1] | 0x20) == 'u' && (p[2] | 0x20) == 'l' &&
        (p[3] | 0x20) == 'l' && (end - p == 4 || !isWordChar(p[4]))) {
        v->kind = InsertLiteral::Kind::Null;
        p += 4;
        return true;
    }
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+')) {
        negative = *p == '-';
        ++p;
        skipBlanks(p, end);
    }
    const char* digits = p;
    bool real = false;
    while (p < end && isDigit(*p)) ++p;
    if (p < end && *p == '.') {
        real = true;
        ++p;
        while (p < end && isDigit(*p)) ++p;
    }
    if (p == digits || (p - digits == 1 && *digits == '.')) return false;
    if (p < end && (*p == 'e' || *p == 'E')) {
        real = true;
        ++p;
        if (p < end && (*p == '+' || *p == '-')) ++p;
        if (p == end || !isDigit(*p)) return false;
        while (p < end && isDigit(*p)) ++p;
    }
    if (p < end && isWordChar(*p)) return false;  // 0x1F, 12abc and the like
    if (real) {
        v->kind = InsertLiteral::Kind::Real;
        v->text.assign(negative ? "-" : "");
        v->text.append(digits, size_t(p - digits));
        return true;
    }
    uint64_t n = 0;
    for (const char* d = digits; d < p; ++d) {
        if (n > (uint64_t(INT64_MAX) - uint64_t(*d - '0')) / 10) return false;  // SQLite would read a REAL
        n = n * 10 + uint64_t(*d - '0');
    }
    v->kind = InsertLiteral::Kind::Integer;
    v->integer = negative ? -int64_t(n) : int64_t(n);
    return true;
}

}  // namespace

bool splitInsert(const QString& sql, InsertTemplate* out) {
    // Every other statement is told by its first word, before any conversion.
    qsizetype first = 0;
    while (first < sql.size() && sql[first].isSpace()) ++first;
    if (QStringView(sql).mid(first, 6).compare(QLatin1String("insert"), Qt::CaseInsensitive) != 0) return false;
    const QByteArray utf8 = sql.toUtf8();
    const char* p = utf8.constData();
    const char* end = p + utf8.size();
    skipBlanks(p, end);
    if (end - p < 12 || qstrnicmp(p, "insert", 6) != 0 || isWordChar(p[6])) return false;
    // The head runs to the first VALUES keyword; without quotes in it that keyword is
    // the statement's own.
    const char* values = nullptr;
    for (const char* q = p + 6; q + 6 <= end; ++q) {
        if (*q == '\'' || *q == '"' || *q == '`' || *q == '[' || *q == '?' || *q == '-' || *q == '/') return false;
        if (qstrnicmp(q, "values", 6) == 0 && !isWordChar(q[-1]) && (q + 6 == end || !isWordChar(q[6]))) {
            values = q;
            break;
        }
    }
    if (!values) return false;
    const char* q = values + 6;
    skipBlanks(q, end);
    if (q == end || *q != '(') return false;
    ++q;
    out->values.clear();
    QByteArray statement(p, int(values + 6 - p));
    statement += '(';
    for (;;) {
        skipBlanks(q, end);
        InsertLiteral v;
        if (!readLiteral(q, end, &v)) return false;
        statement += v.kind == InsertLiteral::Kind::Real ? "CAST(? AS REAL)" : "?";
        out->values.push_back(std::move(v));
        skipBlanks(q, end);
        if (q == end) return false;
        if (*q == ')') break;
        if (*q != ',') return false;
        statement += ',';
        ++q;
    }
    ++q;
    skipBlanks(q, end);
    if (q != end) return false;
    statement += ')';
    out->statement = QString::fromUtf8(statement);
    return true;
}

}  // namespace store
