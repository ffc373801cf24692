// Saving and loading the order: how the object follows a failure part-way through, the
// release at the central link, and the round trip through real .dbf tables, notes included.
#include <gtest/gtest.h>

#include <QFile>
#include <QDateTime>
#include <QTemporaryDir>

#include "core/errors.h"
#include "db/schema.h"
#include "order/clsZak.h"
#include "store/dbf_connection.h"
#include "support/recording_connection.h"
#include "support/scripted_seams.h"

using core::Value;
using testsupport::RecordingConnection;
using testsupport::Rows;

namespace {

const QString kMaxApps = QStringLiteral("SELECT MAX(IND) AS MAX_IND FROM TBL_APPS");
const QString kMaxApts = QStringLiteral("SELECT MAX(IND) as MAX_IND FROM TBL_APTS");

void addLine(clsZak& order, int32_t idn, const Value& qty, const char* note = "", int32_t indTbl = 0) {
    order.InsertRow();
    order.setField("idn", idn);
    order.setField("qty", qty);
    order.setField("prim", note);
    order.setField("ind_tbl", indTbl);
}
// The lines held, as "ind_tbl:idn:qty:note".
QStringList linesOf(clsZak& order) {
    QStringList out;
    for (order.MoveFirst(); order.Field("pos").toInt32() >= 0; order.MoveNext())
        out << QStringList({order.Field("ind_tbl").toText(), order.Field("idn").toText(),
                            order.FieldSql("qty"), order.Field("prim").toText()})
                   .join(':');
    return out;
}

// Only a record that exists gives the order its number, and only a stored line keeps its own:
// the next save must insert what a failed one did not, and update what it did.
TEST(OrderPersistence, FailedSaveKeepsOnlyTheNumbersOfWhatWasStored) {
    testsupport::ScriptedMessages boxes;
    const struct { const char* failing; int before, after, line; } cases[] = {{"INSERT INTO TBL_APPS(", 0, 0, 0},
                 {"UPDATE TBL_APPS", 0, 7, 0},
                 {"INSERT INTO TBL_APTS", 2, 2, 0},
                 {"UPDATE TBL_APTS", 2, 2, 5}};
    for (const auto& c : cases) {
        RecordingConnection rec;
        clsZak order;
        order.Init();
        order.setConnection(&rec);
        order.norder = c.before;
        addLine(order, 1, 1);
        rec.answer(kMaxApps, Rows{{{"MAX_IND", 6}}}, RecordingConnection::kForever);
        rec.answer(kMaxApts, Rows{{{"MAX_IND", 4}}}, RecordingConnection::kForever);
        rec.failPrefix(c.failing);
        EXPECT_THROW(order.SaveOrder(), core::DbError);
        const bool inserted = c.before == 0 && c.after > 0;
        EXPECT_EQ(QList<int>({order.norder, order.order_is_locked, order.create_date.isEmpty()}),
                  QList<int>({c.after, inserted, !inserted}))
            << c.failing;
        EXPECT_EQ(linesOf(order), QStringList{QStringLiteral("%1:1:1:").arg(c.line)}) << c.failing;
        rec.clearCalls();
        order.SaveOrder();
        EXPECT_EQ(rec.statements().count(kMaxApps), c.after == 0 ? 1 : 0) << c.failing;
        EXPECT_EQ(linesOf(order), QStringList{"5:1:1:"}) << c.failing;
    }
}

// The release of an exchange order goes to the central link, only for a locked one; refused,
// or without a central link, it leaves the order as it was. The local store never sees it.
TEST(OrderRelease, GoesToTheCentralLinkOnlyForALockedExchangeOrder) {
    auto local = std::make_unique<RecordingConnection>();
    auto central = std::make_unique<RecordingConnection>();
    RecordingConnection* localLog = local.get();
    RecordingConnection* centralLog = central.get();
    store::RoutedConnection cn(std::move(local), std::move(central));
    clsZak order;
    order.Init();
    order.setConnection(&cn);
    const struct { bool locked; int32_t ind; bool sends; } cases[] = {{true, 15, true}, {true, 0, false}, {false, 15, false}, {true, -3, false}};
    for (const auto& c : cases) {
        centralLog->clearCalls();
        order.order_is_locked = c.locked;
        order.order_ind = c.ind;
        order.Clear();
        EXPECT_EQ(centralLog->statements(), c.sends ? QStringList{"exec nom_command 'unlockApp', 15"} : QStringList{});
        EXPECT_EQ(order.order_ind, 0);
    }
    centralLog->failPrefix("exec nom_command", "no exchange service");
    order.InsertRow();
    for (int refusal = 0; refusal < 2; ++refusal) {  // refused, then no central link at all
        order.order_is_locked = true;
        order.order_ind = 31;
        EXPECT_THROW(order.LoadOrder(3), core::DbError);
        EXPECT_EQ(QList<int>({order.order_ind, order.RecordCount()}), QList<int>({31, 1}));
        cn.setCentral(nullptr);
    }
    EXPECT_TRUE(localLog->statements().isEmpty());
    order.setConnection(nullptr);
    EXPECT_THROW(order.SaveOrder(), core::DbError);
}

// --- real tables in a scratch folder ---------------------------------------------------

class OrderTables : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        reopen();
        db->execute(db::createStatement("TBL_APPS"));
        db->execute(db::createStatement("TBL_APTS"));
    }
    void reopen() {
        db.reset();
        db = store::openFolder(dir.path());
        ASSERT_TRUE(db);
        order.Init();
        order.setConnection(db.get());
    }
    int pos() { return order.Field("pos").toInt32(); }
    QStringList column(const QString& sql) {
        QStringList out;
        for (auto rs = db->open(sql); !rs->eof(); rs->moveNext())
            out << rs->field(rs->fieldNames().first()).toText();
        return out;
    }
    void storeOrder(int norder, int lines) {
        db->execute(QStringLiteral("INSERT INTO TBL_APPS(IND, IND_STT, CGT_NM, CNT_NM, TLP, ML, CMT, ADVT, CR_DT) "
                                   "VALUES(%1,1,'x','', '', '','','', '2024.01.02 03:04')").arg(norder));
        for (int i = 1; i <= lines; ++i)
            db->execute(QStringLiteral("INSERT INTO TBL_APTS(IND, IND_APP, IND_PST, VL) VALUES(%1, %2, 7, 1)")
                            .arg(norder * 1000 + i).arg(norder));
    }

    QTemporaryDir dir;
    std::unique_ptr<store::Connection> db;
    clsZak order;
    testsupport::ScriptedMessages boxes;
};

TEST_F(OrderTables, NotesAndHeaderComeBackAfterReopening) {
    testsupport::LocaleGuard ru(QLocale(QLocale::Russian));
    order.contr = "ООО \"Сталь\" д'Артаньян";
    order.rekl = "  выставка ";
    order.state = 2;
    addLine(order, 501, "2,5", "резать по 3 м; д'Арк");
    addLine(order, 502, 12);
    addLine(order, 503, 1, "  ");
    order.SaveOrder();
    const QString date = order.create_date;
    const QString stored = column("SELECT CR_DT FROM TBL_APPS").value(0);
    const QDate written = QDateTime::fromString(stored, "yyyy.MM.dd hh:mm").date();
    ASSERT_TRUE(written.isValid()) << stored.toStdString();
    EXPECT_EQ(written.toString("dd.MM.yyyy"), date);
    EXPECT_EQ(QList<int>({order.norder, order.order_is_locked, pos()}), QList<int>({1, 1, -1}));
    ASSERT_TRUE(QFile::exists(dir.filePath("TBL_APTN.dbf")));

    reopen();
    order.LoadOrder(1);
    EXPECT_EQ(order.contr, "ООО \"Сталь\" д'Артаньян");
    EXPECT_EQ(order.rekl, "выставка");
    EXPECT_EQ(order.state, 2);
    EXPECT_EQ(order.create_date, date);
    EXPECT_EQ(linesOf(order), (QStringList{"1:501:2.5:резать по 3 м; д'Арк", "2:502:12:", "3:503:1:"}));
    EXPECT_EQ(column("SELECT IND FROM TBL_APTN"), QStringList{"1"}) << "blank notes take no row";

    order.MoveTo(0);
    order.setField("prim", "");
    order.MoveTo(1);
    order.setField("prim", "новая");
    order.RemoveRow(2);
    addLine(order, 504, 4);  // takes the freed slot and the next free number
    order.SaveOrder();
    reopen();
    order.LoadOrder(1);
    EXPECT_EQ(linesOf(order), (QStringList{"1:501:2.5:", "2:502:12:новая", "3:504:4:"}));
    EXPECT_EQ(column("SELECT IND FROM TBL_APTN"), QStringList{"2"});
}

// A folder written before notes were kept loads as it is and gains no table by a save without
// notes. An order with more lines than the object holds must not come half loaded: a save of
// what was read would delete the stored lines beyond the last slot.
TEST_F(OrderTables, StoredOrdersLoadWithoutNotesAndAFailedLoadLosesNothing) {
    storeOrder(1, clsZak::kMaxSlot + 2);
    storeOrder(41, 1);
    order.LoadOrder(41);
    EXPECT_EQ(linesOf(order), QStringList{"41001:7:1:"});
    order.SaveOrder();
    EXPECT_FALSE(QFile::exists(dir.filePath("TBL_APTN.dbf")));

    for (int32_t number : {1, 5}) {  // too many lines, no such order
        EXPECT_THROW(order.LoadOrder(number), core::DbError) << number;
        EXPECT_EQ(QList<int>({order.norder, order.RecordCount()}), QList<int>({0, 0})) << number;
    }
    order.SaveOrder();
    EXPECT_EQ(order.norder, 42);
    EXPECT_EQ(column("SELECT COUNT(*) AS N FROM TBL_APTS WHERE IND_APP=1"), QStringList{"102"});
}

// A text the operator typed is data, whatever it holds: a client named "(nolock)" and a
// comment shaped like a source query are saved in the local tables and load back, with no
// central link and with one that must receive nothing.
TEST_F(OrderTables, TextsShapedLikeCentralStatementsAreSavedLocally) {
    db.reset();
    for (bool withCentral : {false, true}) {
        auto central = withCentral ? std::make_unique<RecordingConnection>() : nullptr;
        RecordingConnection* centralLog = central.get();
        store::RoutedConnection cn(store::openFolder(dir.path()), std::move(central));
        clsZak o;
        o.Init();
        o.setConnection(&cn);
        o.contr = "ООО Склад (nolock)";
        o.Comment = "select * from tbl_types (nolock)";
        addLine(o, 501, 1, "exec nom_command1 (nolock)");
        o.SaveOrder();
        const int32_t saved = o.norder;
        o.LoadOrder(saved);
        EXPECT_EQ(QStringList({o.contr, o.Comment}),
                  QStringList({"ООО Склад (nolock)", "select * from tbl_types (nolock)"}))
            << withCentral;
        EXPECT_EQ(linesOf(o).value(0).section(':', 1), "501:1:exec nom_command1 (nolock)") << withCentral;
        if (centralLog) EXPECT_EQ(centralLog->statements(), QStringList{});
    }
}

}  // namespace
