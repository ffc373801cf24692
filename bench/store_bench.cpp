// Measures the local store against native SQLite tables holding the same data: opening a
// folder, the catalogue's and the basket's queries, and single-statement inserts, at the
// demo data's scale 1 and scale 25.
//
//   store_bench [--small-only] [--work DIR [--reuse]]
//
// --reuse keeps the local folders an earlier run built in DIR (building the large one
// takes a few minutes); the central data is generated anew, it is deterministic.
#include "db/schema.h"
#include <sqlite3.h>
#include <time.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "catalogue/catalogue_logic.h"
#include "core/errors.h"
#include "core/value.h"
#include "data/demo_data.h"
#include "store/dbf_connection.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// Peak and current resident memory of this process, in kB.
struct Memory {
    long hwm = 0, rss = 0;
};
Memory memory() {
    Memory m;
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return m;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            m.hwm = line.mid(6).trimmed().split(' ').first().toLong();
        else if (line.startsWith("VmRSS:"))
            m.rss = line.mid(6).trimmed().split(' ').first().toLong();
    }
    return m;
}

qint64 folderBytes(const QString& folder) {
    qint64 total = 0;
    for (const QFileInfo& fi : QDir(folder).entryInfoList({"*.dbf", "*.DBF"}, QDir::Files))
        total += fi.size();
    return total;
}

// ---- Native SQLite -----------------------------------------------------------------------

class Sqlite {
public:
    explicit Sqlite(const QString& path) {
        if (sqlite3_open(path.toUtf8().constData(), &db_) != SQLITE_OK)
            throw std::runtime_error("cannot open " + path.toStdString());
    }
    ~Sqlite() { sqlite3_close(db_); }
    Sqlite(const Sqlite&) = delete;
    Sqlite& operator=(const Sqlite&) = delete;
    void exec(const QString& sql) {
        char* err = nullptr;
        if (sqlite3_exec(db_, sql.toUtf8().constData(), nullptr, nullptr, &err) != SQLITE_OK) {
            const std::string msg = err ? err : "?";
            sqlite3_free(err);
            throw std::runtime_error(msg + " in: " + sql.toStdString());
        }
    }
    // Runs a query and reads every field of every row into values, as the windows do.
    int query(const QString& sql) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK)
            throw std::runtime_error(std::string(sqlite3_errmsg(db_)) + " in: " + sql.toStdString());
        int rows = 0;
        const int n = sqlite3_column_count(st);
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (int i = 0; i < n; ++i) {
                core::Value v;
                switch (sqlite3_column_type(st, i)) {
                    case SQLITE_INTEGER:
                        v = core::Value::int32(sqlite3_column_int(st, i));
                        break;
                    case SQLITE_FLOAT:
                        v = core::Value::dbl(sqlite3_column_double(st, i));
                        break;
                    case SQLITE_TEXT:
                        v = core::Value::text(
                            QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)),
                                              sqlite3_column_bytes(st, i)));
                        break;
                    default:
                        v = core::Value::null();
                }
                (void)v;
            }
            ++rows;
        }
        sqlite3_finalize(st);
        return rows;
    }
    // Calls f for every row of a query with the row's statement handle.
    void each(const char* sql, const std::function<void(sqlite3_stmt*)>& f) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, sql, -1, &st, nullptr) != SQLITE_OK)
            throw std::runtime_error(std::string(sqlite3_errmsg(db_)) + " in: " + sql);
        while (sqlite3_step(st) == SQLITE_ROW) f(st);
        sqlite3_finalize(st);
    }

private:
    sqlite3* db_ = nullptr;
};

int storeQuery(store::Connection& cn, const QString& sql) {
    auto rs = cn.open(sql);
    const QStringList names = rs->fieldNames();
    int rows = 0;
    for (; !rs->eof(); rs->moveNext()) {
        for (const QString& n : names) {
            const core::Value v = rs->field(n);
            (void)v;
        }
        ++rows;
    }
    rs->close();
    return rows;
}

// ---- The program's statements -------------------------------------------------------------

QString sqlText(QString s) {
    return s.replace(QLatin1Char('\''), QLatin1String("''"));
}
QString num(double d) {
    return core::doubleToText(d).replace(QLatin1Char(','), QLatin1Char('.'));
}


// One reference table: the central source, the local insert's opening text, and how
// many leading whole-number fields precede the text (or, for the bands, the numbers).
struct Copy {
    const char* source;
    const char* opening;
    int wholeNumbers;
    bool bands;
};
const Copy kCopies[] = {
    {"select ind, type_name from tbl_types", "INSERT INTO TBL_TPS(IND, TP_NM) VALUES(", 1, false},
    {"select ind, ind_type, group_name from tbl_groups", "INSERT INTO TBL_GRPS(IND, IND_TP, GRP_NM) VALUES(",
     2, false},
    {"select ind, ind_group, full_name from tbl_positions",
     "INSERT INTO TBL_PSTS(IND, IND_GRP, PST_NM) VALUES(", 2, false},
    {"select ind, region_name from tbl_regions", "INSERT INTO TBL_RGNS(IND, RGN_NM) VALUES(", 1, false},
    {"select ind, ind_region, city_name from tbl_cities", "INSERT INTO TBL_CTS(IND, IND_RGN, CT_NM) VALUES(",
     2, false},
    {"select ind, organization_name from tbl_organizations", "INSERT INTO TBL_ORGS(IND, ORG_NM) VALUES(", 1,
     false},
    {"select ind, ind_city, ind_organization, base_name from tbl_bases",
     "INSERT INTO TBL_BSS(IND, IND_CT, IND_ORG, BS_NM) VALUES(", 3, false},
    {"select ind, ind_base, price_name from tbl_prices", "INSERT INTO TBL_PRSS(IND, IND_BS, PRS_NM) VALUES(",
     2, false},
    {"select ind, ind_position, ind_price, to_out from tbl_stuffs where ind_position>0",
     "INSERT INTO TBL_STFS(IND, IND_PST, IND_PRS, TO_OUT) VALUES(", 3, false},
    {"select a.ind, a.ind_stuff, a.val_from, a.val_to, a.cost from tbl_costs a inner join tbl_stuffs b on "
     "a.ind_stuff=b.ind where b.ind_position>0",
     "INSERT INTO TBL_CSTS(IND, IND_STF, VL_FRM, VL_TO, CST) VALUES(", 2, true},
};

QString insertFor(const Copy& c, sqlite3_stmt* st) {
    QStringList parts;
    for (int i = 0; i < c.wholeNumbers; ++i) parts << QString::number(sqlite3_column_int64(st, i));
    if (c.bands) {
        for (int i = 2; i < 5; ++i) parts << num(sqlite3_column_double(st, i));
        return QString::fromLatin1(c.opening) + parts.join(QStringLiteral(", ")) + QStringLiteral(")");
    }
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, c.wholeNumbers)));
    return QString::fromLatin1(c.opening) + parts.join(QStringLiteral(", ")) + QStringLiteral(", '") +
           sqlText(text) + QStringLiteral("')");
}

// The catalogue window's own statements, so that the store is measured on what it serves.
QString positionsQuery(qint64 group, const QString& basesFilter) {
    return catalogue::positionsStatement(catalogue::positionsCondition(static_cast<int>(group), basesFilter));
}

QString bandLimitsQuery(qint64 key) {
    return catalogue::bandLimitsStatement(QString::number(key));
}

QString offersQuery(qint64 key, const QString& basesFilter) {
    return catalogue::offersStatement(QString::number(key), basesFilter);
}

const char* const kBasesQuery =
    "SELECT a.RGN_NM, b.CT_NM, c.IND, c.BS_NM FROM (TBL_RGNS a INNER JOIN TBL_CTS b ON a.IND=b.IND_RGN) "
    "INNER "
    "JOIN TBL_BSS c ON b.IND=c.IND_CT ORDER BY a.RGN_NM, b.CT_NM, c.BS_NM";

const char* const kBasketQueries[][2] = {
    {"basket lines",
     "SELECT b.IND, c.GRP_NM, b.PST_NM, a.VL FROM (TBL_CORD a INNER JOIN TBL_PSTS b ON a.IND_PST=b.IND) "
     "INNER "
     "JOIN TBL_GRPS c ON b.IND_GRP=c.IND"},
    {"basket bases",
     "SELECT DISTINCT e.IND, f.CT_NM, e.BS_NM FROM (((TBL_CORD a INNER JOIN TBL_STFS b on "
     "a.IND_PST=b.IND_PST) "
     "INNER JOIN TBL_PRSS c ON b.IND_PRS=c.IND) INNER JOIN TBL_BSS e ON c.IND_BS=e.IND) INNER JOIN TBL_CTS f "
     "ON "
     "e.IND_CT=f.IND ORDER BY f.CT_NM, e.BS_NM"},
    {"basket prices",
     "SELECT a.IND_PST, c.IND_BS, MIN(d.CST) as MIN_CST FROM ((TBL_CORD a INNER JOIN TBL_STFS b on "
     "a.IND_PST=b.IND_PST) INNER JOIN TBL_PRSS c ON b.IND_PRS=c.IND) INNER JOIN TBL_CSTS d ON "
     "b.IND=d.IND_STF "
     "WHERE d.VL_FRM<=a.VL GROUP BY a.IND_PST, c.IND_BS"},
};

// ---- Measuring ----------------------------------------------------------------------------

// Wall-clock and processor time of one run, in ms. Processor time is what the ratios
// use for queries: it is not inflated when other programs take the cores.
struct Timing {
    double wall = 0, cpu = 0;
};

double cpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

Timing timeOnce(const std::function<void()>& f) {
    const double c0 = cpuMs();
    const auto t0 = Clock::now();
    f();
    return {msSince(t0), cpuMs() - c0};
}

// Medians of repeated runs after one warm-up run: at least 5 runs and about half a second.
Timing median(const std::function<void()>& f) {
    f();
    std::vector<double> walls, cpus;
    const auto start = Clock::now();
    while (walls.size() < 5 || (msSince(start) < 500 && walls.size() < 500)) {
        const Timing t = timeOnce(f);
        walls.push_back(t.wall);
        cpus.push_back(t.cpu);
    }
    std::sort(walls.begin(), walls.end());
    std::sort(cpus.begin(), cpus.end());
    return {walls[walls.size() / 2], cpus[cpus.size() / 2]};
}

struct Line {
    std::string what;
    Timing store, reference;
    bool byCpu;   // compare processor time (queries) or wall-clock time (writes)
    double goal;  // largest acceptable ratio
    int rows;
    double ratio() const { return byCpu ? store.cpu / reference.cpu : store.wall / reference.wall; }
};

void printLines(const std::vector<Line>& lines) {
    std::printf("  %-38s %21s %21s %8s %5s  %s\n", "measure (ms: wall / cpu)", "store", "reference", "ratio",
                "goal", "rows");
    for (const Line& l : lines) {
        std::printf("  %-38s %10.3f /%9.3f %10.3f /%9.3f %7.2fx %4.0fx  %d%s\n", l.what.c_str(), l.store.wall,
                    l.store.cpu, l.reference.wall, l.reference.cpu, l.ratio(), l.goal, l.rows,
                    l.ratio() <= l.goal ? "" : "   MISSES THE GOAL");
    }
    std::printf("  (ratios of queries by processor time, of writes by wall-clock time)\n");
}

// The child's part: open the folder, run the first positions query, report time and memory.
int childOpen(const QString& folder, const QString& group, const QString& filter) {
    const Memory before = memory();
    Timing open, first;
    std::unique_ptr<store::Connection> cn;
    open = timeOnce([&] { cn = store::openFolder(folder); });
    int rows = 0;
    first = timeOnce([&] { rows = storeQuery(*cn, positionsQuery(group.toLongLong(), filter)); });
    const Memory after = memory();
    std::printf("%.3f %.3f %.3f %.3f %d %ld %ld\n", open.wall, open.cpu, first.wall, first.cpu, rows,
                before.rss, after.hwm);
    return 0;
}

struct Size {
    double scale;
    const char* label;
};

void benchSize(const Size& size, const QString& work, bool reuse) {
    const QString tag = QString::number(size.scale);
    const QString central = QDir(work).filePath("central_" + tag + ".sqlite");
    const QString folder = QDir(work).filePath("db_" + tag);
    const QString builtMark = folder + ".built";
    const bool rebuild = !reuse || !QFile::exists(builtMark);
    if (rebuild) {
        QFile::remove(builtMark);
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
    }

    auto t0 = Clock::now();
    const demodata::Summary sum = demodata::generateCentral(central.toStdString(), size.scale);
    std::printf(
        "\n== %s (scale %g): %lld positions, %lld offers, %lld bands in the central data (%.1f s to "
        "generate)\n",
        size.label, size.scale, static_cast<long long>(sum.positions), static_cast<long long>(sum.stuffs),
        static_cast<long long>(sum.costs), msSince(t0) / 1000);
    std::fflush(stdout);

    // Build the local folder the way the synchronisation does: one statement per record.
    long long inserts = 0;
    t0 = Clock::now();
    if (rebuild) {
        auto cn = store::openFolder(folder);
        for (const QString& t : db::allTables()) cn->execute(db::createStatement(t));
        Sqlite src(central);
        for (const Copy& c : kCopies) {
            src.each(c.source, [&](sqlite3_stmt* st) {
                cn->execute(insertFor(c, st));
                ++inserts;
            });
        }
    }
    const double buildMs = msSince(t0);
    const qint64 bytes = folderBytes(folder);
    if (rebuild) {
        QFile mark(builtMark);
        mark.open(QIODevice::WriteOnly);
        std::printf("  local folder built: %lld INSERTs in %.1f s (%.1f us each), %.1f MB of table files\n",
                    inserts, buildMs / 1000, buildMs * 1000 / static_cast<double>(inserts),
                    static_cast<double>(bytes) / 1e6);
    } else {
        std::printf("  local folder of an earlier run reused, %.1f MB of table files\n",
                    static_cast<double>(bytes) / 1e6);
    }
    std::fflush(stdout);

    // The reference: the same rows in native SQLite tables with indexes on the join keys.
    Sqlite ref(QStringLiteral(":memory:"));
    ref.exec("ATTACH DATABASE '" + sqlText(central) + "' AS central");
    ref.exec(
        "CREATE TABLE TBL_APPS (IND INTEGER,IND_STT INTEGER,CGT_NM TEXT,CNT_NM TEXT,TLP TEXT,ML TEXT,CMT "
        "TEXT,ADVT "
        "TEXT,CR_DT TEXT);"
        "CREATE TABLE TBL_APTS (IND INTEGER,IND_APP INTEGER,IND_PST INTEGER,VL REAL);"
        "CREATE TABLE TBL_CORD (IND INTEGER,IND_PST INTEGER,VL REAL);"
        "CREATE TABLE TBL_TPS AS SELECT ind AS IND, type_name AS TP_NM FROM central.tbl_types;"
        "CREATE TABLE TBL_GRPS AS SELECT ind AS IND, ind_type AS IND_TP, group_name AS GRP_NM FROM "
        "central.tbl_groups;"
        "CREATE TABLE TBL_PSTS AS SELECT ind AS IND, ind_group AS IND_GRP, full_name AS PST_NM FROM "
        "central.tbl_positions;"
        "CREATE TABLE TBL_RGNS AS SELECT ind AS IND, region_name AS RGN_NM FROM central.tbl_regions;"
        "CREATE TABLE TBL_CTS AS SELECT ind AS IND, ind_region AS IND_RGN, city_name AS CT_NM FROM "
        "central.tbl_cities;"
        "CREATE TABLE TBL_ORGS AS SELECT ind AS IND, organization_name AS ORG_NM FROM "
        "central.tbl_organizations;"
        "CREATE TABLE TBL_BSS AS SELECT ind AS IND, ind_city AS IND_CT, ind_organization AS IND_ORG, "
        "base_name AS "
        "BS_NM FROM central.tbl_bases;"
        "CREATE TABLE TBL_PRSS AS SELECT ind AS IND, ind_base AS IND_BS, price_name AS PRS_NM FROM "
        "central.tbl_prices;"
        "CREATE TABLE TBL_STFS AS SELECT ind AS IND, ind_position AS IND_PST, ind_price AS IND_PRS, to_out "
        "AS "
        "TO_OUT FROM central.tbl_stuffs WHERE ind_position>0;"
        "CREATE TABLE TBL_CSTS AS SELECT a.ind AS IND, a.ind_stuff AS IND_STF, a.val_from AS VL_FRM, "
        "a.val_to AS "
        "VL_TO, a.cost AS CST FROM central.tbl_costs a INNER JOIN central.tbl_stuffs b ON a.ind_stuff=b.ind "
        "WHERE "
        "b.ind_position>0;"
        "DETACH DATABASE central;"
        "CREATE INDEX r1 ON TBL_GRPS(IND); CREATE INDEX r2 ON TBL_PSTS(IND); CREATE INDEX r3 ON "
        "TBL_PSTS(IND_GRP);"
        "CREATE INDEX r4 ON TBL_CTS(IND); CREATE INDEX r5 ON TBL_RGNS(IND); CREATE INDEX r6 ON TBL_BSS(IND);"
        "CREATE INDEX r7 ON TBL_PRSS(IND); CREATE INDEX r8 ON TBL_STFS(IND); CREATE INDEX r9 ON "
        "TBL_STFS(IND_PST);"
        "CREATE INDEX r10 ON TBL_STFS(IND_PRS); CREATE INDEX r11 ON TBL_CSTS(IND_STF);"
        "CREATE INDEX r12 ON TBL_CORD(IND_PST);");

    // The bases filter with every base marked, in the bases grid's order.
    auto cn = store::openFolder(folder);
    QStringList baseKeys;
    {
        auto rs = cn->open(QString::fromLatin1(kBasesQuery));
        for (; !rs->eof(); rs->moveNext()) baseKeys << rs->field("IND").toText();
    }
    const QString filter = QStringLiteral(" AND d.IND_BS IN (") + baseKeys.join(QLatin1Char(',')) + ")";
    cn.reset();  // the child opens the folder on its own

    // Opening and the first query, in a child process so that its memory is its own.
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {"--child-open", folder, QString::number(sum.heavyGroup), filter});
    if (!child.waitForFinished(600000) || child.exitCode() != 0)
        throw std::runtime_error("the opening child failed: " + child.readAllStandardError().toStdString());
    const QStringList c = QString::fromUtf8(child.readAllStandardOutput()).split(' ');
    const Timing open{c.value(0).toDouble(), c.value(1).toDouble()},
        first{c.value(2).toDouble(), c.value(3).toDouble()};
    const long startKb = c.value(5).toLong(), hwmKb = c.value(6).toLong();
    const double growth = static_cast<double>(hwmKb - startKb) * 1024.0 / static_cast<double>(bytes);
    std::printf(
        "  open folder + first positions query (%d rows): wall %.0f + %.0f ms = %.2f s, processor %.0f + "
        "%.0f "
        "ms = %.2f s   [goal < 2 s]%s\n",
        c.value(4).toInt(), open.wall, first.wall, (open.wall + first.wall) / 1000, open.cpu, first.cpu,
        (open.cpu + first.cpu) / 1000, open.cpu + first.cpu < 2000 ? "" : "   MISSES THE GOAL");
    std::printf(
        "  peak memory %.1f MB, %.1f MB above the process's start = %.2fx the %.1f MB of table files   "
        "[goal < 3x]%s\n",
        hwmKb / 1024.0, (hwmKb - startKb) / 1024.0, growth, static_cast<double>(bytes) / 1e6,
        growth < 3 ? "" : "   MISSES THE GOAL");

    cn = store::openFolder(folder);
    std::vector<Line> lines;

    // A 20-line basket: the best-sellers and positions spread over the catalogue.
    std::vector<qint64> basket(sum.heavyPositions.begin(), sum.heavyPositions.end());
    {
        Sqlite src(central);
        std::vector<qint64> offered;
        src.each("select distinct ind_position from tbl_stuffs where ind_position>0 order by 1",
                 [&](sqlite3_stmt* st) { offered.push_back(sqlite3_column_int64(st, 0)); });
        for (size_t i = 0; basket.size() < 20 && i < offered.size();
             i += std::max<size_t>(1, offered.size() / 17))
            basket.push_back(offered[i]);
    }
    const double quantities[] = {1, 2.5, 5, 0.5, 10, 20, 3, 0.25, 7, 15};
    const auto fillBasket = [&](const std::function<void(const QString&)>& run) {
        run("DELETE FROM TBL_CORD");
        for (size_t i = 0; i < basket.size(); ++i)
            run("INSERT INTO TBL_CORD(IND_PST,VL) VALUES(" + QString::number(basket[i]) + "," +
                num(quantities[i % 10]) + ")");
    };
    lines.push_back({"basket written to TBL_CORD (" + std::to_string(basket.size()) + " lines)",
                     median([&] { fillBasket([&](const QString& q) { cn->execute(q); }); }),
                     median([&] { fillBasket([&](const QString& q) { ref.exec(q); }); }), false, 3,
                     static_cast<int>(basket.size())});

    const qint64 heavy = sum.heavyPositions.empty() ? 0 : sum.heavyPositions.front();
    const std::vector<std::pair<std::string, QString>> queries = {
        {"positions of a group, all bases", positionsQuery(sum.heavyGroup, filter)},
        {"band limits of a position", bandLimitsQuery(heavy)},
        {"offers of a position, all bases", offersQuery(heavy, filter)},
        // With no base marked the filter is empty: the same joins without the IN list.
        {"positions of a group, no base marked", positionsQuery(sum.heavyGroup, QString())},
        {"offers of a position, no base marked", offersQuery(heavy, QString())},
        {kBasketQueries[0][0], QString::fromLatin1(kBasketQueries[0][1])},
        {kBasketQueries[1][0], QString::fromLatin1(kBasketQueries[1][1])},
        {kBasketQueries[2][0], QString::fromLatin1(kBasketQueries[2][1])},
    };
    // The reference gets its better plan: with statistics of its data, basket included,
    // and with the planner's defaults (statistics can lead it to scan a whole table).
    ref.exec("ANALYZE");
    std::vector<Timing> withStats;
    std::vector<int> refRows(queries.size());
    for (size_t i = 0; i < queries.size(); ++i)
        withStats.push_back(median([&] { refRows[i] = ref.query(queries[i].second); }));
    ref.exec("DELETE FROM sqlite_stat1; ANALYZE sqlite_schema");
    for (size_t i = 0; i < queries.size(); ++i) {
        const Timing plain = median([&] { ref.query(queries[i].second); });
        const Timing best = plain.cpu < withStats[i].cpu ? plain : withStats[i];
        int rows = 0;
        const Timing s = median([&] { rows = storeQuery(*cn, queries[i].second); });
        if (rows != refRows[i])
            std::printf("  !! %s: the store returned %d rows, the reference %d\n", queries[i].first.c_str(),
                        rows, refRows[i]);
        lines.push_back({queries[i].first, s, best, true, 2, rows});
    }

    // 100 000 single-statement inserts into the order lines, each its own statement and
    // commit. The reference is a native SQLite file with synchronous=OFF.
    const int kInserts = 100000;
    const auto insertText = [](int i) {
        return "INSERT INTO TBL_APTS(IND, IND_APP, IND_PST, VL) VALUES(" + QString::number(i) + ", " +
               QString::number(i / 5 + 1) + ",0,0)";
    };
    const Timing storeInserts = timeOnce([&] {
        for (int i = 1; i <= kInserts; ++i) cn->execute(insertText(i));
    });
    Timing refInserts;
    {
        const QString refFile = QDir(work).filePath("inserts_" + tag + ".sqlite");
        QFile::remove(refFile);
        Sqlite file(refFile);
        file.exec("PRAGMA synchronous=OFF");
        file.exec("CREATE TABLE TBL_APTS (IND INTEGER,IND_APP INTEGER,IND_PST INTEGER,VL REAL)");
        refInserts = timeOnce([&] {
            for (int i = 1; i <= kInserts; ++i) file.exec(insertText(i));
        });
    }
    QFile::remove(QDir(work).filePath("inserts_" + tag + ".sqlite"));
    lines.push_back({"100 000 single INSERTs", storeInserts, refInserts, false, 3, kInserts});
    printLines(lines);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QLocale::setDefault(QLocale::c());
    const QStringList args = QCoreApplication::arguments();
    try {
        if (args.size() == 5 && args.at(1) == "--child-open")
            return childOpen(args.at(2), args.at(3), args.at(4));
        bool smallOnly = false, reuse = false;
        QString work;
        for (int i = 1; i < args.size(); ++i) {
            if (args.at(i) == "--small-only") {
                smallOnly = true;
            } else if (args.at(i) == "--reuse") {
                reuse = true;
            } else if (args.at(i) == "--work" && i + 1 < args.size()) {
                work = args.at(++i);
            } else {
                std::fprintf(stderr, "usage: store_bench [--small-only] [--work DIR [--reuse]]\n");
                return 2;
            }
        }
        QTemporaryDir tmp;
        if (work.isEmpty()) {
            if (!tmp.isValid()) throw std::runtime_error("no temporary folder");
            work = tmp.path();
        }
        QDir().mkpath(work);
        std::printf(
            "store benchmark: the local store against native SQLite tables with indexes on the join keys\n");
        benchSize({1, "small"}, work, reuse);
        if (!smallOnly) benchSize({25, "large"}, work, reuse);
    } catch (const core::Error& e) {
        std::fprintf(stderr, "store_bench: %s\n", e.message().toUtf8().constData());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "store_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
