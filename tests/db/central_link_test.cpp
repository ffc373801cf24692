// The central link over Qt SQL: the dialect adaptation per kind of server, the record
// values it hands out, its refusal to stand in for a missing or broken central database,
// and the password it keeps out of every text.
#include "db/central_link.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSqlDriver>
#include <QSqlResult>
#include <QTemporaryDir>

#include "core/errors.h"
#include "db/central_fixture.h"
#include "db/schema.h"
#include "db/sync.h"
#include "store/dbf_connection.h"
#include "store/store_helpers.h"
#include "support/show_value.h"

namespace {

using testsupport::show;

TEST(CentralDialect, TheLockHintIsRemovedAndNothingElse) {
    const struct { const char *in, *out; } cases[] = {
        {"select * from tbl_stuffs (nolock) where ind_position>0",
         "select * from tbl_stuffs where ind_position>0"},
        {"select a.* from tbl_costs a (nolock) inner join tbl_stuffs b (nolock) on a.ind_stuff=b.ind",
         "select a.* from tbl_costs a inner join tbl_stuffs b on a.ind_stuff=b.ind"},
        {"SELECT * FROM T ( NOLOCK )", "SELECT * FROM T"},
        {"select 'nolock' as x from t", "select 'nolock' as x from t"},
        {"exec nom_command 'delApp', 5, ''", "exec nom_command 'delApp', 5, ''"},
    };
    for (const auto& c : cases) EXPECT_EQ(db::stripNoLock(c.in), QString(c.out)) << c.in;
    EXPECT_TRUE(db::isOdbcSource("DRIVER={FreeTDS};SERVER=srv;DATABASE=trade"));
    EXPECT_TRUE(db::isOdbcSource("DSN=trade;UID=u"));
    EXPECT_FALSE(db::isOdbcSource("/srv/data/central.sqlite"));
}

class CentralLink : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    const QString path = tmp.filePath("central.sqlite");
};

// The synchronisation's tests run every source query through the link and check its rows.
TEST_F(CentralLink, IsReadOnlyAndItsFieldsByNameInAnyCaseWithTheirKindsOutliveTheLink) {
    testcentral::makeCentral(path, {"INSERT INTO tbl_costs VALUES(9, NULL, 0.5, NULL, 7)"});
    std::unique_ptr<store::RecordSet> rs;
    {
        auto link = db::openCentralLink(path);
        EXPECT_THROW(link->execute("DELETE FROM tbl_costs"), core::DbError);
        rs = link->open("select * from tbl_costs (nolock)");
    }
    ASSERT_FALSE(rs->eof());
    EXPECT_EQ(rs->fieldNames(), (QStringList{"ind", "ind_stuff", "val_from", "val_to", "cost"}));
    // A REAL column keeps its kind for whole values.
    EXPECT_EQ(show(rs->field("IND")) + show(rs->field("Val_From")) + show(rs->field("cost")) +
                  show(rs->field("ind_stuff")),
              "i:9d:0.5d:7null");
    EXPECT_THROW(rs->field("no_such"), core::DbError);
    rs->moveNext();
    EXPECT_TRUE(rs->eof());
    EXPECT_THROW(rs->field("ind"), core::DbError);
}

TEST_F(CentralLink, FailuresNameTheStatementOrTheFileAndCreateNothing) {
    testcentral::makeCentral(path);
    const QString bad =
        storetest::failureOf([&] { db::openCentralLink(path)->open("select * from tbl_nothing (nolock)"); });
    EXPECT_TRUE(bad.contains("select * from tbl_nothing (nolock)") && bad.contains("no such table")) << bad.toStdString();
    const QString missing = tmp.filePath("absent.sqlite"), junk = tmp.filePath("junk.sqlite");
    EXPECT_TRUE(storetest::failureOf([&] { db::openCentralLink(missing); }).contains(missing));
    EXPECT_FALSE(QFile::exists(missing));
    storetest::writeFile(junk, "this is not a database, only some text that is long enough to have a header");
    EXPECT_THROW(db::openCentralLink(junk), core::DbError);
    EXPECT_THROW(db::openCentralLink(tmp.path()), core::DbError) << "a folder is no database file";
}

// A Qt SQL driver in place of a SQL Server, which records every statement the link sends;
// each query answers with no rows. Like an ODBC driver that does not tell the server's
// kind, it leaves the link to the dialect the statements are written in.
class RecordingDriver final : public QSqlDriver {
public:
    explicit RecordingDriver(QStringList* sent) : sent_(sent) {}
    bool hasFeature(DriverFeature) const override { return false; }
    bool open(const QString&, const QString&, const QString&, const QString&, int, const QString&) override {
        setOpen(true);
        setOpenError(false);
        return true;
    }
    void close() override { setOpen(false); }
    QSqlResult* createResult() const override { return new Result(this, sent_); }

private:
    class Result final : public QSqlResult {
    public:
        Result(const QSqlDriver* d, QStringList* sent) : QSqlResult(d), sent_(sent) {}

    protected:
        bool reset(const QString& sql) override {
            sent_->append(sql);
            setSelect(true);
            setActive(true);
            return true;
        }
        QVariant data(int) override { return {}; }
        bool isNull(int) override { return true; }
        bool fetch(int) override { return false; }
        bool fetchFirst() override { return false; }
        bool fetchLast() override { return false; }
        int size() override { return 0; }
        int numRowsAffected() override { return 0; }

    private:
        QStringList* sent_;
    };
    QStringList* sent_;
};

// The statements a full synchronisation sends to the recording driver.
QStringList sentBySync(const QString& source) {
    QStringList sent;
    QTemporaryDir tmp;
    store::RoutedConnection cn(store::openFolder(tmp.path()), db::openCentralLink(source, new RecordingDriver(&sent)));
    const QStringList tables = db::referenceTables();
    db::synchronise(cn, QSet<QString>(tables.begin(), tables.end()));
    return sent;
}

const char* const kFreeTds = "DRIVER=FreeTDS;SERVER=sql.trade.local;PORT=1433;DATABASE=trade;UID=desk;PWD=Zv3zda!;TDS_Version=7.4";

// The PostgreSQL server tests (tests/app) check the other side: a server of another kind
// gets the statements without the hint.
TEST(CentralServerKind, ASqlServerThroughFreeTdsGetsTheSourceQueriesExactlyAsWritten) {
    QStringList written;
    for (const QString& t : db::referenceTables()) written << db::sourceQuery(t);
    EXPECT_EQ(written.first(), "select * from tbl_types (nolock)");
    EXPECT_EQ(written.last(),
              "select a.* from tbl_costs a (nolock) inner join tbl_stuffs b (nolock) on a.ind_stuff=b.ind where "
              "b.ind_position>0");
    EXPECT_EQ(sentBySync(kFreeTds), written);

    for (auto k : {QSqlDriver::MSSqlServer, QSqlDriver::Sybase, QSqlDriver::UnknownDbms}) EXPECT_TRUE(db::knowsNoLockHint(k)) << k;
    for (auto k : {QSqlDriver::PostgreSQL, QSqlDriver::MySqlServer, QSqlDriver::SQLite, QSqlDriver::Oracle, QSqlDriver::DB2})
        EXPECT_FALSE(db::knowsNoLockHint(k)) << k;
}

TEST(CentralCredentials, ThePasswordIsMaskedWhereverItStandsAndMayComeFromTheEnvironment) {
    const struct { const char *in, *out; } cases[] = {
        {kFreeTds, "DRIVER=FreeTDS;SERVER=sql.trade.local;PORT=1433;DATABASE=trade;UID=desk;PWD=***;TDS_Version=7.4"},
        {"DSN=trade;pwd={a;b}}c};UID=u", "DSN=trade;pwd=***;UID=u"},
        {"Password = x y;Server=s", "Password = ***;Server=s"},
        {"ошибка при PWD=abc\nследующая строка", "ошибка при PWD=***\nследующая строка"},
        {"UID=u;XPWD=keep", "UID=u;XPWD=keep"},
        {"/srv/central.sqlite", "/srv/central.sqlite"},
    };
    for (const auto& c : cases) EXPECT_EQ(db::maskPassword(c.in), QString(c.out)) << c.in;
    EXPECT_EQ(db::sourceName(kFreeTds), "сервер sql.trade.local, порт 1433, база trade");
    EXPECT_EQ(db::sourceName("DSN=trade;PWD=x"), "источник ODBC trade");
    EXPECT_EQ(db::withFetchByChunks("DRIVER={PostgreSQL Unicode};SERVER=s"),
              "DRIVER={PostgreSQL Unicode};SERVER=s;UseDeclareFetch=1;Fetch=5000");
    EXPECT_EQ(db::withFetchByChunks("DRIVER={PostgreSQL Unicode};usedeclarefetch=0"),
              "DRIVER={PostgreSQL Unicode};usedeclarefetch=0");
    EXPECT_EQ(db::withFetchByChunks(kFreeTds), kFreeTds);

    const QByteArray saved = qgetenv("ZELVORIN_CENTRAL_PWD");
    qputenv("ZELVORIN_CENTRAL_PWD", "s;e}cret");
    EXPECT_EQ(db::withPasswordFromEnvironment("DSN=trade;UID=u"), "DSN=trade;UID=u;PWD={s;e}}cret}");
    EXPECT_EQ(db::withPasswordFromEnvironment("DSN=trade;PWD=own"), "DSN=trade;PWD=own") << "the string's own wins";
    EXPECT_EQ(db::withPasswordFromEnvironment("/srv/central.sqlite"), "/srv/central.sqlite");
    qputenv("ZELVORIN_CENTRAL_PWD", "plain");
    EXPECT_EQ(db::withPasswordFromEnvironment("DSN=trade;"), "DSN=trade;PWD=plain");
    if (saved.isNull()) qunsetenv("ZELVORIN_CENTRAL_PWD");
    else qputenv("ZELVORIN_CENTRAL_PWD", saved);
}

// The FreeTDS driver itself, pointed at a port where no SQL Server listens.
TEST(CentralCredentials, AnUnreachableSqlServerIsNamedWithoutThePassword) {
    QFile ini("/etc/odbcinst.ini");
    if (!ini.open(QIODevice::ReadOnly) || !ini.readAll().contains("[FreeTDS]")) GTEST_SKIP() << "FreeTDS is not registered";
    const QString m = storetest::failureOf([] {
        db::openCentralLink("DRIVER=FreeTDS;SERVER=127.0.0.1;PORT=1;DATABASE=trade;UID=desk;PWD=Zv3zda!;TDS_Version=7.4");
    });
    EXPECT_TRUE(m.startsWith("Центральная база (сервер 127.0.0.1, порт 1, база trade) не открывается.\nСервер недоступен"))
        << m.toStdString();
    EXPECT_FALSE(m.contains("Zv3zda")) << m.toStdString();
}

}  // namespace
