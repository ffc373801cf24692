// Saving and loading an order through real .dbf tables in a scratch folder.
#include "core/errors.h"
#include "order/clsZak.h"
#include "store/dbf_connection.h"
#include "support/recording_connection.h"
#include "support/scripted_seams.h"

#include <QDate>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using core::Value;

namespace {

class OrderTables : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        db = store::openFolder(dir.path());
        ASSERT_TRUE(db);
        db->execute(QStringLiteral("CREATE TABLE TBL_APPS (IND int,IND_STT int,CGT_NM varchar(250),CNT_NM "
                                   "varchar(250),TLP varchar(250),ML varchar(250),CMT varchar(250),ADVT "
                                   "varchar(250),CR_DT varchar(25))"));
        db->execute(QStringLiteral("CREATE TABLE TBL_APTS (IND int,IND_APP int,IND_PST int,VL double)"));
        order.Init();
        order.setConnection(db.get());
    }

    void addLine(int32_t idn, const Value& qty) {
        order.InsertRow();
        order.setField("idn", idn);
        order.setField("qty", qty);
    }
    // The stored lines of an order as "IND:IND_PST:VL", in the store's order.
    QStringList storedLines(int32_t norder) {
        QStringList out;
        auto rs = db->open(QStringLiteral("SELECT * FROM TBL_APTS WHERE IND_APP = %1 ORDER BY IND").arg(norder));
        for (; !rs->eof(); rs->moveNext())
            out << QStringLiteral("%1:%2:%3")
                       .arg(rs->field("IND").toText(), rs->field("IND_PST").toText(), rs->field("VL").toText());
        rs->close();
        return out;
    }

    QTemporaryDir dir;
    std::unique_ptr<store::Connection> db;
    clsZak order;
    testsupport::ScriptedMessages boxes;
};

TEST_F(OrderTables, SaveAndLoadRoundTrip) {
    testsupport::LocaleGuard ru(QLocale(QLocale::Russian));
    order.state = 1;
    order.contr = "ООО \"Сталь\" д'Артаньян";
    order.contact_face = "Иванов";
    order.contact_face_tel = "+7 (900) 000-00-00";
    order.contact_face_mail = "a@b.ru";
    order.Comment = "срочно";
    order.rekl = "  выставка ";
    addLine(501, "2,5");
    addLine(502, 12);

    order.SaveOrder();
    ASSERT_EQ(order.norder, 1);

    auto rs = db->open(QStringLiteral("SELECT * FROM TBL_APPS WHERE IND=1"));
    ASSERT_FALSE(rs->eof());
    const QString stored = rs->field("CR_DT").toText();
    EXPECT_EQ(rs->field("IND_STT"), Value::int32(1));
    rs->close();
    static const QRegularExpression form(QStringLiteral(R"(^\d{4}\.\d{2}\.\d{2} \d{2}:\d{2}$)"));
    EXPECT_TRUE(form.match(stored).hasMatch()) << stored.toStdString();
    EXPECT_EQ(storedLines(1), (QStringList{"1:501:2,5", "2:502:12"}));

    clsZak loaded;
    loaded.Init();
    loaded.setConnection(db.get());
    const int32_t ord = 1;
    loaded.LoadOrder(ord);

    EXPECT_EQ(loaded.norder, 1);
    EXPECT_EQ(loaded.state, 1);
    EXPECT_EQ(loaded.contr, order.contr);
    EXPECT_EQ(loaded.contact_face, "Иванов");
    EXPECT_EQ(loaded.contact_face_tel, "+7 (900) 000-00-00");
    EXPECT_EQ(loaded.contact_face_mail, "a@b.ru");
    EXPECT_EQ(loaded.Comment, "срочно");
    EXPECT_EQ(loaded.rekl, "выставка");
    EXPECT_EQ(loaded.create_date,
              QDate::fromString(stored.left(10), QStringLiteral("yyyy.MM.dd")).toString(QStringLiteral("dd.MM.yyyy")));
    EXPECT_EQ(loaded.create_date, order.create_date);
    ASSERT_EQ(loaded.RecordCount(), 2);
    loaded.MoveTo(0);
    EXPECT_EQ(loaded.Field("ind_tbl"), Value::int32(1));
    EXPECT_EQ(loaded.Field("idn"), Value::int32(501));
    EXPECT_EQ(loaded.Field("qty"), Value::dbl(2.5));
    loaded.MoveTo(1);
    EXPECT_EQ(loaded.Field("idn"), Value::int32(502));
    EXPECT_EQ(loaded.Field("qty"), Value::dbl(12.0));
}

TEST_F(OrderTables, ResavingReconcilesTheLines) {
    addLine(501, 1);
    addLine(502, 2);
    addLine(503, 3);
    order.SaveOrder();
    clsZak other;  // a second order takes the next numbers
    other.Init();
    other.setConnection(db.get());
    other.InsertRow();
    other.setField("idn", 900);
    other.SaveOrder();
    ASSERT_EQ(other.norder, 2);

    order.RemoveRow(1);
    addLine(504, 4.25);
    order.MoveTo(0);
    order.setField("qty", 1.5);
    order.SaveOrder();

    EXPECT_EQ(storedLines(1), (QStringList{"1:501:1.5", "3:503:3", "5:504:4.25"}));
    EXPECT_EQ(storedLines(2), (QStringList{"4:900:0"}));
}

TEST_F(OrderTables, NewOrderNumberFollowsTheLargestStored) {
    db->execute(QStringLiteral("INSERT INTO TBL_APPS(IND, IND_STT, CGT_NM, CNT_NM, TLP, ML, CMT, ADVT, CR_DT) "
                               "VALUES(41,2,'x','', '', '','','', '2020.01.02 03:04')"));
    order.SaveOrder();
    EXPECT_EQ(order.norder, 42);
    auto rs = db->open(QStringLiteral("SELECT COUNT(*) AS N FROM TBL_APPS"));
    EXPECT_EQ(rs->field("N").toInt32(), 2);
}

TEST_F(OrderTables, LoadingAnUnknownOrderFails) {
    const int32_t ord = 5;
    EXPECT_THROW(order.LoadOrder(ord), core::DbError);
}

}  // namespace
