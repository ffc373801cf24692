#include "order/line_notes.h"

#include "core/errors.h"
#include "core/sql_text.h"
#include "store/connection.h"

namespace order::notes {
namespace {

const QString kTable = QStringLiteral("TBL_APTN");

// The store names a table it does not know in its message; any other failure is real.
bool isMissingTable(const core::DbError& e) {
    return e.message().contains(QStringLiteral("no such table: ") + kTable, Qt::CaseInsensitive);
}

QString linesOf(int32_t norder) {
    return QStringLiteral("SELECT IND FROM TBL_APTS WHERE IND_APP=") + QString::number(norder);
}

// Runs a statement on the notes table; false when the folder has none.
bool executeOnNotes(store::Connection& cn, const QString& sql) {
    try {
        cn.execute(sql);
        return true;
    } catch (const core::DbError& e) {
        if (!isMissingTable(e))
            throw;
        return false;
    }
}

bool isBlank(const QString& text) {
    for (const QChar c : text)
        if (c != QLatin1Char(' '))
            return false;
    return true;
}

}  // namespace

QString createStatement() {
    return QStringLiteral("CREATE TABLE ") + kTable + QStringLiteral(" (IND int,PRIM varchar(") +
           QString::number(kMaxLength) + QStringLiteral("))");
}

QHash<int32_t, QString> read(store::Connection& cn, int32_t norder) {
    QHash<int32_t, QString> out;
    std::unique_ptr<store::RecordSet> rs;
    try {
        rs = cn.open(QStringLiteral("SELECT IND, PRIM FROM ") + kTable + QStringLiteral(" WHERE IND IN (") +
                     linesOf(norder) + QStringLiteral(")"));
    } catch (const core::DbError& e) {
        if (!isMissingTable(e))
            throw;
        return out;
    }
    for (; !rs->eof(); rs->moveNext()) {
        const core::Value line = rs->field(QStringLiteral("IND"));
        const core::Value text = rs->field(QStringLiteral("PRIM"));
        if (!line.isNull() && !text.isNull())
            out.insert(line.toInt32(), text.toText());
    }
    rs->close();
    return out;
}

void write(store::Connection& cn, int32_t norder, const QList<Note>& notes) {
    // This order's notes are written anew; notes of lines that are gone (removed by this
    // save, or by a program that knows nothing of notes) would otherwise pass to the
    // next line that takes their number.
    bool exists = executeOnNotes(cn, QStringLiteral("DELETE FROM ") + kTable + QStringLiteral(" WHERE IND IN (") +
                                         linesOf(norder) +
                                         QStringLiteral(") OR NOT IND IN (SELECT IND FROM TBL_APTS WHERE "
                                                        "NOT IND IS NULL)"));
    for (const Note& n : notes) {
        if (isBlank(n.text))
            continue;
        if (!exists) {
            cn.execute(createStatement());
            exists = true;
        }
        cn.execute(QStringLiteral("INSERT INTO ") + kTable + QStringLiteral("(IND, PRIM) VALUES(") +
                   QString::number(n.line) + QStringLiteral(", ") + core::sql::literal(n.text) + QStringLiteral(")"));
    }
}

void removeOfOrder(store::Connection& cn, int32_t norder) {
    executeOnNotes(cn, QStringLiteral("DELETE FROM ") + kTable + QStringLiteral(" WHERE IND IN (") + linesOf(norder) +
                           QStringLiteral(")"));
}

}  // namespace order::notes
