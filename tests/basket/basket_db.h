#pragma once
// A small real table folder for the basket's tests: the tables the comparison and the
// order persistence use, created with the program's own statements, installed as Cn
// for the lifetime of the object. CurrentOrder and the previous Cn come back afterwards.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <memory>

#include "global/global.h"
#include "store/dbf_connection.h"
#include "support/recording_connection.h"

namespace basket_test {

class BasketDb {
public:
    // recording: every statement goes through a RecordingConnection in front of the
    // store, so that tests can read what was sent or script failures.
    explicit BasketDb(bool recording = true) {
        EXPECT_TRUE(dir_.isValid());
        real_ = store::openFolder(dir_.path());
        for (const char* sql : kCreate) real_->execute(QString::fromUtf8(sql));
        savedOrder_ = Global::CurrentOrder();
        Global::CurrentOrder().Clear();
        Global::CurrentOrder().Init();
        if (recording) {
            auto rec = std::make_unique<testsupport::RecordingConnection>(real_.get());
            recorder_ = rec.get();
            previousCn_ = Global::setCn(std::move(rec));
        } else {
            previousCn_ = Global::setCn(std::make_unique<Forward>(real_.get()));
        }
    }
    ~BasketDb() {
        Global::CurrentOrder() = savedOrder_;
        Global::setCn(std::move(previousCn_));
    }
    BasketDb(const BasketDb&) = delete;
    BasketDb& operator=(const BasketDb&) = delete;

    store::Connection& store() { return *real_; }
    testsupport::RecordingConnection& recorder() { return *recorder_; }
    QString folder() const { return dir_.path(); }
    void exec(const QString& sql) { real_->execute(sql); }

    // Reference data, one record per call.
    void group(int ind, int type, const QString& name) {
        exec(QStringLiteral("INSERT INTO TBL_GRPS (IND, IND_TP, GRP_NM) VALUES (%1, %2, '%3')")
                 .arg(ind)
                 .arg(type)
                 .arg(name));
    }
    void position(int ind, int grp, const QString& name) {
        exec(QStringLiteral("INSERT INTO TBL_PSTS (IND, IND_GRP, PST_NM) VALUES (%1, %2, '%3')")
                 .arg(ind)
                 .arg(grp)
                 .arg(name));
    }
    void city(int ind, const QString& name) {
        exec(QStringLiteral("INSERT INTO TBL_CTS (IND, IND_RGN, CT_NM) VALUES (%1, 1, '%2')")
                 .arg(ind)
                 .arg(name));
    }
    void base(int ind, int city, const QString& name) {
        exec(QStringLiteral("INSERT INTO TBL_BSS (IND, IND_CT, IND_ORG, BS_NM) VALUES (%1, %2, %1, '%3')")
                 .arg(ind)
                 .arg(city)
                 .arg(name));
    }
    void priceList(int ind, int base) {
        exec(QStringLiteral("INSERT INTO TBL_PRSS (IND, IND_BS, PRS_NM) VALUES (%1, %2, 'прайс %1')")
                 .arg(ind)
                 .arg(base));
    }
    void offer(int ind, int position, int priceList) {
        exec(QStringLiteral(
                 "INSERT INTO TBL_STFS (IND, IND_PST, IND_PRS, TO_OUT) VALUES (%1, %2, %3, 'товар')")
                 .arg(ind)
                 .arg(position)
                 .arg(priceList));
    }
    // Bands are written with a point, as every statement of the program writes numbers.
    void band(int ind, int offer, const char* from, const char* to, const char* cost) {
        exec(QStringLiteral(
                 "INSERT INTO TBL_CSTS (IND, IND_STF, VL_FRM, VL_TO, CST) VALUES (%1, %2, %3, %4, %5)")
                 .arg(ind)
                 .arg(offer)
                 .arg(QLatin1String(from), QLatin1String(to), QLatin1String(cost)));
    }

    // Appends an order line to CurrentOrder.
    static int addLine(int idn, double qty, const QString& note = QString()) {
        clsZak& o = Global::CurrentOrder();
        const int slot = o.InsertRow();
        o.setField(QStringLiteral("idn"), idn);
        o.setField(QStringLiteral("qty"), core::Value::dbl(qty));
        if (!note.isEmpty()) o.setField(QStringLiteral("prim"), note);
        return slot;
    }

    // A realistic little catalogue: three positions, four bases in three cities, one of
    // them with two price lists; base 3 lacks the tube, base 4 sells rebar only from 5 t.
    void fillCatalogue() {
        group(10, 1, QStringLiteral("Арматура"));
        group(11, 1, QStringLiteral("Уголок"));
        group(12, 1, QStringLiteral("Труба профильная"));
        position(100, 10, QStringLiteral("Арматура А500С ф12 11,7 м"));
        position(101, 11, QStringLiteral("Уголок 50х50х5 ст3 12 м"));
        position(102, 12, QStringLiteral("Труба 40х20х2 6 м"));
        city(1, QStringLiteral("Екатеринбург"));
        city(2, QStringLiteral("Москва"));
        city(3, QStringLiteral("Челябинск"));
        base(1, 2, QStringLiteral("Металлобаза Север"));
        base(2, 1, QStringLiteral("СтальСнаб"));
        base(3, 3, QStringLiteral("УралМет"));
        base(4, 2, QStringLiteral("Электросталь"));
        priceList(1, 1);
        priceList(2, 2);
        priceList(3, 3);
        priceList(4, 4);
        priceList(5, 1);  // a second price list of base 1

        // Base 1: two price lists, the second one cheaper for rebar from 3 t.
        offer(1, 100, 1);
        band(1, 1, "0", "3", "52000");
        band(2, 1, "3", "10", "51000");
        offer(2, 100, 5);
        band(3, 2, "3", "1000", "50500");
        offer(3, 101, 1);
        band(4, 3, "0", "1000", "61000");
        offer(4, 102, 1);
        band(5, 4, "0", "1000", "70000");
        // Base 2: everything, a single band each.
        offer(5, 100, 2);
        band(6, 5, "0", "1000", "51500");
        offer(6, 101, 2);
        band(7, 6, "0", "1000", "60000");
        offer(7, 102, 2);
        band(8, 7, "0", "1000", "72000");
        // Base 3: no tube.
        offer(8, 100, 3);
        band(9, 8, "0", "1000", "49900");
        offer(9, 101, 3);
        band(10, 9, "0", "1000", "59500");
        // Base 4: rebar from 5 t only, angle from 0.
        offer(10, 100, 4);
        band(11, 10, "5", "1000", "48000");
        offer(11, 101, 4);
        band(12, 11, "0", "1000", "62000");
        offer(12, 102, 4);
        band(13, 12, "0.5", "1000", "69000");
    }

private:
    // Passes every statement to the store unchanged.
    class Forward final : public store::Connection {
    public:
        explicit Forward(store::Connection* to) : to_(to) {}
        void execute(const QString& sql) override { to_->execute(sql); }
        std::unique_ptr<store::RecordSet> open(const QString& sql) override { return to_->open(sql); }

    private:
        store::Connection* to_;
    };

    static constexpr const char* kCreate[] = {
        "CREATE TABLE TBL_APPS (IND int,IND_STT int,CGT_NM varchar(250),CNT_NM varchar(250),TLP varchar(250),"
        "ML varchar(250),CMT varchar(250),ADVT varchar(250),CR_DT varchar(25))",
        "CREATE TABLE TBL_APTS (IND int,IND_APP int,IND_PST int,VL double)",
        "CREATE TABLE TBL_CORD (IND int,IND_PST int,VL double)",
        "CREATE TABLE TBL_GRPS (IND int,IND_TP int,GRP_NM varchar (250))",
        "CREATE TABLE TBL_PSTS (IND int,IND_GRP int,PST_NM varchar (250))",
        "CREATE TABLE TBL_CTS (IND int,IND_RGN int,CT_NM varchar (250))",
        "CREATE TABLE TBL_BSS (IND int,IND_CT int,IND_ORG int,BS_NM varchar (250))",
        "CREATE TABLE TBL_PRSS (IND int,IND_BS int,PRS_NM varchar (250))",
        "CREATE TABLE TBL_STFS (IND int,IND_PST int,IND_PRS int,TO_OUT varchar (250))",
        "CREATE TABLE TBL_CSTS (IND int,IND_STF int,VL_FRM double,VL_TO double,CST double)",
    };

    QTemporaryDir dir_;
    std::unique_ptr<store::Connection> real_;
    testsupport::RecordingConnection* recorder_ = nullptr;
    std::unique_ptr<store::Connection> previousCn_;
    clsZak savedOrder_;
};

}  // namespace basket_test
