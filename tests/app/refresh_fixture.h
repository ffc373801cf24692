#pragma once
// A built folder with an order in it, and two versions of the central database: the one
// it was built from and a changed one in which every reference table differs — a price
// raised, a position added and one removed (the order's), an offer moved to another base.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include "app/command_line.h"
#include "db/central_fixture.h"
#include "db/schema.h"
#include "store/dbf_connection.h"
#include "store/dbf_file.h"
#include "store/store_helpers.h"

namespace testrefresh {

inline QStringList centralRows(bool changed) {
    const QString n = changed ? " (новое)" : "";
    QStringList rows = {
        "INSERT INTO tbl_types VALUES(7, 'Арматура" + n + "')",
        "INSERT INTO tbl_groups VALUES(70, 7, 'А500С" + n + "')",
        "INSERT INTO tbl_regions VALUES(1, 'Урал" + n + "')",
        "INSERT INTO tbl_cities VALUES(10, 1, 'Екатеринбург" + n + "')",
        "INSERT INTO tbl_organizations VALUES(5, 'ООО \"Сталь" + n + "\"')",
        "INSERT INTO tbl_bases VALUES(50, 10, 5, 'База Север'), (51, 10, 5, 'База Юг" + n + "')",
        "INSERT INTO tbl_prices VALUES(500, 50, 'Прайс'), (510, 51, 'Прайс" + n + "')",
    };
    if (!changed)
        return rows + QStringList{
            "INSERT INTO tbl_positions VALUES(700, 70, 'Арматура 12'), (701, 70, 'Круг 20'), (703, 70, 'Уголок 50')",
            "INSERT INTO tbl_stuffs VALUES(9001, 700, 500, 'арм'), (9002, 701, 500, 'круг'), (9003, 703, 500, 'уг')",
            "INSERT INTO tbl_costs VALUES(1, 9001, 0, 10, 1000), (2, 9002, 0, 0, 2000), (3, 9003, 0, 0, 3000)"};
    return rows + QStringList{
        "INSERT INTO tbl_positions VALUES(700, 70, 'Арматура 12'), (702, 70, 'Швеллер 10'), (703, 70, 'Уголок 50')",
        "INSERT INTO tbl_stuffs VALUES(9001, 700, 500, 'арм'), (9003, 703, 510, 'уг'), (9004, 702, 510, 'шв')",
        "INSERT INTO tbl_costs VALUES(1, 9001, 0, 10, 1100), (3, 9003, 0, 0, 3000), (4, 9004, 0, 0, 500)"};
}

// Every reference table of a folder, row by row.
inline QStringList referenceRows(const QString& folder) {
    auto cn = store::openFolder(folder);
    QStringList out;
    for (const QString& t : db::referenceTables()) {
        for (auto rs = cn->open("SELECT * FROM " + t); !rs->eof(); rs->moveNext()) {
            QStringList cells{t};
            for (const QString& f : rs->fieldNames()) cells << rs->field(f).toText();
            out << cells.join('|');
        }
    }
    return out;
}

class Folders {
public:
    Folders() {
        testcentral::makeCentral(oldCentral(), centralRows(false));
        testcentral::makeCentral(newCentral(), centralRows(true));
        app::CommandLine cl;
        cl.central = oldCentral();
        cl.db = db();
        EXPECT_EQ(app::runSync(cl), 0);
        auto cn = store::openFolder(db());
        cn->execute("INSERT INTO TBL_APPS(IND, IND_STT, CGT_NM) VALUES(1, 1, 'Клиент')");
        cn->execute("INSERT INTO TBL_APTS(IND, IND_APP, IND_PST, VL) VALUES(1, 1, 701, 2.5)");
    }
    QString oldCentral() const { return dir.filePath("old.sqlite"); }
    QString newCentral() const { return dir.filePath("new.sqlite"); }
    QString db() const { return dir.filePath("DB"); }
    QByteArray orders() const {
        QByteArray b;
        for (const char* t : {"TBL_APPS", "TBL_APTS", "TBL_CORD"}) b += storetest::readFile(QDir(db()).filePath(t + QString(".dbf")));
        return b;
    }
    app::CommandLine refreshFrom(const QString& central) const {
        app::CommandLine cl;
        cl.central = central;
        cl.db = db();
        return cl;
    }

    QTemporaryDir dir;
};

}  // namespace testrefresh
