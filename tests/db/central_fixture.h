#pragma once
// A tiny central trading database for tests: an SQLite file with the ten central tables
// and a handful of rows, including offers that are not tied to a position.

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <stdexcept>

namespace testcentral {

inline const QStringList& centralSchema() {
    static const QStringList s = {
        "CREATE TABLE tbl_types(ind INTEGER, type_name TEXT)",
        "CREATE TABLE tbl_groups(ind INTEGER, ind_type INTEGER, group_name TEXT)",
        "CREATE TABLE tbl_positions(ind INTEGER, ind_group INTEGER, full_name TEXT)",
        "CREATE TABLE tbl_regions(ind INTEGER, region_name TEXT)",
        "CREATE TABLE tbl_cities(ind INTEGER, ind_region INTEGER, city_name TEXT)",
        "CREATE TABLE tbl_organizations(ind INTEGER, organization_name TEXT)",
        "CREATE TABLE tbl_bases(ind INTEGER, ind_city INTEGER, ind_organization INTEGER, base_name TEXT)",
        "CREATE TABLE tbl_prices(ind INTEGER, ind_base INTEGER, price_name TEXT)",
        "CREATE TABLE tbl_stuffs(ind INTEGER, ind_position INTEGER, ind_price INTEGER, to_out TEXT)",
        "CREATE TABLE tbl_costs(ind INTEGER, ind_stuff INTEGER, val_from REAL, val_to REAL, cost REAL)",
    };
    return s;
}

// One row per table, two offers of which one (ind_position 0) and another (-1) are
// untied, with their bands.
inline const QStringList& smallRows() {
    static const QStringList r = {
        "INSERT INTO tbl_types VALUES(7, 'Арматура')",
        "INSERT INTO tbl_groups VALUES(70, 7, 'А500С')",
        "INSERT INTO tbl_positions VALUES(700, 70, 'Арматура 12 мм А500С')",
        "INSERT INTO tbl_regions VALUES(1, 'Урал')",
        "INSERT INTO tbl_cities VALUES(10, 1, 'Екатеринбург')",
        "INSERT INTO tbl_organizations VALUES(5, 'ООО \"Сталь\"')",
        "INSERT INTO tbl_bases VALUES(50, 10, 5, 'База O''Нил')",
        "INSERT INTO tbl_prices VALUES(500, 50, 'Прайс')",
        "INSERT INTO tbl_stuffs VALUES(9001, 700, 500, 'арм. 12'), (9002, 0, 500, 'без позиции'), "
        "(9003, -1, 500, 'удалено')",
        "INSERT INTO tbl_costs VALUES(1, 9001, 0.5, 10, 1234.5), (2, 9001, 10, 100, 1200), "
        "(3, 9002, 0, 5, 99), (4, 9003, 0, 5, 98)",
    };
    return r;
}

// Writes an SQLite file with the central tables (`schema`) and `rows`; throws on failure.
inline void makeCentral(const QString& path, const QStringList& rows = smallRows(),
                        const QStringList& schema = centralSchema()) {
    const QString name = QStringLiteral("test-central-writer");
    {
        QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        d.setDatabaseName(path);
        // One transaction: a commit per statement would wait for the disk each time.
        if (!d.open() || !d.transaction()) throw std::runtime_error(d.lastError().text().toStdString());
        QSqlQuery q(d);
        for (const QString& s : schema + rows)
            if (!q.exec(s)) throw std::runtime_error((s + ": " + q.lastError().text()).toStdString());
        q.finish();
        d.commit();
    }
    QSqlDatabase::removeDatabase(name);
}

}  // namespace testcentral
