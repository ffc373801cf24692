// Every statement the program sends to the local tables, run on a folder built the way
// the synchronisation builds it, with the results checked value by value and by type.
#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/value.h"
#include "store/dbf_connection.h"

namespace {

using core::Value;

// A value with its kind, so one string comparison checks both: "i:7", "d:0.5",
// "t:[ text]" (brackets show the blanks), "null".
std::string show(const Value& v) {
    switch (v.kind()) {
        case Value::Kind::Empty:
            return "empty";
        case Value::Kind::Null:
            return "null";
        case Value::Kind::Int16:
            return "i16:" + std::to_string(v.rawInt());
        case Value::Kind::Int32:
            return "i:" + std::to_string(v.rawInt());
        case Value::Kind::Double:
            return "d:" + core::doubleToText(v.rawDouble()).toStdString();
        case Value::Kind::Bool:
            return v.rawInt() ? "b:true" : "b:false";
        case Value::Kind::Text:
            return "t:[" + v.rawText().toStdString() + "]";
    }
    return "?";
}

QString sqlText(QString s) {
    return s.replace(QLatin1Char('\''), QLatin1String("''"));
}
QString num(double d) {
    return core::doubleToText(d).replace(QLatin1Char(','), QLatin1Char('.'));
}

// ---- The schema, as the synchronisation sends it ----------------------------------

QString createTable(const QString& table, const QStringList& definitions) {
    return QStringLiteral("CREATE TABLE ") + table + QStringLiteral(" (") + definitions.join(QString()) +
           QStringLiteral(")");
}

QStringList schemaStatements() {
    return {
        createTable("TBL_APPS", {"IND int,", "IND_STT int,", "CGT_NM varchar(250),", "CNT_NM varchar(250),",
                                 "TLP varchar(250),", "ML varchar(250),", "CMT varchar(250),",
                                 "ADVT varchar(250),", "CR_DT varchar(25)"}),
        createTable("TBL_APTS", {"IND int,", "IND_APP int,", "IND_PST int,", "VL double"}),
        createTable("TBL_CORD", {"IND int,", "IND_PST int,", "VL double"}),
        createTable("TBL_TPS", {"IND int,", "TP_NM varchar (250)"}),
        createTable("TBL_GRPS", {"IND int,", "IND_TP int,", "GRP_NM varchar (250)"}),
        createTable("TBL_PSTS", {"IND int,", "IND_GRP int,", "PST_NM varchar (250)"}),
        createTable("TBL_RGNS", {"IND int,", "RGN_NM varchar (250)"}),
        createTable("TBL_CTS", {"IND int,", "IND_RGN int,", "CT_NM varchar (250)"}),
        createTable("TBL_ORGS", {"IND int,", "ORG_NM varchar (250)"}),
        createTable("TBL_BSS", {"IND int,", "IND_CT int,", "IND_ORG int,", "BS_NM varchar (250)"}),
        createTable("TBL_PRSS", {"IND int,", "IND_BS int,", "PRS_NM varchar (250)"}),
        createTable("TBL_STFS", {"IND int,", "IND_PST int,", "IND_PRS int,", "TO_OUT varchar (250)"}),
        createTable("TBL_CSTS",
                    {"IND int,", "IND_STF int,", "VL_FRM double,", "VL_TO double,", "CST double"}),
    };
}

// The synchronisation's insert: whole numbers, then the text between quotes.
QString syncInsert(const char* opening, const QList<int>& numbers, const QString& text) {
    QStringList parts;
    for (int n : numbers) parts << QString::number(n);
    return QString::fromUtf8(opening) + parts.join(QStringLiteral(", ")) + QStringLiteral(", '") +
           sqlText(text) + QStringLiteral("')");
}

QString insertBand(int ind, int stuff, double from, double to, double cost) {
    return QStringLiteral("INSERT INTO TBL_CSTS(IND, IND_STF, VL_FRM, VL_TO, CST) VALUES(") +
           QString::number(ind) + QStringLiteral(", ") + QString::number(stuff) + QStringLiteral(", ") +
           num(from) + QStringLiteral(", ") + num(to) + QStringLiteral(", ") + num(cost) +
           QStringLiteral(")");
}

// ---- The catalogue's statements ----------------------------------------------------

QString positionsQuery(int group, const QString& basesFilter) {
    return QStringLiteral(
               "SELECT a.IND, a.PST_NM, MAX(c.CST) as MAX_CST, MIN(c.CST) as MIN_CST FROM ((TBL_PSTS a INNER "
               "JOIN "
               "TBL_STFS b ON a.IND=b.IND_PST) INNER JOIN TBL_CSTS c ON b.IND=c.IND_STF) INNER JOIN TBL_PRSS "
               "d ON "
               "b.IND_PRS=d.IND WHERE ") +
           QStringLiteral("a.IND_GRP=") + QString::number(group) + basesFilter +
           QStringLiteral(" GROUP BY a.IND, a.PST_NM ORDER BY PST_NM");
}

QString bandLimitsQuery(const QString& key) {
    return QStringLiteral("SELECT DISTINCT VL FROM (") +
           QStringLiteral(
               "SELECT c.VL_FRM AS VL FROM (TBL_STFS a INNER JOIN TBL_PRSS d ON a.IND_PRS=d.IND) INNER "
               "JOIN TBL_CSTS c ON a.IND=c.IND_STF WHERE a.IND_PST=") +
           key + QStringLiteral("\r\nUNION ALL\r\n") +
           QStringLiteral(
               "SELECT c.VL_TO AS VL FROM (TBL_STFS a INNER JOIN TBL_PRSS d ON a.IND_PRS=d.IND) INNER "
               "JOIN TBL_CSTS c ON a.IND=c.IND_STF WHERE a.IND_PST=") +
           key + QStringLiteral(") ORDER BY VL");
}

QString offersQuery(const QString& key, const QString& basesFilter) {
    return QStringLiteral(
               "SELECT a.IND, g.RGN_NM, f.CT_NM, e.BS_NM, a.TO_OUT, c.VL_FRM, c.VL_TO, c.CST FROM "
               "(((((TBL_STFS a "
               "INNER JOIN TBL_PRSS b ON a.IND_PRS=b.IND) INNER JOIN TBL_BSS e ON b.IND_BS=e.IND) INNER JOIN "
               "TBL_CTS f ON e.IND_CT=f.IND) INNER JOIN TBL_RGNS g ON f.IND_RGN=g.IND) INNER JOIN TBL_PRSS d "
               "ON "
               "a.IND_PRS=d.IND) INNER JOIN TBL_CSTS c ON a.IND=c.IND_STF WHERE a.IND_PST=") +
           key + basesFilter + QStringLiteral(" ORDER BY g.RGN_NM, f.CT_NM, e.BS_NM, a.TO_OUT, a.IND");
}

const char* const kBasesQuery =
    "SELECT a.RGN_NM, b.CT_NM, c.IND, c.BS_NM FROM (TBL_RGNS a INNER JOIN TBL_CTS b ON a.IND=b.IND_RGN) "
    "INNER "
    "JOIN TBL_BSS c ON b.IND=c.IND_CT ORDER BY a.RGN_NM, b.CT_NM, c.BS_NM";

// ---- The basket's comparison ---------------------------------------------------------

const char* const kBasketLines =
    "SELECT b.IND, c.GRP_NM, b.PST_NM, a.VL FROM (TBL_CORD a INNER JOIN TBL_PSTS b ON a.IND_PST=b.IND) INNER "
    "JOIN TBL_GRPS c ON b.IND_GRP=c.IND";
const char* const kBasketBases =
    "SELECT DISTINCT e.IND, f.CT_NM, e.BS_NM FROM (((TBL_CORD a INNER JOIN TBL_STFS b on "
    "a.IND_PST=b.IND_PST) "
    "INNER JOIN TBL_PRSS c ON b.IND_PRS=c.IND) INNER JOIN TBL_BSS e ON c.IND_BS=e.IND) INNER JOIN TBL_CTS f "
    "ON "
    "e.IND_CT=f.IND ORDER BY f.CT_NM, e.BS_NM";
const char* const kBasketPrices =
    "SELECT a.IND_PST, c.IND_BS, MIN(d.CST) as MIN_CST FROM ((TBL_CORD a INNER JOIN TBL_STFS b on "
    "a.IND_PST=b.IND_PST) INNER JOIN TBL_PRSS c ON b.IND_PRS=c.IND) INNER JOIN TBL_CSTS d ON b.IND=d.IND_STF "
    "WHERE d.VL_FRM<=a.VL GROUP BY a.IND_PST, c.IND_BS";

// ---- The order tables ----------------------------------------------------------------

QString newOrder(int ind, const QString& created) {
    return QStringLiteral(
               "INSERT INTO TBL_APPS(IND, IND_STT, CGT_NM, CNT_NM, TLP, ML, CMT, ADVT, CR_DT) VALUES(") +
           QString::number(ind) + QStringLiteral(",0,'','', '', '','','', '") + created +
           QStringLiteral("')");
}

QString headerUpdate(int ind, int state, const QStringList& texts) {
    return QStringLiteral("UPDATE TBL_APPS SET ") + QStringLiteral("IND_STT = ") + QString::number(state) +
           QStringLiteral(",") + QStringLiteral("CGT_NM = '") + sqlText(texts[0]) + QStringLiteral("',") +
           QStringLiteral("CNT_NM = '") + sqlText(texts[1]) + QStringLiteral("',") +
           QStringLiteral("TLP = '") + sqlText(texts[2]) + QStringLiteral("',") + QStringLiteral("ML = '") +
           sqlText(texts[3]) + QStringLiteral("',") + QStringLiteral("CMT = '") + sqlText(texts[4]) +
           QStringLiteral("',") + QStringLiteral("ADVT = '") + sqlText(texts[5]) + QStringLiteral("' ") +
           QStringLiteral("WHERE IND=") + QString::number(ind);
}

QString newLine(int ind, int order) {
    return QStringLiteral("INSERT INTO TBL_APTS(IND, IND_APP, IND_PST, VL) VALUES(") + QString::number(ind) +
           QStringLiteral(", ") + QString::number(order) + QStringLiteral(",0,0)");
}

QString lineUpdate(int ind, const QString& position, const QString& quantity) {
    return QStringLiteral("UPDATE TBL_APTS SET ") + QStringLiteral("IND_PST=") + position +
           QStringLiteral(", VL=") + quantity + QStringLiteral(" WHERE IND=") + QString::number(ind);
}

// The order list's query: the state part, then the creation dates compared as text.
QString orderListQuery(const QString& statePart, const QString& from, const QString& toNextDay) {
    QString cond = statePart;
    if (!cond.isEmpty()) cond += QStringLiteral(" AND ");
    cond += QStringLiteral(" CR_DT>'") + from + QStringLiteral("'");
    cond += QStringLiteral(" AND ");
    cond += QStringLiteral(" CR_DT<'") + toNextDay + QStringLiteral("'");
    cond = QStringLiteral(" WHERE ") + cond;
    return QStringLiteral("SELECT * FROM TBL_APPS ") + cond + QStringLiteral(" ORDER BY IND");
}

// ---- Fixture ---------------------------------------------------------------------------

class StatementsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        cn_ = store::openFolder(dir_.path());
        ASSERT_TRUE(cn_);
        for (const QString& sql : schemaStatements()) exec(sql);
        fillReferenceTables();
    }

    void exec(const QString& sql) {
        try {
            cn_->execute(sql);
        } catch (const core::Error& e) {
            ADD_FAILURE() << "statement failed: " << sql.toStdString() << "\n  " << e.message().toStdString();
            throw;
        }
    }

    // The rows of a query, each as its fields' show() texts joined by " | ".
    std::vector<std::string> rows(const QString& sql, const QStringList& fields) {
        std::vector<std::string> out;
        std::unique_ptr<store::RecordSet> rs;
        try {
            rs = cn_->open(sql);
        } catch (const core::Error& e) {
            ADD_FAILURE() << "query failed: " << sql.toStdString() << "\n  " << e.message().toStdString();
            return out;
        }
        EXPECT_TRUE(rs->isOpen());
        for (; !rs->eof(); rs->moveNext()) {
            std::string row;
            for (const QString& f : fields) row += (row.empty() ? "" : " | ") + show(rs->field(f));
            out.push_back(row);
        }
        rs->close();
        EXPECT_FALSE(rs->isOpen());
        return out;
    }
    std::vector<std::string> sortedRows(const QString& sql, const QStringList& fields) {
        auto r = rows(sql, fields);
        std::sort(r.begin(), r.end());
        return r;
    }

    // A small catalogue: two regions, three cities (one with a leading blank), four bases
    // (one without a price list), four price lists, six offers with their bands.
    void fillReferenceTables() {
        exec(syncInsert("INSERT INTO TBL_TPS(IND, TP_NM) VALUES(", {1}, "Арматура"));
        exec(syncInsert("INSERT INTO TBL_TPS(IND, TP_NM) VALUES(", {2}, "Уголок "));
        exec(syncInsert("INSERT INTO TBL_TPS(IND, TP_NM) VALUES(", {3}, "Лист"));
        exec(syncInsert("INSERT INTO TBL_TPS(IND, TP_NM) VALUES(", {4}, "Труба"));

        exec(syncInsert("INSERT INTO TBL_GRPS(IND, IND_TP, GRP_NM) VALUES(", {10, 1}, "Арматура А500С"));
        exec(syncInsert("INSERT INTO TBL_GRPS(IND, IND_TP, GRP_NM) VALUES(", {11, 1}, "Арматура А240"));
        exec(
            syncInsert("INSERT INTO TBL_GRPS(IND, IND_TP, GRP_NM) VALUES(", {20, 2}, "Уголок равнополочный"));
        exec(syncInsert("INSERT INTO TBL_GRPS(IND, IND_TP, GRP_NM) VALUES(", {40, 4}, "Труба ВГП"));

        exec(
            syncInsert("INSERT INTO TBL_PSTS(IND, IND_GRP, PST_NM) VALUES(", {100, 10}, "Арматура 12 А500С"));
        exec(
            syncInsert("INSERT INTO TBL_PSTS(IND, IND_GRP, PST_NM) VALUES(", {101, 10}, "Арматура 10 А500С"));
        exec(
            syncInsert("INSERT INTO TBL_PSTS(IND, IND_GRP, PST_NM) VALUES(", {102, 10}, "Арматура 14 А500С"));
        exec(syncInsert("INSERT INTO TBL_PSTS(IND, IND_GRP, PST_NM) VALUES(", {200, 20},
                        "Уголок 50х50х5 ст3сп"));
        exec(syncInsert("INSERT INTO TBL_PSTS(IND, IND_GRP, PST_NM) VALUES(", {400, 40},
                        "Труба ВГП 15х2,8 (1/2'')"));

        exec(syncInsert("INSERT INTO TBL_RGNS(IND, RGN_NM) VALUES(", {1}, "Московская обл."));
        exec(syncInsert("INSERT INTO TBL_RGNS(IND, RGN_NM) VALUES(", {2}, "Свердловская обл."));
        exec(syncInsert("INSERT INTO TBL_CTS(IND, IND_RGN, CT_NM) VALUES(", {1, 1}, "Москва"));
        exec(syncInsert("INSERT INTO TBL_CTS(IND, IND_RGN, CT_NM) VALUES(", {2, 2}, "Екатеринбург"));
        exec(syncInsert("INSERT INTO TBL_CTS(IND, IND_RGN, CT_NM) VALUES(", {3, 1}, " Подольск"));
        exec(syncInsert("INSERT INTO TBL_ORGS(IND, ORG_NM) VALUES(", {1}, "ООО 'Сталь'"));
        exec(syncInsert("INSERT INTO TBL_ORGS(IND, ORG_NM) VALUES(", {2}, "ТД «Прокат»"));
        exec(syncInsert("INSERT INTO TBL_BSS(IND, IND_CT, IND_ORG, BS_NM) VALUES(", {1, 1, 1},
                        "Сталь (склад №1)"));
        exec(syncInsert("INSERT INTO TBL_BSS(IND, IND_CT, IND_ORG, BS_NM) VALUES(", {2, 2, 2},
                        "Прокат (база Южная)"));
        exec(syncInsert("INSERT INTO TBL_BSS(IND, IND_CT, IND_ORG, BS_NM) VALUES(", {3, 3, 1},
                        "Сталь (Подольск)"));
        exec(syncInsert("INSERT INTO TBL_BSS(IND, IND_CT, IND_ORG, BS_NM) VALUES(", {4, 2, 2},
                        "Прокат (без прайса)"));
        exec(syncInsert("INSERT INTO TBL_PRSS(IND, IND_BS, PRS_NM) VALUES(", {1, 1}, "Прайс Сталь"));
        exec(syncInsert("INSERT INTO TBL_PRSS(IND, IND_BS, PRS_NM) VALUES(", {2, 2}, "Прайс Прокат"));
        exec(syncInsert("INSERT INTO TBL_PRSS(IND, IND_BS, PRS_NM) VALUES(", {3, 3}, "Прайс Подольск"));
        exec(syncInsert("INSERT INTO TBL_PRSS(IND, IND_BS, PRS_NM) VALUES(", {4, 1}, "Прайс Сталь, уголок"));

        const char* stf = "INSERT INTO TBL_STFS(IND, IND_PST, IND_PRS, TO_OUT) VALUES(";
        exec(syncInsert(stf, {1000, 100, 1}, "Арм. 12 А500С"));
        exec(syncInsert(stf, {1001, 100, 2}, "Арматура ф12 А500С 11,7м"));
        exec(syncInsert(stf, {1002, 100, 3}, " арматура 12"));
        exec(syncInsert(stf, {1003, 101, 1}, "Арм. 10"));
        exec(syncInsert(stf, {1004, 200, 4}, "Уголок 50*50*5"));
        exec(syncInsert(stf, {1005, 400, 2}, "Труба 1/2''"));

        exec(insertBand(1, 1000, 0, 5, 50000));
        exec(insertBand(2, 1000, 5, 10, 49000));
        exec(insertBand(3, 1000, 10, 0, 48000.5));
        exec(insertBand(4, 1001, 0, 0, 51000));
        exec(insertBand(5, 1002, 0, 7, 52000));
        exec(insertBand(6, 1003, 0, 1, 55000));
        exec(insertBand(7, 1003, 1, 5, 54000));
        exec(insertBand(8, 1003, 10, 20, 53000));
        exec(insertBand(9, 1004, 0.5, 0, 61000.25));
        exec(insertBand(10, 1005, 0, 0, 70000));
    }

    QTemporaryDir dir_;
    std::unique_ptr<store::Connection> cn_;
};

TEST_F(StatementsTest, SynchronisedRowsReadBackWithTheirTypes) {
    EXPECT_EQ(sortedRows("SELECT * FROM TBL_TPS", {"IND", "TP_NM"}),
              (std::vector<std::string>{"i:1 | t:[Арматура]", "i:2 | t:[Уголок]", "i:3 | t:[Лист]",
                                        "i:4 | t:[Труба]"}));
    EXPECT_EQ(rows("SELECT * FROM TBL_PSTS WHERE IND=400", {"IND", "IND_GRP", "PST_NM"}),
              (std::vector<std::string>{"i:400 | i:40 | t:[Труба ВГП 15х2,8 (1/2'')]"}));
    EXPECT_EQ(rows("SELECT * FROM TBL_CTS WHERE IND=3", {"IND", "IND_RGN", "CT_NM"}),
              (std::vector<std::string>{"i:3 | i:1 | t:[ Подольск]"}));
    EXPECT_EQ(
        sortedRows("SELECT * FROM TBL_CSTS WHERE IND_STF=1000", {"IND", "IND_STF", "VL_FRM", "VL_TO", "CST"}),
        (std::vector<std::string>{"i:1 | i:1000 | d:0 | d:5 | d:50000", "i:2 | i:1000 | d:5 | d:10 | d:49000",
                                  "i:3 | i:1000 | d:10 | d:0 | d:48000.5"}));
    EXPECT_EQ(rows("SELECT * FROM TBL_CSTS WHERE IND=9", {"VL_FRM", "CST"}),
              (std::vector<std::string>{"d:0.5 | d:61000.25"}));
    for (const char* table : {"TBL_APPS", "TBL_APTS", "TBL_CORD"})
        EXPECT_TRUE(rows(QStringLiteral("SELECT * FROM ") + QLatin1String(table), {"IND"}).empty()) << table;
}

TEST_F(StatementsTest, CreatingAnExistingTableFailsAndKeepsItsRows) {
    EXPECT_THROW(cn_->execute(schemaStatements().at(0)), core::DbError);
    EXPECT_THROW(cn_->execute(schemaStatements().at(3)), core::DbError);
    EXPECT_EQ(rows("SELECT * FROM TBL_TPS", {"IND"}).size(), 4u);
}

TEST_F(StatementsTest, StartupNoOpUpdateChangesNothing) {
    exec("UPDATE TBL_ORGS SET IND=0 WHERE IND=0");
    EXPECT_EQ(sortedRows("SELECT * FROM TBL_ORGS", {"IND", "ORG_NM"}),
              (std::vector<std::string>{"i:1 | t:[ООО 'Сталь']", "i:2 | t:[ТД «Прокат»]"}));
}

TEST_F(StatementsTest, TypeAndGroupLists) {
    EXPECT_EQ(rows("SELECT * FROM TBL_TPS ORDER BY TP_NM", {"IND", "TP_NM"}),
              (std::vector<std::string>{"i:1 | t:[Арматура]", "i:3 | t:[Лист]", "i:4 | t:[Труба]",
                                        "i:2 | t:[Уголок]"}));
    const QString groups = QStringLiteral("SELECT * FROM TBL_GRPS WHERE IND_TP=");
    EXPECT_EQ(
        rows(groups + QString::number(1) + QStringLiteral(" ORDER BY GRP_NM"), {"IND", "IND_TP", "GRP_NM"}),
        (std::vector<std::string>{"i:11 | i:1 | t:[Арматура А240]", "i:10 | i:1 | t:[Арматура А500С]"}));
    EXPECT_TRUE(rows(groups + QString::number(3) + QStringLiteral(" ORDER BY GRP_NM"), {"IND"}).empty());
}

TEST_F(StatementsTest, PositionsOfAGroupWithLowestAndHighestPrice) {
    struct Case {
        const char* filter;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        // No filter: every base counts. Position 102 has no offer and is not listed.
        {"",
         {"i:101 | t:[Арматура 10 А500С] | d:53000 | d:55000",
          "i:100 | t:[Арматура 12 А500С] | d:48000.5 | d:52000"}},
        {" AND d.IND_BS IN (1,2,3,4)",
         {"i:101 | t:[Арматура 10 А500С] | d:53000 | d:55000",
          "i:100 | t:[Арматура 12 А500С] | d:48000.5 | d:52000"}},
        {" AND d.IND_BS IN (1,2)",
         {"i:101 | t:[Арматура 10 А500С] | d:53000 | d:55000",
          "i:100 | t:[Арматура 12 А500С] | d:48000.5 | d:51000"}},
        {" AND d.IND_BS IN (3)", {"i:100 | t:[Арматура 12 А500С] | d:52000 | d:52000"}},
        {" AND d.IND_BS IN (4)", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(
            rows(positionsQuery(10, QString::fromUtf8(c.filter)), {"IND", "PST_NM", "MIN_CST", "MAX_CST"}),
            c.expected)
            << "filter: " << c.filter;
    }
}

TEST_F(StatementsTest, BandLimitsOfAPositionComeFromEveryBase) {
    EXPECT_EQ(rows(bandLimitsQuery("100"), {"VL"}), (std::vector<std::string>{"d:0", "d:5", "d:7", "d:10"}));
    EXPECT_EQ(rows(bandLimitsQuery("101"), {"VL"}),
              (std::vector<std::string>{"d:0", "d:1", "d:5", "d:10", "d:20"}));
    EXPECT_EQ(rows(bandLimitsQuery("200"), {"VL"}), (std::vector<std::string>{"d:0", "d:0.5"}));
    EXPECT_TRUE(rows(bandLimitsQuery("102"), {"VL"}).empty());
}

TEST_F(StatementsTest, OffersOfAPositionOrderedByRegionCityBaseAndText) {
    const QStringList fields = {"IND", "RGN_NM", "CT_NM", "BS_NM", "TO_OUT", "VL_FRM", "VL_TO", "CST"};
    const std::string podolsk =
        "i:1002 | t:[Московская обл.] | t:[ Подольск] | t:[Сталь (Подольск)] | t:[ арматура 12] | d:0 | d:7 "
        "| d:52000";
    const std::string moscow =
        "i:1000 | t:[Московская обл.] | t:[Москва] | t:[Сталь (склад №1)] | t:[Арм. 12 А500С]";
    const std::string yekaterinburg =
        "i:1001 | t:[Свердловская обл.] | t:[Екатеринбург] | t:[Прокат (база Южная)] | t:[Арматура ф12 А500С "
        "11,7м] | d:0 | d:0 | d:51000";
    for (const char* filter : {"", " AND d.IND_BS IN (1,2,3,4)"}) {
        auto r = rows(offersQuery("100", QString::fromUtf8(filter)), fields);
        ASSERT_EQ(r.size(), 5u) << filter;
        // The bands of one offer share every sort key, so their own order is free.
        std::sort(r.begin() + 1, r.begin() + 4);
        EXPECT_EQ(r, (std::vector<std::string>{podolsk, moscow + " | d:0 | d:5 | d:50000",
                                               moscow + " | d:10 | d:0 | d:48000.5",
                                               moscow + " | d:5 | d:10 | d:49000", yekaterinburg}))
            << filter;
    }
    EXPECT_EQ(rows(offersQuery("100", " AND d.IND_BS IN (2)"), fields),
              (std::vector<std::string>{yekaterinburg}));
    EXPECT_TRUE(rows(offersQuery("102", ""), fields).empty());
}

TEST_F(StatementsTest, BasesListByRegionCityAndName) {
    EXPECT_EQ(rows(kBasesQuery, {"RGN_NM", "CT_NM", "IND", "BS_NM"}),
              (std::vector<std::string>{
                  "t:[Московская обл.] | t:[ Подольск] | i:3 | t:[Сталь (Подольск)]",
                  "t:[Московская обл.] | t:[Москва] | i:1 | t:[Сталь (склад №1)]",
                  "t:[Свердловская обл.] | t:[Екатеринбург] | i:2 | t:[Прокат (база Южная)]",
                  "t:[Свердловская обл.] | t:[Екатеринбург] | i:4 | t:[Прокат (без прайса)]",
              }));
}

TEST_F(StatementsTest, OrderIsSavedReconciledAndLoaded) {
    const QStringList order = {"IND", "IND_STT", "CGT_NM", "CNT_NM", "TLP", "ML", "CMT", "ADVT", "CR_DT"};
    const QStringList line = {"IND", "IND_APP", "IND_PST", "VL"};
    // Empty tables: the largest number is a single null.
    EXPECT_EQ(rows("SELECT MAX(IND) AS MAX_IND FROM TBL_APPS", {"MAX_IND"}),
              (std::vector<std::string>{"null"}));
    EXPECT_EQ(rows("SELECT MAX(IND) as MAX_IND FROM TBL_APTS", {"MAX_IND"}),
              (std::vector<std::string>{"null"}));

    exec(newOrder(1, "2010.09.27 14:05"));
    EXPECT_EQ(rows("SELECT * FROM TBL_APPS WHERE IND=1", order),
              (std::vector<std::string>{
                  "i:1 | i:0 | null | null | null | null | null | null | t:[2010.09.27 14:05]"}));
    EXPECT_EQ(rows("SELECT MAX(IND) AS MAX_IND FROM TBL_APPS", {"MAX_IND"}),
              (std::vector<std::string>{"i:1"}));

    exec(headerUpdate(1, 2,
                      {"ООО 'Ромашка'", "Иванов И. И.", "+7 495 000-00-00", "ivanov@example.ru",
                       "срочно, до пятницы", "  газета  "}));
    // Trailing blanks are padding in a character field; leading ones are kept.
    EXPECT_EQ(
        rows("SELECT * FROM TBL_APPS WHERE IND=1", order),
        (std::vector<std::string>{"i:1 | i:2 | t:[ООО 'Ромашка'] | t:[Иванов И. И.] | t:[+7 495 000-00-00] | "
                                  "t:[ivanov@example.ru] | t:[срочно, до пятницы] | t:[  газета] | "
                                  "t:[2010.09.27 14:05]"}));

    for (int ind : {7, 8, 9}) exec(newLine(ind, 1));
    EXPECT_EQ(rows("SELECT MAX(IND) as MAX_IND FROM TBL_APTS", {"MAX_IND"}),
              (std::vector<std::string>{"i:9"}));
    exec(lineUpdate(7, "100", "2.5"));
    exec(lineUpdate(8, "101", "3"));
    exec(lineUpdate(9, "200", "0.125"));
    exec(newLine(10, 2));  // another order's line stays untouched

    // The line with 8 was removed from the order in memory.
    exec("DELETE FROM TBL_APTS WHERE IND_APP=1 AND NOT IND IN (7,9)");
    EXPECT_EQ(sortedRows("SELECT * FROM TBL_APTS WHERE IND_APP = 1", line),
              (std::vector<std::string>{"i:7 | i:1 | i:100 | d:2.5", "i:9 | i:1 | i:200 | d:0.125"}));
    EXPECT_EQ(rows("SELECT * FROM TBL_APTS WHERE IND_APP = 2", line),
              (std::vector<std::string>{"i:10 | i:2 | i:0 | d:0"}));

    // A save whose lines are all new removes every stored line of the order.
    exec("DELETE FROM TBL_APTS WHERE IND_APP=1");
    EXPECT_TRUE(rows("SELECT * FROM TBL_APTS WHERE IND_APP = 1", line).empty());
    EXPECT_EQ(rows("SELECT MAX(IND) as MAX_IND FROM TBL_APTS", {"MAX_IND"}),
              (std::vector<std::string>{"i:10"}));
}

TEST_F(StatementsTest, BasketComparisonQueries) {
    exec("INSERT INTO TBL_CORD(IND_PST,VL) VALUES(999,1)");  // left over from an earlier comparison
    exec("DELETE FROM TBL_CORD");
    exec("INSERT INTO TBL_CORD(IND_PST,VL) VALUES(100,6)");
    exec("INSERT INTO TBL_CORD(IND_PST,VL) VALUES(101,0.5)");
    exec("INSERT INTO TBL_CORD(IND_PST,VL) VALUES(200,1.5)");
    exec("INSERT INTO TBL_CORD(IND_PST,VL) VALUES(200,0.25)");
    // Nothing fills IND.
    EXPECT_EQ(sortedRows("SELECT * FROM TBL_CORD", {"IND", "IND_PST", "VL"}),
              (std::vector<std::string>{"null | i:100 | d:6", "null | i:101 | d:0.5", "null | i:200 | d:0.25",
                                        "null | i:200 | d:1.5"}));

    EXPECT_EQ(sortedRows(kBasketLines, {"IND", "GRP_NM", "PST_NM", "VL"}),
              (std::vector<std::string>{
                  "i:100 | t:[Арматура А500С] | t:[Арматура 12 А500С] | d:6",
                  "i:101 | t:[Арматура А500С] | t:[Арматура 10 А500С] | d:0.5",
                  "i:200 | t:[Уголок равнополочный] | t:[Уголок 50х50х5 ст3сп] | d:0.25",
                  "i:200 | t:[Уголок равнополочный] | t:[Уголок 50х50х5 ст3сп] | d:1.5",
              }));
    // One row per base, however many lines and price lists lead to it; the base
    // without a price list never shows.
    EXPECT_EQ(rows(kBasketBases, {"IND", "CT_NM", "BS_NM"}),
              (std::vector<std::string>{"i:3 | t:[ Подольск] | t:[Сталь (Подольск)]",
                                        "i:2 | t:[Екатеринбург] | t:[Прокат (база Южная)]",
                                        "i:1 | t:[Москва] | t:[Сталь (склад №1)]"}));
    // Only bands starting at or below the ordered quantity count: 100 at 6 t skips the
    // 10 t band at base 1; 200 at 0.25 t is below that base's 0.5 t minimum.
    EXPECT_EQ(
        sortedRows(kBasketPrices, {"IND_PST", "IND_BS", "MIN_CST"}),
        (std::vector<std::string>{"i:100 | i:1 | d:49000", "i:100 | i:2 | d:51000", "i:100 | i:3 | d:52000",
                                  "i:101 | i:1 | d:55000", "i:200 | i:1 | d:61000.25"}));
}

class OrderListTest : public StatementsTest {
protected:
    void SetUp() override {
        StatementsTest::SetUp();
        if (HasFatalFailure()) return;
        struct Order {
            int ind, state;
            const char* created;
        };
        const Order orders[] = {
            {1, 2, "2010.09.27 14:05"},
            {2, 1, "2010.09.26 09:00"},
            {3, 1, "2010.09.27 23:59"},
            {4, 1, "2010.09.28 00:00"},
            {5, 1, ""},
            {6, 0, "2010.09.27 10:00"},
            {7, 1, "2010.09.25 23:59"},
        };
        for (const Order& o : orders) {
            exec(newOrder(o.ind, QString::fromUtf8(o.created)));
            if (o.state != 0)
                exec(headerUpdate(o.ind, o.state, {"Клиент " + QString::number(o.ind), "", "", "", "", ""}));
        }
    }
};

TEST_F(OrderListTest, StateAndDateRangeCompareCreationAsText) {
    EXPECT_EQ(orderListQuery("IND_STT=1", "2010.09.26", "2010.09.28"),
              QStringLiteral("SELECT * FROM TBL_APPS  WHERE IND_STT=1 AND  CR_DT>'2010.09.26' AND  "
                             "CR_DT<'2010.09.28' ORDER BY IND"));
    struct Case {
        const char* state;
        const char* from;
        const char* toNextDay;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"IND_STT=1", "2010.09.26", "2010.09.28", {"i:2 | i:1", "i:3 | i:1"}},
        // Every state, state 0 included; an order without a creation text never shows.
        {"", "2010.09.26", "2010.09.28", {"i:1 | i:2", "i:2 | i:1", "i:3 | i:1", "i:6 | i:0"}},
        {"IND_STT=2", "2010.09.27", "2010.09.28", {"i:1 | i:2"}},
        {"IND_STT=3", "2010.09.20", "2010.10.01", {}},
        {"IND_STT=1", "2010.09.28", "2010.09.29", {"i:4 | i:1"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(rows(orderListQuery(QString::fromUtf8(c.state), c.from, c.toNextDay), {"IND", "IND_STT"}),
                  c.expected)
            << c.state << " " << c.from << ".." << c.toNextDay;
    }
    EXPECT_EQ(rows(orderListQuery("IND_STT=1", "2010.09.26", "2010.09.28"), {"CGT_NM", "CR_DT", "CMT"}),
              (std::vector<std::string>{"t:[Клиент 2] | t:[2010.09.26 09:00] | null",
                                        "t:[Клиент 3] | t:[2010.09.27 23:59] | null"}));
}

TEST_F(OrderListTest, DeletingAnOrderRemovesItsLinesThenItsHeader) {
    exec(newLine(1, 3));
    exec(newLine(2, 3));
    exec(newLine(3, 2));
    exec("DELETE FROM TBL_APTS WHERE IND_APP=3");
    exec("DELETE FROM TBL_APPS WHERE IND=3");
    EXPECT_TRUE(rows("SELECT * FROM TBL_APPS WHERE IND=3", {"IND"}).empty());
    EXPECT_TRUE(rows("SELECT * FROM TBL_APTS WHERE IND_APP = 3", {"IND"}).empty());
    EXPECT_EQ(rows("SELECT * FROM TBL_APTS WHERE IND_APP = 2", {"IND"}), (std::vector<std::string>{"i:3"}));
    EXPECT_EQ(rows("SELECT * FROM TBL_APPS ORDER BY IND", {"IND"}),
              (std::vector<std::string>{"i:1", "i:2", "i:4", "i:5", "i:6", "i:7"}));
}

TEST_F(OrderListTest, EverythingWrittenIsThereAfterReopeningTheFolder) {
    exec(newLine(1, 2));
    exec(lineUpdate(1, "400", "12.75"));
    exec("DELETE FROM TBL_APPS WHERE IND=7");
    const QString list = orderListQuery("", "2010.09.20", "2010.10.01");
    const QStringList fields = {"IND", "IND_STT", "CGT_NM", "CR_DT"};
    const auto before = rows(list, fields);
    const auto offers = rows(offersQuery("100", ""), {"IND", "CT_NM", "CST"});
    cn_.reset();
    cn_ = store::openFolder(dir_.path());
    EXPECT_EQ(rows(list, fields), before);
    EXPECT_EQ(rows(offersQuery("100", ""), {"IND", "CT_NM", "CST"}).size(), offers.size());
    EXPECT_EQ(rows("SELECT * FROM TBL_APTS WHERE IND_APP = 2", {"IND", "IND_PST", "VL"}),
              (std::vector<std::string>{"i:1 | i:400 | d:12.75"}));
}

}  // namespace
