// Saving and loading the order: the exact statements sent, in order, and how the
// object's state follows a failure part-way through.
#include "core/errors.h"
#include "order/clsZak.h"
#include "support/recording_connection.h"
#include "support/scripted_seams.h"

#include <QDate>
#include <QRegularExpression>
#include <gtest/gtest.h>

using core::Value;
using testsupport::RecordingConnection;
using testsupport::Rows;

namespace {

const QString kMaxApps = QStringLiteral("SELECT MAX(IND) AS MAX_IND FROM TBL_APPS");
const QString kMaxApts = QStringLiteral("SELECT MAX(IND) as MAX_IND FROM TBL_APTS");
const QString kInsertApps = QStringLiteral("INSERT INTO TBL_APPS(");

Rows maxInd(const Value& v) { return Rows{{{QStringLiteral("MAX_IND"), v}}}; }

QString headerUpdate(int norder, int state = 0, const QString& contr = {}) {
    return QStringLiteral("UPDATE TBL_APPS SET IND_STT = %1,CGT_NM = '%2',CNT_NM = '',TLP = '',ML = '',CMT = '',"
                          "ADVT = '' WHERE IND=%3")
        .arg(state)
        .arg(contr)
        .arg(norder);
}

class OrderPersistence : public ::testing::Test {
protected:
    void SetUp() override {
        order.Init();
        order.setConnection(&cn);
    }
    void addLine(int32_t idn, const Value& qty, int32_t indTbl = 0) {
        order.InsertRow();
        order.setField("idn", idn);
        order.setField("qty", qty);
        order.setField("ind_tbl", indTbl);
    }

    RecordingConnection cn;
    clsZak order;
    testsupport::ScriptedMessages boxes;
};

TEST_F(OrderPersistence, FirstSaveIntoEmptyTablesTakesNumberOne) {
    cn.answer(kMaxApps, maxInd(Value::null()));
    cn.answer(kMaxApts, Rows{});  // no row at all counts as an empty table too
    addLine(501, 2.5);
    order.state = 1;
    order.contr = "ООО Сталь";

    order.SaveOrder();

    const QStringList sent = cn.statements();
    ASSERT_EQ(sent.size(), 7);
    EXPECT_EQ(sent[0], kMaxApps);
    static const QRegularExpression insert(QStringLiteral(
        R"(^INSERT INTO TBL_APPS\(IND, IND_STT, CGT_NM, CNT_NM, TLP, ML, CMT, ADVT, CR_DT\) VALUES\(1,0,'','', '', '','','', '(\d{4}\.\d{2}\.\d{2} \d{2}:\d{2})'\)$)"));
    const auto m = insert.match(sent[1]);
    ASSERT_TRUE(m.hasMatch()) << sent[1].toStdString();
    EXPECT_EQ(sent[2], headerUpdate(1, 1, QStringLiteral("ООО Сталь")));
    EXPECT_EQ(sent[3], "DELETE FROM TBL_APTS WHERE IND_APP=1");
    EXPECT_EQ(sent[4], kMaxApts);
    EXPECT_EQ(sent[5], "INSERT INTO TBL_APTS(IND, IND_APP, IND_PST, VL) VALUES(1, 1,0,0)");
    EXPECT_EQ(sent[6], "UPDATE TBL_APTS SET IND_PST=501, VL=2.5 WHERE IND=1");

    EXPECT_EQ(order.norder, 1);
    EXPECT_TRUE(order.order_is_locked);
    // The kept date is the date of the moment written into the record.
    const QDate stored = QDate::fromString(m.captured(1).left(10), QStringLiteral("yyyy.MM.dd"));
    ASSERT_TRUE(stored.isValid());
    EXPECT_EQ(order.create_date, stored.toString(QStringLiteral("dd.MM.yyyy")));
    EXPECT_EQ(order.Field("pos"), Value::int16(-1)) << "the walk leaves no current line";
    order.MoveFirst();
    EXPECT_EQ(order.Field("ind_tbl"), Value::int32(1));
}

TEST_F(OrderPersistence, SecondSaveOnlyUpdates) {
    cn.answer(kMaxApps, maxInd(41));
    cn.answer(kMaxApts, maxInd(99));
    addLine(501, 3);
    order.SaveOrder();
    ASSERT_EQ(order.norder, 42);
    cn.clearCalls();

    order.SaveOrder();

    EXPECT_EQ(cn.statements(), (QStringList{headerUpdate(42),
                                            "DELETE FROM TBL_APTS WHERE IND_APP=42 AND NOT IND IN (100)",
                                            "UPDATE TBL_APTS SET IND_PST=501, VL=3 WHERE IND=100"}));
}

TEST_F(OrderPersistence, LoadedOrderWithOneLineDroppedAndOneAdded) {
    order.norder = 5;
    addLine(11, 1, 7);
    addLine(12, 2, 8);
    addLine(13, 3, 9);
    order.RemoveRow(1);
    addLine(14, 4);  // takes the freed slot 1
    cn.answer(kMaxApts, maxInd(30));

    order.SaveOrder();

    EXPECT_EQ(cn.statements(), (QStringList{headerUpdate(5), "DELETE FROM TBL_APTS WHERE IND_APP=5 AND NOT IND IN (7,9)",
                                            "UPDATE TBL_APTS SET IND_PST=11, VL=1 WHERE IND=7", kMaxApts,
                                            "INSERT INTO TBL_APTS(IND, IND_APP, IND_PST, VL) VALUES(31, 5,0,0)",
                                            "UPDATE TBL_APTS SET IND_PST=14, VL=4 WHERE IND=31",
                                            "UPDATE TBL_APTS SET IND_PST=13, VL=3 WHERE IND=9"}));
}

TEST_F(OrderPersistence, NewLinesQueryTheLargestNumberEachTime) {
    order.norder = 3;
    addLine(1, 1);
    addLine(2, 2);
    cn.answer(kMaxApts, maxInd(10));
    cn.answer(kMaxApts, maxInd(11));

    order.SaveOrder();

    EXPECT_EQ(cn.statements(), (QStringList{headerUpdate(3), "DELETE FROM TBL_APTS WHERE IND_APP=3", kMaxApts,
                                            "INSERT INTO TBL_APTS(IND, IND_APP, IND_PST, VL) VALUES(11, 3,0,0)",
                                            "UPDATE TBL_APTS SET IND_PST=1, VL=1 WHERE IND=11", kMaxApts,
                                            "INSERT INTO TBL_APTS(IND, IND_APP, IND_PST, VL) VALUES(12, 3,0,0)",
                                            "UPDATE TBL_APTS SET IND_PST=2, VL=2 WHERE IND=12"}));
}

TEST_F(OrderPersistence, OrderWithoutLinesWritesHeaderAndDeletesAllItsLines) {
    order.norder = 8;
    order.SaveOrder();
    EXPECT_EQ(cn.statements(), (QStringList{headerUpdate(8), "DELETE FROM TBL_APTS WHERE IND_APP=8"}));
}

TEST_F(OrderPersistence, HeaderTextsHaveTheirQuotesDoubled) {
    order.norder = 2;
    order.state = 3;
    order.contr = "O'Brien";
    order.contact_face = "a'b";
    order.contact_face_tel = "'";
    order.contact_face_mail = "m";
    order.Comment = "it's";
    order.rekl = "ad";
    order.SaveOrder();
    EXPECT_EQ(cn.statements().at(0),
              "UPDATE TBL_APPS SET IND_STT = 3,CGT_NM = 'O''Brien',CNT_NM = 'a''b',TLP = '''',ML = 'm',"
              "CMT = 'it''s',ADVT = 'ad' WHERE IND=2");
}

TEST_F(OrderPersistence, QuantityIsWrittenWithAPointUnderARussianLocale) {
    testsupport::LocaleGuard ru(QLocale(QLocale::Russian));
    order.norder = 4;
    order.InsertRow();
    order.setField("idn", 6);
    order.setField("qty", "2,5");  // as the line editor writes it
    order.setField("ind_tbl", 3);
    order.SaveOrder();
    EXPECT_EQ(cn.statements().last(), "UPDATE TBL_APTS SET IND_PST=6, VL=2.5 WHERE IND=3");
}

// A save that fails before the order's record exists must not leave the number behind:
// the next save has to insert the record, not update a record that is not there.
TEST_F(OrderPersistence, FailedOrderInsertionLeavesTheOrderNew) {
    cn.answer(kMaxApps, maxInd(6), RecordingConnection::kForever);
    cn.failPrefix(kInsertApps, "disk full");
    addLine(1, 1);

    EXPECT_THROW(order.SaveOrder(), core::DbError);
    EXPECT_EQ(order.norder, 0);
    EXPECT_FALSE(order.order_is_locked);
    EXPECT_EQ(order.create_date, "");

    cn.clearCalls();
    order.SaveOrder();
    ASSERT_GE(cn.statements().size(), 2);
    EXPECT_TRUE(cn.statements().at(1).startsWith("INSERT INTO TBL_APPS(IND, IND_STT, CGT_NM, CNT_NM, TLP, ML, "
                                                 "CMT, ADVT, CR_DT) VALUES(7,0,"));
    EXPECT_EQ(order.norder, 7);
    EXPECT_TRUE(order.order_is_locked);
}

TEST_F(OrderPersistence, FailureAfterTheInsertionKeepsTheNumber) {
    cn.answer(kMaxApps, maxInd(6));
    cn.failPrefix("UPDATE TBL_APPS");
    EXPECT_THROW(order.SaveOrder(), core::DbError);
    EXPECT_EQ(order.norder, 7);
    EXPECT_TRUE(order.order_is_locked);

    cn.clearCalls();
    order.SaveOrder();
    EXPECT_EQ(cn.statements(), (QStringList{headerUpdate(7), "DELETE FROM TBL_APTS WHERE IND_APP=7"}));
}

TEST_F(OrderPersistence, FailedLineInsertionLeavesTheLineNew) {
    order.norder = 2;
    addLine(1, 1);
    cn.answer(kMaxApts, maxInd(4), RecordingConnection::kForever);
    cn.failPrefix("INSERT INTO TBL_APTS");
    EXPECT_THROW(order.SaveOrder(), core::DbError);
    order.MoveFirst();
    EXPECT_EQ(order.Field("ind_tbl"), Value::int32(0));

    cn.clearCalls();
    order.SaveOrder();
    EXPECT_TRUE(cn.executed().contains("INSERT INTO TBL_APTS(IND, IND_APP, IND_PST, VL) VALUES(5, 2,0,0)"));
}

TEST_F(OrderPersistence, FailedLineUpdateKeepsTheNewLineNumber) {
    order.norder = 2;
    addLine(1, 1);
    cn.answer(kMaxApts, maxInd(4));
    cn.failPrefix("UPDATE TBL_APTS");
    EXPECT_THROW(order.SaveOrder(), core::DbError);
    order.MoveFirst();
    EXPECT_EQ(order.Field("ind_tbl"), Value::int32(5));
}

TEST_F(OrderPersistence, LoadReadsHeaderAndLinesInTheDatabasesOrder) {
    order.create_date = "kept?";
    addLine(99, 9);
    addLine(98, 8);
    cn.answer("SELECT * FROM TBL_APPS WHERE IND=12",
              Rows{{{"IND", 12},
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

    const int32_t ord = 12;
    order.LoadOrder(ord);

    EXPECT_EQ(cn.statements(),
              (QStringList{"SELECT * FROM TBL_APPS WHERE IND=12", "SELECT * FROM TBL_APTS WHERE IND_APP = 12"}));
    EXPECT_EQ(order.norder, 12);
    EXPECT_EQ(order.state, 2);
    EXPECT_EQ(order.contr, "Клиент");
    EXPECT_EQ(order.contact_face, "");
    EXPECT_EQ(order.contact_face_tel, "+7 900");
    EXPECT_EQ(order.contact_face_mail, "");
    EXPECT_EQ(order.Comment, "");
    EXPECT_EQ(order.rekl, "газета");
    EXPECT_EQ(order.create_date, "05.03.2024");
    EXPECT_FALSE(order.order_is_locked);
    EXPECT_EQ(order.RecordCount(), 2);
    EXPECT_EQ(order.Field("pos"), Value::int16(1)) << "the last line added";
    order.MoveTo(0);
    EXPECT_EQ(order.Field("ind_tbl"), Value::int32(30));
    EXPECT_EQ(order.Field("idn"), Value::int32(501));
    EXPECT_EQ(order.Field("qty"), Value::dbl(2.5));
    order.MoveTo(1);
    EXPECT_EQ(order.Field("ind_tbl"), Value::int32(28));
    EXPECT_EQ(order.Field("qty"), Value::dbl(0.0));
}

TEST_F(OrderPersistence, LoadOfAMissingOrderFailsAfterClearing) {
    addLine(1, 1);
    order.contr = "old";
    const int32_t ord = 77;
    EXPECT_THROW(order.LoadOrder(ord), core::DbError);
    EXPECT_EQ(order.RecordCount(), 0);
    EXPECT_EQ(order.contr, "");
    EXPECT_EQ(order.norder, 77);
}

TEST_F(OrderPersistence, LoadOfMoreLinesThanSlotsFailsInsteadOfOverwriting) {
    cn.answerPrefix("SELECT * FROM TBL_APPS", Rows{{{"IND", 1}, {"IND_STT", 1}, {"CGT_NM", "x"}, {"CNT_NM", ""},
                                                    {"TLP", ""}, {"ML", ""}, {"CMT", ""}, {"ADVT", ""},
                                                    {"CR_DT", "2024.01.02 03:04"}}});
    Rows lines;
    for (int i = 1; i <= 102; ++i)
        lines.push_back({{"IND", i}, {"IND_PST", i}, {"VL", 1.0}});
    cn.answerPrefix("SELECT * FROM TBL_APTS", lines);
    const int32_t ord = 1;
    EXPECT_THROW(order.LoadOrder(ord), core::DbError);
    order.MoveTo(100);
    EXPECT_EQ(order.Field("ind_tbl"), Value::int32(101)) << "the last slot keeps its own line";
}

TEST_F(OrderPersistence, ClearSendsTheReleaseOnlyForALockedExchangeOrder) {
    struct Case {
        bool locked;
        int32_t ind;
        bool sends;
    } cases[] = {{true, 15, true}, {true, 0, false}, {false, 15, false}, {true, -3, false}};
    for (const Case& c : cases) {
        cn.clearCalls();
        order.order_is_locked = c.locked;
        order.order_ind = c.ind;
        order.Clear();
        EXPECT_EQ(cn.statements(), c.sends ? QStringList{"exec nom_command 'unlockApp', 15"} : QStringList{})
            << c.locked << " " << c.ind;
        EXPECT_EQ(order.order_ind, 0);
    }
}

TEST_F(OrderPersistence, RefusedReleaseLeavesTheOrderAsItWas) {
    addLine(1, 1);
    order.order_is_locked = true;
    order.order_ind = 15;
    order.contr = "c";
    cn.failPrefix("exec nom_command", "no exchange service");
    EXPECT_THROW(order.Clear(), core::DbError);
    EXPECT_EQ(order.RecordCount(), 1);
    EXPECT_EQ(order.contr, "c");
    EXPECT_TRUE(order.order_is_locked);
}

TEST(OrderWithoutConnection, StatementsFailWithADbError) {
    clsZak order;
    order.Init();
    const int32_t ord = 1;
    EXPECT_THROW(order.SaveOrder(), core::DbError);
    EXPECT_THROW(order.LoadOrder(ord), core::DbError);
    order.order_is_locked = true;
    order.order_ind = 2;
    EXPECT_THROW(order.Clear(), core::DbError);
    order.order_ind = 0;
    EXPECT_NO_THROW(order.Clear()) << "nothing to send, nothing needed";
}

// The program's Cn routes the exchange commands to the central link and keeps the rest local.
TEST(OrderRelease, GoesToTheCentralLinkThroughTheRoutedConnection) {
    auto local = std::make_unique<RecordingConnection>();
    auto central = std::make_unique<RecordingConnection>();
    RecordingConnection* localLog = local.get();
    RecordingConnection* centralLog = central.get();
    store::RoutedConnection cn(std::move(local), std::move(central));
    clsZak order;
    order.Init();
    order.setConnection(&cn);
    order.order_is_locked = true;
    order.order_ind = 31;

    order.Clear();

    EXPECT_EQ(centralLog->statements(), QStringList{"exec nom_command 'unlockApp', 31"});
    EXPECT_TRUE(localLog->statements().isEmpty());
    EXPECT_FALSE(order.order_is_locked);
}

TEST(OrderRelease, FailsWithoutACentralLinkBeforeAnythingIsReset) {
    auto local = std::make_unique<RecordingConnection>();
    RecordingConnection* localLog = local.get();
    store::RoutedConnection cn(std::move(local), nullptr);
    clsZak order;
    order.Init();
    order.setConnection(&cn);
    order.InsertRow();
    order.order_is_locked = true;
    order.order_ind = 31;
    order.contr = "c";

    EXPECT_THROW(order.Clear(), core::DbError);

    EXPECT_TRUE(localLog->statements().isEmpty()) << "the local store never sees the command";
    EXPECT_EQ(order.order_ind, 31);
    EXPECT_EQ(order.contr, "c");
    EXPECT_EQ(order.RecordCount(), 1);
}

}  // namespace
