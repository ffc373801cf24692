#include "db/sync.h"

#include <QDir>
#include <stdexcept>

#include "core/checkpoint.h"
#include "core/errors.h"
#include "core/sql_text.h"
#include "db/schema.h"
#include "store/dbf_connection.h"
#include "store/table_swap.h"

namespace db {
namespace {

QString wholeText(const core::Value& v) {
    if (v.isNull())
        return QStringLiteral("NULL");
    if (v.kind() == core::Value::Kind::Double) {
        // A central driver may hand whole numbers over as doubles; keep any fraction
        // rather than round it away.
        const double d = v.rawDouble();
        return core::doubleToText(d, QLatin1Char('.'));
    }
    return QString::number(v.toInt32());
}

QString numberText(const core::Value& v) {
    if (v.isNull())
        return QStringLiteral("NULL");
    // The statement carries a point whatever the operator's decimal separator is.
    return core::sql::number(v.toDouble());
}

QString textLiteral(const core::Value& v) { return core::sql::literal(v.isNull() ? QString() : v.toText()); }

const Table& referenceTable(const QString& name) {
    const Table* t = findTable(name);
    if (!t || !t->isReference())
        throw std::out_of_range(QStringLiteral("«%1» — не справочная таблица.").arg(name).toStdString());
    return *t;
}

}  // namespace

SyncError::SyncError(const QString& statement, const QString& reason, const QString& table)
    : core::DbError(statement + QLatin1Char('\n') + reason), statement_(statement), reason_(reason), table_(table) {}

QString insertStatement(const QString& table, const store::RecordSet& record) {
    return insertStatement(referenceTable(table), record);
}

QString insertStatement(const Table& t, const store::RecordSet& record) {
    QString sql = QStringLiteral("INSERT INTO ") + t.name + QLatin1Char('(');
    for (const Column& c : t.columns) {
        if (&c != &t.columns.front())
            sql += QStringLiteral(", ");
        sql += c.name;
    }
    sql += QStringLiteral(") VALUES(");
    for (const Column& c : t.columns) {
        if (&c != &t.columns.front())
            sql += QStringLiteral(", ");
        const core::Value v = record.field(c.sourceField);
        try {
            switch (c.kind) {
            case Column::Kind::Whole:
                sql += wholeText(v);
                break;
            case Column::Kind::Number:
                sql += numberText(v);
                break;
            case Column::Kind::Text:
                sql += textLiteral(v);
                break;
            }
        } catch (const core::ConversionError& e) {
            throw core::ConversionError(QStringLiteral("поле %1: %2").arg(c.sourceField, e.message()));
        }
    }
    return sql + QLatin1Char(')');
}

namespace {

// Creates the working tables (when `working`) and the chosen reference tables, filling
// each of the latter from its source query.
void run(store::Connection& cn, bool working, const QStringList& chosen, const SyncProgressFn& progress) {
    SyncProgress p;
    p.steps = int((working ? workingTables().size() : 0) + chosen.size());
    auto report = [&] {
        if (progress)
            progress(p);
    };
    QString statement;
    auto exec = [&](const QString& sql) {
        statement = sql;
        cn.execute(sql);
    };
    QString current;  // the table the statements are for, even before its first report
    auto begin = [&](const QString& name) {
        current = name;
        ++p.step;
        p.table = name;
        p.rows = 0;
        exec(createStatement(name));
        report();
    };

    try {
        if (working)
            for (const QString& name : workingTables())
                begin(name);
        for (const QString& name : chosen) {
            begin(name);
            const Table& table = referenceTable(name);
            statement = table.sourceQuery;
            std::unique_ptr<store::RecordSet> rs = cn.open(statement);
            while (!rs->eof()) {
                // Until the text is built, a failure belongs to the source query.
                statement = table.sourceQuery;
                exec(insertStatement(table, *rs));
                ++p.rows;
                report();
                statement = table.sourceQuery;
                rs->moveNext();
            }
            rs->close();
        }
    } catch (const SyncCancelled&) {
        throw;
    } catch (const std::exception& e) {
        throw SyncError(statement, core::errorText(e), current);
    }
}

}  // namespace

void synchronise(store::Connection& cn, const QSet<QString>& ticked, const SyncProgressFn& progress) {
    QStringList chosen;
    for (const QString& name : ticked)
        referenceTable(name);  // rejects unknown names before anything is written
    for (const QString& name : referenceTables())
        for (const QString& t : ticked)
            if (t.compare(name, Qt::CaseInsensitive) == 0 && !chosen.contains(name))
                chosen << name;
    run(cn, true, chosen, progress);
}

void copyReferenceTables(store::Connection& cn, const SyncProgressFn& progress) {
    run(cn, false, referenceTables(), progress);
}

void copyIntoStaging(store::Connection& cn, const StagedCopy& copy, const SyncProgressFn& progress, const char* moment,
                     int rows) {
    store::prepareStaging(cn.folder());
    // Nothing reads the staging folder until its tables move: its appends are batched and
    // made durable once, at the end.
    store::RoutedConnection staged(
        store::openFolder(store::stagingFolderOf(cn.folder()), store::Writes::Batched), store::borrow(cn));
    QString reported;
    int rowsSeen = 0;
    copy(staged, [&](const SyncProgress& p) {
        if (p.table != reported || ++rowsSeen % rows == 0) core::checkpoint(moment);
        reported = p.table;
        if (progress) progress(p);
    });
    staged.flush();
}

void buildFolder(store::Connection& cn, const SyncProgressFn& progress) {
    const QString folder = cn.folder();
    const QStringList tables = workingTables() + referenceTables();
    // A table the folder already holds fails its creation there, as the first statement of
    // a run in the folder itself would, before anything is written.
    const QStringList present = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    for (const QString& name : tables)
        for (const QString& file : present)
            if (file.compare(name + QStringLiteral(".dbf"), Qt::CaseInsensitive) == 0) {
                const QString sql = createStatement(name);
                try {
                    cn.execute(sql);
                } catch (const std::exception& e) {
                    throw SyncError(sql, core::errorText(e), name);
                }
            }
    try {
        copyIntoStaging(
            cn, [](store::Connection& staged, const SyncProgressFn& p) { run(staged, true, referenceTables(), p); },
            progress, "table built", 200);
        core::checkpoint("folder built");
        cn.replaceTables(tables);
    } catch (...) {
        // Before the commit this throws the staged tables away; after it, it moves them in.
        store::recoverReplacement(folder);
        throw;
    }
}

}  // namespace db
