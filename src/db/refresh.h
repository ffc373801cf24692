#pragma once
// The refresh of a built database: the ten reference tables copied anew from the central
// database with the synchronisation's own statements into the folder's staging folder,
// compared with the old ones, and then put in their place all at once. The working
// tables (the orders) are never opened for writing. No widgets.

#include "db/change_report.h"
#include "db/sync.h"
#include "store/connection.h"

namespace db {

// A refresh that stopped: the table it was copying (empty before the copy or in the
// replacement) and why. The folder is as it was.
class RefreshError : public core::DbError {
public:
    RefreshError(const QString& table, const QString& reason);
    const QString& table() const { return table_; }
    const QString& reason() const { return reason_; }

private:
    QString table_;
    QString reason_;
};

// Refreshes the reference tables of the folder `cn` serves; its central statements
// (the source queries) go where `cn` routes them. `progress` is called as the
// synchronisation calls it; it may throw SyncCancelled, which the refresh passes on
// after throwing the staged copy away. Throws RefreshError for any failure.
ChangeReport refreshReferenceTables(store::Connection& cn, const SyncProgressFn& progress = {});

}  // namespace db
