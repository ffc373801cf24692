#pragma once
// The catalogue's positions statement (every position of a group or of a list of keys,
// with the lowest and highest price of its offers, optionally on chosen bases only) joins
// the whole offer and band tables. The engine answers it from ranges it keeps instead: the
// lowest and highest band price of each position on each base, read from the rows in
// memory on first use and read again after any change to the offers, bands or price lists.
// The ranges are the virtual table "price/range" (a name no table file can have), and the
// statement is rewritten to join the positions with it.

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "store/sql_engine.h"

struct sqlite3;

namespace store {

class PriceRanges {
public:
    // The ranges of one state of the tables, sorted by position, then base.
    struct Range {
        double position;  // IND_PST
        double base;      // IND_BS; NaN for null
        double low;       // MIN(CST); NaN when every price is null
        double high;      // MAX(CST)
    };
    struct Snapshot {
        std::vector<Range> ranges;
        // Whether each column's source gives whole numbers as integers, as its table does.
        bool positionWhole = true, baseWhole = true, priceWhole = false;
    };

    explicit PriceRanges(SqlEngine& engine) : engine_(engine) {}
    // Registers the virtual table with the engine's connection.
    void attach(sqlite3* db);

    // Whether `sql` is the positions statement with a condition the ranges serve.
    static bool serves(const QString& sql);
    // The statement over the kept ranges that gives the same answer as `sql`, or an empty
    // text when `sql` is not the positions statement or the tables do not allow it.
    QString rewrite(const QString& sql);

    // The ranges of the tables as they are now, read again when they changed. Throws.
    std::shared_ptr<const Snapshot> current();

private:
    struct Source {
        SqlEngine::Table* table = nullptr;
        uint64_t changes = 0;
    };
    // The offers, bands and price lists, when present and of the kinds the ranges handle.
    bool sources(Source out[3]) const;

    SqlEngine& engine_;
    Source kept_[3];  // what `snapshot_` was read from
    std::shared_ptr<const Snapshot> snapshot_;
};

}  // namespace store
