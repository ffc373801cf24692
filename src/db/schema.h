#pragma once
// The thirteen local tables: their exact CREATE TABLE texts, the central source query
// and source field of every reference column. The one description everyone builds on.

#include <QList>
#include <QString>
#include <QStringList>

namespace db {

struct Column {
    enum class Kind { Whole, Text, Number };
    QString name;         // upper case, as in the local table
    QString definition;   // exactly as sent inside CREATE TABLE, trailing comma included
    Kind kind;
    QString sourceField;  // the central field it is copied from; empty for working tables
};

struct Table {
    QString name;
    QList<Column> columns;
    QString sourceQuery;  // empty for the three working tables
    bool isReference() const { return !sourceQuery.isEmpty(); }
};

// Every table in creation order: the working tables TBL_APPS, TBL_APTS, TBL_CORD, then
// the reference tables parents before children (TBL_TPS ... TBL_CSTS).
const QList<Table>& tables();
QStringList allTables();
QStringList workingTables();
QStringList referenceTables();

// The table by name (case-insensitive); nullptr when there is none.
const Table* findTable(const QString& name);

// "CREATE TABLE TBL_TPS (IND int,TP_NM varchar (250))" and the like.
// Throws std::out_of_range for an unknown table.
QString createStatement(const QString& table);

// The central source query of a reference table ("select * from tbl_types (nolock)");
// empty for a working table. Throws std::out_of_range for an unknown table.
QString sourceQuery(const QString& table);

}  // namespace db
