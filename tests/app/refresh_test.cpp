// The refresh of a built folder's reference tables: what it copies, what it reports,
// what it leaves alone, and that a failure or a cancel leaves the folder as it was.

#include <gtest/gtest.h>

#include "app/mdi_zelvorin.h"
#include "core/errors.h"
#include "data/demo_data.h"
#include "db/central_link.h"
#include "db/refresh.h"
#include "refresh_fixture.h"
#include "store/dbf_file.h"
#include "store/table_swap.h"
#include "support/global_guard.h"
#include "support/scripted_seams.h"

namespace {

using storetest::readFile;
using testrefresh::referenceRows;

QStringList tableFiles(const QString& folder) {
    QStringList files;
    for (const QString& t : db::referenceTables()) files << QDir(folder).filePath(t + ".dbf");
    return files;
}

// A central link that stops answering at its n-th source query.
class FailingCentral final : public store::Connection {
public:
    FailingCentral(std::unique_ptr<store::Connection> real, int failAt) : real_(std::move(real)), left_(failAt) {}
    void execute(const QString& sql) override { real_->execute(sql); }
    std::unique_ptr<store::RecordSet> open(const QString& sql) override {
        if (--left_ == 0) throw core::DbError("Сервер не отвечает");
        return real_->open(sql);
    }

private:
    std::unique_ptr<store::Connection> real_;
    int left_;
};

class Refresh : public ::testing::Test, public testrefresh::Folders {
protected:
    db::ChangeReport refresh(const QString& central, const db::SyncProgressFn& progress = {}, int failAt = 0) {
        std::unique_ptr<store::Connection> link = db::openCentralLink(central);
        if (failAt) link = std::make_unique<FailingCentral>(std::move(link), failAt);
        store::RoutedConnection cn(store::openFolder(db()), std::move(link));
        return db::refreshReferenceTables(cn, progress);
    }
};

TEST_F(Refresh, TheTablesBecomeThoseOfAFreshSyncTheOrdersStayAndTheReportNamesEachChange) {
    const QByteArray orders = this->orders();
    const db::ChangeReport r = refresh(newCentral());
    EXPECT_EQ(this->orders(), orders) << "the order and its line of a vanished position stay byte for byte";

    app::CommandLine fresh = refreshFrom(newCentral());
    fresh.db = dir.filePath("fresh");
    ASSERT_EQ(app::runSync(fresh), 0);
    const QStringList mine = tableFiles(db()), theirs = tableFiles(fresh.db);
    for (int k = 0; k < mine.size(); ++k) EXPECT_EQ(readFile(mine[k]), readFile(theirs[k])) << mine[k].toStdString();
    const auto dbfread = storetest::run("/usr/bin/python3", {"-c", "import dbfread,sys\nfor r in dbfread.DBF(sys.argv[1]): "
                                        "print(r['PST_NM'])", QDir(db()).filePath("TBL_PSTS.dbf")});
    EXPECT_EQ(dbfread.out, "Арматура 12\nШвеллер 10\nУголок 50\n") << dbfread.err.toStdString();

    EXPECT_EQ(r.positionsAdded, QStringList{"Швеллер 10"});
    EXPECT_EQ(r.positionsRemoved, QStringList{"Круг 20"});
    EXPECT_EQ(std::make_pair(r.offersAdded, r.offersRemoved), std::make_pair(2LL, 2LL))
        << "the moved offer counts on both sides, beside the added and the removed position's";
    EXPECT_EQ(std::make_pair(r.bandsRose, r.bandsFell), std::make_pair(1LL, 0LL));
    ASSERT_EQ(r.largest.size(), 1);
    EXPECT_EQ(r.largest[0].position + "; " + r.largest[0].base, "Арматура 12; База Север");
    EXPECT_DOUBLE_EQ(r.largest[0].percent(), 10.0);
    ASSERT_EQ(r.rows.size(), 10);
    EXPECT_EQ(r.rows[2].table + QString(" %1→%2").arg(r.rows[2].before).arg(r.rows[2].after), "TBL_PSTS 3→3");
    const QLocale ru(QLocale::Russian);
    const QString text = db::reportText(r, ru);
    EXPECT_TRUE(text.contains("Позиции добавлены: 1\n  + Швеллер 10\nПозиции удалены: 1\n  − Круг 20")) << text.toStdString();
    EXPECT_TRUE(text.contains("Арматура 12; База Север; 0–10: 1" + ru.groupSeparator() + "000 → 1" + ru.groupSeparator() + "100 (+10,0 %)"))
        << text.toStdString();
}

TEST_F(Refresh, AFailureOrACancelAnywhereLeavesTheFolderAsItWas) {
    const QStringList before = referenceRows(db());
    const QByteArray orders = this->orders();
    auto unchanged = [&](const char* what) {
        EXPECT_EQ(referenceRows(db()), before) << what;
        EXPECT_EQ(this->orders(), orders) << what;
        EXPECT_FALSE(QDir(store::stagingFolderOf(db())).exists()) << what;
    };
    try {
        refresh(newCentral(), {}, 9);
        ADD_FAILURE() << "a central database that stops answering fails the refresh";
    } catch (const db::RefreshError& e) {
        EXPECT_EQ(e.table(), "TBL_STFS");
        EXPECT_TRUE(e.reason().contains("Сервер не отвечает")) << e.message().toStdString();
    }
    unchanged("lost central");
    EXPECT_THROW(refresh(newCentral(), [](const db::SyncProgress& p) {
                     if (p.table == "TBL_CSTS") throw db::SyncCancelled();
                 }),
                 db::SyncCancelled);
    unchanged("cancelled");

    for (int64_t from : {0, 1}) {  // the new file cannot be created; its rows cannot be written
        store::setWriteFailureHook([from](const QString& path, int64_t at, size_t) {
            return !path.contains("TBL_CSTS") || at < from;
        });
        const QString full = storetest::failureOf([&] { refresh(newCentral()); });
        EXPECT_TRUE(full.contains(from ? "TBL_CSTS.dbf не записывается" : "Таблица TBL_CSTS: ")) << full.toStdString();
    }
    store::setWriteFailureHook(nullptr);
    unchanged("disk full");

    // A staging folder an earlier crash left without its list is junk, never data.
    QDir().mkpath(store::stagingFolderOf(db()));
    storetest::writeFile(store::stagingFolderOf(db()) + "/TBL_TPS.dbf", "not a table");
    unchanged("left-over staging");

    testcentral::makeCentral(dir.filePath("no_costs.sqlite"), testrefresh::centralRows(true).mid(0, 9),
                             testcentral::centralSchema().mid(0, 9));
    testing::internal::CaptureStderr();
    EXPECT_EQ(app::runRefresh(refreshFrom(dir.filePath("no_costs.sqlite"))), 1);
    const QString refused = QString::fromStdString(testing::internal::GetCapturedStderr());
    EXPECT_TRUE(refused.contains("не выполнено, данные прежние") && refused.contains("Таблица TBL_CSTS: "))
        << refused.toStdString();
    unchanged("refused source query");
    {
        auto holder = store::openFolder(db());
        testing::internal::CaptureStderr();
        EXPECT_EQ(app::runRefresh(refreshFrom(newCentral())), 1);
        EXPECT_TRUE(QString::fromStdString(testing::internal::GetCapturedStderr()).contains("занята другой программой"));
    }
    unchanged("folder in use");
}

TEST_F(Refresh, TheCommandLinePrintsProgressToStderrAndTheReportToStdout) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(app::runRefresh(refreshFrom(newCentral())), 0);
    const QString out = QString::fromStdString(testing::internal::GetCapturedStdout());
    const QString err = QString::fromStdString(testing::internal::GetCapturedStderr());
    EXPECT_TRUE(err.startsWith("TBL_TPS: 1\nTBL_GRPS: 1\n") && err.endsWith("TBL_CSTS: 3\n")) << err.toStdString();
    EXPECT_TRUE(out.startsWith("Строк в таблицах (было → стало):\n  TBL_TPS: 1 → 1\n")) << out.toStdString();
    EXPECT_TRUE(out.contains("Предложения: добавлено 2, удалено 2\nЦены диапазонов: выросли 1, снизились 0\n"));
}

// kill -9 at every checkpoint of the copy and the replacement: the next opening finds the
// ten tables entirely old or entirely new, and the orders as they were.
TEST_F(Refresh, AProcessKilledAtAnyMomentLeavesTheOldTablesOrTheNew) {
    const QStringList before = referenceRows(db());
    const QByteArray orders = this->orders();
    QStringList after;
    int kills = 0;
    for (int at = 1; at < 200; ++at) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ZELVORIN_KILL_AT", QString::number(at));
        const auto p = storetest::run(ZELVORIN_BINARY_DIR "/zelvorin",
                                      {"--refresh", "--central", newCentral(), "--db", db()}, env);
        const QStringList now = referenceRows(db());
        if (after.isEmpty() && now != before) after = now;
        EXPECT_TRUE(now == before || now == after) << "killed at checkpoint " << at;
        EXPECT_EQ(this->orders(), orders) << at;
        EXPECT_EQ(storetest::fileFaults(db()), "") << at;
        if (p.exitCode != -1) {  // it was not killed: it ran to its end
            EXPECT_EQ(p.exitCode, 0) << p.err.toStdString();
            break;
        }
        ++kills;
        if (now != before) refresh(oldCentral());  // the new tables stand: start again from the old ones
    }
    EXPECT_GE(kills, 20);
    EXPECT_EQ(referenceRows(db()), after);
}

// kill -9 at every checkpoint of a first synchronisation from the demo central database:
// the start-up then opens the folder, which holds all its tables, each as a whole run
// writes it, or none; every file reads with both readers.
TEST(SyncKill, AProcessKilledAtAnyMomentLeavesEveryTableOrNone) {
    QTemporaryDir dir;
    testsupport::GlobalGuard guard;
    testsupport::ScriptedMessages boxes;  // a start-up message would be a file fault, found below
    const QString central = dir.filePath("demo.sqlite");
    demodata::generateCentral(central.toStdString(), 0.05);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    app::CommandLine cl;
    auto sync = [&](const QString& db) { return storetest::run(ZELVORIN_BINARY_DIR "/zelvorin", {"--sync", "--central", central, "--db", cl.db = db}, env); };
    ASSERT_EQ(sync(dir.filePath("whole")).exitCode, 0);
    const QStringList whole = referenceRows(cl.db);
    int runs = 0, code = -1;
    for (int at = 1; at < 400; ++at, ++runs) {
        env.insert("ZELVORIN_KILL_AT", QString::number(at));
        const auto p = sync(dir.filePath(QString("DB%1").arg(at)));
        EXPECT_NE(app::startMainWindow(cl, &code), nullptr) << at;  // which finishes or throws away a staged build
        Global::setCn(nullptr);
        const QStringList tables = QDir(cl.db).entryList({"*.dbf"}, QDir::Files);
        EXPECT_TRUE(tables.isEmpty() || (tables.size() == 13 && referenceRows(cl.db) == whole)) << at << ": " << tables.join(' ').toStdString();
        EXPECT_FALSE(QDir(store::stagingFolderOf(cl.db)).exists()) << at;
        EXPECT_EQ(storetest::fileFaults(cl.db), "") << at;
        QDir(cl.db).removeRecursively();
        if (p.exitCode != -1) break;  // it ran to its end
    }
    EXPECT_GT(runs, 50) << "every run but the last one was killed";
}

// --find as scripts run it: the matching priced positions in name order, 1 for none, 2 on
// an error; the words are never SQL.
TEST(FindCommand, PrintsTheMatchesTabSeparatedOrSaysThereAreNone) {
    testrefresh::Folders f;
    auto find = [&](const QString& words, const QString& db) {
        return storetest::run(ZELVORIN_BINARY_DIR "/zelvorin", {"--find", words, "--db", db});
    };
    const auto hit = find("арм 12", f.db());
    EXPECT_EQ(std::make_pair(hit.exitCode, hit.out), std::make_pair(0, QString("700\tАрматура 12\tА500С\t1000\t1000\n")));
    EXPECT_EQ(find("У", f.db()).out, "703\tУголок 50\tА500С\t3000\t3000\n");
    for (const char* words : {"трубa", "%", "_", "' OR 1=1 --", "\\"}) EXPECT_EQ(find(words, f.db()).exitCode, 1) << words;
    const auto broken = find("арм", f.dir.filePath("absent"));
    EXPECT_EQ(broken.exitCode, 2);
    EXPECT_TRUE(broken.err.contains("не существует")) << broken.err.toStdString();
}

}  // namespace
