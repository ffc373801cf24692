#pragma once
// The result set of a query run by the engine: a prepared statement stepped one row at a
// time, with its fields read by name.

#include <QHash>
#include <vector>

#include "store/connection.h"

struct sqlite3_stmt;

namespace store {

class SqlEngine;

class SqlRecordSet final : public RecordSet {
public:
    // atRow: the statement's first step produced a row. Messages name `shown` when it is
    // given (the caller's text of a statement the engine rewrote), else `sql`.
    SqlRecordSet(SqlEngine* engine, sqlite3_stmt* stmt, const QString& sql, bool atRow,
                 const QString& shown = QString());
    ~SqlRecordSet() override;

    bool isOpen() const override { return stmt_ != nullptr; }
    bool eof() const override { return !stmt_ || eof_; }
    core::Value field(const QString& name) const override;
    void moveNext() override;
    void close() override;
    QStringList fieldNames() const override { return names_; }

    // The column of that name (exactly, else regardless of case), or -1.
    int indexOf(const QString& name) const;
    // The engine goes away first: finalize now, answer as closed from then on.
    void detach();

private:
    int indexOfFolded(const QString& name) const;

    SqlEngine* engine_;          // gives the statement back for reuse; null once detached
    sqlite3_stmt* stmt_;         // null once closed
    QString sql_;                // the statement's text, for reuse
    QString shown_;              // the caller's text, for messages
    bool eof_;                   // no current row
    QStringList names_;          // the column names in order
    QHash<QString, int> exact_;  // the first column of each name
    std::vector<bool> boolean_;  // columns declared BOOLEAN (logical fields)
};

}  // namespace store
