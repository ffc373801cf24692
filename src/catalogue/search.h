#pragma once
// The catalogue's context search: which positions' names match the words an operator
// types. Case does not matter, "ё" is "е", and Latin letters that look like Cyrillic ones
// (A B C E H K M O P T X) are their Cyrillic twins. A word of digits (with "," or "." as
// the decimal mark) matches a whole number of the name; any other word the beginning of
// a word of the name. A name matches when every word does. No widgets, no SQL.

#include <QString>
#include <QStringList>
#include <vector>

namespace catalogue {

// Lower case, "ё" as "е", Latin look-alikes as Cyrillic letters.
QString foldForSearch(const QString& text);

// A name taken apart once, to be matched against many searches.
struct NameWords {
    QStringList words;    // runs of letters and digits, folded
    QStringList numbers;  // runs of digits with at most one decimal mark, the mark as "."
};
NameWords nameWords(const QString& name);

struct SearchWords {
    QStringList numbers;   // words of digits, the decimal mark as "."
    QStringList prefixes;  // every other word, folded
    bool empty() const { return numbers.isEmpty() && prefixes.isEmpty(); }
};
SearchWords searchWords(const QString& text);

// The names of every position, searched in memory.
class PositionSearch {
public:
    void add(int key, const QString& name);
    void clear() { entries_.clear(); }
    bool isEmpty() const { return entries_.empty(); }
    // The keys of the matching positions, in the order they were added; none for a text
    // without words.
    std::vector<int> find(const QString& text) const;

private:
    // Each name as one text: every word after \x01, every number between \x02 and \x03,
    // so that a word's start and a whole number are each found by one substring search.
    struct Entry {
        int key;
        QString marked;
    };
    std::vector<Entry> entries_;
};

// "a.IND IN (k1,k2,...)" followed by the bases filter fragment: the WHERE condition of the
// positions statement for the search result ("a.IND IN (0)" for no keys).
QString searchCondition(const std::vector<int>& keys, const QString& basesFilter);

}  // namespace catalogue
