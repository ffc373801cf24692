#include "store/record_set.h"

#include <sqlite3.h>

#include "core/errors.h"
#include "store/sql_engine.h"

namespace store {

SqlRecordSet::SqlRecordSet(SqlEngine* engine, sqlite3_stmt* stmt, const QString& sql, bool atRow,
                           const QString& shown)
    : engine_(engine), stmt_(stmt), sql_(sql), shown_(shown.isEmpty() ? sql : shown), eof_(!atRow) {
    const int n = stmt ? sqlite3_column_count(stmt) : 0;
    for (int i = 0; i < n; ++i) {
        const QString name = QString::fromUtf8(sqlite3_column_name(stmt, i));
        names_ << name;
        if (!exact_.contains(name) && indexOfFolded(name) < 0) exact_.insert(name, i);
        const char* decl = sqlite3_column_decltype(stmt, i);
        boolean_.push_back(decl && sqlite3_stricmp(decl, "BOOLEAN") == 0);
    }
}

SqlRecordSet::~SqlRecordSet() {
    close();
    if (engine_) engine_->forget(this);
}

core::Value SqlRecordSet::field(const QString& name) const {
    if (!stmt_) throw core::DbError(QStringLiteral("Набор записей закрыт (поле %1).").arg(name));
    const int i = indexOf(name);
    if (i < 0) throw core::DbError(QStringLiteral("В результате нет поля %1: %2").arg(name, shown_));
    if (eof_) throw core::DbError(QStringLiteral("Нет текущей записи (поле %1): %2").arg(name, shown_));
    switch (sqlite3_column_type(stmt_, i)) {
        case SQLITE_INTEGER: {
            const sqlite3_int64 v = sqlite3_column_int64(stmt_, i);
            if (boolean_[size_t(i)]) return core::Value::boolean(v != 0);
            if (v >= INT32_MIN && v <= INT32_MAX) return core::Value::int32(int32_t(v));
            return core::Value::dbl(double(v));
        }
        case SQLITE_FLOAT:
            return core::Value::dbl(sqlite3_column_double(stmt_, i));
        case SQLITE_NULL:
            return core::Value::null();
        default: {
            const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, i));
            return core::Value::text(QString::fromUtf8(p, sqlite3_column_bytes(stmt_, i)));
        }
    }
}

void SqlRecordSet::moveNext() {
    if (!stmt_ || eof_)
        throw core::DbError(QStringLiteral("Нет текущей записи, от которой перейти: %1").arg(shown_));
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return;
    eof_ = true;
    if (rc != SQLITE_DONE) {
        const QString msg = engine_->engineError();
        close();
        throw core::DbError(SqlEngine::failureText(msg, shown_));
    }
}

void SqlRecordSet::close() {
    if (stmt_ && engine_) engine_->release(stmt_, sql_);
    stmt_ = nullptr;
}

// Callers name fields as the statement spells them, so an exact match is the rule;
// other spellings take a scan without allocating.
int SqlRecordSet::indexOf(const QString& name) const {
    const auto it = exact_.constFind(name);
    if (it != exact_.constEnd()) return it.value();
    for (int i = 0; i < names_.size(); ++i)
        if (names_[i].compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

int SqlRecordSet::indexOfFolded(const QString& name) const {
    for (auto it = exact_.constBegin(); it != exact_.constEnd(); ++it)
        if (it.key().compare(name, Qt::CaseInsensitive) == 0) return it.value();
    return -1;
}

void SqlRecordSet::detach() {
    if (stmt_) sqlite3_finalize(stmt_);
    stmt_ = nullptr;
    engine_ = nullptr;
}

}  // namespace store
