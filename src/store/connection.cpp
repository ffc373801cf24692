#include "store/connection.h"

#include <QRegularExpression>

#include "core/errors.h"

namespace store {

bool isCentralStatement(const QString& sql) {
    // Every central statement starts with "exec", "nom_command1" or "select": most
    // statements are told apart by their first letter without a pattern.
    for (QChar c : sql) {
        if (c.isSpace()) continue;
        const char16_t first = c.toLower().unicode();
        if (first != u'e' && first != u'n' && first != u's') return false;
        break;
    }
    // The order-exchange commands, by their first word.
    static const QRegularExpression command(QStringLiteral(R"(^\s*(exec|nom_command1)\s)"),
                                            QRegularExpression::CaseInsensitiveOption);
    // The synchronisation's source queries: a select whose first FROM (outside any quoted
    // text) names one of the central tables, which alone are spelled in lower case.
    static const QRegularExpression sourceQuery(
        QStringLiteral(R"(^\s*select\s[^']*?\sfrom\s+tbl_[a-z_]+\b)"));
    return command.match(sql).hasMatch() || sourceQuery.match(sql).hasMatch();
}

void Connection::replaceTables(const QStringList&) {
    throw core::DbError(QStringLiteral("Эта база данных не заменяет таблицы целиком."));
}

RoutedConnection::RoutedConnection(std::unique_ptr<Connection> local, std::unique_ptr<Connection> central)
    : local_(std::move(local)), central_(std::move(central)) {}

Connection& RoutedConnection::route(const QString& sql) {
    if (!isCentralStatement(sql)) return *local_;
    if (!central_)
        throw core::DbError(QStringLiteral("Запрос адресован центральному серверу, а центральная база не "
                                           "задана: %1")
                                .arg(sql));
    return *central_;
}

void RoutedConnection::execute(const QString& sql) {
    route(sql).execute(sql);
}

std::unique_ptr<RecordSet> RoutedConnection::open(const QString& sql) {
    return route(sql).open(sql);
}

namespace {

class Borrowed final : public Connection {
public:
    explicit Borrowed(Connection& other) : other_(other) {}
    void execute(const QString& sql) override { other_.execute(sql); }
    std::unique_ptr<RecordSet> open(const QString& sql) override { return other_.open(sql); }
    void flush() override { other_.flush(); }
    QString folder() const override { return other_.folder(); }
    void replaceTables(const QStringList& tables) override { other_.replaceTables(tables); }
    void beginUnit() override { other_.beginUnit(); }
    void commitUnit() override { other_.commitUnit(); }

private:
    Connection& other_;
};

}  // namespace

std::unique_ptr<Connection> borrow(Connection& other) { return std::make_unique<Borrowed>(other); }

namespace {

// The keys a connection string of the local store may hold besides Data Source; a ";"
// inside the folder's name is only a separator when one of these follows it.
bool startsWithKey(const QString& rest) {
    static const QRegularExpression key(
        QStringLiteral(
            R"(^\s*(provider|data source|extended properties|persist security info|user id|password|)"
            R"(mode|initial catalog|jet oledb:[^=;]*)\s*=)"),
        QRegularExpression::CaseInsensitiveOption);
    return key.match(rest).hasMatch() || rest.trimmed().isEmpty();
}

}  // namespace

QString dataSourceFolder(const QString& connectionString) {
    // The last "Data Source=" at the start or after a separator counts.
    static const QRegularExpression dataSource(QStringLiteral(R"((^|;)\s*data source\s*=)"),
                                               QRegularExpression::CaseInsensitiveOption);
    qsizetype from = -1;
    for (auto it = dataSource.globalMatch(connectionString); it.hasNext();) from = it.next().capturedEnd();
    if (from < 0) return QString();
    qsizetype end = from;
    for (;; ++end) {
        end = connectionString.indexOf(QLatin1Char(';'), end);
        if (end < 0 || startsWithKey(connectionString.mid(end + 1))) break;
    }
    QString v = connectionString.mid(from, end < 0 ? -1 : end - from).trimmed();
    v.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return v;
}

}  // namespace store
