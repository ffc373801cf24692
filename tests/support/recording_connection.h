#pragma once
// A store::Connection for tests: it records every statement sent to it and answers
// queries from scripted result sets, optionally passing what is not scripted on to a
// real connection. Plus MemoryRecordSet, a result set over rows held in memory.
//
//   testsupport::RecordingConnection cn;
//   cn.answer("SELECT MAX(IND) AS MAX_IND FROM TBL_APPS", {{{"MAX_IND", 41}}});
//   cn.answerPrefix("SELECT * FROM TBL_APTS", {{{"IND", 7}, {"VL", 2.5}}, {{"IND", 8}, {"VL", 1.0}}});
//   cn.failPrefix("UPDATE TBL_APTS", "disk full");
//   ... code under test ...
//   EXPECT_EQ(cn.statements(), QStringList{...});

#include "store/connection.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <utility>
#include <vector>

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
    void moveNext() override;
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
    enum class Kind { Execute, Open };
    struct Call {
        Kind kind;
        QString sql;
    };
    // How a scripted answer or failure recognises its statement.
    enum class Match { Exact, Prefix };
    static constexpr int kForever = -1;

    // forward (not owned), when given, receives every statement that no script answers
    // or fails: executes always, queries when no scripted answer matches.
    explicit RecordingConnection(store::Connection* forward = nullptr) : forward_(forward) {}

    // Scripted answers to open(). A keyed answer serves the statements it matches,
    // `times` times (kForever: always); answers with the same key serve in the order
    // given. A query that no keyed answer matches takes the next answer of the
    // in-order queue (answerNext), then goes to the forward connection, and otherwise
    // gets an empty result (or, when strict, a DbError).
    void answer(const QString& sql, Rows rows, int times = 1);
    void answerPrefix(const QString& prefix, Rows rows, int times = 1);
    void answerNext(Rows rows);
    // Makes matching statements (execute or open) throw core::DbError(message) after
    // being recorded, `times` times.
    void fail(const QString& sql, const QString& message = QStringLiteral("scripted failure"), int times = 1);
    void failPrefix(const QString& prefix, const QString& message = QStringLiteral("scripted failure"),
                    int times = 1);
    // Unscripted queries without a forward connection fail instead of answering empty.
    void setStrict(bool strict) { strict_ = strict; }

    void execute(const QString& sql) override;
    std::unique_ptr<store::RecordSet> open(const QString& sql) override;

    // What was sent, in order.
    const QList<Call>& calls() const { return calls_; }
    QStringList statements() const;  // execute and open alike
    QStringList executed() const;
    QStringList opened() const;
    void clearCalls() { calls_.clear(); }
    // Scripted answers and failures that were never used (to assert a script ran out).
    int unusedAnswers() const;

private:
    struct Script {
        QString key;
        Match match;
        int times;
        Rows rows;
        QString message;
        bool matches(const QString& sql) const;
    };
    static Script* take(std::vector<Script>& scripts, const QString& sql);
    void maybeFail(const QString& sql);

    store::Connection* forward_;
    std::vector<Script> answers_;
    std::vector<Script> failures_;
    std::vector<Rows> queue_;
    size_t queuePos_ = 0;
    bool strict_ = false;
    QList<Call> calls_;
};

}  // namespace testsupport
