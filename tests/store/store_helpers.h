#pragma once
// What the store's tests share: file bytes, rows shown with their kinds, the message of a
// step that must fail, and a program run to its end.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <functional>
#include <string>
#include <vector>

#include "core/errors.h"
#include "store/connection.h"
#include "support/show_value.h"

namespace storetest {

inline QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    f.write(bytes);
}

// Every row of a query as its values with their kinds, "|"-separated.
inline std::vector<std::string> rows(store::Connection& cn, const QString& sql) {
    std::vector<std::string> out;
    for (auto rs = cn.open(sql); !rs->eof(); rs->moveNext()) {
        std::string row;
        for (const QString& n : rs->fieldNames())
            row += (row.empty() ? "" : "|") + testsupport::show(rs->field(n));
        out.push_back(row);
    }
    return out;
}

// The message of the DbError that `step` throws; empty when it throws none.
inline QString failureOf(const std::function<void()>& step) {
    try {
        step();
    } catch (const core::DbError& e) {
        return e.message();
    }
    return QString();
}

struct ProgramRun {
    int exitCode = -1;  // -1: it did not start, crashed or hung
    QString out, err;
};

inline ProgramRun run(const QString& program, const QStringList& args,
                      const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    const bool ran = p.waitForStarted(30000) && p.waitForFinished(120000);
    if (!ran) p.kill();
    return {ran && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

}  // namespace storetest
