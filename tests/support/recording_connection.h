#pragma once
// A store::Connection for tests: it records every statement sent to it and answers
// queries from scripted result sets, optionally passing what is not scripted on to a
// real connection. Plus MemoryRecordSet, a result set over rows held in memory.
//
//   testsupport::RecordingConnection cn;
//   cn.answer("SELECT MAX(IND) AS MAX_IND FROM TBL_APPS", {{{"MAX_IND", 41}}});
//   cn.failPrefix("UPDATE TBL_APTS", "disk full");
//   ... code under test ...
//   EXPECT_EQ(cn.statements(), QStringList{...});

#include <QStringList>
#include <memory>
#include <vector>

#include "store/connection.h"

namespace testsupport {

// One record: column name -> value, in column order. Names are looked up without
// regard to case, as the real store does.
using Row = std::vector<std::pair<QString, core::Value>>;
using Rows = std::vector<Row>;

// A forward-only result set over rows given up front. field() throws core::DbError for
// an unknown name, at eof, and after close(), like the real one.
class MemoryRecordSet final : public store::RecordSet {
public:
    explicit MemoryRecordSet(Rows rows, QStringList names = {});
    bool isOpen() const override { return open_; }
    bool eof() const override { return !open_ || pos_ >= rows_.size(); }
    core::Value field(const QString& name) const override;
    void moveNext() override { pos_ += open_ && pos_ < rows_.size() ? 1 : 0; }
    void close() override { open_ = false; }
    // The names given, or else those of the first row.
    QStringList fieldNames() const override { return names_; }

private:
    Rows rows_;
    QStringList names_;
    size_t pos_ = 0;
    bool open_ = true;
};

class RecordingConnection final : public store::Connection {
public:
    static constexpr int kForever = -1;

    // forward (not owned), when given, receives every statement that no script answers
    // or fails: executes always, queries when no scripted answer matches.
    explicit RecordingConnection(store::Connection* forward = nullptr) : forward_(forward) {}

    // Scripted answers to open(). A keyed answer serves the statements it matches,
    // `times` times (kForever: always); answers with the same key serve in the order
    // given. A query that no answer matches goes to the forward connection, and otherwise
    // gets an empty result.
    void answer(const QString& sql, Rows rows, int times = 1) { add(answers_, sql, false, times, rows); }
    // Makes matching statements (execute or open) throw core::DbError(message) after
    // being recorded, `times` times.
    void fail(const QString& sql, const QString& msg = {}, int times = 1) {
        add(failures_, sql, false, times, {}, msg);
    }
    void failPrefix(const QString& sql, const QString& msg = {}, int times = 1) {
        add(failures_, sql, true, times, {}, msg);
    }

    void execute(const QString& sql) override;
    std::unique_ptr<store::RecordSet> open(const QString& sql) override;

    // What was sent, in order.
    // (opened, statement) pairs: false for execute, true for open.
    const QList<std::pair<bool, QString>>& calls() const { return calls_; }
    QStringList statements() const { return sqlOf(true, true); }  // execute and open alike
    QStringList executed() const { return sqlOf(true, false); }
    QStringList opened() const { return sqlOf(false, true); }
    void clearCalls() { calls_.clear(); }

private:
    // A scripted answer or failure: it serves the statements equal to its key, or starting
    // with it, `times` more times (-1: always).
    struct Script {
        QString key;
        bool prefix;
        int times;
        Rows rows;
        QString message;
    };
    static void add(std::vector<Script>& to, const QString& key, bool prefix, int times, Rows rows,
                    const QString& msg = {}) {
        to.push_back(
            {key, prefix, times, std::move(rows), msg.isEmpty() ? QStringLiteral("scripted failure") : msg});
    }
    static Script* take(std::vector<Script>& scripts, const QString& sql);
    QStringList sqlOf(bool executes, bool opens) const;

    store::Connection* forward_;
    std::vector<Script> answers_;
    std::vector<Script> failures_;
    QList<std::pair<bool, QString>> calls_;
};

}  // namespace testsupport
