// The central link over Qt SQL: the dialect adaptation for SQLite, the record values it
// hands out, and its refusal to stand in for a missing or broken central database.
#include "db/central_link.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <functional>

#include "core/errors.h"
#include "db/central_fixture.h"
#include "support/show_value.h"

namespace {

using testsupport::show;

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
    const auto failure = [](const std::function<void()>& step) {
        try {
            step();
        } catch (const core::DbError& e) {
            return e.message();
        }
        return QStringLiteral("no error");
    };
    testcentral::makeCentral(path);
    const QString bad =
        failure([&] { db::openCentralLink(path)->open("select * from tbl_nothing (nolock)"); });
    EXPECT_TRUE(bad.contains("select * from tbl_nothing (nolock)") && bad.contains("no such table"))
        << bad.toStdString();
    const QString missing = tmp.filePath("absent.sqlite");
    EXPECT_TRUE(failure([&] { db::openCentralLink(missing); }).contains(missing));
    EXPECT_FALSE(QFile::exists(missing));
    QFile junk(tmp.filePath("junk.sqlite"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("this is not a database, only some text that is long enough to have a header");
    junk.close();
    EXPECT_THROW(db::openCentralLink(junk.fileName()), core::DbError);
    EXPECT_THROW(db::openCentralLink(tmp.path()), core::DbError) << "a folder is no database file";
}

}  // namespace
