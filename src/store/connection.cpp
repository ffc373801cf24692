#include "store/connection.h"

#include "core/errors.h"

#include <QRegularExpression>

namespace store {

bool isCentralStatement(const QString& sql) {
    static const QRegularExpression re(
        QStringLiteral(R"(^\s*(exec\s+nom_command\b|nom_command1\b)|\(\s*nolock\s*\))"),
        QRegularExpression::CaseInsensitiveOption);
    return re.match(sql).hasMatch();
}

RoutedConnection::RoutedConnection(std::unique_ptr<Connection> local, std::unique_ptr<Connection> central)
    : local_(std::move(local)), central_(std::move(central)) {}

Connection& RoutedConnection::route(const QString& sql) {
    if (!isCentralStatement(sql))
        return *local_;
    if (!central_)
        throw core::DbError(QStringLiteral("The statement is addressed to the central server, and no central "
                                           "database is configured: %1")
                                .arg(sql));
    return *central_;
}

void RoutedConnection::execute(const QString& sql) { route(sql).execute(sql); }

std::unique_ptr<RecordSet> RoutedConnection::open(const QString& sql) { return route(sql).open(sql); }

QString dataSourceFolder(const QString& connectionString) {
    const QStringList parts = connectionString.split(QLatin1Char(';'));
    for (const QString& part : parts) {
        const int eq = part.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        if (part.left(eq).trimmed().compare(QLatin1String("Data Source"), Qt::CaseInsensitive) == 0) {
            QString v = part.mid(eq + 1).trimmed();
            v.replace(QLatin1Char('\\'), QLatin1Char('/'));
            return v;
        }
    }
    return QString();
}

}  // namespace store
