#include "store/sql_engine.h"

#include <sqlite3.h>

#include <QDir>
#include <QFileInfo>
#include <cstring>

#include "core/errors.h"
#include "store/create_table.h"
#include "store/engine_table.h"
#include "store/insert_template.h"
#include "store/journal.h"
#include "store/price_range.h"
#include "store/record_set.h"
#include "store/text_collation.h"

namespace store {
namespace {

// Anything after the statement but blanks, semicolons and comments.
bool onlyBlanks(const char* p) {
    if (!p) return true;
    while (*p) {
        if (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n' || *p == '\f' || *p == '\v' || *p == ';') {
            ++p;
        } else if (p[0] == '-' && p[1] == '-') {
            while (*p && *p != '\n') ++p;
        } else if (p[0] == '/' && p[1] == '*') {
            const char* e = std::strstr(p + 2, "*/");
            if (!e) return true;  // an unterminated comment runs to the end
            p = e + 2;
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

int authorize(void* self, int action, const char*, const char*, const char*, const char*) {
    auto* engine = static_cast<SqlEngine*>(self);
    switch (action) {
        case SQLITE_TRANSACTION:
        case SQLITE_SAVEPOINT:
            engine->denied_ = QStringLiteral(
                "Локальная база не ведёт транзакций: каждый запрос сразу применяется к файлам.");
            return SQLITE_DENY;
        case SQLITE_ATTACH:
        case SQLITE_DETACH:
            engine->denied_ = QStringLiteral("Локальная база не подключает других баз данных.");
            return SQLITE_DENY;
        case SQLITE_CREATE_INDEX:
        case SQLITE_CREATE_TABLE:
        case SQLITE_CREATE_TEMP_INDEX:
        case SQLITE_CREATE_TEMP_TABLE:
        case SQLITE_CREATE_TEMP_TRIGGER:
        case SQLITE_CREATE_TEMP_VIEW:
        case SQLITE_CREATE_TRIGGER:
        case SQLITE_CREATE_VIEW:
        case SQLITE_CREATE_VTABLE:
        case SQLITE_DROP_INDEX:
        case SQLITE_DROP_TABLE:
        case SQLITE_DROP_TEMP_INDEX:
        case SQLITE_DROP_TEMP_TABLE:
        case SQLITE_DROP_TEMP_TRIGGER:
        case SQLITE_DROP_TEMP_VIEW:
        case SQLITE_DROP_TRIGGER:
        case SQLITE_DROP_VIEW:
        case SQLITE_DROP_VTABLE:
        case SQLITE_ALTER_TABLE:
            // Such objects would live only in memory and vanish with the connection.
            engine->denied_ = QStringLiteral(
                "Локальная база хранит таблицы только файлами: из запросов к схеме она выполняет лишь "
                "CREATE TABLE имя (поле int|double|varchar(n), ...).");
            return SQLITE_DENY;
        default:
            return SQLITE_OK;
    }
}

SqlEngine::SqlEngine(const QString& folder, bool batched) : folder_(folder), batched_(batched) {
    const QDir dir(folder);
    if (folder.isEmpty() || !dir.exists())
        throw core::DbError(
            QStringLiteral("Папка базы данных %1 не существует.").arg(QDir::toNativeSeparators(folder)));
    if (sqlite3_open_v2(":memory:", &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        const QString msg =
            db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QStringLiteral("не хватает памяти");
        sqlite3_close(db_);
        throw core::DbError(QStringLiteral("Не удаётся запустить обработчик запросов: %1").arg(msg));
    }
    try {
        sqlite3_create_collation_v2(db_, kTextCollation, SQLITE_UTF8, nullptr, compareText, nullptr);
        // Sorts and groups stay in memory: a grouped list of thousands of positions would
        // otherwise spill to temporary files.
        sqlite3_exec(db_, "PRAGMA temp_store=MEMORY; PRAGMA cache_size=-65536", nullptr, nullptr, nullptr);
        sqlite3_set_authorizer(db_, authorize, this);
        priceRanges_ = std::make_unique<PriceRanges>(*this);
        priceRanges_->attach(db_);
        const QFileInfoList files =
            dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
        const QString inside = dir.canonicalPath() + QLatin1Char('/');
        for (const QFileInfo& fi : files) {
            if (fi.suffix().compare(QLatin1String("dbf"), Qt::CaseInsensitive) != 0) continue;
            // A table is a file of this folder: a folder under its name, or a link to a file
            // elsewhere that other folders may share, is refused rather than read or written.
            const QString why = fi.isSymLink() && !fi.canonicalFilePath().startsWith(inside)
                                    ? QStringLiteral("это ссылка на файл вне папки базы данных")
                                : fi.isDir() ? QStringLiteral("это папка, а не файл")
                                             : QString();
            const QString name = fi.completeBaseName();
            if (tables_.count(name.toUpper()) || unreadable_.contains(name.toUpper()))
                throw core::DbError(QStringLiteral("В папке базы данных %1 два файла таблицы %2 "
                                                   "(имена различаются только регистром): %3 и %4.")
                                        .arg(QDir::toNativeSeparators(folder), name,
                                             tables_.count(name.toUpper())
                                                 ? tables_.at(name.toUpper())->data->file().path()
                                                 : unreadable_.value(name.toUpper()).first,
                                             fi.filePath()));
            // A file that cannot be a table stays out of the engine, untouched: the statements
            // that name it fail with why, the others work.
            std::unique_ptr<DbfFile> file;
            QString failure = why.isEmpty() ? QString()
                                            : QStringLiteral("Файл таблицы %1 не читается: %2.")
                                                  .arg(QDir::toNativeSeparators(fi.filePath()), why);
            if (failure.isEmpty()) {
                try {
                    file = DbfFile::open(fi.filePath());
                } catch (const core::DbError& e) {
                    failure = e.message();
                }
            }
            if (!file) {
                unreadable_.insert(name.toUpper(), {fi.filePath(), failure});
                continue;
            }
            auto data = std::make_unique<TableData>(std::move(file));
            data->setName(name);
            registerTable(std::move(data));
        }
    } catch (...) {
        sqlite3_close(db_);
        db_ = nullptr;
        throw;
    }
}

SqlEngine::~SqlEngine() {
    for (SqlRecordSet* rs : std::set<SqlRecordSet*>(recordSets_)) rs->detach();
    recordSets_.clear();
    for (auto& [sql, stmt] : idle_) sqlite3_finalize(stmt);
    idle_.clear();
    sqlite3_close(db_);
}

void SqlEngine::flush() {
    for (auto& [name, table] : tables_) table->data->file().flush();
    // The tables a batched engine created reach the disk under their names too.
    if (batched_) syncFolder(folder_);
}

void SqlEngine::beginUnit() {
    if (unitDepth_++ > 0 || batched_) return;
    journal_ = std::make_unique<Journal>(folder_);
    for (auto& [name, table] : tables_) table->data->file().setJournal(journal_.get());
}

void SqlEngine::commitUnit() {
    if (unitDepth_ == 0 || --unitDepth_ > 0 || !journal_) return;
    const std::unique_ptr<Journal> journal = std::move(journal_);
    for (auto& [name, table] : tables_) table->data->file().setJournal(nullptr);
    journal->commit();
}

void SqlEngine::registerTable(std::unique_ptr<TableData> data) {
    auto table = std::make_unique<Table>();
    table->engine = this;
    table->name = data->name();
    table->moduleName = table->name.toUtf8();
    table->data = std::move(data);
    if (batched_) table->data->file().setBatched(true);
    table->data->file().setJournal(journal_.get());
    Table* raw = table.get();
    tables_[raw->name.toUpper()] = std::move(table);
    if (sqlite3_create_module_v2(db_, raw->moduleName.constData(), &tableModule(), raw, nullptr) != SQLITE_OK)
        throw core::DbError(QStringLiteral("Таблицу %1 не удаётся подключить: %2")
                                .arg(raw->name, QString::fromUtf8(sqlite3_errmsg(db_))));
}

SqlEngine::Table* SqlEngine::entry(const QString& name) const {
    const auto it = tables_.find(name.toUpper());
    return it == tables_.end() ? nullptr : it->second.get();
}

TableData* SqlEngine::table(const QString& name) const {
    Table* t = entry(name);
    return t ? t->data.get() : nullptr;
}

QStringList SqlEngine::unreadableTables() const {
    QStringList out;
    for (const auto& [path, why] : unreadable_) out << why;
    return out;
}

QStringList SqlEngine::tableNames() const {
    QStringList names;
    for (const auto& [key, t] : tables_) names << t->name;
    return names;
}

QString SqlEngine::failureText(const QString& message, const QString& sql) {
    return QStringLiteral("%1\nЗапрос: %2").arg(message, sql);
}

void SqlEngine::fail(const QString& message, const QString& sql) const {
    throw core::DbError(failureText(message, sql));
}

QString SqlEngine::engineError() const {
    return QStringLiteral("Ошибка SQL: ") + QString::fromUtf8(sqlite3_errmsg(db_));
}

sqlite3_stmt* SqlEngine::prepare(const QString& sql, const QString* shown) {
    const auto cached = idleByText_.find(sql);
    if (cached != idleByText_.end()) {
        sqlite3_stmt* stmt = cached.value()->second;
        idle_.erase(cached.value());
        idleByText_.erase(cached);
        return stmt;
    }
    const QByteArray utf8 = sql.toUtf8();
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    denied_.clear();
    const int rc = sqlite3_prepare_v3(db_, utf8.constData(), int(utf8.size()) + 1, SQLITE_PREPARE_PERSISTENT,
                                      &stmt, &tail);
    if (rc != SQLITE_OK) {
        QString msg = denied_.isEmpty() ? engineError() : denied_;
        static const QLatin1String kNoTable("no such table: ");
        const QString sqliteMsg = QString::fromUtf8(sqlite3_errmsg(db_));
        if (sqliteMsg.startsWith(kNoTable)) {
            const QString missing = sqliteMsg.mid(kNoTable.size()).section(QLatin1Char('.'), -1).toUpper();
            if (unreadable_.contains(missing)) msg = unreadable_.value(missing).second;
        }
        sqlite3_finalize(stmt);
        fail(msg, shown ? *shown : sql);
    }
    if (!onlyBlanks(tail)) {
        sqlite3_finalize(stmt);
        fail(QStringLiteral("За один раз выполняется один запрос, а текст продолжается после первого."),
             shown ? *shown : sql);
    }
    if (!stmt) fail(QStringLiteral("Запрос пуст."), shown ? *shown : sql);
    return stmt;
}

void SqlEngine::release(sqlite3_stmt* stmt, const QString& sql) {
    sqlite3_reset(stmt);
    if (idleByText_.contains(sql)) {
        sqlite3_finalize(stmt);
        return;
    }
    idle_.emplace_front(sql, stmt);
    idleByText_.insert(sql, idle_.begin());
    constexpr size_t kKeep = 64;
    while (idle_.size() > kKeep) {
        idleByText_.remove(idle_.back().first);
        sqlite3_finalize(idle_.back().second);
        idle_.pop_back();
    }
}

// An insert of literals runs as a prepared statement with its values bound: a bulk load
// parses its statement once, not once per row.
bool SqlEngine::executeBound(const QString& sql) {
    InsertTemplate t;
    if (!splitInsert(sql, &t)) return false;
    sqlite3_stmt* stmt = prepare(t.statement, &sql);
    for (size_t k = 0; k < t.values.size(); ++k) {
        const InsertLiteral& v = t.values[k];
        const int at = int(k) + 1;
        switch (v.kind) {
        case InsertLiteral::Kind::Null:
            sqlite3_bind_null(stmt, at);
            break;
        case InsertLiteral::Kind::Integer:
            sqlite3_bind_int64(stmt, at, v.integer);
            break;
        case InsertLiteral::Kind::Real:
        case InsertLiteral::Kind::Text:
            sqlite3_bind_text(stmt, at, v.text.data(), int(v.text.size()), SQLITE_TRANSIENT);
            break;
        }
    }
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    }
    const QString msg = rc == SQLITE_DONE ? QString() : engineError();
    sqlite3_clear_bindings(stmt);
    release(stmt, t.statement);
    if (rc != SQLITE_DONE) fail(msg, sql);
    return true;
}

void SqlEngine::execute(const QString& sql) {
    if (createTable(sql)) return;
    if (executeBound(sql)) return;
    sqlite3_stmt* stmt = prepare(sql);
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) {
        const QString msg = engineError();
        release(stmt, sql);
        fail(msg, sql);
    }
    release(stmt, sql);
}

std::unique_ptr<RecordSet> SqlEngine::open(const QString& sql) {
    if (createTable(sql)) return std::make_unique<SqlRecordSet>(this, nullptr, sql, false);
    // The positions statement is answered from the kept price ranges and the positions in
    // memory, or else runs over the kept ranges; the caller sees only its own text.
    if (auto answered = priceRanges_->answer(sql)) return answered;
    const QString kept = priceRanges_->rewrite(sql);
    const QString& run = kept.isEmpty() ? sql : kept;
    sqlite3_stmt* stmt = prepare(run, &sql);
    const int rc = sqlite3_step(stmt);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        const QString msg = engineError();
        release(stmt, run);
        fail(msg, sql);
    }
    auto rs = std::make_unique<SqlRecordSet>(this, stmt, run, rc == SQLITE_ROW, sql);
    recordSets_.insert(rs.get());
    return rs;
}

bool SqlEngine::createTable(const QString& sql) {
    std::optional<CreateTable> def;
    try {
        def = parseCreateTable(sql);
    } catch (const core::DbError& e) {
        fail(e.message(), sql);
    }
    if (!def) return false;
    const QDir dir(folder_);
    bool exists = tables_.count(def->name.toUpper()) > 0 || unreadable_.contains(def->name.toUpper());
    if (!exists) {
        for (const QString& f : dir.entryList(QDir::Files | QDir::Hidden))
            if (f.compare(def->name + QStringLiteral(".dbf"), Qt::CaseInsensitive) == 0) exists = true;
    }
    if (exists) {
        if (def->ifNotExists) return true;
        fail(QStringLiteral("Таблица %1 уже существует.").arg(def->name), sql);
    }
    const QString path = dir.filePath(def->name + QStringLiteral(".dbf"));
    try {
        // A batched engine builds tables that are made durable once, when they are done.
        DbfFile::create(path, def->fields, kDefaultLanguageDriver, !batched_);
        auto data = std::make_unique<TableData>(DbfFile::open(path));
        data->setName(def->name);
        registerTable(std::move(data));
    } catch (const core::Error& e) {
        fail(e.message(), sql);
    }
    return true;
}

}  // namespace store
