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
#include <optional>
#include <vector>

#include "store/sql_engine.h"
#include "store/table_data.h"

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

    // The condition of a positions statement the ranges serve: the group's positions or a
    // list of keys, optionally on a list of bases.
    struct Condition {
        std::optional<double> group;  // a.IND_GRP=n
        std::vector<double> keys;     // a.IND IN (k,...)
        std::optional<std::vector<double>> bases;
    };
    // The condition of `sql` when it is the positions statement with one the ranges serve.
    static std::optional<Condition> condition(const QString& sql);
    // The statement over the kept ranges that gives the same answer as `sql`, or an empty
    // text when `sql` is not the positions statement or the tables do not allow it.
    QString rewrite(const QString& sql);

    // The rows of the positions statement `sql`, computed from the kept ranges and the
    // positions in memory, equal to what SQLite gives for it; null when the statement or
    // the tables are not of the kinds this answer handles (the rewritten statement runs).
    std::unique_ptr<RecordSet> answer(const QString& sql);

    // The ranges of the tables as they are now, read again when they changed. Throws.
    std::shared_ptr<const Snapshot> current();

private:
    struct Source {
        SqlEngine::Table* table = nullptr;
        uint64_t changes = 0;
    };
    // The offers, bands and price lists, when present and of the kinds the ranges handle.
    bool sources(Source out[3]) const;

    // The positions by key, when every key is a distinct number and the names are texts.
    struct Positions {
        Source source;
        int key = -1, name = -1, group = -1;  // columns
        bool usable = false;
        std::vector<std::pair<double, uint32_t>> byKey;  // (IND, row), ascending
        // Each row's place in name order, equal names sharing one; made for the first
        // long answer, so that long answers sort by numbers instead of texts.
        std::vector<uint32_t> nameRank;
    };
    void rankNames(Positions& p) const;
    const Positions* positions();

    SqlEngine& engine_;
    Source kept_[3];  // what `snapshot_` was read from
    std::shared_ptr<const Snapshot> snapshot_;
    Positions positions_;
};

// Column lookup and numeric reading shared by the kept summaries.
int columnOf(const TableData& t, const char* name);
double numberAt(const Column& c, uint32_t row);
// Whether a column is one SQLite sees as plain numbers (not logical values), optionally
// holding only whole numbers.
bool numericColumn(const TableData& t, int col, bool needWhole);

}  // namespace store
