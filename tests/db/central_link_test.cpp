// The central link over Qt SQL: the dialect adaptation for SQLite, the record values it
// hands out, and its refusal to stand in for a missing or broken central database.
#include "core/errors.h"
#include "db/central_fixture.h"
#include "db/central_link.h"
#include "db/schema.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Rewrite {
    const char* in;
    const char* out;
};

class NoLockHint : public ::testing::TestWithParam<Rewrite> {};

TEST_P(NoLockHint, IsRemovedAndNothingElse) {
    EXPECT_EQ(db::stripNoLock(GetParam().in), QString(GetParam().out));
}

INSTANTIATE_TEST_SUITE_P(
    Statements, NoLockHint,
    ::testing::Values(Rewrite{"select * from tbl_types (nolock)", "select * from tbl_types"},
                      Rewrite{"select * from tbl_stuffs (nolock) where ind_position>0",
                              "select * from tbl_stuffs where ind_position>0"},
                      Rewrite{"select a.* from tbl_costs a (nolock) inner join tbl_stuffs b (nolock) on "
                              "a.ind_stuff=b.ind where "
                              "b.ind_position>0",
                              "select a.* from tbl_costs a inner join tbl_stuffs b on a.ind_stuff=b.ind "
                              "where b.ind_position>0"},
                      Rewrite{"SELECT * FROM T ( NOLOCK )", "SELECT * FROM T"},
                      Rewrite{"select 'nolock' as x from t", "select 'nolock' as x from t"},
                      Rewrite{"exec nom_command 'delApp', 5, ''", "exec nom_command 'delApp', 5, ''"}));

TEST(CentralSource, OdbcIsRecognisedByDriverOrDsn) {
    EXPECT_TRUE(db::isOdbcSource("DRIVER={FreeTDS};SERVER=srv;DATABASE=trade"));
    EXPECT_TRUE(db::isOdbcSource("driver={SQL Server};server=x"));
    EXPECT_TRUE(db::isOdbcSource("DSN=trade;UID=u"));
    EXPECT_FALSE(db::isOdbcSource("/srv/data/central.sqlite"));
    EXPECT_FALSE(db::isOdbcSource("central.db"));
}

class CentralLink : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        path = tmp.filePath("central.sqlite");
        testcentral::makeCentral(path);
    }
    QTemporaryDir tmp;
    QString path;
};

TEST_F(CentralLink, RunsEverySourceQueryAsWritten) {
    auto link = db::openCentralLink(path);
    const QList<std::pair<QString, int>> expectedRows = {
        {"TBL_TPS", 1}, {"TBL_GRPS", 1}, {"TBL_PSTS", 1}, {"TBL_RGNS", 1}, {"TBL_CTS", 1},
        {"TBL_ORGS", 1}, {"TBL_BSS", 1}, {"TBL_PRSS", 1}, {"TBL_STFS", 1}, {"TBL_CSTS", 2}};
    for (const auto& [table, count] : expectedRows) {
        auto rs = link->open(db::sourceQuery(table));
        int n = 0;
        for (; !rs->eof(); rs->moveNext())
            ++n;
        EXPECT_EQ(n, count) << table.toStdString();
    }
}

TEST_F(CentralLink, FieldsByNameInAnyCaseWithTheirKinds) {
    testcentral::makeCentral(tmp.filePath("nulls.sqlite"),
                             {"INSERT INTO tbl_costs VALUES(9, NULL, 0.5, NULL, 7)"});
    auto link = db::openCentralLink(tmp.filePath("nulls.sqlite"));
    auto rs = link->open("select * from tbl_costs (nolock)");
    ASSERT_FALSE(rs->eof());
    EXPECT_EQ(rs->field("IND"), core::Value::int32(9));
    EXPECT_EQ(rs->field("Val_From"), core::Value::dbl(0.5));
    EXPECT_EQ(rs->field("cost"), core::Value::dbl(7.0)) << "a REAL column keeps its kind for whole values";
    EXPECT_TRUE(rs->field("ind_stuff").isNull());
    EXPECT_TRUE(rs->field("val_to").isNull());
    EXPECT_EQ(rs->fieldNames(), (QStringList{"ind", "ind_stuff", "val_from", "val_to", "cost"}));
    EXPECT_THROW(rs->field("no_such"), core::DbError);
    rs->moveNext();
    EXPECT_TRUE(rs->eof());
    EXPECT_THROW(rs->field("ind"), core::DbError);

    auto texts = db::openCentralLink(path)->open("select * from tbl_types (nolock)");
    EXPECT_EQ(texts->field("TYPE_NAME"), core::Value::text("Арматура"));
}

TEST_F(CentralLink, FailureNamesTheStatementAsSentAndTheReason) {
    auto link = db::openCentralLink(path);
    try {
        link->open("select * from tbl_nothing (nolock)");
        FAIL();
    } catch (const core::DbError& e) {
        EXPECT_TRUE(e.message().contains("select * from tbl_nothing (nolock)")) << e.message().toStdString();
        EXPECT_TRUE(e.message().contains("no such table")) << e.message().toStdString();
    }
}

TEST_F(CentralLink, OpensTheFileReadOnly) {
    auto link = db::openCentralLink(path);
    EXPECT_THROW(link->execute("DELETE FROM tbl_types"), core::DbError);
    auto rs = link->open("select * from tbl_types (nolock)");
    EXPECT_FALSE(rs->eof());
}

TEST_F(CentralLink, ResultSetOutlivesTheLink) {
    std::unique_ptr<store::RecordSet> rs;
    {
        auto link = db::openCentralLink(path);
        rs = link->open("select * from tbl_stuffs (nolock)");
    }
    int n = 0;
    for (; !rs->eof(); rs->moveNext())
        ++n;
    EXPECT_EQ(n, 3);
    rs->close();
    EXPECT_FALSE(rs->isOpen());
    EXPECT_TRUE(rs->eof());
}

TEST_F(CentralLink, MissingOrBrokenFileIsAnErrorAndNothingIsCreated) {
    const QString missing = tmp.filePath("absent.sqlite");
    try {
        db::openCentralLink(missing);
        FAIL();
    } catch (const core::DbError& e) {
        EXPECT_TRUE(e.message().contains(missing)) << e.message().toStdString();
    }
    EXPECT_FALSE(QFile::exists(missing));

    const QString junk = tmp.filePath("junk.sqlite");
    {
        QFile f(junk);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("this is not a database, only some text that is long enough to have a header");
    }
    EXPECT_THROW(db::openCentralLink(junk), core::DbError);
    EXPECT_THROW(db::openCentralLink(tmp.path()), core::DbError) << "a folder is no database file";
}

}  // namespace
