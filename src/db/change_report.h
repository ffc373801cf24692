#pragma once
// What a refresh of the reference tables changed: rows per table, positions and offers
// that came and went, and the price bands whose price moved. Built from the old and the
// new tables, read through one connection each.

#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

#include "store/connection.h"

namespace db {

struct TableRows {
    QString table;
    qint64 before = 0;  // 0 as well when the table was missing
    qint64 after = 0;
};

// A band whose price changed: the offer of a position at a base, its quantity range.
struct PriceChange {
    QString position;
    QString base;
    double from = 0, to = 0;  // the band's limits as stored (0 as the upper limit: no limit)
    double oldPrice = 0, newPrice = 0;
    double percent() const;   // the change against the old price; 0 when the old price is 0
};

struct ChangeReport {
    QList<TableRows> rows;         // the ten reference tables in their order
    QStringList positionsAdded;    // names, sorted
    QStringList positionsRemoved;  // names, sorted
    // Offers are a position at a base; one that moved to another base counts as removed
    // at the old base and added at the new one.
    qint64 offersAdded = 0;
    qint64 offersRemoved = 0;
    // Bands are an offer's quantity range; a band kept with another price rose or fell.
    qint64 bandsRose = 0;
    qint64 bandsFell = 0;
    QList<PriceChange> largest;    // the largest changes in percent, largest first
};

// How many of the largest price changes a report keeps.
constexpr int kLargestChanges = 20;

// Compares the reference tables that `before` and `after` serve (each a local folder).
// A table missing on either side reads as empty.
ChangeReport compareReferenceTables(store::Connection& before, store::Connection& after);

// The report as the operator reads it, numbers in `locale`. At most `maxNames` names of
// positions are listed on each side, then how many more there are.
QString reportText(const ChangeReport& report, const QLocale& locale, int maxNames = 50);

}  // namespace db
