#pragma once
// The synchronisation that builds a fresh local database: creates the working tables
// and, for each chosen reference table, creates it and copies every source record
// from the central database, one insert statement per record. No widgets.

#include "core/errors.h"
#include "store/connection.h"

#include <QSet>
#include <QString>
#include <functional>

namespace db {

// Where a run stands, reported after every statement so a window can show it.
struct SyncProgress {
    QString table;    // the table being created or filled
    int step = 0;     // 1-based index of that table among the tables of the run
    int steps = 0;    // working tables plus the chosen reference tables
    int rows = 0;     // records copied into that table so far
};
using SyncProgressFn = std::function<void(const SyncProgress&)>;

// A run that stopped: the statement that failed and the database's own message.
// What was written before it stays.
class SyncError : public core::DbError {
public:
    SyncError(const QString& statement, const QString& reason, const QString& table = QString());
    const QString& statement() const { return statement_; }
    const QString& reason() const { return reason_; }
    const QString& table() const { return table_; }  // the table being created or filled

private:
    QString statement_;
    QString reason_;
    QString table_;
};

// Thrown by a progress function to stop a run: it leaves the run unchanged.
class SyncCancelled : public core::DbError {
public:
    SyncCancelled() : core::DbError(QStringLiteral("Прервано оператором.")) {}
};

// The insert statement for the current record of a reference table's source query,
// e.g. "INSERT INTO TBL_TPS(IND, TP_NM) VALUES(7, 'Арматура')". Texts have their quotes
// doubled (a null text is written ''), numbers always carry a point, and a null number
// is written NULL. Throws core::ConversionError for a value that is not a number where
// one is expected, core::DbError for a missing field, std::out_of_range for a table that
// has no source.
QString insertStatement(const QString& table, const store::RecordSet& record);
struct Table;
QString insertStatement(const Table& table, const store::RecordSet& record);

// Creates TBL_APPS, TBL_APTS and TBL_CORD, then each reference table named in `ticked`
// (parents before children, whatever the set's order) and fills it from its source
// query. Throws SyncError at the first failure; std::out_of_range for a name in
// `ticked` that is no reference table.
void synchronise(store::Connection& cn, const QSet<QString>& ticked, const SyncProgressFn& progress = {});

// The second half of a full synchronisation: creates every reference table and fills it
// from its source query, with the same statements in the same order. Throws SyncError.
void copyReferenceTables(store::Connection& cn, const SyncProgressFn& progress = {});

// Runs `copy` on a connection to the emptied staging folder of `cn`'s folder
// (store/table_swap.h) with batched writes, which sends the source queries through `cn`,
// and makes what it wrote durable. The progress `copy` reports reaches `progress` after a
// checkpoint named `moment` at each new table and every `rows` rows. Throws what `copy`
// throws, or core::DbError; the staging folder is then left for the caller to recover.
using StagedCopy = std::function<void(store::Connection& staged, const SyncProgressFn& progress)>;
void copyIntoStaging(store::Connection& cn, const StagedCopy& copy, const SyncProgressFn& progress, const char* moment,
                     int rows);

// The synchronisation of the command line into a folder that holds none of its tables:
// the same statements, run in the folder's staging folder, whose tables then move into
// the folder at once (store/table_swap.h). A failure, a cancel or a crash at any moment
// leaves the folder with all thirteen tables or with none of them. `cn` is connected to
// the folder and sends the source queries to the central database. Throws SyncError (a
// table the folder already holds fails its creation statement) or core::DbError.
void buildFolder(store::Connection& cn, const SyncProgressFn& progress = {});

}  // namespace db
