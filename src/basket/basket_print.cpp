#include "basket/basket_print.h"

#include <QFile>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTextDocument>

#include "basket/comparison.h"
#include "order/clsZak.h"

namespace basket_print {
namespace {

QString esc(const QString& s) {
    return s.toHtmlEscaped();
}

QString stateName(int32_t state) {
    return state >= 1 && state <= 3 ? stateCaptions()[state - 1] : QString();
}

// More than a few line columns do not fit a portrait page beside the base names.
bool wide(const PrintedOrder& o) {
    return o.lines.size() > 4;
}

void previewOrder(const PrintedOrder& order, QWidget* parent) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(orderTitle(order));
    printer.setPageOrientation(wide(order) ? QPageLayout::Landscape : QPageLayout::Portrait);
    std::unique_ptr<QTextDocument> doc = orderDocument(order);
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setWindowTitle(orderTitle(order));
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&doc](QPrinter* p) { doc->print(p); });
    dialog.exec();
}

PrintRunner& runner() {
    static PrintRunner r = previewOrder;
    return r;
}

}  // namespace

const QStringList& stateCaptions() {
    static const QStringList captions = {QStringLiteral("Новая"), QStringLiteral("Отложена"),
                                         QStringLiteral("Обработана")};
    return captions;
}

PrintedOrder collectOrder(clsZak& order, const basket_cmp::Comparison& cmp,
                          const QList<QStringList>& gridRows) {
    using namespace basket_cmp;
    PrintedOrder p;
    p.number = order.norder;
    p.date = order.create_date;
    p.state = stateName(order.state);
    p.client = order.contr;
    p.contact = order.contact_face;
    p.phone = order.contact_face_tel;
    p.email = order.contact_face_mail;
    p.advert = order.rekl;
    p.comment = order.Comment;

    const int32_t cursor = order.Field(QStringLiteral("pos")).toInt32();
    for (const LineColumn& l : cmp.lines) {
        order.MoveTo(l.slot);
        const QString note = order.Field(QStringLiteral("pos")).toInt32() >= 0
                                 ? order.Field(QStringLiteral("prim")).toText()
                                 : QString();
        p.lines.append({l.group, l.name, l.qtyText, note});
    }
    order.MoveTo(cursor);

    const QList<QStringList> rows = gridRows.isEmpty() ? cmp.gridTexts() : gridRows;
    p.tableHeader << QStringLiteral("Город") << QStringLiteral("Поставщик") << QStringLiteral("Итого");
    for (const LineColumn& l : cmp.lines)
        p.tableHeader << l.name + QStringLiteral(" (") + l.qtyText + QLatin1Char(')');
    for (int r = kFixedRows; r < rows.size(); ++r) {
        const QStringList& row = rows[r];
        if (row.value(kKeyCol).isEmpty()) continue;  // the placeholder of a table without bases
        QStringList out;
        out << row.value(kCityCol) << row.value(kBaseCol) << row.value(kTotalCol);
        for (int c = kFirstLineCol; c < cmp.columnCount(); ++c) out << row.value(c);
        p.tableRows.append(out);
    }
    return p;
}

QString orderTitle(const PrintedOrder& order) {
    return QStringLiteral("Заявка № ") + QString::number(order.number);
}

QString orderHtml(const PrintedOrder& o) {
    QString h;
    h += QStringLiteral("<html><head><meta charset=\"utf-8\"><title>") + esc(orderTitle(o)) +
         QStringLiteral("</title></head><body>");
    h += QStringLiteral("<h2>") + esc(orderTitle(o)) + QStringLiteral("</h2>");
    if (!o.date.isEmpty()) h += QStringLiteral("<p>от ") + esc(o.date) + QStringLiteral("</p>");

    const QList<QPair<QString, QString>> header = {{QStringLiteral("Статус:"), o.state},
                                                   {QStringLiteral("Клиент:"), o.client},
                                                   {QStringLiteral("Контактное лицо:"), o.contact},
                                                   {QStringLiteral("Телефон:"), o.phone},
                                                   {QStringLiteral("eMail:"), o.email},
                                                   {QStringLiteral("Реклама:"), o.advert},
                                                   {QStringLiteral("Комментарий:"), o.comment}};
    h += QStringLiteral("<table cellspacing=\"0\" cellpadding=\"2\">");
    for (const auto& [caption, value] : header) {
        h += QStringLiteral("<tr><td><b>") + esc(caption) + QStringLiteral("</b></td><td>") + esc(value) +
             QStringLiteral("</td></tr>");
    }
    h += QStringLiteral("</table>");

    h += QStringLiteral("<h3>Позиции</h3>");
    h += QStringLiteral(
        "<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\" width=\"100%\"><tr>"
        "<th>№</th><th>Группа</th><th>Позиция</th><th>Количество</th><th>Примечание</th></tr>");
    int n = 0;
    for (const PrintedOrder::Line& l : o.lines) {
        h += QStringLiteral("<tr><td>") + QString::number(++n) + QStringLiteral("</td><td>") + esc(l.group) +
             QStringLiteral("</td><td>") + esc(l.name) + QStringLiteral("</td><td align=\"right\">") +
             esc(l.qty) + QStringLiteral("</td><td>") + esc(l.note) + QStringLiteral("</td></tr>");
    }
    h += QStringLiteral("</table>");

    h += QStringLiteral("<h3>Сравнение предложений</h3>");
    if (o.tableRows.isEmpty()) {
        h += QStringLiteral("<p>Ни одна база не предлагает заказанные позиции.</p>");
    } else {
        h += QStringLiteral(
            "<table border=\"1\" cellspacing=\"0\" cellpadding=\"2\" style=\"font-size: small\"><tr>");
        for (const QString& caption : o.tableHeader)
            h += QStringLiteral("<th>") + esc(caption) + QStringLiteral("</th>");
        h += QStringLiteral("</tr>");
        for (const QStringList& row : o.tableRows) {
            h += QStringLiteral("<tr>");
            for (int c = 0; c < row.size(); ++c) {
                h += c >= 2 ? QStringLiteral("<td align=\"right\">") : QStringLiteral("<td>");
                h += esc(row[c]) + QStringLiteral("</td>");
            }
            h += QStringLiteral("</tr>");
        }
        h += QStringLiteral("</table>");
    }
    h += QStringLiteral("</body></html>");
    return h;
}

std::unique_ptr<QTextDocument> orderDocument(const PrintedOrder& order) {
    auto doc = std::make_unique<QTextDocument>();
    doc->setMetaInformation(QTextDocument::DocumentTitle, orderTitle(order));
    doc->setHtml(orderHtml(order));
    return doc;
}

bool writeOrderPdf(const PrintedOrder& order, const QString& path, QString* error) {
    {
        QPdfWriter writer(path);
        writer.setTitle(orderTitle(order));
        writer.setCreator(QStringLiteral("zelvorin"));
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageOrientation(wide(order) ? QPageLayout::Landscape : QPageLayout::Portrait);
        writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        std::unique_ptr<QTextDocument> doc = orderDocument(order);
        doc->print(&writer);
    }  // the file is complete once the writer is gone
    // QPdfWriter reports no errors of its own; a file that is missing or empty is one.
    QFile f(path);
    if (!f.exists() || f.size() == 0) {
        if (error) *error = QStringLiteral("Не удалось записать файл ") + path;
        return false;
    }
    return true;
}

void printOrder(const PrintedOrder& order, QWidget* parent) {
    if (runner()) runner()(order, parent);
}

PrintRunner setPrintRunner(PrintRunner r) {
    PrintRunner prev = runner();
    runner() = r ? std::move(r) : PrintRunner(previewOrder);
    return prev;
}

}  // namespace basket_print
