#pragma once
// The notes of stored order lines ("Примечание:" of the line editor). They live in a
// table of their own, TBL_APTN, beside the order tables, so that the order tables and
// everyone who reads them stay as they are. A folder without TBL_APTN holds no notes;
// the table is created by the first save that has a note to keep.

#include <QHash>
#include <QList>
#include <QString>
#include <cstdint>

namespace store {
class Connection;
}

namespace order::notes {

// The widest text a character field of a table file holds; a longer note is refused
// when it is typed, not when the order is saved.
constexpr int kMaxLength = 254;

struct Note {
    int32_t line = 0;  // TBL_APTS.IND of the line
    QString text;
};

// "CREATE TABLE TBL_APTN (IND int,PRIM varchar(254))".
QString createStatement();

// The notes of the order's stored lines by line number; empty when the folder has no notes.
QHash<int32_t, QString> read(store::Connection& cn, int32_t norder);

// Replaces the notes of the order's lines by `notes` (blank ones are not stored), and
// drops every note whose line is no longer stored. Call after the lines are written.
void write(store::Connection& cn, int32_t norder, const QList<Note>& notes);

// Deletes the notes of the order's lines; call before the lines themselves go.
void removeOfOrder(store::Connection& cn, int32_t norder);

}  // namespace order::notes
