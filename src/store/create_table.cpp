#include "store/create_table.h"

#include <QRegularExpression>
#include <QSet>

#include "core/errors.h"

namespace store {
namespace {

struct Lexer {
    QString s;
    int i = 0;
    void blanks() {
        while (i < s.size() && s[i].isSpace()) ++i;
    }
    bool word(const char* w) {
        blanks();
        const QLatin1String lw(w);
        if (s.mid(i, lw.size()).compare(lw, Qt::CaseInsensitive) != 0) return false;
        const int after = i + int(lw.size());
        if (after < s.size() && (s[after].isLetterOrNumber() || s[after] == QLatin1Char('_'))) return false;
        i = after;
        return true;
    }
    bool punct(char c) {
        blanks();
        if (i < s.size() && s[i] == QLatin1Char(c)) {
            ++i;
            return true;
        }
        return false;
    }
    // A name: letters, digits, underscores, or the same between "", [] or ``.
    QString name() {
        blanks();
        if (i >= s.size()) return QString();
        QChar close;
        if (s[i] == QLatin1Char('"'))
            close = QLatin1Char('"');
        else if (s[i] == QLatin1Char('['))
            close = QLatin1Char(']');
        else if (s[i] == QLatin1Char('`'))
            close = QLatin1Char('`');
        if (!close.isNull()) {
            const int end = s.indexOf(close, i + 1);
            if (end < 0) return QString();
            const QString n = s.mid(i + 1, end - i - 1);
            i = end + 1;
            return n;
        }
        const int start = i;
        while (i < s.size() && (s[i].isLetterOrNumber() || s[i] == QLatin1Char('_'))) ++i;
        return s.mid(start, i - start);
    }
    int number() {
        blanks();
        const int start = i;
        while (i < s.size() && s[i].isDigit()) ++i;
        bool ok = false;
        const int n = s.mid(start, i - start).toInt(&ok);
        return ok ? n : -1;
    }
    bool atEnd() {
        while (i < s.size() && (s[i].isSpace() || s[i] == QLatin1Char(';'))) ++i;
        return i >= s.size();
    }
};

bool plainName(const QString& n) {
    static const QRegularExpression re(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return re.match(n).hasMatch();
}

[[noreturn]] void fail(const QString& message) {
    throw core::DbError(message);
}

}  // namespace

std::optional<CreateTable> parseCreateTable(const QString& sql) {
    static const QRegularExpression head(QStringLiteral("^\\s*CREATE\\s+TABLE\\b"),
                                         QRegularExpression::CaseInsensitiveOption);
    if (!head.match(sql).hasMatch()) return std::nullopt;
    Lexer lx{sql};
    lx.word("CREATE");
    lx.word("TABLE");
    CreateTable out;
    const int save = lx.i;
    if (lx.word("IF") && lx.word("NOT") && lx.word("EXISTS"))
        out.ifNotExists = true;
    else
        lx.i = save;
    const QString name = lx.name();
    if (!plainName(name))
        fail(QStringLiteral("Имя таблицы %1 — не простое имя (буквы, цифры, подчёркивания).")
                 .arg(name.isEmpty() ? QStringLiteral("(нет)") : name));
    if (!lx.punct('(')) fail(QStringLiteral("CREATE TABLE %1: нет списка полей в скобках.").arg(name));
    QSet<QString> seen;
    for (;;) {
        const QString col = lx.name();
        if (!plainName(col))
            fail(QStringLiteral("CREATE TABLE %1: имя поля пропущено или не простое.").arg(name));
        if (col.size() > 10)
            fail(QStringLiteral("CREATE TABLE %1: имя поля %2 длиннее 10 знаков.").arg(name, col));
        if (seen.contains(col.toUpper()))
            fail(QStringLiteral("CREATE TABLE %1: поле %2 названо дважды.").arg(name, col));
        seen.insert(col.toUpper());
        NewField f;
        f.name = col;
        if (lx.word("int") || lx.word("integer")) {
            f.type = 'N';
            f.length = 11;
            f.decimals = 0;
        } else if (lx.word("double") || lx.word("float") || lx.word("real")) {
            lx.word("precision");
            f.type = 'N';
            f.length = 20;
            f.decimals = 6;
        } else if (lx.word("varchar") || lx.word("char") || lx.word("text")) {
            if (!lx.punct('('))
                fail(QStringLiteral("CREATE TABLE %1: у поля %2 нужна длина, например varchar(50).")
                         .arg(name, col));
            const int n = lx.number();
            if (!lx.punct(')') || n < 1 || n > 254)
                fail(
                    QStringLiteral("CREATE TABLE %1: длина поля %2 должна быть от 1 до 254.").arg(name, col));
            f.type = 'C';
            f.length = n;
        } else {
            lx.blanks();
            fail(QStringLiteral("CREATE TABLE %1: тип поля %2 — не int, не double и не varchar(n).")
                     .arg(name, col));
        }
        out.fields.push_back(f);
        if (lx.punct(',')) continue;
        if (lx.punct(')')) break;
        fail(QStringLiteral("CREATE TABLE %1: после поля %2 ожидается запятая или закрывающая скобка.")
                 .arg(name, col));
    }
    if (!lx.atEnd())
        fail(QStringLiteral("За один раз выполняется один запрос, а текст продолжается после первого."));
    out.name = name;
    return out;
}

}  // namespace store
