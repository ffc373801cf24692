// Saving and loading the order: the exact statements sent, how the object follows a
// failure part-way through, and the round trip through real .dbf tables, notes included.
#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
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

Rows maxInd(const Value& v) {
    return Rows{{{QStringLiteral("MAX_IND"), v}}};
}

QString headerUpdate(int norder, int state = 0, const QString& contr = {}) {
    return QStringLiteral(
               "UPDATE TBL_APPS SET IND_STT = %1,CGT_NM = '%2',CNT_NM = '',TLP = '',ML = '',CMT = '',"
               "ADVT = '' WHERE IND=%3")
        .arg(state)
        .arg(contr)
        .arg(norder);
}
QString notesCleanup(int norder) {
    return QStringLiteral(
               "DELETE FROM TBL_APTN WHERE IND IN (SELECT IND FROM TBL_APTS WHERE IND_APP=%1) OR NOT IND "
               "IN (SELECT IND FROM TBL_APTS WHERE NOT IND IS NULL)")
        .arg(norder);
}
QString newLine(int ind, int norder) {
    return QStringLiteral("INSERT INTO TBL_APTS(IND, IND_APP, IND_PST, VL) VALUES(%1, %2,0,0)")
        .arg(ind)
        .arg(norder);
}

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

class OrderPersistence : public ::testing::Test {
protected:
    void SetUp() override {
        order.Init();
        order.setConnection(&cn);
    }
    RecordingConnection cn;
    clsZak order;
    testsupport::ScriptedMessages boxes;
};

TEST_F(OrderPersistence, FirstSaveIntoEmptyTablesTakesNumberOne) {
    cn.answer(kMaxApps, maxInd(Value::null()));
    cn.answer(kMaxApts, Rows{});  // no row at all counts as an empty table too
    addLine(order, 501, 2.5, "резка");
    order.state = 1;
    order.contr = "ООО \"Сталь\" д'Арк (nolock)";

    order.SaveOrder();

    const QStringList sent = cn.statements();
    ASSERT_EQ(sent.size(), 9);
    EXPECT_EQ(sent[0], kMaxApps);
    static const QRegularExpression insert(QStringLiteral(
        R"(^INSERT INTO TBL_APPS\(IND, IND_STT, CGT_NM, CNT_NM, TLP, ML, CMT, ADVT, CR_DT\) VALUES\(1,0,'','', '', '','','', '(\d{4})\.(\d{2})\.(\d{2}) \d{2}:\d{2}'\)$)"));
    const auto m = insert.match(sent[1]);
    ASSERT_TRUE(m.hasMatch()) << sent[1].toStdString();
    EXPECT_EQ(sent.mid(2),
              (QStringList{headerUpdate(1, 1, QStringLiteral("ООО \"Сталь\" д''Арк (nolock)")),
                           "DELETE FROM TBL_APTS WHERE IND_APP=1", kMaxApts, newLine(1, 1),
                           "UPDATE TBL_APTS SET IND_PST=501, VL=2.5 WHERE IND=1", notesCleanup(1),
                           "INSERT INTO TBL_APTN(IND, PRIM) VALUES(1, 'резка')"}));
    EXPECT_EQ(QList<int>({order.norder, order.order_is_locked}), QList<int>({1, 1}));
    EXPECT_EQ(order.create_date, m.captured(3) + "." + m.captured(2) + "." + m.captured(1));
    EXPECT_EQ(order.Field("pos"), Value::int16(-1)) << "the walk leaves no current line";
}

TEST_F(OrderPersistence, ResaveKeepsStoredLinesAndNumbersEachNewOne) {
    testsupport::LocaleGuard ru(QLocale(QLocale::Russian));
    order.norder = 5;
    addLine(order, 11, "1,5", "", 7);
    addLine(order, 12, 2, "", 8);
    addLine(order, 13, 3, "", 9);
    order.RemoveRow(1);
    addLine(order, 14, 4);  // takes the freed slot 1
    addLine(order, 15, 5);
    cn.answer(kMaxApts, maxInd(30));
    cn.answer(kMaxApts, maxInd(31));

    order.SaveOrder();

    EXPECT_EQ(cn.statements(),
              (QStringList{headerUpdate(5), "DELETE FROM TBL_APTS WHERE IND_APP=5 AND NOT IND IN (7,9)",
                           "UPDATE TBL_APTS SET IND_PST=11, VL=1.5 WHERE IND=7", kMaxApts, newLine(31, 5),
                           "UPDATE TBL_APTS SET IND_PST=14, VL=4 WHERE IND=31",
                           "UPDATE TBL_APTS SET IND_PST=13, VL=3 WHERE IND=9", kMaxApts, newLine(32, 5),
                           "UPDATE TBL_APTS SET IND_PST=15, VL=5 WHERE IND=32", notesCleanup(5)}));
}

// Only a record that exists gives the order its number, and only a stored line keeps its own:
// the next save must insert what a failed one did not, and update what it did.
TEST_F(OrderPersistence, FailedSaveKeepsOnlyTheNumbersOfWhatWasStored) {
    const struct {
        const char* failing;
        int before, after, line;
    } cases[] = {{"INSERT INTO TBL_APPS(", 0, 0, 0},
                 {"UPDATE TBL_APPS", 0, 7, 0},
                 {"INSERT INTO TBL_APTS", 2, 2, 0},
                 {"UPDATE TBL_APTS", 2, 2, 5}};
    for (const auto& c : cases) {
        RecordingConnection rec;
        order.Clear();
        order.create_date.clear();
        order.setConnection(&rec);
        order.norder = c.before;
        addLine(order, 1, 1);
        rec.answer(kMaxApps, maxInd(6), RecordingConnection::kForever);
        rec.answer(kMaxApts, maxInd(4), RecordingConnection::kForever);
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

TEST_F(OrderPersistence, LoadReadsHeaderLinesAndNotes) {
    addLine(order, 99, 9);
    cn.answer("SELECT * FROM TBL_APPS WHERE IND=12", Rows{{{"IND", 12},
                                                           {"IND_STT", 2},
                                                           {"CGT_NM", "Клиент"},
                                                           {"CNT_NM", Value::null()},
                                                           {"TLP", "+7 900"},
                                                           {"ML", ""},
                                                           {"CMT", Value::null()},
                                                           {"ADVT", "  газета  "},
                                                           {"CR_DT", "2024.03.05 17:45"}}});
    cn.answer("SELECT * FROM TBL_APTS WHERE IND_APP = 12",
              Rows{{{"IND", 30}, {"IND_APP", 12}, {"IND_PST", 501}, {"VL", 2.5}},
                   {{"IND", 28}, {"IND_APP", 12}, {"IND_PST", 502}, {"VL", Value::null()}}});
    const QString notes =
        "SELECT IND, PRIM FROM TBL_APTN WHERE IND IN (SELECT IND FROM TBL_APTS WHERE IND_APP=12)";
    cn.answer(notes, Rows{{{"IND", 28}, {"PRIM", "кромка"}}});

    order.LoadOrder(12);

    EXPECT_EQ(cn.statements(), (QStringList{"SELECT * FROM TBL_APPS WHERE IND=12",
                                            "SELECT * FROM TBL_APTS WHERE IND_APP = 12", notes}));
    EXPECT_EQ(QStringList({QString::number(order.norder), QString::number(order.state), order.contr,
                           order.contact_face, order.contact_face_tel, order.Comment, order.rekl,
                           order.create_date}),
              (QStringList{"12", "2", "Клиент", "", "+7 900", "", "газета", "05.03.2024"}));
    EXPECT_EQ(linesOf(order), (QStringList{"30:501:2.5:", "28:502:0:кромка"}));
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
    const struct {
        bool locked;
        int32_t ind;
        bool sends;
    } cases[] = {{true, 15, true}, {true, 0, false}, {false, 15, false}, {true, -3, false}};
    for (const auto& c : cases) {
        centralLog->clearCalls();
        order.order_is_locked = c.locked;
        order.order_ind = c.ind;
        order.Clear();
        EXPECT_EQ(centralLog->statements(),
                  c.sends ? QStringList{"exec nom_command 'unlockApp', 15"} : QStringList{});
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
    QStringList column(const QString& sql) {
        QStringList out;
        for (auto rs = db->open(sql); !rs->eof(); rs->moveNext())
            out << rs->field(rs->fieldNames().first()).toText();
        return out;
    }
    void storeOrder(int norder, int lines) {
        db->execute(
            QStringLiteral("INSERT INTO TBL_APPS(IND, IND_STT, CGT_NM, CNT_NM, TLP, ML, CMT, ADVT, CR_DT) "
                           "VALUES(%1,1,'x','', '', '','','', '2024.01.02 03:04')")
                .arg(norder));
        for (int i = 1; i <= lines; ++i)
            db->execute(QStringLiteral("INSERT INTO TBL_APTS(IND, IND_APP, IND_PST, VL) VALUES(%1, %2, 7, 1)")
                            .arg(norder * 1000 + i)
                            .arg(norder));
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
    addLine(order, 501, "2,5", "резать по 3 м; д'Арк");
    addLine(order, 502, 12);
    addLine(order, 503, 1, "  ");
    order.SaveOrder();
    const QString date = order.create_date;
    ASSERT_TRUE(QFile::exists(dir.filePath("TBL_APTN.dbf")));

    reopen();
    order.LoadOrder(1);
    EXPECT_EQ(order.contr, "ООО \"Сталь\" д'Артаньян");
    EXPECT_EQ(order.rekl, "выставка");
    EXPECT_EQ(order.create_date, date);
    EXPECT_EQ(linesOf(order), (QStringList{"1:501:2.5:резать по 3 м; д'Арк", "2:502:12:", "3:503:1:"}));
    EXPECT_EQ(column("SELECT IND FROM TBL_APTN"), QStringList{"1"}) << "blank notes take no row";

    order.MoveTo(0);
    order.setField("prim", "");
    order.MoveTo(1);
    order.setField("prim", "новая");
    order.RemoveRow(2);
    order.SaveOrder();
    reopen();
    order.LoadOrder(1);
    EXPECT_EQ(linesOf(order), (QStringList{"1:501:2.5:", "2:502:12:новая"}));
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
