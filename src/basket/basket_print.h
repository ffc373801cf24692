#pragma once
// The printed form of an order: its number, date, client and contact data, its lines
// with quantities and notes, and the supplier comparison as the basket shows it. Built
// without any window, so that it can be written to a PDF file or sent to a printer.

#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>

class clsZak;
class QTextDocument;
class QWidget;
namespace basket_cmp {
class Comparison;
class Decision;
}  // namespace basket_cmp

namespace basket_print {

struct PrintedOrder {
    int32_t number = 0;
    QString date;
    QString state;
    QString client;
    QString contact;
    QString phone;
    QString email;
    QString advert;
    QString comment;
    struct Line {
        QString group;
        QString name;
        QString qty;
        QString note;
    };
    QList<Line> lines;
    // The comparison: captions, then one row per base, each row city, base, total and
    // the price per line.
    QStringList tableHeader;
    QList<QStringList> tableRows;
    QList<QList<bool>> tableMarks;  // per cell of tableRows: the lowest price or total
    bool compared = true;           // false: the comparison could not be built
    QStringList summary;
};

// Line columns of the comparison on one printed table; more go on to the next table,
// with the cities, bases and totals repeated.
constexpr int kLinesPerTable = 6;

// The order states 1 to 3 by name, as the window's state list offers them.
const QStringList& stateCaptions();

// Gathers what is printed. The lines are the order's own, named from the comparison or,
// where it has no column for them, from the reference tables. gridRows are the
// comparison grid's texts as shown (header rows first, base rows in their current
// order); empty takes the comparison's own order. The decision gives the marks and the
// summary. The order's cursor is put back where it was.
PrintedOrder collectOrder(clsZak& order, const basket_cmp::Comparison& cmp,
                          const QList<QStringList>& gridRows = {}, const basket_cmp::Decision* decision = nullptr);

QString orderHtml(const PrintedOrder& order);
std::unique_ptr<QTextDocument> orderDocument(const PrintedOrder& order);
// The document's title: "Заявка № " and the number.
QString orderTitle(const PrintedOrder& order);

// Writes the order as a PDF file. False, with the reason in *error, when it cannot.
bool writeOrderPdf(const PrintedOrder& order, const QString& path, QString* error = nullptr);

// Shows the order in the print preview, from which the operator prints it or saves it
// as a PDF. Tests replace it through setPrintRunner.
void printOrder(const PrintedOrder& order, QWidget* parent);
using PrintRunner = std::function<void(const PrintedOrder&, QWidget*)>;
// Installs what printOrder does (an empty runner restores the preview); returns the
// previous one.
PrintRunner setPrintRunner(PrintRunner runner);

}  // namespace basket_print
