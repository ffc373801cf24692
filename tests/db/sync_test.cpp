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

// Every box, the parents first.
const QStringList kParentsFirst = {"TBL_TPS",  "TBL_GRPS", "TBL_PSTS", "TBL_RGNS", "TBL_CTS",
                                   "TBL_ORGS", "TBL_BSS",  "TBL_PRSS", "TBL_STFS", "TBL_CSTS"};
const QSet<QString> kAllBoxes(kParentsFirst.begin(), kParentsFirst.end());

class Synchronisation : public ::testing::Test {
protected:
    // Builds the central database from `rows` and opens a fresh local folder with the
    // central link behind it; every statement is recorded on its way to the real store.
    void open(const QStringList& rows = testcentral::smallRows(),
              const QStringList& schema = testcentral::centralSchema()) {
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
    // A table that cannot be read (as one never created) shows as "<no table>".
    QStringList rowsOf(const QString& table) try {
        QStringList out;
        for (auto rs = routed->open("SELECT * FROM " + table + " ORDER BY IND"); !rs->eof(); rs->moveNext()) {
            QStringList cells;
            for (const QString& n : rs->fieldNames())
                cells << (rs->field(n).isNull() ? "<null>" : rs->field(n).toText());
            out << cells.join('|');
        }
        return out;
    } catch (const core::DbError&) {
        return {"<no table>"};
    }

    QTemporaryDir tmp;
    int runs = 0;
    std::unique_ptr<store::RoutedConnection> routed;
    std::unique_ptr<RecordingConnection> cn;
};

TEST_F(Synchronisation, EveryBoxCreatesItsTableAfterTheWorkingOnesAndCopiesTheTiedRows) {
    open();
    db::synchronise(*cn, kAllBoxes);
    QStringList expected;
    for (const QString& t : db::workingTables()) expected << db::createStatement(t);
    for (const QString& t : kParentsFirst)
        expected << db::createStatement(t) << db::sourceQuery(t) << "INSERT INTO " + t;
    expected << "INSERT INTO TBL_CSTS";  // the second band
    QStringList sent = cn->statements();
    for (QString& s : sent)
        if (s.startsWith("INSERT INTO ")) s = s.section('(', 0, 0);  // the texts: InsertStatement below
    EXPECT_EQ(sent, expected);

    const struct { const char* table; QStringList rows; } stored[] = {
        {"TBL_TPS", {"7|Арматура"}},
        {"TBL_GRPS", {"70|7|А500С"}},
        {"TBL_PSTS", {"700|70|Арматура 12 мм А500С"}},
        {"TBL_RGNS", {"1|Урал"}},
        {"TBL_CTS", {"10|1|Екатеринбург"}},
        {"TBL_ORGS", {"5|ООО \"Сталь\""}},
        {"TBL_BSS", {"50|10|5|База O'Нил"}},
        {"TBL_PRSS", {"500|50|Прайс"}},
        {"TBL_STFS", {"9001|700|500|арм. 12"}},  // offers without a position stay out, and their bands
        {"TBL_CSTS", {"1|9001|0.5|10|1234.5", "2|9001|10|100|1200"}},
    };
    for (const auto& t : stored) EXPECT_EQ(rowsOf(t.table), t.rows) << t.table;
    for (const QString& t : db::workingTables()) EXPECT_TRUE(rowsOf(t).isEmpty()) << t.toStdString();
}

// Which tables a choice of boxes creates and fills: the working tables always, then the
// ticked ones parents first, whatever the set's order.
TEST_F(Synchronisation, TheTickedTablesAreFilledParentsFirst) {
    const struct { QSet<QString> ticked; QStringList opened, absent; } cases[] = {
        {{}, {}, {"TBL_TPS", "TBL_CSTS"}},
        {{"TBL_CSTS"}, {db::sourceQuery("TBL_CSTS")}, {"TBL_STFS"}},
        {{"TBL_CSTS", "TBL_TPS", "TBL_BSS"},
         {db::sourceQuery("TBL_TPS"), db::sourceQuery("TBL_BSS"), db::sourceQuery("TBL_CSTS")},
         {"TBL_GRPS"}},
    };
    for (const auto& c : cases) {
        open();
        SCOPED_TRACE(&c - cases);
        db::synchronise(*cn, c.ticked);
        EXPECT_EQ(cn->opened(), c.opened);
        for (const QString& t : db::workingTables()) EXPECT_TRUE(rowsOf(t).isEmpty());
        for (const QString& t : c.absent) EXPECT_EQ(rowsOf(t), QStringList{"<no table>"}) << t.toStdString();
        if (c.ticked.contains("TBL_CSTS"))
            EXPECT_EQ(rowsOf("TBL_CSTS"), (QStringList{"1|9001|0.5|10|1234.5", "2|9001|10|100|1200"}));
    }
}

TEST_F(Synchronisation, SecondRunStopsAtTheFirstWorkingTableAndChangesNothing) {
    open();
    db::synchronise(*cn, kAllBoxes);
    const QStringList before = rowsOf("TBL_CSTS");
    cn->clearCalls();
    try {
        db::synchronise(*cn, kAllBoxes);
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
    const auto withoutGroups = [](QStringList l) {
        l.removeIf([](const QString& s) { return s.contains("tbl_groups"); });
        return l;
    };
    open(withoutGroups(testcentral::smallRows()), withoutGroups(testcentral::centralSchema()));
    try {
        db::synchronise(*cn, {"TBL_TPS", "TBL_GRPS", "TBL_PSTS"});
        FAIL() << "the missing central table must stop the run";
    } catch (const db::SyncError& e) {
        EXPECT_EQ(e.statement(), "select * from tbl_groups (nolock)");
        EXPECT_TRUE(e.reason().contains("tbl_groups")) << e.reason().toStdString();
    }
    EXPECT_EQ(rowsOf("TBL_TPS"), QStringList{"7|Арматура"});
    EXPECT_TRUE(rowsOf("TBL_GRPS").isEmpty());
    EXPECT_EQ(rowsOf("TBL_PSTS"), QStringList{"<no table>"});
}

TEST_F(Synchronisation, NullNumbersArriveAsNullAndNullTextsAsEmpty) {
    open({"INSERT INTO tbl_groups VALUES(71, NULL, NULL)",
          "INSERT INTO tbl_stuffs VALUES(9001, 700, NULL, 'x')",
          "INSERT INTO tbl_costs VALUES(5, 9001, NULL, 10, NULL)"});
    db::synchronise(*cn, {"TBL_GRPS", "TBL_CSTS"});
    EXPECT_TRUE(cn->executed().contains("INSERT INTO TBL_GRPS(IND, IND_TP, GRP_NM) VALUES(71, NULL, '')"));
    EXPECT_EQ(rowsOf("TBL_GRPS"), QStringList{"71|<null>|<null>"}) << "an empty text reads back as a blank field";
    EXPECT_EQ(rowsOf("TBL_CSTS"), QStringList{"5|9001|<null>|10|<null>"});
}

TEST_F(Synchronisation, ProgressFollowsTablesAndRecords) {
    open();
    QStringList seen;
    db::synchronise(*cn, {"TBL_TPS", "TBL_CSTS"}, [&](const db::SyncProgress& p) {
        seen << QStringLiteral("%1 %2/%3 %4").arg(p.table).arg(p.step).arg(p.steps).arg(p.rows);
    });
    EXPECT_EQ(seen, (QStringList{"TBL_APPS 1/5 0", "TBL_APTS 2/5 0", "TBL_CORD 3/5 0", "TBL_TPS 4/5 0",
                                 "TBL_TPS 4/5 1", "TBL_CSTS 5/5 0", "TBL_CSTS 5/5 1", "TBL_CSTS 5/5 2"}));
}

// The insert statement of one source record, over records held in memory.
TEST(InsertStatement, IsBuiltAsTheLocalTableExpectsOrRefused) {
    testsupport::LocaleGuard russian(QLocale(QLocale::Russian, QLocale::Russia));
    const struct { const char* table; testsupport::Row record; const char* expected; } cases[] = {
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

    MemoryRecordSet text({{{"ind", 1}, {"ind_stuff", 2}, {"val_from", "много"}, {"val_to", 1.0}, {"cost", 1.0}}});
    EXPECT_THROW(db::insertStatement("TBL_CSTS", text), core::ConversionError);
    MemoryRecordSet missing({{{"ind", 1}}});
    EXPECT_THROW(db::insertStatement("TBL_TPS", missing), core::DbError);
    EXPECT_THROW(db::insertStatement("TBL_APPS", missing), std::out_of_range) << "no source for a working table";
    RecordingConnection cn;
    EXPECT_THROW(db::synchronise(cn, {"TBL_APPS"}), std::out_of_range) << "a working table has no box";
    EXPECT_THROW(db::synchronise(cn, {"TBL_NOPE"}), std::out_of_range);
    EXPECT_TRUE(cn.calls().isEmpty()) << "unknown names are refused before anything is sent";
}

}  // namespace
