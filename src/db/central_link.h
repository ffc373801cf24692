#pragma once
// The link to the trading desk's central database through Qt SQL: an SQLite file (the
// demo database) or an ODBC connection string (a SQL Server through FreeTDS and the like).
// It serves the synchronisation's source queries and the order-exchange commands.

#include "store/connection.h"

#include <QString>
#include <memory>

namespace db {

// True when the source names an ODBC connection ("DRIVER=" or "DSN=" in it, any case)
// rather than an SQLite file.
bool isOdbcSource(const QString& source);

// Removes the "(nolock)" table hints, and nothing else, for engines that do not know them.
QString stripNoLock(const QString& sql);

// Opens the central database. An SQLite file is opened read-only and must exist and be
// a database: nothing is ever created in its place. Throws core::DbError naming the
// source and the driver's message.
std::unique_ptr<store::Connection> openCentralLink(const QString& source);

}  // namespace db
