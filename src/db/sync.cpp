#include "db/sync.h"

#include <stdexcept>

#include "core/errors.h"
#include "core/sql_text.h"
#include "db/schema.h"

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

SyncError::SyncError(const QString& statement, const QString& reason)
    : core::DbError(statement + QLatin1Char('\n') + reason), statement_(statement), reason_(reason) {}

QString insertStatement(const QString& table, const store::RecordSet& record) {
    const Table& t = referenceTable(table);
    QStringList names;
    QStringList values;
    for (const Column& c : t.columns) {
        names << c.name;
        const core::Value v = record.field(c.sourceField);
        try {
            switch (c.kind) {
            case Column::Kind::Whole:
                values << wholeText(v);
                break;
            case Column::Kind::Number:
                values << numberText(v);
                break;
            case Column::Kind::Text:
                values << textLiteral(v);
                break;
            }
        } catch (const core::ConversionError& e) {
            throw core::ConversionError(QStringLiteral("поле %1: %2").arg(c.sourceField, e.message()));
        }
    }
    return QStringLiteral("INSERT INTO ") + t.name + QLatin1Char('(') + names.join(QStringLiteral(", ")) +
           QStringLiteral(") VALUES(") + values.join(QStringLiteral(", ")) + QLatin1Char(')');
}

void synchronise(store::Connection& cn, const QSet<QString>& ticked, const SyncProgressFn& progress) {
    QStringList chosen;
    for (const QString& name : ticked)
        referenceTable(name);  // rejects unknown names before anything is written
    for (const QString& name : referenceTables())
        for (const QString& t : ticked)
            if (t.compare(name, Qt::CaseInsensitive) == 0 && !chosen.contains(name))
                chosen << name;

    SyncProgress p;
    p.steps = int(workingTables().size() + chosen.size());
    auto report = [&] {
        if (progress)
            progress(p);
    };
    QString statement;
    auto run = [&](const QString& sql) {
        statement = sql;
        cn.execute(sql);
    };

    try {
        for (const QString& name : workingTables()) {
            ++p.step;
            p.table = name;
            p.rows = 0;
            run(createStatement(name));
            report();
        }
        for (const QString& name : chosen) {
            ++p.step;
            p.table = name;
            p.rows = 0;
            run(createStatement(name));
            report();
            statement = sourceQuery(name);
            std::unique_ptr<store::RecordSet> rs = cn.open(statement);
            while (!rs->eof()) {
                // Until the text is built, a failure belongs to the source query.
                statement = sourceQuery(name);
                run(insertStatement(name, *rs));
                ++p.rows;
                report();
                statement = sourceQuery(name);
                rs->moveNext();
            }
            rs->close();
        }
    } catch (const std::exception& e) {
        throw SyncError(statement, core::errorText(e));
    }
}

}  // namespace db
