// What reaches the disk, and in which order, when a statement returns: the SQL tool is
// run under strace on a scratch folder, and its writes and syncs of the table file read
// back from the trace.
#include <QDir>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "store/dbf_connection.h"
#include "store_helpers.h"

namespace {

// The lines of the SQL tool's trace running `sql` on `folder`: the system calls `calls`.
QStringList straceOf(const QString& folder, const QString& sql, const QString& calls) {
    const QString log = QDir(folder).filePath("trace.txt");
    // A sanitizer build's leak check cannot run under ptrace.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ASAN_OPTIONS", "detect_leaks=0");
    const storetest::ProgramRun r =
        storetest::run(QStandardPaths::findExecutable("strace"),
                       {"-f", "-y", "-e", "trace=" + calls, "-o", log, ZELVORIN_BINARY_DIR "/zelvorin-sql", folder, sql}, env);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    return QString::fromUtf8(storetest::readFile(log)).split('\n');
}

// The table file's writes ("W<offset>:<length>") and syncs ("S") in the order they happened.
QStringList traced(const QString& folder, const QString& sql) {
    QStringList events;
    static const QRegularExpression write(R"(pwrite64\(\d+<[^>]*T\.dbf>, .*, (\d+), (\d+)\) = )");
    static const QRegularExpression sync(R"(f(data)?sync\(\d+<[^>]*T\.dbf>\) = 0)");
    for (const QString& line : straceOf(folder, sql, "pwrite64,fsync,fdatasync")) {
        const auto w = write.match(line);
        if (w.hasMatch()) events << "W" + w.captured(2) + ":" + w.captured(1);
        else if (sync.match(line).hasMatch()) events << "S";
    }
    return events;
}

}  // namespace

// An insert: its record and end mark, a sync, the header's date and count, a sync. An update
// and a deletion: the record or its flag, the date, one sync. Nothing written after the last sync.
// A new table's file and its name are durable too.
TEST(Durability, EveryStatementIsOnTheDiskWhenItReturnsRecordsBeforeTheCount) {
    if (QStandardPaths::findExecutable("strace").isEmpty()) GTEST_SKIP() << "strace is not installed";
    QTemporaryDir dir;
    {
        auto cn = store::openFolder(dir.path());
        cn->execute("CREATE TABLE T (IND int, NM varchar (20))");
        cn->execute("INSERT INTO T (IND, NM) VALUES (1, 'a')");
    }
    // 32 + 2 * 32 + 1 = 97 bytes of header, records of 1 + 11 + 20 = 32 bytes.
    EXPECT_EQ(traced(dir.path(), "INSERT INTO T (IND, NM) VALUES (2, 'b')"),
              QStringList({"W129:33", "S", "W1:7", "S"}));
    EXPECT_EQ(traced(dir.path(), "UPDATE T SET NM = 'c' WHERE IND = 2"), QStringList({"W129:32", "W1:3", "S"}));
    EXPECT_EQ(traced(dir.path(), "DELETE FROM T WHERE IND = 1"), QStringList({"W97:1", "W1:3", "S"}));
    // A new table: its file complete and on the disk before its name appears, then the folder's entry.
    QStringList events;
    for (const QString& line : straceOf(dir.path(), "CREATE TABLE U (A int)", "write,fdatasync,fsync,link"))
        if (line.contains("U.dbf") || line.contains(dir.path() + ">)"))
            events << line.section('(', 0, 0).section(' ', -1) + (line.contains(".tmp-") ? " temp" : " folder");
    EXPECT_EQ(events, QStringList({"write temp", "fdatasync temp", "link temp", "fsync folder"}));
}

