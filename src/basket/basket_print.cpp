#include "basket/basket_print.h"

#include <QFile>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTextDocument>
#include <algorithm>
#include <tuple>

#include "basket/comparison.h"
#include "basket/decision.h"
#include "order/clsZak.h"
#include "store/connection.h"

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

namespace {

// Group and name of a position the comparison has no column for; its key when the
// reference tables cannot tell either.
std::pair<QString, QString> namesOf(clsZak& order, int32_t idn) {
    try {
        if (store::Connection* cn = order.connection()) {
            auto rs = cn->open(
                QStringLiteral("SELECT c.GRP_NM, b.PST_NM FROM TBL_PSTS b INNER JOIN TBL_GRPS c ON b.IND_GRP=c.IND "
                               "WHERE b.IND=") +
                QString::number(idn));
            if (!rs->eof()) return {rs->field(QStringLiteral("GRP_NM")).toText(), rs->field(QStringLiteral("PST_NM")).toText()};
        }
    } catch (const std::exception&) {
        // The print-out names the line by its key then.
    }
    return {QString(), QString::number(idn)};
}

}  // namespace

PrintedOrder collectOrder(clsZak& order, const basket_cmp::Comparison& cmp, const QList<QStringList>& gridRows,
                          const basket_cmp::Decision* decision) {
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
    order.MoveFirst();
    for (; order.Field(QStringLiteral("pos")).toInt32() >= 0; order.MoveNext()) {
        const int slot = order.Field(QStringLiteral("pos")).toInt32();
        const int32_t idn = order.Field(QStringLiteral("idn")).toInt32();
        PrintedOrder::Line line;
        line.qty = core::Value::dbl(order.Field(QStringLiteral("qty")).toDouble()).toText();
        line.note = order.Field(QStringLiteral("prim")).toText();
        const auto col = std::find_if(cmp.lines.begin(), cmp.lines.end(), [&](const LineColumn& l) { return l.slot == slot; });
        if (col != cmp.lines.end() && col->known) {
            line.group = col->group;
            line.name = col->name;
        } else {
            std::tie(line.group, line.name) = namesOf(order, idn);
            order.MoveTo(slot);  // the look-up does not move the cursor, but keep the walk exact
        }
        p.lines.append(line);
    }
    order.MoveTo(cursor);
    p.compared = !cmp.lines.empty() || p.lines.isEmpty();

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
        QList<bool> marks(out.size(), false);
        const int32_t key = row.value(kKeyCol).toInt();
        for (size_t b = 0; decision && b < cmp.bases.size(); ++b) {
            if (cmp.bases[b].baseKey != key) continue;
            marks[2] = decision->cheapestTotal(b);
            for (size_t l = 0; l < cmp.lines.size(); ++l) marks[3 + int(l)] = decision->cheapestPrice(b, l);
        }
        p.tableRows.append(out);
        p.tableMarks.append(marks);
    }
    if (decision) p.summary = decision->summary(QLocale());
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

    // A comparison of several tables starts on a page of its own, its captions with it.
    h += o.tableHeader.size() - 3 > kLinesPerTable ? QStringLiteral("<h3 style=\"page-break-before: always\">")
                                                   : QStringLiteral("<h3>");
    h += QStringLiteral("Сравнение предложений</h3>");
    if (!o.compared) {
        h += QStringLiteral("<p>Сравнение предложений не построено.</p>");
    } else if (o.tableRows.isEmpty()) {
        h += QStringLiteral("<p>Ни одна база не предлагает заказанные позиции.</p>");
    } else {
        // Cities, bases and totals are repeated on every table of line columns.
        const int lines = o.tableHeader.size() - 3;
        for (int from = 0; from < std::max(lines, 1); from += kLinesPerTable) {
            const int to = std::min(lines, from + kLinesPerTable);
            if (lines > kLinesPerTable)
                h += QStringLiteral("<p><b>Позиции %1–%2 из %3</b></p>").arg(from + 1).arg(to).arg(lines);
            QList<int> cols = {0, 1, 2};
            for (int c = 3 + from; c < 3 + to; ++c) cols << c;
            h += QStringLiteral(
                "<table border=\"1\" cellspacing=\"0\" cellpadding=\"2\" width=\"100%\" style=\"font-size: small\"><tr>");
            for (int c : cols) h += QStringLiteral("<th>") + esc(o.tableHeader.value(c)) + QStringLiteral("</th>");
            h += QStringLiteral("</tr>");
            for (int r = 0; r < o.tableRows.size(); ++r) {
                h += QStringLiteral("<tr>");
                for (int c : cols) {
                    const bool mark = o.tableMarks.value(r).value(c);
                    h += c >= 2 ? QStringLiteral("<td align=\"right\"") : QStringLiteral("<td");
                    h += mark ? QStringLiteral(" bgcolor=\"#CCF0CC\"><b>") : QStringLiteral(">");
                    h += esc(o.tableRows[r].value(c)) + (mark ? QStringLiteral("</b>") : QString()) +
                         QStringLiteral("</td>");
                }
                h += QStringLiteral("</tr>");
            }
            h += QStringLiteral("</table>");
        }
    }
    for (const QString& line : o.summary) h += QStringLiteral("<p>") + esc(line) + QStringLiteral("</p>");
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
