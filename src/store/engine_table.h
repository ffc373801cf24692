#pragma once
// What the engine's virtual-table module works on: a table of the folder with the changes
// of the running statement, and a cursor over its rows. Shared by the module, the field
// encoder and the engine; nothing outside the store sees them.

#include <sqlite3.h>

#include <QByteArray>
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "store/sql_engine.h"
#include "store/table_data.h"

namespace store {

// One record changed by the running statement.
struct PendingUpdate {
    uint32_t row = 0;    // the record's number in the file
    std::string record;  // its new bytes
    std::string old;     // its bytes before the statement, to put back on failure
};

// A table of the folder as the engine knows it: the rows and the changes of the running
// statement, which reach the file in xSync and the rows in xCommit.
struct SqlEngine::Table {
    SqlEngine* engine = nullptr;      // the engine that registered it
    std::unique_ptr<TableData> data;  // the file and its rows in memory
    QString name;                     // the table's name as its file spells it
    QByteArray moduleName;            // the same in UTF-8: the module's (and table's) SQL name

    std::string appends;                 // new records of the statement, back to back
    uint32_t appendCount = 0;            // how many records `appends` holds
    std::vector<PendingUpdate> updates;  // changed records of the statement
    std::vector<uint32_t> deletes;       // records the statement deletes
    bool synced = false;                 // xSync wrote the changes to the file
    uint32_t countBefore = 0;            // the file's record count before xSync
    // Set when the rows in memory could not follow a change written to the file (out of
    // memory): from then on the table refuses work rather than pair rows with the wrong
    // records.
    bool broken = false;
    uint64_t changes = 0;  // statements whose changes reached the rows: tells kept summaries they are stale

    void clear() {
        appends.clear();
        appendCount = 0;
        updates.clear();
        deletes.clear();
        synced = false;
    }
    bool empty() const { return appendCount == 0 && updates.empty() && deletes.empty(); }
};

// The module's vtab: SQLite's part first, then our table.
struct VTab {
    sqlite3_vtab base;  // what SQLite sees
    SqlEngine::Table* table;
};

// A scan of a table: every live row, or the rows whose key in one column equals a value.
struct Cursor {
    sqlite3_vtab_cursor base;              // what SQLite sees
    TableData* t = nullptr;                // the rows scanned
    uint32_t row = 0;                      // the current row
    uint32_t end = 0;                      // rows at and after this one are not scanned
    bool eof = true;                       // no current row
    bool lookup = false;                   // a key look-up rather than a full scan
    int col = 0;                           // the looked-up column
    uint64_t key = 0;                      // the key looked up
    std::shared_ptr<const HashIndex> idx;  // the column's index, kept alive during the scan
    const uint32_t* it = nullptr;          // the next indexed row with the key
    const uint32_t* itEnd = nullptr;       // the end of the indexed rows with the key
    uint32_t tail = 0;                     // rows from here on are newer than the index: checked one by one

    // Moves to the first live matching row at or after the current position.
    void settle() {
        if (!lookup) {
            while (row < end && t->isDeleted(row)) ++row;
            eof = row >= end;
            return;
        }
        for (; it < itEnd; ++it) {
            if (!t->isDeleted(*it)) {
                row = *it;
                eof = false;
                return;
            }
        }
        const Column& c = t->column(col);
        for (; tail < end; ++tail) {
            uint64_t k;
            if (!t->isDeleted(tail) && t->keyOf(c, tail, &k) && k == key) {
                row = tail;
                eof = false;
                return;
            }
        }
        eof = true;
    }
    void next() {
        if (!lookup)
            ++row;
        else if (it < itEnd)
            ++it;
        else
            ++tail;
        settle();
    }
};

// Encodes one SQL value into the field's bytes of a record. Returns an empty text on
// success, else what is wrong (in the operator's language).
QString encodeField(const SqlEngine::Table& t, const DbfField& f, sqlite3_value* v, char* dst);

// The virtual-table module every table of the folder is registered with.
const sqlite3_module& tableModule();

}  // namespace store
