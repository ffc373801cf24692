#include "support/recording_connection.h"

#include <algorithm>

#include "core/errors.h"

namespace testsupport {

MemoryRecordSet::MemoryRecordSet(Rows rows, QStringList names)
    : rows_(std::move(rows)), names_(std::move(names)) {
    if (names_.isEmpty() && !rows_.empty()) {
        for (const auto& column : rows_.front()) names_ << column.first;
    }
}

core::Value MemoryRecordSet::field(const QString& name) const {
    if (eof()) throw core::DbError(QStringLiteral("No open current record to read \"%1\" from.").arg(name));
    for (const auto& column : rows_[pos_]) {
        if (column.first.compare(name, Qt::CaseInsensitive) == 0) return column.second;
    }
    throw core::DbError(QStringLiteral("The result has no field \"%1\".").arg(name));
}

RecordingConnection::Script* RecordingConnection::take(std::vector<Script>& scripts, const QString& sql) {
    for (Script& s : scripts) {
        if (s.times != 0 && (s.prefix ? sql.startsWith(s.key) : sql == s.key)) {
            s.times -= s.times > 0 ? 1 : 0;
            return &s;
        }
    }
    return nullptr;
}

void RecordingConnection::execute(const QString& sql) {
    calls_.append({false, sql});
    if (const Script* f = take(failures_, sql)) throw core::DbError(f->message);
    if (forward_) forward_->execute(sql);
}

std::unique_ptr<store::RecordSet> RecordingConnection::open(const QString& sql) {
    calls_.append({true, sql});
    if (const Script* f = take(failures_, sql)) throw core::DbError(f->message);
    if (const Script* a = take(answers_, sql)) return std::make_unique<MemoryRecordSet>(a->rows);
    if (forward_) return forward_->open(sql);
    return std::make_unique<MemoryRecordSet>(Rows{});
}

QStringList RecordingConnection::sqlOf(bool executes, bool opens) const {
    QStringList out;
    for (const auto& [opened, sql] : calls_) {
        if (opened ? opens : executes) out << sql;
    }
    return out;
}

}  // namespace testsupport
