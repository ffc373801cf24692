// The SQL engine over a folder of table files: the schema statement, writes that apply
// completely or not at all, result-set types, text comparison, look-ups, and the folder
// lock.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "core/errors.h"
#include "store/dbf_connection.h"
#include "store/dbf_file.h"

namespace {

using core::Value;

class Engine : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        cn_ = store::openFolder(dir_.path());
    }
    void reopen() {
        cn_.reset();
        cn_ = store::openFolder(dir_.path());
    }
    Value one(const QString& sql, const QString& field) {
        auto rs = cn_->open(sql);
        if (rs->eof()) {
            ADD_FAILURE() << "no row: " << sql.toStdString();
            return Value();
        }
        return rs->field(field);
    }
    QStringList column(const QString& sql, const QString& field) {
        QStringList out;
        for (auto rs = cn_->open(sql); !rs->eof(); rs->moveNext()) out << rs->field(field).toText();
        return out;
    }
    QString errorOf(const QString& sql) {
        try {
            cn_->execute(sql);
        } catch (const core::DbError& e) {
            return e.message();
        }
        return QString();
    }
    QByteArray fileBytes(const QString& table) {
        QFile f(dir_.filePath(table + ".dbf"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir dir_;
    std::unique_ptr<store::Connection> cn_;
};

// ---------------------------------------------------------------- CREATE TABLE

TEST_F(Engine, TheProgramsThirteenTablesAreCreated) {
    const char* statements[] = {
        "CREATE TABLE TBL_APPS (IND int,IND_STT int,CGT_NM varchar(250),CNT_NM varchar(250),TLP varchar(250),"
        "ML varchar(250),CMT varchar(250),ADVT varchar(250),CR_DT varchar(25))",
        "CREATE TABLE TBL_APTS (IND int,IND_APP int,IND_PST int,VL double)",
        "CREATE TABLE TBL_CORD (IND int,IND_PST int,VL double)",
        "CREATE TABLE TBL_TPS (IND int,TP_NM varchar (250))",
        "CREATE TABLE TBL_GRPS (IND int,IND_TP int,GRP_NM varchar (250))",
        "CREATE TABLE TBL_PSTS (IND int,IND_GRP int,PST_NM varchar (250))",
        "CREATE TABLE TBL_RGNS (IND int,RGN_NM varchar (250))",
        "CREATE TABLE TBL_CTS (IND int,IND_RGN int,CT_NM varchar (250))",
        "CREATE TABLE TBL_ORGS (IND int,ORG_NM varchar (250))",
        "CREATE TABLE TBL_BSS (IND int,IND_CT int,IND_ORG int,BS_NM varchar (250))",
        "CREATE TABLE TBL_PRSS (IND int,IND_BS int,PRS_NM varchar (250))",
        "CREATE TABLE TBL_STFS (IND int,IND_PST int,IND_PRS int,TO_OUT varchar (250))",
        "CREATE TABLE TBL_CSTS (IND int,IND_STF int,VL_FRM double,VL_TO double,CST double)",
    };
    for (const char* s : statements) ASSERT_NO_THROW(cn_->execute(s)) << s;
    reopen();
    const QStringList files = QDir(dir_.path()).entryList({"*.dbf"}, QDir::Files, QDir::Name);
    EXPECT_EQ(files.size(), 13);
    auto rs = cn_->open("SELECT * FROM TBL_APPS");
    EXPECT_TRUE(rs->eof());
    EXPECT_EQ(rs->fieldNames(),
              QStringList({"IND", "IND_STT", "CGT_NM", "CNT_NM", "TLP", "ML", "CMT", "ADVT", "CR_DT"}));
    cn_->execute("UPDATE TBL_ORGS SET IND=0 WHERE IND=0");
}

TEST_F(Engine, CreatingAnExistingTableFails) {
    cn_->execute("CREATE TABLE TBL_APPS (IND int)");
    EXPECT_TRUE(errorOf("CREATE TABLE TBL_APPS (IND int)").startsWith("table TBL_APPS already exists"));
    EXPECT_TRUE(errorOf("create table tbl_apps (IND int)").startsWith("table tbl_apps already exists"));
    // A file put there by someone else counts too, whatever the case of its name.
    QFile::copy(dir_.filePath("TBL_APPS.dbf"), dir_.filePath("other.DBF"));
    EXPECT_TRUE(errorOf("CREATE TABLE OTHER (IND int)").startsWith("table OTHER already exists"));
}

TEST_F(Engine, CreateTableRefusesWhatTheFileCannotHold) {
    struct Case {
        const char* sql;
        const char* fault;
    };
    const Case cases[] = {
        {"CREATE TABLE ../escape (IND int)", "not a plain name"},
        {"CREATE TABLE \"a/b\" (IND int)", "not a plain name"},
        {"CREATE TABLE T (ELEVENCHARS int)", "longer than 10 characters"},
        {"CREATE TABLE T (A blob)", "type other than"},
        {"CREATE TABLE T (A varchar(255))", "1 to 254"},
        {"CREATE TABLE T (A varchar)", "needs a length"},
        {"CREATE TABLE T (A int, a int)", "named twice"},
        {"CREATE TABLE T (A int) CREATE TABLE U (B int)", "Only one statement"},
        {"CREATE TABLE T AS SELECT 1", "column list"},
        {"CREATE TEMP TABLE T (A int)", "only as files"},
        {"CREATE VIEW V AS SELECT 1", "only as files"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql);
        EXPECT_TRUE(errorOf(c.sql).contains(c.fault)) << errorOf(c.sql).toStdString();
    }
    EXPECT_EQ(QDir(dir_.path()).entryList({"*.dbf", "*.DBF"}, QDir::Files).size(), 0);
}

// ---------------------------------------------------------------- values

TEST_F(Engine, ResultFieldsHaveTheColumnsKinds) {
    cn_->execute("CREATE TABLE T (I int,D double,S varchar(10))");
    cn_->execute("INSERT INTO T(I, D, S) VALUES(5, 2, 'x')");
    cn_->execute("INSERT INTO T(I) VALUES(6)");
    auto rs = cn_->open("SELECT I, D, S, MAX(I) AS MX, COUNT(*) AS CNT, SUM(D) AS SM FROM T WHERE I=5");
    EXPECT_EQ(rs->field("I"), Value::int32(5));
    EXPECT_EQ(rs->field("d").kind(), Value::Kind::Double);  // an integer given to a double stays a double
    EXPECT_EQ(rs->field("D"), Value::dbl(2.0));
    EXPECT_EQ(rs->field("S"), Value::text("x"));
    EXPECT_EQ(rs->field("mx"), Value::int32(5));
    EXPECT_EQ(rs->field("CNT"), Value::int32(1));
    EXPECT_EQ(rs->field("SM"), Value::dbl(2.0));
    auto nulls = cn_->open("SELECT * FROM T WHERE I=6");
    EXPECT_TRUE(nulls->field("D").isNull());
    EXPECT_TRUE(nulls->field("S").isNull());
    EXPECT_EQ(one("SELECT 3000000000 AS BIG", "BIG"), Value::dbl(3e9));
    EXPECT_TRUE(
        one("SELECT MAX(IND) AS MAX_IND FROM (SELECT I AS IND FROM T WHERE I > 100)", "MAX_IND").isNull());
}

TEST_F(Engine, NumbersRoundTripThroughTheFile) {
    cn_->execute("CREATE TABLE T (IND int,I int,D double)");
    struct Case {
        const char* literal;
        Value asInt;  // what the int column holds
        double asDouble;
    };
    const Case cases[] = {
        {"2.5", Value::int32(2), 2.5},
        {"3.5", Value::int32(4), 3.5},
        {"-2.5", Value::int32(-2), -2.5},
        {"1234.5", Value::int32(1234), 1234.5},
        {"0.000123", Value::int32(0), 0.000123},
        {"0.30000000000000004", Value::int32(0), 0.1 + 0.2},
        {"100000", Value::int32(100000), 100000},
        {"-2147483647", Value::int32(-2147483647), -2147483647.0},
        {"99999.99", Value::int32(100000), 99999.99},
        {"'17'", Value::int32(17), 17},
        {"1.5E-05", Value::int32(0), 1.5e-05},
    };
    int ind = 0;
    for (const Case& c : cases)
        cn_->execute(QStringLiteral("INSERT INTO T(IND, I, D) VALUES(%1, %2, %2)").arg(++ind).arg(c.literal));
    reopen();  // read back from the file, not from memory
    ind = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.literal);
        auto rs = cn_->open(QStringLiteral("SELECT I, D FROM T WHERE IND=%1").arg(++ind));
        ASSERT_FALSE(rs->eof());
        EXPECT_EQ(rs->field("I"), c.asInt);
        EXPECT_EQ(rs->field("D"), Value::dbl(c.asDouble));
    }
    cn_->execute("INSERT INTO T(IND, D) VALUES(100, 123456789012345)");
    EXPECT_EQ(one("SELECT D FROM T WHERE IND=100", "D"), Value::dbl(123456789012345.0));
    EXPECT_TRUE(errorOf("INSERT INTO T(I) VALUES('abc')").contains("'abc' is not a number"));
    EXPECT_TRUE(errorOf("INSERT INTO T(I) VALUES(123456789012)").contains("does not fit"));
    EXPECT_TRUE(errorOf("INSERT INTO T(D) VALUES(1e300)").contains("does not fit"));
}

TEST_F(Engine, TextsKeepLeadingBlanksAndEmptyIsNull) {
    cn_->execute("CREATE TABLE T (IND int,S varchar(10))");
    cn_->execute("INSERT INTO T(IND, S) VALUES(1, '  a b  ')");
    cn_->execute("INSERT INTO T(IND, S) VALUES(2, '')");
    cn_->execute("INSERT INTO T(IND, S) VALUES(3, 'it''s')");
    cn_->execute("INSERT INTO T(IND, S) VALUES(4, '1234567890   ')");  // trailing blanks are padding
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass ? "from the file" : "from memory");
        EXPECT_EQ(one("SELECT S FROM T WHERE IND=1", "S"), Value::text("  a b"));
        EXPECT_TRUE(one("SELECT S FROM T WHERE IND=2", "S").isNull());
        EXPECT_EQ(one("SELECT S FROM T WHERE IND=3", "S"), Value::text("it's"));
        EXPECT_EQ(one("SELECT S FROM T WHERE IND=4", "S"), Value::text("1234567890"));
        reopen();
    }
}

TEST_F(Engine, TextsThatDoNotFitFailTheStatement) {
    cn_->execute("CREATE TABLE T (IND int,S varchar(5))");
    cn_->execute("INSERT INTO T(IND, S) VALUES(1, 'abc')");
    const QByteArray before = fileBytes("T");
    const QString tooLong = errorOf("INSERT INTO T(IND, S) VALUES(2, 'abcdef')");
    EXPECT_TRUE(tooLong.contains("Table T, column S")) << tooLong.toStdString();
    EXPECT_TRUE(tooLong.contains("6 characters long; the column holds 5")) << tooLong.toStdString();
    const QString foreign = errorOf("INSERT INTO T(IND, S) VALUES(2, 'a中b')");
    EXPECT_TRUE(foreign.contains("'中' (U+4E2D)")) << foreign.toStdString();
    EXPECT_TRUE(foreign.contains("windows-1251")) << foreign.toStdString();
    EXPECT_EQ(fileBytes("T"), before);
    EXPECT_EQ(one("SELECT COUNT(*) AS N FROM T", "N"), Value::int32(1));
    cn_->execute("INSERT INTO T(IND, S) VALUES(2, 'Ёлка')");  // five bytes in cp1251
    EXPECT_EQ(one("SELECT S FROM T WHERE IND=2", "S"), Value::text("Ёлка"));
}

// ---------------------------------------------------------------- atomic statements

TEST_F(Engine, AStatementAppliesCompletelyOrNotAtAll) {
    cn_->execute("CREATE TABLE T (IND int,S varchar(5))");
    for (int i = 1; i <= 4; ++i)
        cn_->execute(QStringLiteral("INSERT INTO T(IND, S) VALUES(%1, 's%1')").arg(i));
    cn_->execute("CREATE TABLE U (IND int,S varchar(20))");
    cn_->execute("INSERT INTO U(IND, S) VALUES(1, 'short')");
    cn_->execute("INSERT INTO U(IND, S) VALUES(2, 'far too long')");
    const QByteArray before = fileBytes("T");
    // The third row's text is too long: the first two must not change either.
    EXPECT_FALSE(errorOf("UPDATE T SET S = CASE WHEN IND=3 THEN 'toolong' ELSE 'ok' END").isEmpty());
    EXPECT_FALSE(errorOf("INSERT INTO T(IND, S) SELECT IND + 10, S FROM U").isEmpty());
    EXPECT_EQ(fileBytes("T"), before);
    EXPECT_EQ(column("SELECT S FROM T ORDER BY IND", "S"), QStringList({"s1", "s2", "s3", "s4"}));
    reopen();
    EXPECT_EQ(column("SELECT S FROM T ORDER BY IND", "S"), QStringList({"s1", "s2", "s3", "s4"}));
    // A statement that reads its own table sees the rows as they were when it began.
    cn_->execute("INSERT INTO T(IND, S) SELECT IND + 10, S FROM T");
    EXPECT_EQ(one("SELECT COUNT(*) AS N FROM T", "N"), Value::int32(8));
    cn_->execute("DELETE FROM T WHERE IND > 2 AND NOT IND IN (11,12)");
    EXPECT_EQ(column("SELECT IND FROM T ORDER BY IND", "IND"), QStringList({"1", "2", "11", "12"}));
    reopen();
    EXPECT_EQ(column("SELECT IND FROM T ORDER BY IND", "IND"), QStringList({"1", "2", "11", "12"}));
}

TEST_F(Engine, OnlyOneStatementPerCall) {
    cn_->execute("CREATE TABLE T (IND int)");
    cn_->execute("INSERT INTO T(IND) VALUES(1)");
    EXPECT_TRUE(errorOf("DELETE FROM T; DELETE FROM T").contains("Only one statement"));
    EXPECT_TRUE(errorOf("INSERT INTO T(IND) VALUES(2); SELECT 1").contains("Only one statement"));
    EXPECT_THROW(cn_->open("SELECT 1; SELECT 2"), core::DbError);
    EXPECT_EQ(one("SELECT COUNT(*) AS N FROM T", "N"), Value::int32(1));
    EXPECT_NO_THROW(cn_->execute("INSERT INTO T(IND) VALUES(2);  ; -- the second\n"));
    EXPECT_EQ(one("SELECT COUNT(*) AS N FROM T;", "N"), Value::int32(2));
    EXPECT_TRUE(errorOf("   ").contains("empty"));
    EXPECT_TRUE(errorOf("BEGIN").contains("no transactions"));
    EXPECT_TRUE(errorOf("ATTACH DATABASE 'x.db' AS x").contains("attach"));
}

TEST_F(Engine, ErrorsCarryTheEnginesMessageAndTheStatement) {
    const QString central = errorOf("exec nom_command 'unlockApp', 5");
    EXPECT_TRUE(central.contains("syntax error")) << central.toStdString();
    EXPECT_TRUE(central.contains("exec nom_command 'unlockApp', 5"));
    const QString missing = errorOf("SELECT * FROM TBL_NONE");
    EXPECT_TRUE(missing.contains("no such table: TBL_NONE")) << missing.toStdString();
}

// ---------------------------------------------------------------- result sets

TEST_F(Engine, RecordSetIsForwardOnlyWithNamedFields) {
    cn_->execute("CREATE TABLE T (IND int,NM varchar(10))");
    cn_->execute("INSERT INTO T(IND, NM) VALUES(1, 'a')");
    cn_->execute("INSERT INTO T(IND, NM) VALUES(2, 'b')");
    auto rs = cn_->open("SELECT a.IND, a.NM AS Name FROM T a ORDER BY a.IND");
    ASSERT_TRUE(rs->isOpen());
    EXPECT_EQ(rs->fieldNames(), QStringList({"IND", "Name"}));
    EXPECT_EQ(rs->field("ind"), Value::int32(1));
    EXPECT_EQ(rs->field("NAME"), Value::text("a"));
    EXPECT_THROW(rs->field("NM"), core::DbError);
    rs->moveNext();
    EXPECT_EQ(rs->field("IND"), Value::int32(2));
    rs->moveNext();
    EXPECT_TRUE(rs->eof());
    EXPECT_THROW(rs->field("IND"), core::DbError);
    EXPECT_THROW(rs->moveNext(), core::DbError);
    rs->close();
    EXPECT_FALSE(rs->isOpen());
    EXPECT_TRUE(cn_->open("SELECT * FROM T WHERE IND=3")->eof());
}

TEST_F(Engine, WritesWhileAResultSetIsOpenAreSafe) {
    cn_->execute("CREATE TABLE T (IND int,NM varchar(10))");
    for (int i = 1; i <= 50; ++i)
        cn_->execute(QStringLiteral("INSERT INTO T(IND, NM) VALUES(%1, 'n%1')").arg(i));
    auto scan = cn_->open("SELECT IND, NM FROM T");
    auto lookup = cn_->open("SELECT IND, NM FROM T WHERE IND=7");
    int seen = 0;
    for (; !scan->eof(); scan->moveNext()) {
        ++seen;
        const int ind = scan->field("IND").toInt32();
        cn_->execute(QStringLiteral("UPDATE T SET NM='x%1', IND=%2 WHERE IND=%1").arg(ind).arg(ind + 1000));
        cn_->execute(QStringLiteral("INSERT INTO T(IND, NM) VALUES(%1, 'new')").arg(ind + 2000));
        cn_->execute("DELETE FROM T WHERE IND=7");
    }
    EXPECT_GE(seen, 49);
    EXPECT_EQ(lookup->field("IND"), Value::int32(7));
    EXPECT_EQ(one("SELECT COUNT(*) AS N FROM T WHERE IND >= 2000", "N").toInt32(), seen);
    EXPECT_EQ(one("SELECT NM FROM T WHERE IND=1001", "NM"), Value::text("x1"));
}

TEST_F(Engine, AResultSetStaysUsableAcrossANewTable) {
    cn_->execute("CREATE TABLE T (IND int)");
    for (int i = 1; i <= 3; ++i) cn_->execute(QStringLiteral("INSERT INTO T(IND) VALUES(%1)").arg(i));
    auto rs = cn_->open("SELECT IND FROM T ORDER BY IND");
    cn_->execute("CREATE TABLE U (IND int)");
    cn_->execute("INSERT INTO U(IND) SELECT IND FROM T");
    QStringList seen;
    for (; !rs->eof(); rs->moveNext()) seen << rs->field("IND").toText();
    EXPECT_EQ(seen, QStringList({"1", "2", "3"}));
    EXPECT_EQ(one("SELECT COUNT(*) AS N FROM U", "N"), Value::int32(3));
}

TEST_F(Engine, AResultSetOutlivingItsConnectionIsClosed) {
    cn_->execute("CREATE TABLE T (IND int)");
    cn_->execute("INSERT INTO T(IND) VALUES(1)");
    auto rs = cn_->open("SELECT IND FROM T");
    cn_.reset();
    EXPECT_FALSE(rs->isOpen());
    EXPECT_TRUE(rs->eof());
    EXPECT_THROW(rs->field("IND"), core::DbError);
    rs->close();
}

// ---------------------------------------------------------------- text comparison

TEST_F(Engine, TextsCompareWithoutRegardToCase) {
    cn_->execute("CREATE TABLE T (IND int,NM varchar(20))");
    const char* names[] = {"балка", "Арматура", "АРМАТУРА 2", "арматура 1", "Zeta", "alpha", "Ёрш"};
    int i = 0;
    for (const char* n : names)
        cn_->execute(
            QStringLiteral("INSERT INTO T(IND, NM) VALUES(%1, '%2')").arg(++i).arg(QString::fromUtf8(n)));
    EXPECT_EQ(column("SELECT NM FROM T WHERE IND <= 4 ORDER BY NM", "NM"),
              QStringList({"Арматура", "арматура 1", "АРМАТУРА 2", "балка"}));
    EXPECT_EQ(column("SELECT NM FROM T WHERE IND > 4 ORDER BY NM", "NM"),
              QStringList({"alpha", "Zeta", "Ёрш"}));
    EXPECT_EQ(one("SELECT COUNT(*) AS N FROM T WHERE NM='АРМАТУРА'", "N"), Value::int32(1));
    EXPECT_EQ(one("SELECT COUNT(*) AS N FROM T WHERE NM='ёРШ'", "N"), Value::int32(1));
    EXPECT_EQ(one("SELECT COUNT(DISTINCT NM) AS N FROM T WHERE IND <= 4", "N"), Value::int32(4));
    EXPECT_EQ(one("SELECT COUNT(*) AS N FROM (SELECT DISTINCT NM FROM T UNION SELECT 'ZETA')", "N"),
              Value::int32(7));
}

TEST_F(Engine, CreationMomentsCompareAsText) {
    cn_->execute("CREATE TABLE TBL_APPS (IND int,IND_STT int,CR_DT varchar(25))");
    cn_->execute("INSERT INTO TBL_APPS(IND, IND_STT, CR_DT) VALUES(1, 1, '2010.09.26 10:00')");
    cn_->execute("INSERT INTO TBL_APPS(IND, IND_STT, CR_DT) VALUES(2, 1, '2010.09.26 09:59')");
    cn_->execute("INSERT INTO TBL_APPS(IND, IND_STT, CR_DT) VALUES(3, 1, '2010.09.28 00:00')");
    cn_->execute("INSERT INTO TBL_APPS(IND, IND_STT, CR_DT) VALUES(4, 2, '2010.09.27 12:00')");
    EXPECT_EQ(column("SELECT * FROM TBL_APPS WHERE IND_STT=1 AND  CR_DT>'2010.09.26' AND  CR_DT<'2010.09.28' "
                     "ORDER BY IND",
                     "IND"),
              QStringList({"1", "2"}));
    EXPECT_EQ(column("SELECT IND FROM TBL_APPS ORDER BY CR_DT", "IND"), QStringList({"2", "1", "4", "3"}));
}

// ---------------------------------------------------------------- look-ups and joins

// Equality look-ups go through indexes that must stay right as rows are appended,
// changed and deleted: compare joins with what the rows say. Keys close together and keys
// far apart take different index layouts.
class EngineLookups : public Engine, public ::testing::WithParamInterface<int> {};

TEST_P(EngineLookups, AgreeWithTheRowsThroughChanges) {
    const int spread = GetParam();  // distance between neighbouring keys
    cn_->execute("CREATE TABLE P (IND int,GRP int,NM varchar(10))");
    cn_->execute("CREATE TABLE C (IND int,IND_P int,CST double)");
    std::mt19937 rng(7);
    std::map<int, int> groupOf;                   // P.IND -> GRP
    std::map<int, std::pair<int, double>> costs;  // C.IND -> (IND_P, CST)
    auto check = [&](const char* when) {
        SCOPED_TRACE(when);
        for (int g = 0; g < 5; ++g) {
            std::multiset<double> expected;
            for (const auto& [ind, pc] : costs)
                if (groupOf.count(pc.first) && groupOf[pc.first] == g * spread) expected.insert(pc.second);
            std::multiset<double> got;
            for (auto rs = cn_->open(QStringLiteral("SELECT c.CST FROM P a INNER JOIN C c ON a.IND=c.IND_P "
                                                    "WHERE a.GRP=%1")
                                         .arg(g * spread));
                 !rs->eof(); rs->moveNext())
                got.insert(rs->field("CST").toDouble());
            EXPECT_EQ(got, expected) << "group " << g;
        }
        int byValue = 0;
        for (const auto& [ind, pc] : costs) byValue += pc.second == 2.5;
        EXPECT_EQ(one("SELECT COUNT(*) AS N FROM C WHERE CST=2.5", "N").toInt32(), byValue);
        EXPECT_EQ(one(QStringLiteral("SELECT COUNT(*) AS N FROM C WHERE IND_P IN (%1,%2)")
                          .arg(spread)
                          .arg(2 * spread),
                      "N")
                      .toInt32(),
                  std::count_if(costs.begin(), costs.end(), [&](const auto& kv) {
                      return kv.second.first == spread || kv.second.first == 2 * spread;
                  }));
    };
    auto key = [&](int n) { return n * spread; };
    for (int i = 1; i <= 300; ++i) {
        groupOf[key(i)] = key(int(rng() % 5));
        cn_->execute(QStringLiteral("INSERT INTO P(IND, GRP, NM) VALUES(%1, %2, 'p')")
                         .arg(key(i))
                         .arg(groupOf[key(i)]));
    }
    for (int i = 1; i <= 1500; ++i) {
        costs[i] = {key(1 + int(rng() % 300)), double(rng() % 8) / 2};
        cn_->execute(QStringLiteral("INSERT INTO C(IND, IND_P, CST) VALUES(%1, %2, %3)")
                         .arg(i)
                         .arg(costs[i].first)
                         .arg(costs[i].second));
    }
    check("loaded");
    for (int i = 1501; i <= 1600; ++i) {  // appended after the indexes were built
        costs[i] = {key(1 + int(rng() % 300)), 2.5};
        cn_->execute(
            QStringLiteral("INSERT INTO C(IND, IND_P, CST) VALUES(%1, %2, 2.5)").arg(i).arg(costs[i].first));
    }
    check("appended");
    for (int i = 1; i <= 300; i += 7) {
        groupOf[key(i)] = key((groupOf[key(i)] / spread + 1) % 5);
        cn_->execute(QStringLiteral("UPDATE P SET GRP=%1 WHERE IND=%2").arg(groupOf[key(i)]).arg(key(i)));
    }
    cn_->execute(
        QStringLiteral("UPDATE C SET IND_P = IND_P + %1 WHERE IND_P > %2").arg(spread).arg(key(290)));
    for (auto& [ind, pc] : costs)
        if (pc.first > key(290)) pc.first += spread;
    cn_->execute("DELETE FROM C WHERE CST=1.5");
    std::erase_if(costs, [](const auto& kv) { return kv.second.second == 1.5; });
    check("changed");
    reopen();
    check("reopened");
}

INSTANTIATE_TEST_SUITE_P(KeySpacing, EngineLookups, ::testing::Values(1, 1000003));

TEST_F(Engine, TheCataloguesStatementsRun) {
    const char* setup[] = {
        "CREATE TABLE TBL_PSTS (IND int,IND_GRP int,PST_NM varchar (250))",
        "CREATE TABLE TBL_STFS (IND int,IND_PST int,IND_PRS int,TO_OUT varchar (250))",
        "CREATE TABLE TBL_CSTS (IND int,IND_STF int,VL_FRM double,VL_TO double,CST double)",
        "CREATE TABLE TBL_PRSS (IND int,IND_BS int,PRS_NM varchar (250))",
        "CREATE TABLE TBL_CORD (IND int,IND_PST int,VL double)",
        "INSERT INTO TBL_PSTS(IND, IND_GRP, PST_NM) VALUES(1, 5, 'Арматура 12')",
        "INSERT INTO TBL_PSTS(IND, IND_GRP, PST_NM) VALUES(2, 5, 'арматура 10')",
        "INSERT INTO TBL_STFS(IND, IND_PST, IND_PRS, TO_OUT) VALUES(10, 1, 100, 'A12')",
        "INSERT INTO TBL_STFS(IND, IND_PST, IND_PRS, TO_OUT) VALUES(11, 2, 101, 'A10')",
        "INSERT INTO TBL_PRSS(IND, IND_BS, PRS_NM) VALUES(100, 7, 'p')",
        "INSERT INTO TBL_PRSS(IND, IND_BS, PRS_NM) VALUES(101, 8, 'p')",
        "INSERT INTO TBL_CSTS(IND, IND_STF, VL_FRM, VL_TO, CST) VALUES(1, 10, 0, 5, 30000)",
        "INSERT INTO TBL_CSTS(IND, IND_STF, VL_FRM, VL_TO, CST) VALUES(2, 10, 5, 0, 29500.5)",
        "INSERT INTO TBL_CSTS(IND, IND_STF, VL_FRM, VL_TO, CST) VALUES(3, 11, 0.5, 0, 31000)",
        "INSERT INTO TBL_CORD(IND_PST,VL) VALUES(1,7.5)",
    };
    for (const char* s : setup) cn_->execute(s);
    auto rs = cn_->open(
        "SELECT a.IND, a.PST_NM, MAX(c.CST) as MAX_CST, MIN(c.CST) as MIN_CST FROM ((TBL_PSTS a INNER JOIN "
        "TBL_STFS b "
        "ON a.IND=b.IND_PST) INNER JOIN TBL_CSTS c ON b.IND=c.IND_STF) INNER JOIN TBL_PRSS d ON "
        "b.IND_PRS=d.IND WHERE "
        "a.IND_GRP=5 AND d.IND_BS IN (7,8) GROUP BY a.IND, a.PST_NM ORDER BY PST_NM");
    ASSERT_FALSE(rs->eof());
    EXPECT_EQ(rs->field("PST_NM"), Value::text("арматура 10"));
    EXPECT_EQ(rs->field("MIN_CST"), Value::dbl(31000));
    rs->moveNext();
    EXPECT_EQ(rs->field("IND"), Value::int32(1));
    EXPECT_EQ(rs->field("MAX_CST"), Value::dbl(30000));
    EXPECT_EQ(rs->field("MIN_CST"), Value::dbl(29500.5));
    rs->moveNext();
    EXPECT_TRUE(rs->eof());
    EXPECT_EQ(
        column("SELECT DISTINCT VL FROM (SELECT c.VL_FRM AS VL FROM (TBL_STFS a INNER JOIN TBL_PRSS d ON "
               "a.IND_PRS=d.IND) INNER JOIN TBL_CSTS c ON a.IND=c.IND_STF WHERE a.IND_PST=1\r\nUNION ALL\r\n"
               "SELECT c.VL_TO AS VL FROM (TBL_STFS a INNER JOIN TBL_PRSS d ON a.IND_PRS=d.IND) INNER JOIN "
               "TBL_CSTS c ON a.IND=c.IND_STF WHERE a.IND_PST=1) ORDER BY VL",
               "VL"),
        QStringList({"0", "5"}));
    auto prices = cn_->open(
        "SELECT a.IND_PST, c.IND_BS, MIN(d.CST) as MIN_CST FROM ((TBL_CORD a INNER JOIN TBL_STFS b on "
        "a.IND_PST=b.IND_PST) INNER JOIN TBL_PRSS c ON b.IND_PRS=c.IND) INNER JOIN TBL_CSTS d ON "
        "b.IND=d.IND_STF "
        "WHERE d.VL_FRM<=a.VL GROUP BY a.IND_PST, c.IND_BS");
    ASSERT_FALSE(prices->eof());
    EXPECT_EQ(prices->field("IND_BS"), Value::int32(7));
    EXPECT_EQ(prices->field("MIN_CST"), Value::dbl(29500.5));
    EXPECT_TRUE(one("SELECT IND FROM TBL_CORD", "IND").isNull());
}

// ---------------------------------------------------------------- the folder

TEST(EngineFolder, OneProgramAtATimeOwnsTheFolder) {
    QTemporaryDir dir;
    const QString busy = QStringLiteral("The database folder %1 is in use by another program.")
                             .arg(QDir::toNativeSeparators(dir.path()));
    {
        auto first = store::openFolder(dir.path());
        try {
            store::openFolder(dir.path());
            ADD_FAILURE() << "second opener got in";
        } catch (const core::DbError& e) {
            EXPECT_EQ(e.message(), busy);
        }
        // Another process is refused the same way.
        const pid_t child = fork();
        if (child == 0) {
            int code = 3;
            try {
                store::openFolder(dir.path());
                code = 0;
            } catch (const core::DbError& e) {
                code = e.message() == busy ? 1 : 2;
            }
            _exit(code);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_EQ(WEXITSTATUS(status), 1);
    }
    EXPECT_NO_THROW(store::openFolder(dir.path()));  // released with the connection
}

TEST(EngineFolder, MissingFolderIsNamed) {
    const QString missing = QDir::temp().filePath("zelvorin-no-such-folder-4711");
    try {
        store::openFolder(missing);
        FAIL() << "opened";
    } catch (const core::DbError& e) {
        EXPECT_TRUE(e.message().contains(QDir::toNativeSeparators(missing))) << e.what();
    }
    EXPECT_THROW(store::openConnectionString("Provider=x;Data Source=" + missing), core::DbError);
}

TEST(EngineFolder, ConnectionStringNamesTheFolderWithBackslashes) {
    QTemporaryDir dir;
    {
        auto cn = store::openConnectionString("Provider=x;Data Source=" + dir.path() +
                                              ";Extended Properties=dBASE IV;User ID=;Password=;");
        cn->execute("CREATE TABLE T (IND int)");
    }
    EXPECT_TRUE(QFile::exists(dir.filePath("T.dbf")));
}

TEST(EngineFolder, TwoFilesWhoseNamesDifferInCaseAreRefused) {
    QTemporaryDir dir;
    {
        auto cn = store::openFolder(dir.path());
        cn->execute("CREATE TABLE T (IND int)");
    }
    QFile::copy(dir.filePath("T.dbf"), dir.filePath("t.DBF"));
    EXPECT_THROW(store::openFolder(dir.path()), core::DbError);
}

}  // namespace
