#pragma once
// A small catalogue database built in a temporary folder through the real store, with
// a recording connection in front of it as Cn, and a guard that puts the shared state
// (Cn, CurrentOrder, CatalogueOpen, the dialog seam, the dpi, the screen) back.

#include <QTemporaryDir>

#include "catalogue/positions.h"
#include "global/global.h"
#include "store/dbf_connection.h"
#include "support/global_guard.h"
#include "support/recording_connection.h"
#include "ui/twips.h"

namespace testcat {

// The catalogue's tables with their fields, and the rows of the hand-made catalogue
// most tests use:
//   Types (by name): Листовой прокат (3, no groups), Сортовой прокат (1), Трубы (2).
//   Groups of type 1: Арматура (10), Круг (11, one position without offers);
//   of type 2: " Трубы ВГП " (21, blanks around), Трубы профильные (20).
//   Bases by region, city, name: Урал/Екатеринбург/Склад ЕКБ (2),
//   Центр/Москва/Склад Москва-1 (1), Центр/Тула/Тульская база (3).
//   Positions of Арматура: 100 "Арматура 12 А500С" with three offers (bands 0-5, 5-10,
//   10-0 at base 1; 0-0 at base 2; 0-7 at base 3), 101 and 103 both named
//   "Арматура 10 А500С", 102 without offers.
struct Table { QString name, fields, rows; };  // the values of each row, rows parted by "; "
inline const std::vector<Table> kTables = {
    {"TBL_TPS", "IND int,TP_NM varchar (250)", "1, 'Сортовой прокат'; 2, 'Трубы'; 3, 'Листовой прокат'"},
    {"TBL_GRPS", "IND int,IND_TP int,GRP_NM varchar (250)",
     "10, 1, 'Арматура'; 11, 1, 'Круг'; 20, 2, 'Трубы профильные'; 21, 2, ' Трубы ВГП '"},
    {"TBL_PSTS", "IND int,IND_GRP int,PST_NM varchar (250)",
     "100, 10, 'Арматура 12 А500С'; 101, 10, 'Арматура 10 А500С'; 102, 10, 'Арматура 16 А500С'; "
     "103, 10, 'Арматура 10 А500С'; 110, 11, 'Круг 20 ст3'"},
    {"TBL_RGNS", "IND int,RGN_NM varchar (250)", "1, 'Центр'; 2, 'Урал'"},
    {"TBL_CTS", "IND int,IND_RGN int,CT_NM varchar (250)",
     "1, 1, 'Москва'; 2, 2, 'Екатеринбург'; 3, 1, 'Тула'"},
    {"TBL_BSS", "IND int,IND_CT int,IND_ORG int,BS_NM varchar (250)",
     "1, 1, 1, 'Склад Москва-1'; 2, 2, 1, 'Склад ЕКБ'; 3, 3, 1, 'Тульская база'"},
    {"TBL_PRSS", "IND int,IND_BS int,PRS_NM varchar (250)",
     "1, 1, 'Прайс 1'; 2, 2, 'Прайс 2'; 3, 3, 'Прайс 3'"},
    {"TBL_STFS", "IND int,IND_PST int,IND_PRS int,TO_OUT varchar (250)",
     "1000, 100, 1, 'Арм 12 А500С н/д'; 1001, 100, 2, 'Арматура 12мм'; 1002, 100, 3, 'Арм.12'; "
     "1003, 101, 1, 'Арм 10'; 1004, 103, 2, 'Арм 10 дубль'"},
    {"TBL_CSTS", "IND int,IND_STF int,VL_FRM double,VL_TO double,CST double",
     "1, 1000, 0, 5, 52000; 2, 1000, 5, 10, 51000; 3, 1000, 10, 0, 50000; 4, 1001, 0, 0, 53000; "
     "5, 1002, 0, 7, 49500; 6, 1003, 0, 0, 48000; 7, 1004, 0, 0, 47000"},
};

// One row of `table`, its values in the order of its fields.
inline QString insert(const QString& table, const QString& values) {
    return QStringLiteral("INSERT INTO %1 VALUES (%2)").arg(table, values);
}

inline QStringList sampleData() {
    QStringList s;
    for (const Table& t : kTables)
        for (const QString& r : t.rows.split(QStringLiteral("; "))) s << insert(t.name, r);
    return s;
}

// A temporary folder, its tables created and filled through the real store, installed
// as Cn behind a recording connection. Restores the shared state, the dpi and the
// screen seam when it goes.
class CatalogueDb {
public:
    explicit CatalogueDb(const QStringList& data = sampleData()) {
        real_ = store::openFolder(dir_.path());
        for (const Table& t : kTables) real_->execute(QStringLiteral("CREATE TABLE %1 (%2)").arg(t.name, t.fields));
        for (const QString& s : data) real_->execute(s);
        auto rec = std::make_unique<testsupport::RecordingConnection>(real_.get());
        recorder_ = rec.get();
        Global::setCn(std::move(rec));
    }
    ~CatalogueDb() {
        Global::setCn(nullptr);
        ui::setLogicalDpiForTests(0);
        positions::setScreenSizeForTests(QSize());
    }

    testsupport::RecordingConnection& cn() { return *recorder_; }

private:
    testsupport::GlobalGuard guard_;  // destroyed last: it restores the Cn that was there before
    QTemporaryDir dir_;
    std::unique_ptr<store::Connection> real_;
    testsupport::RecordingConnection* recorder_ = nullptr;
};

}  // namespace testcat
