#include "support/recording_connection.h"

#include "core/errors.h"

namespace testsupport {

MemoryRecordSet::MemoryRecordSet(Rows rows, QStringList names) : rows_(std::move(rows)), names_(std::move(names)) {
    if (names_.isEmpty() && !rows_.empty()) {
        for (const auto& column : rows_.front())
            names_ << column.first;
    }
}

core::Value MemoryRecordSet::field(const QString& name) const {
    if (!open_)
        throw core::DbError(QStringLiteral("The result set is closed."));
    if (pos_ >= rows_.size())
        throw core::DbError(QStringLiteral("No current record to read \"%1\" from.").arg(name));
    for (const auto& column : rows_[pos_]) {
        if (column.first.compare(name, Qt::CaseInsensitive) == 0)
            return column.second;
    }
    throw core::DbError(QStringLiteral("The result has no field \"%1\".").arg(name));
}

void MemoryRecordSet::moveNext() {
    if (open_ && pos_ < rows_.size())
        ++pos_;
}

bool RecordingConnection::Script::matches(const QString& sql) const {
    return times != 0 && (match == Match::Exact ? sql == key : sql.startsWith(key));
}

RecordingConnection::Script* RecordingConnection::take(std::vector<Script>& scripts, const QString& sql) {
    for (Script& s : scripts) {
        if (s.matches(sql)) {
            if (s.times > 0)
                --s.times;
            return &s;
        }
    }
    return nullptr;
}

void RecordingConnection::answer(const QString& sql, Rows rows, int times) {
    answers_.push_back({sql, Match::Exact, times, std::move(rows), QString()});
}

void RecordingConnection::answerPrefix(const QString& prefix, Rows rows, int times) {
    answers_.push_back({prefix, Match::Prefix, times, std::move(rows), QString()});
}

void RecordingConnection::answerNext(Rows rows) { queue_.push_back(std::move(rows)); }

void RecordingConnection::fail(const QString& sql, const QString& message, int times) {
    failures_.push_back({sql, Match::Exact, times, {}, message});
}

void RecordingConnection::failPrefix(const QString& prefix, const QString& message, int times) {
    failures_.push_back({prefix, Match::Prefix, times, {}, message});
}

void RecordingConnection::maybeFail(const QString& sql) {
    if (const Script* f = take(failures_, sql))
        throw core::DbError(f->message);
}

void RecordingConnection::execute(const QString& sql) {
    calls_.append({Kind::Execute, sql});
    maybeFail(sql);
    if (forward_)
        forward_->execute(sql);
}

std::unique_ptr<store::RecordSet> RecordingConnection::open(const QString& sql) {
    calls_.append({Kind::Open, sql});
    maybeFail(sql);
    if (const Script* a = take(answers_, sql))
        return std::make_unique<MemoryRecordSet>(a->rows);
    if (queuePos_ < queue_.size())
        return std::make_unique<MemoryRecordSet>(queue_[queuePos_++]);
    if (forward_)
        return forward_->open(sql);
    if (strict_)
        throw core::DbError(QStringLiteral("No scripted answer for: %1").arg(sql));
    return std::make_unique<MemoryRecordSet>(Rows{});
}

QStringList RecordingConnection::statements() const {
    QStringList out;
    for (const Call& c : calls_)
        out << c.sql;
    return out;
}

QStringList RecordingConnection::executed() const {
    QStringList out;
    for (const Call& c : calls_) {
        if (c.kind == Kind::Execute)
            out << c.sql;
    }
    return out;
}

QStringList RecordingConnection::opened() const {
    QStringList out;
    for (const Call& c : calls_) {
        if (c.kind == Kind::Open)
            out << c.sql;
    }
    return out;
}

int RecordingConnection::unusedAnswers() const {
    int n = static_cast<int>(queue_.size() - queuePos_);
    for (const Script& s : answers_)
        n += s.times > 0 ? 1 : 0;
    for (const Script& s : failures_)
        n += s.times > 0 ? 1 : 0;
    return n;
}

}  // namespace testsupport
