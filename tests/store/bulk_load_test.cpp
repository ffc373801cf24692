// Bulk loads: inserts of literals prepared once with their values bound, appends held back
// and written in batches, and the all-or-nothing replacement of table files.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "core/errors.h"
#include "store/dbf_connection.h"
#include "store/dbf_file.h"
#include "store/insert_template.h"
#include "store/table_swap.h"
#include "store_helpers.h"

namespace {

using Kind = store::InsertLiteral::Kind;
using storetest::readFile;
using Rows = std::vector<std::string>;

Rows rowsOf(store::Connection& cn, const QString& table) { return storetest::rows(cn, "SELECT * FROM " + table); }

TEST(InsertTemplate, LiteralsBecomeParametersAndAnythingElseIsLeftToTheParser) {
    store::InsertTemplate t;
    ASSERT_TRUE(store::splitInsert(" insert INTO TBL_X(A, B, C, D, E) values ( -7, 'O''Нил', NULL, +2.50, -1e-3 ) ", &t));
    EXPECT_EQ(t.statement.toStdString(), "insert INTO TBL_X(A, B, C, D, E) values(?,?,?,CAST(? AS REAL),CAST(? AS REAL))");
    ASSERT_EQ(t.values.size(), 5u);
    EXPECT_EQ(t.values[0].kind, Kind::Integer);
    EXPECT_EQ(t.values[0].integer, -7);
    EXPECT_EQ(t.values[1].text, "O'Нил");
    EXPECT_EQ(t.values[2].kind, Kind::Null);
    EXPECT_EQ(t.values[3].text, "2.50");
    EXPECT_EQ(t.values[4].text, "-1e-3");
    for (const char* sql : {"INSERT INTO T VALUES(1),(2)", "INSERT INTO T VALUES(1+1)", "INSERT INTO T VALUES(0x1F)",
                            "INSERT INTO T VALUES(9223372036854775808)", "INSERT INTO T VALUES('a) -- x",
                            "INSERT INTO 'T' VALUES(1)", "INSERT INTO T SELECT 1", "INSERT INTO T VALUES(1); DROP",
                            "UPDATE T SET A=1", "INSERT INTO T VALUES(abs(1))", "INSERT INTO T VALUES(?)"})
        EXPECT_FALSE(store::splitInsert(sql, &t)) << sql;
}

// A value bound from a literal is stored exactly as the same literal parsed by SQLite.
TEST(InsertTemplate, BoundValuesWriteTheSameRecordsAsParsedOnes) {
    QTemporaryDir dir;
    auto cn = store::openFolder(dir.path());
    for (const char* t : {"A", "B"}) cn->execute(QString("CREATE TABLE %1 (I int,N double,T varchar(20))").arg(t));
    for (const char* v : {"1, 52000.5, 'x'", "-0, -0.0, 'O''Нил'", "2147483648, 1e-7, ''", "NULL, 123456.1234565, NULL",
                          "+3, .5, ' a '"}) {
        cn->execute(QString("INSERT INTO A VALUES(%1)").arg(v));
        cn->execute(QString("INSERT INTO B SELECT %1").arg(v));  // no template: parsed as it stands
    }
    cn.reset();
    EXPECT_EQ(readFile(dir.filePath("A.dbf")).mid(32), readFile(dir.filePath("B.dbf")).mid(32));
    EXPECT_EQ(rowsOf(*store::openFolder(dir.path()), "A").size(), 5u);
}

// Batched appends stay in memory, are read back from there, and reach the file at a
// flush or when the connection closes; a failing write there is reported, not lost.
TEST(BatchedWrites, AppendsAreReadBackAndReachTheFileAtTheFlush) {
    QTemporaryDir dir;
    const QString path = dir.filePath("T.dbf");
    auto cn = store::openFolder(dir.path(), store::Writes::Batched);
    cn->execute("CREATE TABLE T (IND int,NM varchar(10))");
    cn->execute("INSERT INTO T(IND, NM) VALUES(1, 'one')");
    cn->execute("INSERT INTO T(IND, NM) VALUES(2, 'two')");
    EXPECT_EQ(store::DbfFile::open(path)->recordCount(), 0u) << "nothing written yet";
    cn->execute("UPDATE T SET NM='два' WHERE IND=2");
    EXPECT_THROW(cn->execute("INSERT INTO T(IND, NM) VALUES(3, 'слишком длинно')"), core::DbError);
    EXPECT_EQ(rowsOf(*cn, "T"), (Rows{"i:1|t:[one]", "i:2|t:[два]"}));
    store::setWriteFailureHook([](const QString&, int64_t, size_t) { return false; });
    EXPECT_THROW(cn->flush(), core::DbError);
    store::setWriteFailureHook(nullptr);
    cn->flush();
    EXPECT_EQ(store::DbfFile::open(path)->recordCount(), 2u);
    cn->execute("INSERT INTO T(IND, NM) VALUES(4, 'four')");
    cn.reset();
    EXPECT_EQ(rowsOf(*store::openFolder(dir.path()), "T"), (Rows{"i:1|t:[one]", "i:2|t:[два]", "i:4|t:[four]"}));
}

class TableSwap : public ::testing::Test {
protected:
    void SetUp() override {
        auto cn = store::openFolder(dir.path());
        for (const char* t : {"KEEP", "T1", "T2"}) {
            cn->execute(QString("CREATE TABLE %1 (V int)").arg(t));
            cn->execute(QString("INSERT INTO %1(V) VALUES(1)").arg(t));
        }
        keep = readFile(dir.filePath("KEEP.dbf"));
    }
    // Stages T1 and T2 holding 2.
    void stage() {
        store::prepareStaging(dir.path());
        auto cn = store::openFolder(store::stagingFolderOf(dir.path()));
        for (const char* t : {"T1", "T2"}) {
            cn->execute(QString("CREATE TABLE %1 (V int)").arg(t));
            cn->execute(QString("INSERT INTO %1(V) VALUES(2)").arg(t));
        }
    }
    Rows values() { return rowsOf(*store::openFolder(dir.path()), "T1 UNION ALL SELECT * FROM T2"); }
    QTemporaryDir dir;
    QByteArray keep;
};

TEST_F(TableSwap, AReplacementIsWholeAndTouchesNothingElse) {
    {
        auto cn = store::openFolder(dir.path());
        stage();
        EXPECT_EQ(rowsOf(*cn, "T1"), Rows{"i:1"});
        cn->replaceTables({"T1", "T2"});
        EXPECT_EQ(rowsOf(*cn, "T2"), Rows{"i:2"}) << "the connection goes on with the new files";
    }
    EXPECT_FALSE(QDir(store::stagingFolderOf(dir.path())).exists());
    EXPECT_EQ(readFile(dir.filePath("KEEP.dbf")), keep);
    auto cn = store::openFolder(dir.path());
    stage();
    QFile::remove(store::stagingFolderOf(dir.path()) + "/T2.dbf");
    EXPECT_THROW(cn->replaceTables({"T1", "T2"}), core::DbError);
    cn.reset();
    EXPECT_EQ(values(), (Rows{"i:2", "i:2"})) << "a replacement that cannot be committed changes nothing";
}

// What a crash leaves: a staging folder without its list is thrown away; one with it is
// finished, also when some files were already renamed.
TEST_F(TableSwap, TheNextOpeningFinishesACommittedReplacementAndDropsAnUncommittedOne) {
    stage();
    EXPECT_EQ(values(), (Rows{"i:1", "i:1"}));
    EXPECT_FALSE(QDir(store::stagingFolderOf(dir.path())).exists());
    stage();
    const QString staging = store::stagingFolderOf(dir.path());
    storetest::writeFile(staging + "/REPLACE.list", "T1.dbf\tT1.dbf\nT2.dbf\tT2.dbf\n");
    ASSERT_EQ(::rename(QFile::encodeName(staging + "/T1.dbf"), QFile::encodeName(dir.filePath("T1.dbf"))), 0);
    EXPECT_EQ(values(), (Rows{"i:2", "i:2"}));
    EXPECT_FALSE(QDir(staging).exists());
    EXPECT_EQ(readFile(dir.filePath("KEEP.dbf")), keep);
}

}  // namespace
