#pragma once
// The local store: a folder of dBASE IV tables behind the Connection interface.
// Every .dbf file of the folder is a table of the SQL engine; statements write
// through to the files.

#include <memory>

#include "store/connection.h"

namespace store {

// How statements reach the files: each one written through before it returns, or, for
// a bulk load that nothing reads from disk until it is done, appends batched in large
// writes (flush() makes them durable; closing the connection writes them too).
enum class Writes { Through, Batched };

// Opens the folder, after finishing or rolling back a replacement of tables that was
// interrupted (table_swap.h) and undoing a unit of statements that was (journal.h).
// Throws core::DbError when the folder is missing or is owned by another program ("in
// use"). A table file that cannot be read is left out and named by unreadableTables(),
// with what is wrong.
std::unique_ptr<Connection> openFolder(const QString& folder, Writes writes = Writes::Through);

// Opens the folder named by "Data Source=" of a connection string.
std::unique_ptr<Connection> openConnectionString(const QString& connectionString);

}  // namespace store
