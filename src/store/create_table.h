#pragma once
// The one schema statement the store runs itself: CREATE TABLE name (column int|double|
// varchar(n), ...), parsed into the fields of a new table file. No files are touched.

#include <QString>
#include <optional>
#include <vector>

#include "store/dbf_file.h"

namespace store {

struct CreateTable {
    QString name;              // the table's name, as written
    bool ifNotExists = false;  // IF NOT EXISTS: an existing table is no error
    std::vector<NewField> fields;
};

// Nothing when the statement is no CREATE TABLE; else its table, or core::DbError with
// what is wrong (in the operator's language) for a statement the store cannot run.
std::optional<CreateTable> parseCreateTable(const QString& sql);

}  // namespace store
