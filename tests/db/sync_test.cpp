// The synchronisation: the statements it sends, in order, and what arrives in the local
// tables, from a small central SQLite database into a fresh folder of the real store.
#include "db/sync.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "core/errors.h"
#include "db/central_fixture.h"
#include "db/central_link.h"
#include "db/schema.h"
#include "store/dbf_connection.h"
#include "support/recording_connection.h"
#include "support/scripted_seams.h"

using testsupport::MemoryRecordSet;
using testsupport::RecordingConnection;

namespace {

const QStringList kAllBoxes = {"TBL_TPS",  "TBL_GRPS", "TBL_PSTS", "TBL_RGNS", "TBL_CTS",
                               "TBL_ORGS", "TBL_BSS",  "TBL_PRSS", "TBL_STFS", "TBL_CSTS"};

QSet<QString> boxes(const QStringList& names) {
    return QSet<QString>(names.begin(), names.end());
}

class Synchronisation : public ::testing::Test {
protected:
    // Builds the central database from `rows` and opens a fresh local folder with the
    // central link behind it; every statement is recorded on its way to the real store.
    void open(const QStringList& rows = testcentral::smallRows(),
              const QStringList& schema = testcentral::centralSchema()) {
        ASSERT_TRUE(tmp.isValid());
        // Each call starts afresh in a folder of its own.
        const QString dir = tmp.filePath(QString::number(++runs));
        ASSERT_TRUE(QDir().mkpath(dir + "/DB"));
        testcentral::makeCentral(dir + "/central.sqlite", rows, schema);
        cn.reset();
        routed = std::make_unique<store::RoutedConnection>(store::openFolder(dir + "/DB"),
                                                           db::openCentralLink(dir + "/central.sqlite"));
        cn = std::make_unique<RecordingConnection>(routed.get());
    }

    // The rows of a local table as "v1|v2|..." texts, ordered by IND; null shows as <null>.
    QStringList rowsOf(const QString& table) {
        QStringList out;
        for (auto rs = routed->open("SELECT * FROM " + table + " ORDER BY IND"); !rs->eof(); rs->moveNext()) {
            QStringList cells;
            for (const QString& n : rs->fieldNames())
                cells << (rs->field(n).isNull() ? "<null>" : rs->field(n).toText());
            out << cells.join('|');
        }
        return out;
    }

    bool tableExists(const QString& table) {
        try {
            routed->open("SELECT * FROM " + table);
            return true;
        } catch (const core::DbError&) {
            return false;
        }
    }

    QTemporaryDir tmp;
    int runs = 0;
    std::unique_ptr<store::RoutedConnection> routed;
    std::unique_ptr<RecordingConnection> cn;
};

TEST_F(Synchronisation, EveryBoxSendsTheStatementsInOrderAndCopiesTheRows) {
    open();
    db::synchronise(*cn, boxes(kAllBoxes));

    const QStringList expected = {
        "CREATE TABLE TBL_APPS (IND int,IND_STT int,CGT_NM varchar(250),CNT_NM varchar(250),TLP "
        "varchar(250),ML varchar(250),CMT varchar(250),ADVT varchar(250),CR_DT varchar(25))",
        "CREATE TABLE TBL_APTS (IND int,IND_APP int,IND_PST int,VL double)",
        "CREATE TABLE TBL_CORD (IND int,IND_PST int,VL double)",
        "CREATE TABLE TBL_TPS (IND int,TP_NM varchar (250))",
        "select * from tbl_types (nolock)",
        "INSERT INTO TBL_TPS(IND, TP_NM) VALUES(7, 'Арматура')",
        "CREATE TABLE TBL_GRPS (IND int,IND_TP int,GRP_NM varchar (250))",
        "select * from tbl_groups (nolock)",
        "INSERT INTO TBL_GRPS(IND, IND_TP, GRP_NM) VALUES(70, 7, 'А500С')",
        "CREATE TABLE TBL_PSTS (IND int,IND_GRP int,PST_NM varchar (250))",
        "select * from tbl_positions (nolock)",
        "INSERT INTO TBL_PSTS(IND, IND_GRP, PST_NM) VALUES(700, 70, 'Арматура 12 мм А500С')",
        "CREATE TABLE TBL_RGNS (IND int,RGN_NM varchar (250))",
        "select * from tbl_regions (nolock)",
        "INSERT INTO TBL_RGNS(IND, RGN_NM) VALUES(1, 'Урал')",
        "CREATE TABLE TBL_CTS (IND int,IND_RGN int,CT_NM varchar (250))",
        "select * from tbl_cities (nolock)",
        "INSERT INTO TBL_CTS(IND, IND_RGN, CT_NM) VALUES(10, 1, 'Екатеринбург')",
        "CREATE TABLE TBL_ORGS (IND int,ORG_NM varchar (250))",
        "select * from tbl_organizations (nolock)",
        "INSERT INTO TBL_ORGS(IND, ORG_NM) VALUES(5, 'ООО \"Сталь\"')",
        "CREATE TABLE TBL_BSS (IND int,IND_CT int,IND_ORG int,BS_NM varchar (250))",
        "select * from tbl_bases (nolock)",
        "INSERT INTO TBL_BSS(IND, IND_CT, IND_ORG, BS_NM) VALUES(50, 10, 5, 'База O''Нил')",
        "CREATE TABLE TBL_PRSS (IND int,IND_BS int,PRS_NM varchar (250))",
        "select * from tbl_prices (nolock)",
        "INSERT INTO TBL_PRSS(IND, IND_BS, PRS_NM) VALUES(500, 50, 'Прайс')",
        "CREATE TABLE TBL_STFS (IND int,IND_PST int,IND_PRS int,TO_OUT varchar (250))",
        "select * from tbl_stuffs (nolock) where ind_position>0",
        "INSERT INTO TBL_STFS(IND, IND_PST, IND_PRS, TO_OUT) VALUES(9001, 700, 500, 'арм. 12')",
        "CREATE TABLE TBL_CSTS (IND int,IND_STF int,VL_FRM double,VL_TO double,CST double)",
        "select a.* from tbl_costs a (nolock) inner join tbl_stuffs b (nolock) on a.ind_stuff=b.ind "
        "where b.ind_position>0",
    };
    QStringList sent = cn->statements();
    ASSERT_EQ(sent.size(), expected.size() + 2);
    EXPECT_EQ(sent.mid(0, expected.size()), expected);
    // The join gives no order of its own; the two bands may come either way round.
    QStringList bands = sent.mid(expected.size());
    bands.sort();
    EXPECT_EQ(bands,
              (QStringList{
                  "INSERT INTO TBL_CSTS(IND, IND_STF, VL_FRM, VL_TO, CST) VALUES(1, 9001, 0.5, 10, 1234.5)",
                  "INSERT INTO TBL_CSTS(IND, IND_STF, VL_FRM, VL_TO, CST) VALUES(2, 9001, 10, 100, 1200)"}));

    EXPECT_EQ(rowsOf("TBL_TPS"), QStringList{"7|Арматура"});
    EXPECT_EQ(rowsOf("TBL_BSS"), QStringList{"50|10|5|База O'Нил"});
    EXPECT_EQ(rowsOf("TBL_STFS"), QStringList{"9001|700|500|арм. 12"})
        << "offers without a position stay out";
    EXPECT_EQ(rowsOf("TBL_CSTS"), (QStringList{"1|9001|0.5|10|1234.5", "2|9001|10|100|1200"}))
        << "bands of offers without a position stay out";
    for (const QString& t : db::workingTables()) EXPECT_TRUE(rowsOf(t).isEmpty()) << t.toStdString();
}

// Which tables a choice of boxes creates and fills: the working tables always, then the
// ticked ones parents first, whatever the set's order.
TEST_F(Synchronisation, TheTickedTablesAreFilledParentsFirst) {
    const struct {
        QStringList ticked;
        QStringList opened;
        QStringList absent;
    } cases[] = {
        {{}, {}, {"TBL_TPS", "TBL_CSTS"}},
        {{"TBL_CSTS"}, {db::sourceQuery("TBL_CSTS")}, {"TBL_STFS"}},
        {{"TBL_CSTS", "TBL_TPS", "TBL_BSS"},
         {db::sourceQuery("TBL_TPS"), db::sourceQuery("TBL_BSS"), db::sourceQuery("TBL_CSTS")},
         {"TBL_GRPS"}},
    };
    for (const auto& c : cases) {
        open();
        db::synchronise(*cn, boxes(c.ticked));
        const std::string context = c.ticked.join(' ').toStdString();
        EXPECT_EQ(cn->opened(), c.opened) << context;
        for (const QString& t : db::workingTables()) EXPECT_TRUE(rowsOf(t).isEmpty()) << context;
        for (const QString& t : c.absent) EXPECT_FALSE(tableExists(t)) << context << " " << t.toStdString();
        if (c.ticked.contains("TBL_CSTS")) {
            EXPECT_EQ(rowsOf("TBL_CSTS"), (QStringList{"1|9001|0.5|10|1234.5", "2|9001|10|100|1200"}))
                << context;
        }
    }
}

TEST_F(Synchronisation, SecondRunStopsAtTheFirstWorkingTableAndChangesNothing) {
    open();
    db::synchronise(*cn, boxes(kAllBoxes));
    const QStringList before = rowsOf("TBL_CSTS");
    cn->clearCalls();
    try {
        db::synchronise(*cn, boxes(kAllBoxes));
        FAIL() << "a second run on a built folder must fail";
    } catch (const db::SyncError& e) {
        EXPECT_EQ(e.statement(), db::createStatement("TBL_APPS"));
        EXPECT_FALSE(e.reason().isEmpty());
    }
    EXPECT_EQ(cn->statements(), QStringList{db::createStatement("TBL_APPS")});
    EXPECT_EQ(rowsOf("TBL_CSTS"), before);
    EXPECT_EQ(rowsOf("TBL_TPS"), QStringList{"7|Арматура"});
}

TEST_F(Synchronisation, RefusedSourceQueryStopsTheRunAndKeepsWhatWasWritten) {
    QStringList schema = testcentral::centralSchema();
    schema.removeIf([](const QString& s) { return s.contains("tbl_groups"); });
    QStringList rows = testcentral::smallRows();
    rows.removeIf([](const QString& s) { return s.contains("tbl_groups"); });
    open(rows, schema);
    try {
        db::synchronise(*cn, boxes({"TBL_TPS", "TBL_GRPS", "TBL_PSTS"}));
        FAIL() << "the missing central table must stop the run";
    } catch (const db::SyncError& e) {
        EXPECT_EQ(e.statement(), "select * from tbl_groups (nolock)");
        EXPECT_TRUE(e.reason().contains("tbl_groups")) << e.reason().toStdString();
    }
    EXPECT_EQ(rowsOf("TBL_TPS"), QStringList{"7|Арматура"});
    EXPECT_TRUE(rowsOf("TBL_GRPS").isEmpty());
    EXPECT_FALSE(tableExists("TBL_PSTS"));
}

TEST_F(Synchronisation, NullNumbersArriveAsNullAndNullTextsAsEmpty) {
    open({"INSERT INTO tbl_groups VALUES(71, NULL, NULL)",
          "INSERT INTO tbl_stuffs VALUES(9001, 700, NULL, 'x')",
          "INSERT INTO tbl_costs VALUES(5, 9001, NULL, 10, NULL)"});
    db::synchronise(*cn, boxes({"TBL_GRPS", "TBL_CSTS"}));
    EXPECT_TRUE(cn->executed().contains("INSERT INTO TBL_GRPS(IND, IND_TP, GRP_NM) VALUES(71, NULL, '')"));
    EXPECT_TRUE(cn->executed().contains(
        "INSERT INTO TBL_CSTS(IND, IND_STF, VL_FRM, VL_TO, CST) VALUES(5, 9001, NULL, 10, NULL)"));
    EXPECT_EQ(rowsOf("TBL_GRPS"), QStringList{"71|<null>|<null>"})
        << "an empty text reads back as a blank field";
    EXPECT_EQ(rowsOf("TBL_CSTS"), QStringList{"5|9001|<null>|10|<null>"});
}

TEST_F(Synchronisation, ProgressFollowsTablesAndRecords) {
    open();
    QStringList seen;
    db::synchronise(*cn, boxes({"TBL_TPS", "TBL_CSTS"}), [&](const db::SyncProgress& p) {
        seen << QStringLiteral("%1 %2/%3 %4").arg(p.table).arg(p.step).arg(p.steps).arg(p.rows);
    });
    EXPECT_EQ(seen, (QStringList{"TBL_APPS 1/5 0", "TBL_APTS 2/5 0", "TBL_CORD 3/5 0", "TBL_TPS 4/5 0",
                                 "TBL_TPS 4/5 1", "TBL_CSTS 5/5 0", "TBL_CSTS 5/5 1", "TBL_CSTS 5/5 2"}));
}

// The insert statement of one source record, over records held in memory.
TEST(InsertStatement, IsBuiltAsTheLocalTableExpectsOrRefused) {
    testsupport::LocaleGuard russian(QLocale(QLocale::Russian, QLocale::Russia));
    const struct {
        const char* table;
        testsupport::Row record;
        const char* expected;
    } cases[] = {
        {"TBL_PRSS",
         {{"IND", 2}, {"Ind_Base", 3}, {"PRICE_NAME", "p"}},  // field names in any case
         "INSERT INTO TBL_PRSS(IND, IND_BS, PRS_NM) VALUES(2, 3, 'p')"},
        {"TBL_CSTS",
         {{"ind", 1}, {"ind_stuff", 2}, {"val_from", 0.5}, {"val_to", 1e6}, {"cost", 1234.56}},
         "INSERT INTO TBL_CSTS(IND, IND_STF, VL_FRM, VL_TO, CST) VALUES(1, 2, 0.5, 1000000, 1234.56)"}};
    for (const auto& c : cases) {
        MemoryRecordSet rs({c.record});
        EXPECT_EQ(db::insertStatement(c.table, rs), QString::fromUtf8(c.expected));
    }

    MemoryRecordSet text(
        {{{"ind", 1}, {"ind_stuff", 2}, {"val_from", "много"}, {"val_to", 1.0}, {"cost", 1.0}}});
    EXPECT_THROW(db::insertStatement("TBL_CSTS", text), core::ConversionError);
    MemoryRecordSet missing({{{"ind", 1}}});
    EXPECT_THROW(db::insertStatement("TBL_TPS", missing), core::DbError);
    EXPECT_THROW(db::insertStatement("TBL_APPS", missing), std::out_of_range)
        << "no source for a working table";
    RecordingConnection cn;
    EXPECT_THROW(db::synchronise(cn, {"TBL_APPS"}), std::out_of_range) << "a working table has no box";
    EXPECT_THROW(db::synchronise(cn, {"TBL_NOPE"}), std::out_of_range);
    EXPECT_TRUE(cn.calls().isEmpty()) << "unknown names are refused before anything is sent";
}

}  // namespace
