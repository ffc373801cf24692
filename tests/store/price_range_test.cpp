// The positions statement answered from the kept price ranges: which texts are served, and
// answers equal to those of the plain join, before and after changes to the joined tables.
#include "store/price_range.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "store/dbf_connection.h"
#include "store_helpers.h"

namespace {

QString positions(const QString& condition) {
    return "SELECT a.IND, a.PST_NM, MAX(c.CST) as MAX_CST, MIN(c.CST) as MIN_CST FROM ((TBL_PSTS a INNER "
           "JOIN "
           "TBL_STFS b ON a.IND=b.IND_PST) INNER JOIN TBL_CSTS c ON b.IND=c.IND_STF) INNER JOIN TBL_PRSS d "
           "ON "
           "b.IND_PRS=d.IND WHERE " +
           condition + " GROUP BY a.IND, a.PST_NM ORDER BY PST_NM";
}

TEST(PriceRanges, ServesOnlyTheCatalogueConditions) {
    for (const char* c : {"a.IND_GRP=1", "a.IND_GRP=-7 AND d.IND_BS IN (1,20,300)", "a.IND IN (0)",
                          "a.IND IN (1,2,-3) AND d.IND_BS IN (4)"})
        EXPECT_TRUE(store::PriceRanges::condition(positions(c))) << c;
    for (const char* c : {"", "a.IND_GRP=", "a.IND_GRP=1 ", "1=1 AND a.IND_GRP=1", "a.IND_GRP=1 OR 1=1",
                          "a.IND IN (1, 2)", "a.IND IN ()", "a.IND_GRP=x", "a.IND_GRP=1 AND d.IND_BS IN (1",
                          "a.IND_GRP=1 AND d.IND_BS=1", "a.IND IN (SELECT IND FROM TBL_PSTS)"})
        EXPECT_FALSE(store::PriceRanges::condition(positions(c))) << c;
    EXPECT_FALSE(store::PriceRanges::condition(positions("a.IND_GRP=1") + " "));
}

// Positions with several offers, none, or only null prices; names equal but for case and a
// null name; two price lists of one base, a price list without a base and an offer whose
// price list is missing; at the end two positions of one key.
TEST(PriceRanges, AnswersAsThePlainJoinDoesThroughChanges) {
    QTemporaryDir dir;
    auto cn = store::openFolder(dir.path());
    for (const char* sql :
         {"CREATE TABLE TBL_PSTS (IND int,IND_GRP int,PST_NM varchar (250))",
          "CREATE TABLE TBL_PRSS (IND int,IND_BS int,PRS_NM varchar (250))",
          "CREATE TABLE TBL_STFS (IND int,IND_PST int,IND_PRS int,TO_OUT varchar (250))",
          "CREATE TABLE TBL_CSTS (IND int,IND_STF int,VL_FRM double,VL_TO double,CST double)",
          "INSERT INTO TBL_PSTS VALUES (1,1,'Арматура 12'),(2,1,'арматура 10'),(3,1,'Балка'),(4,2,'Швеллер'),"
          "(5,2,'Арматура 12'),(6,1,'Круг'),(7,2,'Лист'),(8,3,'Уголок'),(9,1,'АРМАТУРА 12'),(10,1,NULL),"
          "(11,1,'арматура 12'),(12,1,'Арматура 12')",
          "INSERT INTO TBL_PRSS VALUES (1,10,'a'),(2,10,'b'),(3,20,'c'),(4,30,'d'),(5,NULL,'e')",
          "INSERT INTO TBL_STFS VALUES (1,1,1,''),(2,1,2,''),(3,1,3,''),(4,2,4,''),(5,2,3,''),(6,4,5,''),"
          "(7,5,1,''),(8,6,3,''),(9,7,99,''),(10,2,1,''),(11,8,4,''),(13,9,1,''),(14,10,3,''),"
          "(15,11,2,''),(16,12,4,'')",
          "INSERT INTO TBL_CSTS VALUES "
          "(1,1,0,5,100),(2,1,5,0,90.5),(3,2,0,0,80),(4,2,0,0,NULL),(5,3,0,0,120),"
          "(6,4,0,0,70.25),(7,4,0,0,75),(8,5,0,0,NULL),(9,6,0,0,60),(10,7,0,0,50),(11,7,0,0,55.5),"
          "(12,8,0,0,NULL),(13,9,0,0,10),(14,11,0,0,-0.5),(18,13,0,0,40),(19,14,0,0,41),"
          "(20,15,0,0,42),(21,16,0,0,43)"})
        cn->execute(sql);
    const char* bases[] = {"",
                           " AND d.IND_BS IN (10)",
                           " AND d.IND_BS IN (20,30)",
                           " AND d.IND_BS IN (30)",
                           " AND d.IND_BS IN (10,20,30)",
                           " AND d.IND_BS IN (99)"};
    const char* keys[] = {"a.IND_GRP=1", "a.IND_GRP=2",      "a.IND_GRP=3",
                          "a.IND_GRP=4", "a.IND IN (1,2,3)", "a.IND IN (8,7,6,5,4,4)",
                          "a.IND IN (0)", "a.IND IN (12,11,9,1,10)"};
    const auto agree = [&](const char* step) {
        for (const char* k : keys) {
            for (const char* b : bases) {
                const QString condition = QString(k) + b;
                EXPECT_EQ(storetest::rows(*cn, positions(condition)),
                          storetest::rows(*cn, positions("1=1 AND " + condition)))
                    << step << ": " << condition.toStdString();
            }
        }
    };
    agree("as loaded");
    // The answer really comes from the ranges: the first group's positions with offers.
    EXPECT_EQ(storetest::rows(*cn, "SELECT COUNT(*) AS N FROM \"price/range\" WHERE IND_PST IN (1,2,6)"),
              std::vector<std::string>{"i:5"});
    for (const char* sql :
         {"INSERT INTO TBL_CSTS VALUES (15,4,0,0,500),(16,10,0,0,1)",
          "UPDATE TBL_CSTS SET CST=NULL WHERE IND_STF=1", "DELETE FROM TBL_CSTS WHERE IND=6",
          "UPDATE TBL_STFS SET IND_PRS=3 WHERE IND=9", "INSERT INTO TBL_STFS VALUES (12,3,4,'')",
          "DELETE FROM TBL_STFS WHERE IND=2", "INSERT INTO TBL_CSTS VALUES (17,12,0,0,33)",
          "UPDATE TBL_PRSS SET IND_BS=30 WHERE IND=3", "DELETE FROM TBL_PRSS WHERE IND=1",
          "INSERT INTO TBL_PRSS VALUES (99,20,'f')", "UPDATE TBL_PSTS SET PST_NM='Арматура' WHERE IND=10",
          "INSERT INTO TBL_PSTS VALUES (3,1,'Балка вторая')"}) {
        cn->execute(sql);
        agree(sql);
    }
    // Messages name the caller's statement, not the rewritten one.
    auto rs = cn->open(positions("a.IND_GRP=1"));
    EXPECT_EQ(storetest::failureOf([&] { rs->field("NO_SUCH"); }),
              "В результате нет поля NO_SUCH: " + positions("a.IND_GRP=1"));
}

}  // namespace

// A long answer sorts by the names' ranks: ties of names equal but for case, and null
// names, come in the order the plain join gives, also after the names change.
TEST(PriceRanges, LongAnswersSortAsThePlainJoinDoes) {
    QTemporaryDir dir;
    auto cn = store::openFolder(dir.path());
    for (const char* sql : {"CREATE TABLE TBL_PSTS (IND int,IND_GRP int,PST_NM varchar (250))",
                            "CREATE TABLE TBL_PRSS (IND int,IND_BS int,PRS_NM varchar (250))",
                            "CREATE TABLE TBL_STFS (IND int,IND_PST int,IND_PRS int,TO_OUT varchar (250))",
                            "CREATE TABLE TBL_CSTS (IND int,IND_STF int,VL_FRM double,VL_TO double,CST double)",
                            "INSERT INTO TBL_PRSS VALUES (1,10,'a'),(2,20,'b')"})
        cn->execute(sql);
    const QStringList names = {"'Лист 5'", "'ЛИСТ 5'", "'лист 10'", "NULL", "'Балка 20'", "'балка 20'", "''"};
    QStringList psts, stfs, csts;
    for (int i = 1; i <= 1500; ++i) {
        // Keys out of name order, so that a sort by key and one by name differ.
        const int key = (i * 7919) % 1501;
        psts << QString("(%1,1,%2)").arg(key).arg(names[i % names.size()]);
        stfs << QString("(%1,%2,%3,'')").arg(i).arg(key).arg(1 + i % 2);
        csts << QString("(%1,%1,0,0,%2)").arg(i).arg(100 + i % 13);
    }
    cn->execute("INSERT INTO TBL_PSTS VALUES " + psts.join(','));
    cn->execute("INSERT INTO TBL_STFS VALUES " + stfs.join(','));
    cn->execute("INSERT INTO TBL_CSTS VALUES " + csts.join(','));
    const auto agree = [&](const char* step) {
        for (const char* c : {"a.IND_GRP=1", "a.IND_GRP=1 AND d.IND_BS IN (20)"})
            EXPECT_EQ(storetest::rows(*cn, positions(c)), storetest::rows(*cn, positions(QString("1=1 AND ") + c)))
                << step << ": " << c;
    };
    agree("as loaded");
    cn->execute("UPDATE TBL_PSTS SET PST_NM='Швеллер' WHERE IND<300");
    agree("names changed");
}
