#pragma once
// A small catalogue database built in a temporary folder through the real store, with
// a recording connection in front of it as Cn, and a guard that puts the shared state
// (Cn, CurrentOrder, CatalogueOpen, the dialog seam, the dpi, the screen) back.

#include <gtest/gtest.h>

#include <QDir>
#include <QStringList>
#include <QTemporaryDir>

#include "global/global.h"
#include "catalogue/positions.h"
#include "ui/twips.h"
#include "store/dbf_connection.h"
#include "support/global_guard.h"
#include "support/recording_connection.h"

namespace testcat {

inline const QStringList& createStatements() {
    static const QStringList s = {
        QStringLiteral("CREATE TABLE TBL_TPS (IND int,TP_NM varchar (250))"),
        QStringLiteral("CREATE TABLE TBL_GRPS (IND int,IND_TP int,GRP_NM varchar (250))"),
        QStringLiteral("CREATE TABLE TBL_PSTS (IND int,IND_GRP int,PST_NM varchar (250))"),
        QStringLiteral("CREATE TABLE TBL_RGNS (IND int,RGN_NM varchar (250))"),
        QStringLiteral("CREATE TABLE TBL_CTS (IND int,IND_RGN int,CT_NM varchar (250))"),
        QStringLiteral("CREATE TABLE TBL_ORGS (IND int,ORG_NM varchar (250))"),
        QStringLiteral("CREATE TABLE TBL_BSS (IND int,IND_CT int,IND_ORG int,BS_NM varchar (250))"),
        QStringLiteral("CREATE TABLE TBL_PRSS (IND int,IND_BS int,PRS_NM varchar (250))"),
        QStringLiteral("CREATE TABLE TBL_STFS (IND int,IND_PST int,IND_PRS int,TO_OUT varchar (250))"),
        QStringLiteral("CREATE TABLE TBL_CSTS (IND int,IND_STF int,VL_FRM double,VL_TO double,CST double)"),
    };
    return s;
}

// The hand-made catalogue most tests use.
//   Types (by name): Листовой прокат (3, no groups), Сортовой прокат (1), Трубы (2).
//   Groups of type 1: Арматура (10), Круг (11, one position without offers);
//   of type 2: " Трубы ВГП " (21, blanks around), Трубы профильные (20).
//   Bases by region, city, name: Урал/Екатеринбург/Склад ЕКБ (2),
//   Центр/Москва/Склад Москва-1 (1), Центр/Тула/Тульская база (3).
//   Positions of Арматура: 100 "Арматура 12 А500С" with three offers (bands 0-5, 5-10,
//   10-0 at base 1; 0-0 at base 2; 0-7 at base 3), 101 and 103 both named
//   "Арматура 10 А500С", 102 without offers.
inline const QStringList& sampleData() {
    static const QStringList s = {
        QStringLiteral("INSERT INTO TBL_TPS (IND, TP_NM) VALUES (1, 'Сортовой прокат')"),
        QStringLiteral("INSERT INTO TBL_TPS (IND, TP_NM) VALUES (2, 'Трубы')"),
        QStringLiteral("INSERT INTO TBL_TPS (IND, TP_NM) VALUES (3, 'Листовой прокат')"),
        QStringLiteral("INSERT INTO TBL_GRPS (IND, IND_TP, GRP_NM) VALUES (10, 1, 'Арматура')"),
        QStringLiteral("INSERT INTO TBL_GRPS (IND, IND_TP, GRP_NM) VALUES (11, 1, 'Круг')"),
        QStringLiteral("INSERT INTO TBL_GRPS (IND, IND_TP, GRP_NM) VALUES (20, 2, 'Трубы профильные')"),
        QStringLiteral("INSERT INTO TBL_GRPS (IND, IND_TP, GRP_NM) VALUES (21, 2, ' Трубы ВГП ')"),
        QStringLiteral("INSERT INTO TBL_PSTS (IND, IND_GRP, PST_NM) VALUES (100, 10, 'Арматура 12 А500С')"),
        QStringLiteral("INSERT INTO TBL_PSTS (IND, IND_GRP, PST_NM) VALUES (101, 10, 'Арматура 10 А500С')"),
        QStringLiteral("INSERT INTO TBL_PSTS (IND, IND_GRP, PST_NM) VALUES (102, 10, 'Арматура 16 А500С')"),
        QStringLiteral("INSERT INTO TBL_PSTS (IND, IND_GRP, PST_NM) VALUES (103, 10, 'Арматура 10 А500С')"),
        QStringLiteral("INSERT INTO TBL_PSTS (IND, IND_GRP, PST_NM) VALUES (110, 11, 'Круг 20 ст3')"),
        QStringLiteral("INSERT INTO TBL_RGNS (IND, RGN_NM) VALUES (1, 'Центр')"),
        QStringLiteral("INSERT INTO TBL_RGNS (IND, RGN_NM) VALUES (2, 'Урал')"),
        QStringLiteral("INSERT INTO TBL_CTS (IND, IND_RGN, CT_NM) VALUES (1, 1, 'Москва')"),
        QStringLiteral("INSERT INTO TBL_CTS (IND, IND_RGN, CT_NM) VALUES (2, 2, 'Екатеринбург')"),
        QStringLiteral("INSERT INTO TBL_CTS (IND, IND_RGN, CT_NM) VALUES (3, 1, 'Тула')"),
        QStringLiteral("INSERT INTO TBL_ORGS (IND, ORG_NM) VALUES (1, 'Металлсервис')"),
        QStringLiteral(
            "INSERT INTO TBL_BSS (IND, IND_CT, IND_ORG, BS_NM) VALUES (1, 1, 1, 'Склад Москва-1')"),
        QStringLiteral("INSERT INTO TBL_BSS (IND, IND_CT, IND_ORG, BS_NM) VALUES (2, 2, 1, 'Склад ЕКБ')"),
        QStringLiteral("INSERT INTO TBL_BSS (IND, IND_CT, IND_ORG, BS_NM) VALUES (3, 3, 1, 'Тульская база')"),
        QStringLiteral("INSERT INTO TBL_PRSS (IND, IND_BS, PRS_NM) VALUES (1, 1, 'Прайс Москва')"),
        QStringLiteral("INSERT INTO TBL_PRSS (IND, IND_BS, PRS_NM) VALUES (2, 2, 'Прайс ЕКБ')"),
        QStringLiteral("INSERT INTO TBL_PRSS (IND, IND_BS, PRS_NM) VALUES (3, 3, 'Прайс Тула')"),
        QStringLiteral(
            "INSERT INTO TBL_STFS (IND, IND_PST, IND_PRS, TO_OUT) VALUES (1000, 100, 1, 'Арм 12 А500С н/д')"),
        QStringLiteral(
            "INSERT INTO TBL_STFS (IND, IND_PST, IND_PRS, TO_OUT) VALUES (1001, 100, 2, 'Арматура 12мм')"),
        QStringLiteral(
            "INSERT INTO TBL_STFS (IND, IND_PST, IND_PRS, TO_OUT) VALUES (1002, 100, 3, 'Арм.12')"),
        QStringLiteral(
            "INSERT INTO TBL_STFS (IND, IND_PST, IND_PRS, TO_OUT) VALUES (1003, 101, 1, 'Арм 10')"),
        QStringLiteral(
            "INSERT INTO TBL_STFS (IND, IND_PST, IND_PRS, TO_OUT) VALUES (1004, 103, 2, 'Арм 10 дубль')"),
        QStringLiteral(
            "INSERT INTO TBL_CSTS (IND, IND_STF, VL_FRM, VL_TO, CST) VALUES (1, 1000, 0, 5, 52000)"),
        QStringLiteral(
            "INSERT INTO TBL_CSTS (IND, IND_STF, VL_FRM, VL_TO, CST) VALUES (2, 1000, 5, 10, 51000)"),
        QStringLiteral(
            "INSERT INTO TBL_CSTS (IND, IND_STF, VL_FRM, VL_TO, CST) VALUES (3, 1000, 10, 0, 50000)"),
        QStringLiteral(
            "INSERT INTO TBL_CSTS (IND, IND_STF, VL_FRM, VL_TO, CST) VALUES (4, 1001, 0, 0, 53000)"),
        QStringLiteral(
            "INSERT INTO TBL_CSTS (IND, IND_STF, VL_FRM, VL_TO, CST) VALUES (5, 1002, 0, 7, 49500)"),
        QStringLiteral(
            "INSERT INTO TBL_CSTS (IND, IND_STF, VL_FRM, VL_TO, CST) VALUES (6, 1003, 0, 0, 48000)"),
        QStringLiteral(
            "INSERT INTO TBL_CSTS (IND, IND_STF, VL_FRM, VL_TO, CST) VALUES (7, 1004, 0, 0, 47000)"),
    };
    return s;
}

// The shared state guard that also puts the dpi and the screen seam back.
class GlobalGuard : public testsupport::GlobalGuard {
public:
    ~GlobalGuard() {
        ui::setLogicalDpiForTests(0);
        positions::setScreenSizeForTests(QSize());
    }
};

// A DB folder in a temporary directory, filled through the real store, installed as
// Cn behind a recording connection. Restores the shared state when it goes.
class CatalogueDb {
public:
    explicit CatalogueDb(const QStringList& data = sampleData(), bool tables = true) {
        QDir(dir_.path()).mkpath(QStringLiteral("DB"));
        real_ = store::openFolder(dir_.filePath(QStringLiteral("DB")));
        if (tables) {
            for (const QString& s : createStatements()) real_->execute(s);
        }
        for (const QString& s : data) real_->execute(s);
        auto rec = std::make_unique<testsupport::RecordingConnection>(real_.get());
        recorder_ = rec.get();
        Global::setCn(std::move(rec));
    }
    ~CatalogueDb() { Global::setCn(nullptr); }

    testsupport::RecordingConnection& cn() { return *recorder_; }
    store::Connection& real() { return *real_; }
    QString folder() const { return dir_.filePath(QStringLiteral("DB")); }

private:
    GlobalGuard guard_;  // destroyed last: it restores the Cn that was there before
    QTemporaryDir dir_;
    std::unique_ptr<store::Connection> real_;
    testsupport::RecordingConnection* recorder_ = nullptr;
};

}  // namespace testcat
