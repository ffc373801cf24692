// The central database on a real PostgreSQL server that the test starts: the demo data
// written to it and to an SQLite file by the same generator, --sync and --refresh over
// ODBC, the server's faults, and the password that no output of a failing run shows.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/command_line.h"
#include "app/mdi_zelvorin.h"
#include "app/refresh_prices.h"
#include "data/demo_data.h"
#include "db/central_link.h"
#include "db/schema.h"
#include "refresh_fixture.h"
#include "store/dbf_connection.h"
#include "support/global_guard.h"
#include "support/scripted_seams.h"
#include "tools/pg_cluster.h"

namespace {

using testrefresh::referenceRows;

constexpr double kScale = 0.05;

// Every entry of a folder, with the bytes of its files.
QMap<QString, QByteArray> snapshot(const QString& folder) {
    QMap<QString, QByteArray> entries;
    for (const QFileInfo& f :
         QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
        entries.insert(f.fileName(), f.isDir() ? QByteArray("<folder>") : storetest::readFile(f.filePath()));
    return entries;
}

// The first row where two folders' tables part, rather than thousands of rows printed.
// A source query has no ORDER BY: each engine hands the rows over in its own order (the
// file's by an index, the server's by a scan), so the rows are compared in key order.
void expectSameRows(QStringList a, QStringList b) {
    a.sort();
    b.sort();
    EXPECT_EQ(a.size(), b.size());
    const auto [x, y] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    if (x != a.end() && y != b.end()) ADD_FAILURE() << x->toStdString() << " | " << y->toStdString();
}

class CentralServer : public ::testing::Test {
protected:
    void SetUp() override {
        const QString why = pgtest::Cluster::unavailableReason();
        ASSERT_TRUE(why.isEmpty()) << "the server tests need the packages of scripts/setup.sh: " << why.toStdString();
        ASSERT_TRUE(QSqlDatabase::isDriverAvailable("QODBC"));
        server = std::make_unique<pgtest::Cluster>();
        demodata::generateCentral(server->connectionString().toStdString(), kScale);
        demodata::generateCentral(sqlite().toStdString(), kScale);
    }
    QString sqlite() const { return dir.filePath("central.sqlite"); }
    QString folder(const char* name) const { return dir.filePath(name); }
    static app::CommandLine line(const QString& central, const QString& db) {
        app::CommandLine cl;
        cl.central = central;
        cl.db = db;
        return cl;
    }
    int sync(const QString& central, const QString& db) const { return app::runSync(line(central, db)); }
    storetest::ProgramRun zelvorin(const QStringList& args,
        const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) const {
        return storetest::run(ZELVORIN_BINARY_DIR "/zelvorin", args, env);
    }
    // A folder built from the SQLite file, which the server's faults must leave alone.
    QString built() {
        const QString db = folder("built");
        EXPECT_EQ(sync(sqlite(), db), 0);
        return db;
    }

    QTemporaryDir dir;
    std::unique_ptr<pgtest::Cluster> server;
};

TEST_F(CentralServer, SyncAndRefreshOverOdbcGiveTheTablesOfTheSqliteFileRowForRow) {
    ASSERT_EQ(sync(sqlite(), folder("from-file")), 0);
    ASSERT_EQ(sync(server->connectionString(), folder("from-server")), 0);
    const QStringList rows = referenceRows(folder("from-file"));
    EXPECT_GT(rows.filter(QRegularExpression("^TBL_CSTS\\|")).size(), 1000);
    expectSameRows(referenceRows(folder("from-server")), rows);

    // The server's data change; the password comes from the environment, not the command line.
    server->sql("UPDATE tbl_costs SET cost = cost + 100 WHERE ind = (SELECT min(ind) FROM tbl_costs)");
    server->sql("INSERT INTO tbl_positions SELECT max(ind) + 1, min(ind_group), 'Позиция с сервера' FROM "
        "tbl_positions");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ZELVORIN_CENTRAL_PWD", server->password());
    const auto r = zelvorin(
        {"--refresh", "--central", server->connectionString(QString()), "--db", folder("from-file")}, env);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("Позиции добавлены: 1\n  + Позиция с сервера\n")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("Цены диапазонов: выросли 1, снизились 0")) << r.out.toStdString();
    EXPECT_FALSE((r.out + r.err).contains(server->password()));
    ASSERT_EQ(sync(server->connectionString(), folder("fresh")), 0);
    expectSameRows(referenceRows(folder("from-file")), referenceRows(folder("fresh")));
}

// A failing run with the password on its command line and in the window's connection:
// every line it prints and every message box it shows names the server, never the password.
TEST_F(CentralServer, ARefusedLoginIsSaidWithTheServerAndTheTableAndNoOutputHoldsThePassword) {
    const QString db = built();
    const auto before = snapshot(db);
    const QString old = server->connectionString();
    const QString password = server->password();
    server->setPassword("Nov0e-" + password);
    const QString where = QString("сервер 127.0.0.1, порт %1, база trade").arg(server->port());

    QString everything;
    for (const QStringList& args : {QStringList{"--sync", "--central", old, "--db", folder("new")},
                                    QStringList{"--refresh", "--central", old, "--db", db}}) {
        const auto r = zelvorin(args);
        EXPECT_EQ(r.exitCode, 1) << args.first().toStdString();
        EXPECT_TRUE(r.err.contains(where) && r.err.contains("TBL_TPS") && r.err.contains("отказал во входе"))
            << r.err.toStdString();
        everything += r.out + r.err;
    }
    {
        testsupport::GlobalGuard guard;
        testsupport::ScriptedMessages boxes;
        int code = 0;
        EXPECT_EQ(app::startMainWindow(line(old, db), &code), nullptr);
        EXPECT_EQ(code, 1);
        ASSERT_EQ(boxes.texts().size(), 1);
        EXPECT_TRUE(boxes.texts()[0].contains(where)) << boxes.texts()[0].toStdString();
        everything += boxes.texts().join('\n');
    }
    EXPECT_FALSE(everything.contains(password)) << everything.toStdString();
    EXPECT_FALSE(everything.contains("PWD=") && !everything.contains("PWD=***"));
    EXPECT_FALSE(QDir(folder("new")).exists()) << "a failed --sync leaves no folder behind";
    EXPECT_EQ(snapshot(db), before);
}

TEST_F(CentralServer, AServerThatIsDownLeavesTheFolderAsItWasAndIsNamed) {
    const QString db = built();
    QDir().mkpath(folder("empty"));
    const auto before = snapshot(db);
    server->stop();
    const auto sync = zelvorin({"--sync", "--central", server->connectionString(), "--db", folder("empty")});
    const auto refresh = zelvorin({"--refresh", "--central", server->connectionString(), "--db", db});
    for (const auto& r : {sync, refresh}) {
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(r.err.contains(QString("порт %1").arg(server->port())) && r.err.contains("TBL_TPS") &&
                    r.err.contains("Сервер недоступен")) << r.err.toStdString();
        EXPECT_FALSE((r.out + r.err).contains(server->password()));
    }
    EXPECT_TRUE(refresh.err.contains("данные прежние")) << refresh.err.toStdString();
    EXPECT_TRUE(QDir(folder("empty")).exists());
    EXPECT_TRUE(snapshot(folder("empty")).isEmpty()) << "a folder that was there stays, empty";
    EXPECT_EQ(snapshot(db), before);
}

// The server ends the link's session in the middle of the last table, as a network fault
// would: its rows come 100 at a time, and the 1000th row is the last one that arrives.
class DroppedMidTable final : public store::Connection {
public:
    DroppedMidTable(std::unique_ptr<store::Connection> real, const pgtest::Cluster& server)
        : real_(std::move(real)), server_(server) {}
    void execute(const QString& sql) override { real_->execute(sql); }
    std::unique_ptr<store::RecordSet> open(const QString& sql) override {
        auto rs = real_->open(sql);
        if (!sql.contains("tbl_costs")) return rs;
        return std::make_unique<Rows>(std::move(rs), server_);
    }

private:
    class Rows final : public store::RecordSet {
    public:
        Rows(std::unique_ptr<store::RecordSet> real, const pgtest::Cluster& server) : real_(std::move(real)), server_(server) {}
        bool isOpen() const override { return real_->isOpen(); }
        bool eof() const override { return real_->eof(); }
        core::Value field(const QString& name) const override { return real_->field(name); }
        void moveNext() override {
            if (++read_ == 1000) server_.dropSessions();
            real_->moveNext();
        }
        void close() override { real_->close(); }
        QStringList fieldNames() const override { return real_->fieldNames(); }

    private:
        std::unique_ptr<store::RecordSet> real_;
        const pgtest::Cluster& server_;
        int read_ = 0;
    };
    std::unique_ptr<store::Connection> real_;
    const pgtest::Cluster& server_;
};

TEST_F(CentralServer, AConnectionDroppedInTheMiddleOfTheRefreshLeavesTheFolderAsItWas) {
    const QString db = built();
    const auto before = snapshot(db);
    testsupport::ScriptedMessages boxes;
    {
        auto link = db::openCentralLink(server->connectionString() + ";UseDeclareFetch=1;Fetch=100");
        store::RoutedConnection cn(store::openFolder(db), std::make_unique<DroppedMidTable>(std::move(link), *server));
        EXPECT_EQ(app::refreshPrices(nullptr, cn), nullptr);
    }
    ASSERT_EQ(boxes.texts().size(), 2) << "the question, then the failure";
    const QString m = boxes.texts()[1];
    EXPECT_TRUE(m.startsWith("Не удалось обновить справочники; данные остались прежними.\nТаблица TBL_CSTS"))
        << m.toStdString();
    EXPECT_TRUE(m.contains(QString("сервер 127.0.0.1, порт %1").arg(server->port())) &&
                m.contains("Связь с сервером прервалась")) << m.toStdString();
    EXPECT_FALSE(m.contains(server->password()));
    EXPECT_EQ(snapshot(db), before);
}

// The window's refresh from the server: the progress counts the rows of a table while they
// still arrive from the server, and "Отмена" pressed then stops the run at once.
TEST_F(CentralServer, TheProgressCountsTheServersRowsAsTheyArriveAndOtmenaStopsTheCopy) {
    const QString db = built();
    const auto before = snapshot(db);
    testsupport::ScriptedMessages boxes;
    QString label;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QProgressDialog* progress = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == "refreshProgress" && w->isVisible()) progress = qobject_cast<QProgressDialog*>(w);
        if (!progress || !progress->labelText().startsWith("Таблица TBL_CSTS: скопировано строк 1")) return;
        poll.stop();
        label = progress->labelText();
        QTest::mouseClick(progress->findChild<QPushButton*>(), Qt::LeftButton);
    });
    poll.start(0);
    {
        auto link = db::openCentralLink(server->connectionString() + ";UseDeclareFetch=1;Fetch=100");
        store::RoutedConnection cn(store::openFolder(db), std::move(link));
        EXPECT_EQ(app::refreshPrices(nullptr, cn), nullptr);
    }
    EXPECT_TRUE(label.startsWith("Таблица TBL_CSTS: скопировано строк 1")) << label.toStdString();
    EXPECT_EQ(boxes.texts().last(), "Обновление прервано. Справочники остались прежними.");
    EXPECT_EQ(snapshot(db), before);
}

}  // namespace
