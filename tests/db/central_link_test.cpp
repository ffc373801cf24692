// The central link over Qt SQL: the dialect adaptation for SQLite, the record values it
// hands out, and its refusal to stand in for a missing or broken central database.
#include "db/central_link.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "core/errors.h"
#include "db/central_fixture.h"
#include "db/schema.h"

namespace {

TEST(CentralDialect, TheLockHintIsRemovedAndNothingElse) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
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
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        path = tmp.filePath("central.sqlite");
        testcentral::makeCentral(path);
    }
    QTemporaryDir tmp;
    QString path;
};

TEST_F(CentralLink, RunsEverySourceQueryReadOnlyAndItsRowsOutliveTheLink) {
    const QList<std::pair<QString, int>> expectedRows = {
        {"TBL_TPS", 1},  {"TBL_GRPS", 1}, {"TBL_PSTS", 1}, {"TBL_RGNS", 1}, {"TBL_CTS", 1},
        {"TBL_ORGS", 1}, {"TBL_BSS", 1},  {"TBL_PRSS", 1}, {"TBL_STFS", 1}, {"TBL_CSTS", 2}};
    std::vector<std::pair<QString, std::unique_ptr<store::RecordSet>>> results;
    {
        auto link = db::openCentralLink(path);
        EXPECT_THROW(link->execute("DELETE FROM tbl_types"), core::DbError);
        for (const auto& [table, count] : expectedRows)
            results.emplace_back(table, link->open(db::sourceQuery(table)));
    }
    for (int i = 0; i < expectedRows.size(); ++i) {
        int n = 0;
        for (auto& rs = results[i].second; !rs->eof(); rs->moveNext()) ++n;
        EXPECT_EQ(n, expectedRows[i].second) << expectedRows[i].first.toStdString();
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
    EXPECT_EQ(rs->fieldNames(), (QStringList{"ind", "ind_stuff", "val_from", "val_to", "cost"}));
    EXPECT_THROW(rs->field("no_such"), core::DbError);
    rs->moveNext();
    EXPECT_TRUE(rs->eof());
    EXPECT_THROW(rs->field("ind"), core::DbError);
    EXPECT_EQ(db::openCentralLink(path)->open("select * from tbl_types (nolock)")->field("TYPE_NAME"),
              core::Value::text("Арматура"));
}

TEST_F(CentralLink, FailuresNameTheStatementOrTheFileAndCreateNothing) {
    try {
        db::openCentralLink(path)->open("select * from tbl_nothing (nolock)");
        FAIL();
    } catch (const core::DbError& e) {
        EXPECT_TRUE(e.message().contains("select * from tbl_nothing (nolock)")) << e.message().toStdString();
        EXPECT_TRUE(e.message().contains("no such table")) << e.message().toStdString();
    }
    const QString missing = tmp.filePath("absent.sqlite");
    try {
        db::openCentralLink(missing);
        FAIL();
    } catch (const core::DbError& e) {
        EXPECT_TRUE(e.message().contains(missing)) << e.message().toStdString();
    }
    EXPECT_FALSE(QFile::exists(missing));
    QFile junk(tmp.filePath("junk.sqlite"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("this is not a database, only some text that is long enough to have a header");
    junk.close();
    EXPECT_THROW(db::openCentralLink(junk.fileName()), core::DbError);
    EXPECT_THROW(db::openCentralLink(tmp.path()), core::DbError) << "a folder is no database file";
}

}  // namespace
