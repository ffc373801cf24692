#pragma once
// A small real table folder for the basket's tests, installed as Cn behind a
// RecordingConnection (so that tests read what was sent or script failures) for the
// lifetime of the object. The shared state comes back afterwards (GlobalGuard).

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <memory>

#include "db/schema.h"
#include "global/global.h"
#include "store/dbf_connection.h"
#include "support/global_guard.h"
#include "support/recording_connection.h"

namespace basket_test {

class BasketDb {
public:
    BasketDb() {
        real_ = store::openFolder(dir_.path());
        for (const char* t : {"TBL_APPS", "TBL_APTS", "TBL_CORD", "TBL_GRPS", "TBL_PSTS", "TBL_CTS", "TBL_BSS",
                              "TBL_PRSS", "TBL_STFS", "TBL_CSTS"})
            exec(db::createStatement(t));
        Global::CurrentOrder().Clear();
        Global::CurrentOrder().Init();
        recorder_ = new testsupport::RecordingConnection(real_.get());
        Global::setCn(std::unique_ptr<store::Connection>(recorder_));
    }

    testsupport::RecordingConnection& recorder() { return *recorder_; }
    void exec(const QString& sql) { real_->execute(sql); }
    // The first field of the first record of a query on the real store.
    core::Value first(const QString& sql) { return real_->open(sql)->field(QStringLiteral("N")); }

    // Appends an order line to CurrentOrder and returns its slot.
    static int addLine(int idn, double qty, const QString& note = QString()) {
        clsZak& o = Global::CurrentOrder();
        const int slot = o.InsertRow();
        o.setField(QStringLiteral("idn"), idn);
        o.setField(QStringLiteral("qty"), core::Value::dbl(qty));
        if (!note.isEmpty()) o.setField(QStringLiteral("prim"), note);
        return slot;
    }

    // Three positions, four bases in three cities, base 1 with two price lists (the
    // second cheaper for rebar from 3 t), base 3 without the tube, base 4 selling rebar
    // only from 5 t and the tube from 0.5 t.
    void fillCatalogue() {
        for (const char* rows :
             {"TBL_GRPS VALUES (10,1,'Арматура'),(11,1,'Уголок'),(12,1,'Труба профильная')",
              "TBL_PSTS VALUES (100,10,'Арматура А500С ф12 11,7 м'),(101,11,'Уголок 50х50х5 ст3 12 м'),"
              "(102,12,'Труба 40х20х2 6 м')",
              "TBL_CTS VALUES (1,1,'Екатеринбург'),(2,1,'Москва'),(3,1,'Челябинск')",
              "TBL_BSS VALUES (1,2,1,'Металлобаза Север'),(2,1,2,'СтальСнаб'),(3,3,3,'УралМет'),"
              "(4,2,4,'Электросталь')",
              "TBL_PRSS VALUES (1,1,'прайс'),(2,2,'прайс'),(3,3,'прайс'),(4,4,'прайс'),(5,1,'прайс')",
              "TBL_STFS VALUES (1,100,1,'т'),(2,100,5,'т'),(3,101,1,'т'),(4,102,1,'т'),(5,100,2,'т'),"
              "(6,101,2,'т'),(7,102,2,'т'),(8,100,3,'т'),(9,101,3,'т'),(10,100,4,'т'),(11,101,4,'т'),"
              "(12,102,4,'т')",
              "TBL_CSTS VALUES (1,1,0,3,52000),(2,1,3,10,51000),(3,2,3,1000,50500),(4,3,0,1000,61000),"
              "(5,4,0,1000,70000),(6,5,0,1000,51500),(7,6,0,1000,60000),(8,7,0,1000,72000),"
              "(9,8,0,1000,49900),(10,9,0,1000,59500),(11,10,5,1000,48000),(12,11,0,1000,62000),"
              "(13,12,0.5,1000,69000)"})
            exec(QStringLiteral("INSERT INTO ") + QString::fromUtf8(rows));
    }

private:
    QTemporaryDir dir_;
    std::unique_ptr<store::Connection> real_;
    testsupport::GlobalGuard guard_;  // gives Cn back before real_ goes
    testsupport::RecordingConnection* recorder_ = nullptr;
};

}  // namespace basket_test
