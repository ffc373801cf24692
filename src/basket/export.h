#pragma once
// The comparison handed on as a file: the header rows, the bases in the order the grid
// shows them, prices and totals as numbers, the marked cells and the summary. Written as
// an .xlsx workbook or as a .csv file that a Russian spreadsheet opens as numbers.

#include <QDate>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

class clsZak;

namespace basket_cmp {
class Comparison;
class Decision;
}  // namespace basket_cmp

namespace basket_export {

struct Cell {
    QString text;                  // for texts; numbers are written from `number`
    std::optional<double> number;  // a price, a total or a quantity
    bool marked = false;           // the lowest price of a line, the cheapest complete total
    bool quantity = false;         // written with the quantity's number format
};

struct Table {
    int headerRows = 0;
    QList<QList<Cell>> rows;  // header rows, then one row per base
    QStringList summary;
};

// The table of the comparison with the bases in the given order of their keys (the grid's
// current order; keys the comparison does not know are left out, bases missing from the
// list go last). The summary is worded for the locale.
Table makeTable(const basket_cmp::Comparison& cmp, const basket_cmp::Decision& decision,
                const std::vector<int32_t>& baseOrder, const QLocale& locale);

// CSV: UTF-8 with a byte-order mark, ";" between fields, numbers without grouping and
// with the locale's decimal mark, the summary after an empty line.
QByteArray csvBytes(const Table& table, const QLocale& locale);

// Writes the table as .xlsx or, for any other extension, as .csv. The file is replaced
// only when it is written completely; false with the reason in *error otherwise.
bool writeTable(const Table& table, const QString& path, const QLocale& locale, QString* error);

// "Заявка N dd.MM.yyyy.xlsx" for a saved order (its creation date), "Заявка не сохранена
// dd.MM.yyyy.xlsx" (today) for one that is not.
QString proposedFileName(const clsZak& order, const QDate& today);

}  // namespace basket_export
