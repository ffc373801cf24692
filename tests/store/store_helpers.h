#pragma once
// What the store's tests share: file bytes, rows shown with their kinds, the message of a
// step that must fail, and a program run to its end.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QtEndian>
#include <functional>
#include <string>
#include <vector>

#include "core/errors.h"
#include "store/connection.h"
#include "store/dbf_file.h"
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

// What is wrong with the table files of a folder: each must open and read whole with the
// store's reader and with dbfread, and both must find the records its header counts (dbfread
// reads to the end-of-file mark, whatever the count says), and nothing but the end-of-file
// mark may follow those records. Empty when nothing is.
inline QString fileFaults(const QString& folder) {
    QStringList files = QDir(folder).entryList({"*.dbf"}, QDir::Files), faults, counts;
    for (QString& path : files) {
        path = QDir(folder).filePath(path);
        faults << storetest::failureOf([&] {
            const auto f = store::DbfFile::open(path);
            std::string records(size_t(f->recordCount()) * size_t(f->recordLength()), '\0');
            f->read(0, f->recordCount(), records.data());
            if (QFileInfo(path).size() != f->headerLength() + int64_t(f->recordCount()) * f->recordLength() + 1)
                throw core::DbError(path + ": the file's length is not its header's");
            counts << QString("%1 %2").arg(qFromLittleEndian<quint32>(storetest::readFile(path).constData() + 4)).arg(f->recordCount());
        });
    }
    const auto dbfread = storetest::run("/usr/bin/python3", QStringList{"-c", "import dbfread,sys\nfor p in sys.argv[1:]:\n t=dbfread.DBF(p,load=True,char_decode_errors='strict')\n print(t.header.numrecords,len(t.records)+len(t.deleted))"} + files);
    if (dbfread.exitCode != 0 || dbfread.out.split('\n', Qt::SkipEmptyParts) != counts)
        faults << "header counts and records (ours): " + counts.join(", ") + "; dbfread: " + dbfread.out.simplified() + dbfread.err;
    faults.removeAll(QString());
    return faults.join('\n');
}

}  // namespace storetest
