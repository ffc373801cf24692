// What it costs that a statement returns only once its changes are on the disk: saving a
// 20-line order through the order object, and 100 000 single-statement inserts, each
// against native SQLite files with synchronous=OFF and with synchronous=FULL.
//
//   durability_bench [--work DIR] [--inserts N]
//
// DIR should lie on the disk the desk's folder would be on (the default is the system's
// temporary folder); on a memory file system the syncs cost nothing.
#include <sqlite3.h>

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QTemporaryDir>
#include <cstdio>
#include <stdexcept>

#include "bench_timing.h"
#include "core/errors.h"
#include "db/schema.h"
#include "order/clsZak.h"
#include "store/dbf_connection.h"

namespace {

void sqliteRun(sqlite3* db, const QString& sql) {
    char* err = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &err) != SQLITE_OK) {
        const std::string msg = err ? err : "?";
        sqlite3_free(err);
        throw std::runtime_error(msg);
    }
}

// The same statements one by one into a native SQLite file; its time in ms.
double sqliteMs(const QString& path, const char* synchronous, const QStringList& setup, int count,
                const std::function<QString(int)>& statement) {
    QFile::remove(path);
    sqlite3* db = nullptr;
    if (sqlite3_open(path.toUtf8().constData(), &db) != SQLITE_OK) throw std::runtime_error("sqlite3_open");
    sqliteRun(db, QStringLiteral("PRAGMA synchronous=") + synchronous);
    for (const QString& s : setup) sqliteRun(db, s);
    const double ms = bench::msOf([&] {
        for (int i = 1; i <= count; ++i) sqliteRun(db, statement(i));
    });
    sqlite3_close(db);
    QFile::remove(path);
    return ms;
}

QString insertText(int i) {
    return QStringLiteral("INSERT INTO TBL_APTS(IND, IND_APP, IND_PST, VL) VALUES(%1, %2, 0, 0)")
        .arg(i)
        .arg(i / 5 + 1);
}

void line(const char* what, int count, double store, double off, double full) {
    // The ratios are the store's time over SQLite's: below 1 the store is faster.
    std::printf("  %-24s %6d  store %9.1f ms (%6.3f each)  SQLite OFF %8.1f ms: %.2fx  FULL %8.1f ms: %.2fx\n",
                what, count, store, store / count, off, store / off, full, store / full);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QLocale::setDefault(QLocale::c());
    const QStringList args = QCoreApplication::arguments();
    QString work;
    int inserts = 100000;
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args.at(i) == "--work") work = args.at(i + 1);
        if (args.at(i) == "--inserts") inserts = args.at(i + 1).toInt();
    }
    QTemporaryDir tmp(work.isEmpty() ? QDir::tempPath() + "/durability-XXXXXX" : work + "/durability-XXXXXX");
    try {
        const QString folder = QDir(tmp.path()).filePath("DB");
        QDir().mkpath(folder);
        auto cn = store::openFolder(folder);
        for (const char* t : {"TBL_APPS", "TBL_APTS"}) cn->execute(db::createStatement(t));
        std::printf("durability benchmark in %s (each statement synced before it returns)\n",
                    qPrintable(tmp.path()));

        const int kSaves = 50;
        const double saves = bench::msOf([&] {
            for (int s = 0; s < kSaves; ++s) {
                clsZak order;
                order.Init();
                order.setConnection(cn.get());
                order.contr = QStringLiteral("Покупатель %1").arg(s);
                for (int k = 0; k < 20; ++k) {
                    order.InsertRow();
                    order.setField("idn", 1000 + k);
                    order.setField("qty", 1.5 * k);
                }
                order.SaveOrder();
            }
        });
        // The statements a 20-line save sends: its header insert and update, the lines'
        // removal, twenty inserts (and the key queries, which write nothing).
        QStringList saveSql;
        for (const char* t : {"TBL_APPS", "TBL_APTS"}) saveSql << db::createStatement(t);
        const auto saveStatement = [](int i) {
            const int order = (i - 1) / 23 + 1, step = (i - 1) % 23;
            if (step == 0) return QStringLiteral("INSERT INTO TBL_APPS(IND, CGT_NM) VALUES(%1, 'x')").arg(order);
            if (step == 1) return QStringLiteral("UPDATE TBL_APPS SET IND_STT = 0 WHERE IND = %1").arg(order);
            if (step == 2) return QStringLiteral("DELETE FROM TBL_APTS WHERE IND_APP = %1").arg(order);
            return insertText(order * 100 + step);
        };
        const QString ref = QDir(tmp.path()).filePath("ref.sqlite");
        line("save of a 20-line order", kSaves, saves, sqliteMs(ref, "OFF", saveSql, kSaves * 23, saveStatement),
             sqliteMs(ref, "FULL", saveSql, kSaves * 23, saveStatement));

        const double store = bench::msOf([&] {
            for (int i = 1; i <= inserts; ++i) cn->execute(insertText(1000000 + i));
        });
        line("single INSERTs", inserts, store, sqliteMs(ref, "OFF", saveSql, inserts, insertText),
             sqliteMs(ref, "FULL", saveSql, inserts, insertText));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "durability_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
