#include "catalogue/search.h"

#include <QStringMatcher>

namespace catalogue {
namespace {

// The Cyrillic twin of each Latin look-alike, already in lower case.
QChar cyrillicTwin(QChar c) {
    static const char16_t latin[] = u"abcehkmoptx";
    static const char16_t twin[] = u"авсенкмортх";
    for (int i = 0; latin[i]; ++i)
        if (c.unicode() == latin[i]) return QChar(twin[i]);
    return c;
}

bool isDecimalMark(QChar c) { return c == QLatin1Char(',') || c == QLatin1Char('.'); }

// The runs of digits of `text`, a decimal mark between two digits kept as ".".
QStringList numbersOf(const QString& text) {
    QStringList out;
    QString run;
    for (int i = 0; i <= text.size(); ++i) {
        const QChar c = i < text.size() ? text[i] : QChar();
        if (c.isDigit()) {
            run += c;
        } else if (isDecimalMark(c) && !run.isEmpty() && !run.contains(QLatin1Char('.')) && i + 1 < text.size() &&
                   text[i + 1].isDigit()) {
            run += QLatin1Char('.');
        } else if (!run.isEmpty()) {
            out << run;
            run.clear();
        }
    }
    return out;
}

bool isNumberWord(const QString& w) {
    const QStringList n = numbersOf(w);
    return n.size() == 1 && n[0].size() == w.size();
}

}  // namespace

QString foldForSearch(const QString& text) {
    QString s = text.toLower();
    for (QChar& c : s) c = c == QChar(u'ё') ? QChar(u'е') : cyrillicTwin(c);
    return s;
}

NameWords nameWords(const QString& name) {
    NameWords n;
    const QString folded = foldForSearch(name);
    QString run;
    for (int i = 0; i <= folded.size(); ++i) {
        const QChar c = i < folded.size() ? folded[i] : QChar();
        if (c.isLetterOrNumber()) {
            run += c;
        } else if (!run.isEmpty()) {
            n.words << run;
            run.clear();
        }
    }
    n.numbers = numbersOf(folded);
    return n;
}

SearchWords searchWords(const QString& text) {
    SearchWords s;
    for (const QString& w : foldForSearch(text).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString word = w.trimmed();
        if (word.isEmpty()) continue;
        if (isNumberWord(word))
            s.numbers << numbersOf(word).first();
        else
            s.prefixes << word;
    }
    return s;
}

void PositionSearch::add(int key, const QString& name) {
    const NameWords n = nameWords(name);
    QString marked;
    for (const QString& w : n.words) marked += QChar(1) + w;
    for (const QString& d : n.numbers) marked += QChar(2) + d + QChar(3);
    entries_.push_back({key, marked});
}

std::vector<int> PositionSearch::find(const QString& text) const {
    std::vector<int> keys;
    const SearchWords s = searchWords(text);
    if (s.empty()) return keys;
    std::vector<QStringMatcher> needles;
    for (const QString& p : s.prefixes) needles.emplace_back(QChar(1) + p);
    for (const QString& n : s.numbers) needles.emplace_back(QChar(2) + n + QChar(3));
    for (const Entry& e : entries_) {
        bool all = true;
        for (const QStringMatcher& needle : needles)
            if (!(all = needle.indexIn(e.marked) >= 0)) break;
        if (all) keys.push_back(e.key);
    }
    return keys;
}

QString searchCondition(const std::vector<int>& keys, const QString& basesFilter) {
    QString in;
    in.reserve(int(keys.size()) * 7);
    for (int k : keys) {
        if (!in.isEmpty()) in += QLatin1Char(',');
        in += QString::number(k);
    }
    return QStringLiteral("a.IND IN (") + (in.isEmpty() ? QStringLiteral("0") : in) + QLatin1Char(')') + basesFilter;
}

}  // namespace catalogue
