#pragma once
// The link to the trading desk's central database through Qt SQL: an SQLite file (the
// demo database) or an ODBC connection string (a SQL Server through FreeTDS, a PostgreSQL
// server through psqlODBC and the like). It serves the synchronisation's source queries
// and the order-exchange commands, and keeps the server's password out of every message.

#include "store/connection.h"

#include <QSqlDriver>
#include <QString>
#include <memory>

namespace db {

// True when the source names an ODBC connection ("DRIVER=" or "DSN=" in it, any case)
// rather than an SQLite file.
bool isOdbcSource(const QString& source);

// Removes the "(nolock)" table hints, and nothing else, for engines that do not know them.
QString stripNoLock(const QString& sql);

// Whether a server of this kind (as the ODBC driver reports it) knows the "(nolock)"
// hint that the source queries are written with: SQL Server and its relatives do, and so
// is taken a server whose kind the driver does not tell.
bool knowsNoLockHint(QSqlDriver::DbmsType kind);

// The source with the value of every password key (PWD=, PASSWORD=) written "***": the
// only form of a connection string that a message, a log or a report may show.
QString maskPassword(const QString& source);

// The source for messages: "сервер 127.0.0.1, порт 5432, база trade" for a connection
// string (never its password), the path for a file.
QString sourceName(const QString& source);

// The password that the environment variable ZELVORIN_CENTRAL_PWD holds is added to an
// ODBC connection string that names none, so that it need not stand on a command line.
QString withPasswordFromEnvironment(const QString& source);

// A psqlODBC connection string gets "UseDeclareFetch=1;Fetch=5000" unless it sets
// UseDeclareFetch itself: rows then come 5 000 at a time instead of a whole table at once.
QString withFetchByChunks(const QString& source);

// Opens the central database. An SQLite file is opened read-only and must exist and be
// a database: nothing is ever created in its place. Throws core::DbError naming the
// source (without its password) and the driver's message.
std::unique_ptr<store::Connection> openCentralLink(const QString& source);

// The same over a driver the caller made, which the link takes over: a site's own
// driver, or a test's that records what the link sends.
std::unique_ptr<store::Connection> openCentralLink(const QString& source, QSqlDriver* driver);

}  // namespace db
