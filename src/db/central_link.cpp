#include "db/central_link.h"

#include <QAtomicInt>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <limits>

#include "core/errors.h"

namespace db {
namespace {

// One key=value pair of an ODBC connection string (the key in upper case); a value may
// stand in braces, with "}}" for a brace inside.
struct OdbcPair {
    QString key;
    QString value;
};

QList<OdbcPair> odbcPairs(const QString& s) {
    QList<OdbcPair> pairs;
    const qsizetype n = s.size();
    qsizetype i = 0;
    while (i < n) {
        const qsizetype eq = s.indexOf(QLatin1Char('='), i);
        const qsizetype semi = s.indexOf(QLatin1Char(';'), i);
        if (eq < 0 || (semi >= 0 && semi < eq)) {
            i = semi < 0 ? n : semi + 1;
            continue;
        }
        OdbcPair p;
        p.key = s.mid(i, eq - i).trimmed().toUpper();
        qsizetype v = eq + 1, to = 0;
        while (v < n && s.at(v) == QLatin1Char(' ')) ++v;
        if (v < n && s.at(v) == QLatin1Char('{')) {
            qsizetype j = v + 1;
            while (j < n) {
                if (s.at(j) == QLatin1Char('}')) {
                    if (j + 1 < n && s.at(j + 1) == QLatin1Char('}')) {
                        p.value += QLatin1Char('}');
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                p.value += s.at(j++);
            }
            const qsizetype end = s.indexOf(QLatin1Char(';'), j);
            to = end < 0 ? n : end;
        } else {
            to = semi < 0 ? n : semi;
            p.value = s.mid(eq + 1, to - eq - 1).trimmed();
        }
        i = to + 1;
        pairs << p;
    }
    return pairs;
}

bool isPasswordKey(const QString& key) { return key == QLatin1String("PWD") || key == QLatin1String("PASSWORD"); }

// The password of a connection string, to be kept out of every text the link hands on.
class Secret {
public:
    explicit Secret(const QString& source) {
        for (const OdbcPair& p : odbcPairs(source))
            if (isPasswordKey(p.key) && !p.value.isEmpty()) values_ << p.value;
    }
    QString scrub(QString text) const {
        text = maskPassword(text);
        // A very short password would wipe out ordinary words; it is masked by key only.
        for (const QString& v : values_)
            if (v.size() >= 3) text.replace(v, QStringLiteral("***"));
        return text;
    }

private:
    QStringList values_;
};

// The Russian name of a connection fault that the driver's message tells: when opening
// (`opening`), a refused login or a server out of reach; later, a connection lost.
QString faultKind(const QString& m, bool opening) {
    const auto has = [&](const char* s) { return m.contains(QLatin1String(s), Qt::CaseInsensitive); };
    if (opening) {
        if (has("28000") || has("28P01") || has("password authentication failed") || has("Login failed") ||
            has("authentication failed"))
            return QStringLiteral("Сервер отказал во входе: неверное имя пользователя или пароль.");
        if (has("could not connect") || has("Connection refused") || has("Unable to connect") ||
            has("is the server running") || has("timeout expired") || has("could not translate host name"))
            return QStringLiteral("Сервер недоступен: он не запущен, не принимает подключения или не отвечает.");
        return QString();
    }
    if (has("08S01") || has("server closed the connection") || has("terminating connection") ||
        has("no connection to the server") || has("could not send data") || has("could not receive data") ||
        has("connection was lost") || has("Communication link failure") || has("connection not open"))
        return QStringLiteral("Связь с сервером прервалась.");
    return QString();
}

// Owns the named Qt SQL connection. Result sets share it, so the connection is removed
// only after the last of them and the link itself are gone.
class Handle {
public:
    Handle(const QString& driver, const QString& name) : name_(name) { QSqlDatabase::addDatabase(driver, name_); }
    Handle(QSqlDriver* driver, const QString& name) : name_(name) { QSqlDatabase::addDatabase(driver, name_); }
    ~Handle() {
        {
            QSqlDatabase d = QSqlDatabase::database(name_, false);
            d.close();
        }
        QSqlDatabase::removeDatabase(name_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    QSqlDatabase db() const { return QSqlDatabase::database(name_, false); }

private:
    QString name_;
};

// What the driver said, with a Russian line before it for the faults an operator can
// act on, and never the password (a driver might repeat the connection string).
QString describe(const QSqlError& e, const Secret& secret, bool opening = false) {
    const QString t = secret.scrub(e.text().trimmed());
    if (t.isEmpty())
        return QStringLiteral("неизвестная ошибка");
    const QString what = faultKind(t + QLatin1Char(' ') + e.nativeErrorCode(), opening);
    return what.isEmpty() ? t : what + QLatin1Char('\n') + t;
}

core::Value toValue(const QVariant& v) {
    if (v.isNull() || !v.isValid())
        return core::Value::null();
    switch (v.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return core::Value::int32(v.toInt());
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong: {
        const qlonglong n = v.toLongLong();
        if (n >= std::numeric_limits<int32_t>::min() && n <= std::numeric_limits<int32_t>::max())
            return core::Value::int32(int32_t(n));
        return core::Value::dbl(double(n));
    }
    case QMetaType::Double:
    case QMetaType::Float:
        return core::Value::dbl(v.toDouble());
    case QMetaType::Bool:
        return core::Value::boolean(v.toBool());
    case QMetaType::QByteArray:
        return core::Value::text(QString::fromUtf8(v.toByteArray()));
    default:
        return core::Value::text(v.toString());
    }
}

// What every statement of one link shares: the connection, the server's name for
// messages and the password to keep out of them.
struct LinkContext {
    std::shared_ptr<Handle> handle;
    QString name;
    Secret secret;
    [[noreturn]] void fail(const QString& sql, const QSqlError& e) const {
        throw core::DbError(QStringLiteral("Центральная база (%1) не выполнила запрос:\n%2\n%3")
                                .arg(name, secret.scrub(sql), describe(e, secret)));
    }
};

class LinkRecordSet final : public store::RecordSet {
public:
    // `sent` is the statement as the program wrote it, named in errors; `run` what the
    // engine gets.
    LinkRecordSet(std::shared_ptr<const LinkContext> link, const QString& sent, const QString& run)
        : link_(std::move(link)), q_(link_->handle->db()), sql_(sent) {
        q_.setForwardOnly(true);
        // Money and numeric columns of a SQL Server come as doubles, not texts.
        q_.setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
        if (!q_.exec(run))
            link_->fail(sql_, q_.lastError());
        rec_ = q_.record();
        open_ = true;
        advance();
    }
    bool isOpen() const override { return open_; }
    bool eof() const override { return !open_ || !onRecord_; }
    core::Value field(const QString& name) const override {
        if (eof())
            throw core::DbError(
                QStringLiteral("Нет текущей записи для поля %1 в результате запроса:\n%2").arg(name, sql_));
        const int i = rec_.indexOf(name);
        if (i < 0) {
            // indexOf compares case-insensitively already; this is the unknown-name case.
            throw core::DbError(QStringLiteral("Нет поля %1 в результате запроса:\n%2").arg(name, sql_));
        }
        return toValue(q_.value(i));
    }
    void moveNext() override {
        if (eof())
            throw core::DbError(QStringLiteral("Чтение после последней записи результата запроса:\n%1").arg(sql_));
        advance();
    }
    void close() override {
        q_.finish();
        open_ = false;
        onRecord_ = false;
    }
    QStringList fieldNames() const override {
        QStringList names;
        for (int i = 0; i < rec_.count(); ++i)
            names << rec_.fieldName(i);
        return names;
    }

private:
    void advance() {
        onRecord_ = q_.next();
        if (!onRecord_ && q_.lastError().isValid())
            link_->fail(sql_, q_.lastError());
    }

    std::shared_ptr<const LinkContext> link_;  // declared first: the query goes before the connection
    QSqlQuery q_;
    QString sql_;
    QSqlRecord rec_;
    bool open_ = false;
    bool onRecord_ = false;
};

class CentralLink final : public store::Connection {
public:
    CentralLink(std::shared_ptr<const LinkContext> link, bool stripHints)
        : link_(std::move(link)), stripHints_(stripHints) {}
    void execute(const QString& sql) override {
        QSqlQuery q(link_->handle->db());
        if (!q.exec(adapt(sql)))
            link_->fail(sql, q.lastError());
    }
    std::unique_ptr<store::RecordSet> open(const QString& sql) override {
        return std::make_unique<LinkRecordSet>(link_, sql, adapt(sql));
    }

private:
    QString adapt(const QString& sql) const { return stripHints_ ? stripNoLock(sql) : sql; }
    std::shared_ptr<const LinkContext> link_;
    bool stripHints_;
};

QString nextConnectionName() {
    static QAtomicInt counter;
    return QStringLiteral("zelvorin-central-%1").arg(counter.fetchAndAddRelaxed(1));
}

// Opens the connection a handle names and makes the link on it; the server's kind, as
// the driver reports it once connected, says whether the hints stay.
std::unique_ptr<store::Connection> connect(std::shared_ptr<Handle> handle, const QString& source, bool odbc) {
    auto link = std::make_shared<LinkContext>(LinkContext{std::move(handle), sourceName(source), Secret(source)});
    QSqlDatabase d = link->handle->db();
    if (odbc) {
        d.setDatabaseName(source);
    } else {
        d.setDatabaseName(QFileInfo(source).absoluteFilePath());
        d.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    }
    if (!d.open())
        throw core::DbError(QStringLiteral("Центральная база (%1) не открывается.\n%2")
                                .arg(link->name, describe(d.lastError(), link->secret, true)));
    if (!odbc) {
        // SQLite opens anything lazily; read its catalogue now so that a file that is no
        // database fails here rather than at the first source query.
        QSqlQuery probe(d);
        if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")))
            throw core::DbError(QStringLiteral("Центральная база (%1) не открывается.\n%2")
                                    .arg(link->name, describe(probe.lastError(), link->secret, true)));
    }
    const bool strip = !knowsNoLockHint(d.driver()->dbmsType());
    return std::make_unique<CentralLink>(std::move(link), strip);
}

}  // namespace

bool isOdbcSource(const QString& source) {
    return source.contains(QLatin1String("DRIVER="), Qt::CaseInsensitive) ||
           source.contains(QLatin1String("DSN="), Qt::CaseInsensitive);
}

QString stripNoLock(const QString& sql) {
    static const QRegularExpression hint(QStringLiteral(R"(\s*\(\s*nolock\s*\))"),
                                         QRegularExpression::CaseInsensitiveOption);
    QString s = sql;
    s.replace(hint, QString());
    return s;
}

bool knowsNoLockHint(QSqlDriver::DbmsType kind) {
    return kind == QSqlDriver::MSSqlServer || kind == QSqlDriver::Sybase || kind == QSqlDriver::UnknownDbms;
}

QString maskPassword(const QString& text) {
    // Any text, not only a well-formed connection string: a driver's message may quote one.
    static const QRegularExpression key(QStringLiteral(R"((^|[;\s])((?:PWD|PASSWORD)\s*=\s*)(\{(?:[^}]|\}\})*\}?|[^;\r\n]*))"),
                                        QRegularExpression::CaseInsensitiveOption);
    QString s = text;
    s.replace(key, QStringLiteral("\\1\\2***"));
    return s;
}

QString sourceName(const QString& source) {
    if (!isOdbcSource(source) || QFileInfo::exists(source))
        return QDir::toNativeSeparators(source);
    QString server, port, database, dsn;
    for (const OdbcPair& p : odbcPairs(source)) {
        if (p.key == QLatin1String("SERVER") || p.key == QLatin1String("SERVERNAME") || p.key == QLatin1String("HOST"))
            server = p.value;
        else if (p.key == QLatin1String("PORT"))
            port = p.value;
        else if (p.key == QLatin1String("DATABASE"))
            database = p.value;
        else if (p.key == QLatin1String("DSN"))
            dsn = p.value;
    }
    QStringList parts;
    if (!dsn.isEmpty()) parts << QStringLiteral("источник ODBC %1").arg(dsn);
    if (!server.isEmpty()) parts << QStringLiteral("сервер %1").arg(server);
    if (!port.isEmpty()) parts << QStringLiteral("порт %1").arg(port);
    if (!database.isEmpty()) parts << QStringLiteral("база %1").arg(database);
    return parts.isEmpty() ? maskPassword(source) : parts.join(QStringLiteral(", "));
}

QString withPasswordFromEnvironment(const QString& source) {
    const QString pwd = qEnvironmentVariable("ZELVORIN_CENTRAL_PWD");
    if (pwd.isEmpty() || !isOdbcSource(source) || QFileInfo::exists(source)) return source;
    for (const OdbcPair& p : odbcPairs(source))
        if (isPasswordKey(p.key)) return source;
    static const QRegularExpression special(QStringLiteral(R"([;{}]|^\s|\s$)"));
    const QString value =
        pwd.contains(special) ? QLatin1Char('{') + QString(pwd).replace(QLatin1Char('}'), QStringLiteral("}}")) + QLatin1Char('}') : pwd;
    QString s = source.trimmed();
    if (!s.endsWith(QLatin1Char(';'))) s += QLatin1Char(';');
    return s + QStringLiteral("PWD=") + value;
}

// psqlODBC reads a whole result into memory before the first row is handed on, unless
// told to fetch through a cursor: then a big table neither sits whole in memory nor holds
// the window until its last row has arrived, and the progress and "Отмена" keep working.
QString withFetchByChunks(const QString& source) {
    if (!isOdbcSource(source) || QFileInfo::exists(source)) return source;
    bool postgres = false;
    for (const OdbcPair& p : odbcPairs(source)) {
        if (p.key == QLatin1String("USEDECLAREFETCH")) return source;  // the site's own choice
        if (p.key == QLatin1String("DRIVER"))
            postgres = p.value.contains(QLatin1String("PostgreSQL"), Qt::CaseInsensitive) ||
                       p.value.contains(QLatin1String("psqlodbc"), Qt::CaseInsensitive);
    }
    if (!postgres) return source;
    QString s = source.trimmed();
    if (!s.endsWith(QLatin1Char(';'))) s += QLatin1Char(';');
    return s + QStringLiteral("UseDeclareFetch=1;Fetch=5000");
}

std::unique_ptr<store::Connection> openCentralLink(const QString& given) {
    const QString source = withFetchByChunks(withPasswordFromEnvironment(given));
    const bool odbc = isOdbcSource(source) && !QFileInfo::exists(source);
    const QString driver = odbc ? QStringLiteral("QODBC") : QStringLiteral("QSQLITE");
    if (!QSqlDatabase::isDriverAvailable(driver))
        throw core::DbError(QStringLiteral("Центральная база (%1): не установлен драйвер Qt SQL %2.")
                                .arg(sourceName(source), driver));
    if (!odbc) {
        const QFileInfo fi(source);
        if (!fi.exists())
            throw core::DbError(QStringLiteral("Центральная база %1: файл не найден.").arg(source));
        if (!fi.isFile() || !fi.isReadable())
            throw core::DbError(QStringLiteral("Центральная база %1: файл нельзя прочитать.").arg(source));
    }
    return connect(std::make_shared<Handle>(driver, nextConnectionName()), source, odbc);
}

std::unique_ptr<store::Connection> openCentralLink(const QString& given, QSqlDriver* driver) {
    const QString source = withPasswordFromEnvironment(given);
    return connect(std::make_shared<Handle>(driver, nextConnectionName()), source, true);
}

}  // namespace db
