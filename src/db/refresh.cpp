#include "db/refresh.h"

#include "core/checkpoint.h"
#include "db/schema.h"
#include "store/dbf_connection.h"
#include "store/table_swap.h"

namespace db {

RefreshError::RefreshError(const QString& table, const QString& reason)
    : core::DbError(table.isEmpty() ? reason : QStringLiteral("Таблица %1: %2").arg(table, reason)),
      table_(table),
      reason_(reason) {}

ChangeReport refreshReferenceTables(store::Connection& cn, const SyncProgressFn& progress) {
    const QString folder = cn.folder();
    if (folder.isEmpty())
        throw RefreshError(QString(), QStringLiteral("у подключения нет папки базы данных"));
    ChangeReport report;
    try {
        // A crash before the replacement throws the staged copy away.
        copyIntoStaging(
            cn,
            [&](store::Connection& staged, const SyncProgressFn& p) {
                copyReferenceTables(staged, p);
                report = compareReferenceTables(cn, staged);
            },
            progress, "table staged", 2000);
        core::checkpoint("copy complete");
        cn.replaceTables(referenceTables());
    } catch (const SyncCancelled&) {
        // Before the commit this throws the staged copy away; after it, it finishes the swap.
        store::recoverReplacement(folder);
        throw;
    } catch (const SyncError& e) {
        store::recoverReplacement(folder);
        const bool named = e.reason().contains(e.statement());
        throw RefreshError(e.table(), named ? e.reason() : e.reason() + QStringLiteral("\nЗапрос: ") + e.statement());
    } catch (const std::exception& e) {
        store::recoverReplacement(folder);
        throw RefreshError(QString(), core::errorText(e));
    }
    return report;
}

}  // namespace db
