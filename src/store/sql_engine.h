#pragma once
// The SQL engine over a folder of table files: an in-memory SQLite connection in which
// every .dbf file is a virtual table of our own module, plus CREATE TABLE for new files.

#include <QHash>
#include <QMap>
#include <QString>
#include <list>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "store/connection.h"

struct sqlite3;
struct sqlite3_stmt;

namespace store {

class TableData;
class SqlRecordSet;
class PriceRanges;
class Journal;

class SqlEngine {
public:
    // Opens every table file of the folder (headers only; rows load on first use). A file
    // that cannot be read (or is a folder, or a link out of the folder) is left alone: the
    // statements that name its table fail with the file and the reason. Throws
    // core::DbError for a missing folder or two files of one table.
    // With `batched`, appended records reach the files in large writes (see
    // DbfFile::setBatched) and flush() makes them durable.
    explicit SqlEngine(const QString& folder, bool batched = false);
    ~SqlEngine();
    SqlEngine(const SqlEngine&) = delete;
    SqlEngine& operator=(const SqlEngine&) = delete;

    void execute(const QString& sql);
    std::unique_ptr<RecordSet> open(const QString& sql);

    const QString& folder() const { return folder_; }
    // Writes every table's held-back records and syncs the files to disk.
    void flush();
    // A unit of statements that stand or fall together across a crash (journal.h);
    // units nest, the outermost counts. Nothing in a batched engine. commitUnit()
    // throws core::DbError when the journal cannot be removed.
    void beginUnit();
    void commitUnit();
    // The table of that name (case-insensitive), or null.
    TableData* table(const QString& name) const;
    QStringList tableNames() const;
    // Why each table file the engine left out cannot be read (one message per file).
    QStringList unreadableTables() const;

    // Used by the virtual-table module and the result sets.
    struct Table;
    Table* entry(const QString& name) const;
    void release(sqlite3_stmt* stmt, const QString& sql);
    // A failure's text: what went wrong, then the statement.
    static QString failureText(const QString& message, const QString& sql);
    // SQLite's own message of the last failure, after a Russian lead.
    QString engineError() const;
    void forget(SqlRecordSet* rs) { recordSets_.erase(rs); }

private:
    // Failures name `shown` (the caller's text) when given, else `sql`.
    sqlite3_stmt* prepare(const QString& sql, const QString* shown = nullptr);
    bool executeBound(const QString& sql);
    [[noreturn]] void fail(const QString& message, const QString& sql) const;
    bool createTable(const QString& sql);
    void registerTable(std::unique_ptr<TableData> data);

    QString folder_;                                    // the database folder
    bool batched_ = false;                              // tables hold appends back (bulk load)
    sqlite3* db_ = nullptr;                             // the in-memory SQLite connection
    std::map<QString, std::unique_ptr<Table>> tables_;  // by upper-case name
    QMap<QString, QPair<QString, QString>> unreadable_;  // by upper-case name: the file, why not
    // Prepared statements waiting for the same text again, most recently used first.
    std::list<std::pair<QString, sqlite3_stmt*>> idle_;
    QHash<QString, std::list<std::pair<QString, sqlite3_stmt*>>::iterator> idleByText_;
    std::set<SqlRecordSet*> recordSets_;  // open result sets, detached when the engine goes
    std::unique_ptr<Journal> journal_;  // while a unit is open
    int unitDepth_ = 0;
    std::unique_ptr<PriceRanges> priceRanges_;  // answers the catalogue's positions statement
    QString denied_;                      // why the authorizer refused the last statement
    friend int authorize(void*, int, const char*, const char*, const char*, const char*);
};

}  // namespace store
