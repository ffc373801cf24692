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
        store::prepareStaging(folder);
        {
            // The copy needs no write per statement: nothing reads the staging folder
            // until the replacement, and a crash before it throws the copy away.
            store::RoutedConnection staged(
                store::openFolder(store::stagingFolderOf(folder), store::Writes::Batched), store::borrow(cn));
            QString reported;
            int rowsSeen = 0;
            copyReferenceTables(staged, [&](const SyncProgress& p) {
                if (p.table != reported || ++rowsSeen % 2000 == 0) core::checkpoint("table staged");
                reported = p.table;
                if (progress) progress(p);
            });
            staged.flush();
            report = compareReferenceTables(cn, staged);
        }
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
