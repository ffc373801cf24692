#include "db/central_link.h"

#include <QAtomicInt>
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

// Owns the named Qt SQL connection. Result sets share it, so the connection is removed
// only after the last of them and the link itself are gone.
class Handle {
public:
    Handle(const QString& driver, const QString& name) : name_(name) { QSqlDatabase::addDatabase(driver, name_); }
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

QString describe(const QSqlError& e) {
    QString t = e.text().trimmed();
    return t.isEmpty() ? QStringLiteral("неизвестная ошибка") : t;
}

[[noreturn]] void fail(const QString& sql, const QSqlError& e) {
    throw core::DbError(QStringLiteral("Центральная база не выполнила запрос:\n%1\n%2").arg(sql, describe(e)));
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

class LinkRecordSet final : public store::RecordSet {
public:
    // `sent` is the statement as the program wrote it, named in errors; `run` what the
    // engine gets.
    LinkRecordSet(std::shared_ptr<Handle> handle, const QString& sent, const QString& run)
        : handle_(std::move(handle)), q_(handle_->db()), sql_(sent) {
        q_.setForwardOnly(true);
        // Money and numeric columns of a SQL Server come as doubles, not texts.
        q_.setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
        if (!q_.exec(run))
            fail(sql_, q_.lastError());
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
            fail(sql_, q_.lastError());
    }

    std::shared_ptr<Handle> handle_;  // declared first: the query goes before the connection
    QSqlQuery q_;
    QString sql_;
    QSqlRecord rec_;
    bool open_ = false;
    bool onRecord_ = false;
};

class CentralLink final : public store::Connection {
public:
    CentralLink(std::shared_ptr<Handle> handle, bool stripHints)
        : handle_(std::move(handle)), stripHints_(stripHints) {}
    void execute(const QString& sql) override {
        QSqlQuery q(handle_->db());
        if (!q.exec(adapt(sql)))
            fail(sql, q.lastError());
    }
    std::unique_ptr<store::RecordSet> open(const QString& sql) override {
        return std::make_unique<LinkRecordSet>(handle_, sql, adapt(sql));
    }

private:
    QString adapt(const QString& sql) const { return stripHints_ ? stripNoLock(sql) : sql; }
    std::shared_ptr<Handle> handle_;
    bool stripHints_;
};

QString nextConnectionName() {
    static QAtomicInt counter;
    return QStringLiteral("zelvorin-central-%1").arg(counter.fetchAndAddRelaxed(1));
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

std::unique_ptr<store::Connection> openCentralLink(const QString& source) {
    const bool odbc = isOdbcSource(source) && !QFileInfo::exists(source);
    const QString driver = odbc ? QStringLiteral("QODBC") : QStringLiteral("QSQLITE");
    if (!QSqlDatabase::isDriverAvailable(driver))
        throw core::DbError(
            QStringLiteral("Центральная база %1: не установлен драйвер Qt SQL %2.").arg(source, driver));
    if (!odbc) {
        const QFileInfo fi(source);
        if (!fi.exists())
            throw core::DbError(QStringLiteral("Центральная база %1: файл не найден.").arg(source));
        if (!fi.isFile() || !fi.isReadable())
            throw core::DbError(QStringLiteral("Центральная база %1: файл нельзя прочитать.").arg(source));
    }

    auto handle = std::make_shared<Handle>(driver, nextConnectionName());
    QSqlDatabase d = handle->db();
    d.setDatabaseName(odbc ? source : QFileInfo(source).absoluteFilePath());
    if (!odbc)
        d.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    if (!d.open())
        throw core::DbError(
            QStringLiteral("Центральная база %1 не открывается: %2").arg(source, describe(d.lastError())));
    if (!odbc) {
        // SQLite opens anything lazily; read its catalogue now so that a file that is no
        // database fails here rather than at the first source query.
        QSqlQuery probe(d);
        if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")))
            throw core::DbError(
                QStringLiteral("Центральная база %1 не открывается: %2").arg(source, describe(probe.lastError())));
    }
    return std::make_unique<CentralLink>(std::move(handle), !odbc);
}

}  // namespace db
