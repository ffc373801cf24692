#include "basket/export.h"

#include <xlsxwriter.h>

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>
#include <algorithm>

#include "basket/comparison.h"
#include "basket/decision.h"
#include "order/clsZak.h"

namespace basket_export {
namespace {

using namespace basket_cmp;

Cell text(const QString& s) {
    return Cell{s.trimmed(), std::nullopt, false, false};
}

QString numberText(double v, const QLocale& locale) {
    QLocale l = locale;
    l.setNumberOptions(QLocale::OmitGroupSeparator);
    return l.toString(v, 'f', QLocale::FloatingPointShortest);
}

QString csvField(const QString& s) {
    if (!s.contains(QLatin1Char(';')) && !s.contains(QLatin1Char('"')) && !s.contains(QLatin1Char('\n')))
        return s;
    QString q = s;
    q.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

bool saveBytes(const QByteArray& bytes, const QString& path, QString* error) {
    QSaveFile f(path);
    if (f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.commit()) return true;
    if (error) *error = f.errorString();
    return false;
}

// The workbook is made in a folder of its own and copied over the target only when it
// is complete, so that a failure leaves the target as it was.
bool xlsxBytes(const Table& t, QByteArray* out, QString* error) {
    QTemporaryDir dir;
    if (!dir.isValid()) {
        if (error) *error = dir.errorString();
        return false;
    }
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("export.xlsx")));
    lxw_workbook* wb = workbook_new(path.constData());
    if (!wb) {
        if (error) *error = QStringLiteral("libxlsxwriter: workbook_new");
        return false;
    }
    lxw_worksheet* ws = workbook_add_worksheet(wb, "Сравнение");
    lxw_format* header = workbook_add_format(wb);
    format_set_bold(header);
    lxw_format* money = workbook_add_format(wb);
    format_set_num_format(money, "#,##0.00");
    lxw_format* qty = workbook_add_format(wb);
    format_set_num_format(qty, "#,##0.###");
    format_set_bold(qty);
    lxw_format* marked = workbook_add_format(wb);
    format_set_num_format(marked, "#,##0.00");
    format_set_bold(marked);
    format_set_bg_color(marked, 0xCCF0CC);
    format_set_pattern(marked, LXW_PATTERN_SOLID);

    std::vector<int> widths;
    auto fit = [&](int c, int chars) {
        if (int(widths.size()) <= c) widths.resize(size_t(c) + 1, 6);
        widths[size_t(c)] = std::max(widths[size_t(c)], std::min(chars + 2, 60));
    };
    for (int r = 0; r < t.rows.size(); ++r) {
        const bool head = r < t.headerRows;
        for (int c = 0; c < t.rows[r].size(); ++c) {
            const Cell& cell = t.rows[r][c];
            if (cell.number) {
                lxw_format* f = cell.quantity ? qty : cell.marked ? marked : money;
                worksheet_write_number(ws, lxw_row_t(r), lxw_col_t(c), *cell.number, f);
                fit(c, int(QString::number(*cell.number, 'f', 2).size()) + 2);
            } else if (!cell.text.isEmpty()) {
                worksheet_write_string(ws, lxw_row_t(r), lxw_col_t(c), cell.text.toUtf8().constData(),
                                       head ? header : nullptr);
                // The names of the lines are long; they may wrap over their header cells.
                if (!head || r == t.headerRows - 1) fit(c, int(cell.text.size()));
            }
        }
    }
    int r = int(t.rows.size()) + 1;
    for (const QString& line : t.summary)
        worksheet_write_string(ws, lxw_row_t(r++), 0, line.toUtf8().constData(), nullptr);
    for (size_t c = 0; c < widths.size(); ++c) worksheet_set_column(ws, lxw_col_t(c), lxw_col_t(c), widths[c], nullptr);
    worksheet_freeze_panes(ws, lxw_row_t(t.headerRows), 2);
    const lxw_error e = workbook_close(wb);
    if (e != LXW_NO_ERROR) {
        if (error) *error = QString::fromUtf8(lxw_strerror(e));
        return false;
    }
    QFile f(QFile::decodeName(path));
    if (!f.open(QIODevice::ReadOnly)) {
        if (error) *error = f.errorString();
        return false;
    }
    *out = f.readAll();
    return true;
}

}  // namespace

Table makeTable(const Comparison& cmp, const Decision& d, const std::vector<int32_t>& baseOrder,
                const QLocale& locale) {
    Table t;
    t.headerRows = 3;
    const int cols = 3 + int(cmp.lines.size()) + 1;
    QList<Cell> groups(cols), names(cols), captions(cols);
    captions[0] = text(QStringLiteral("Город"));
    captions[1] = text(QStringLiteral("Поставщик"));
    captions[2] = text(QStringLiteral("Итого\\Заказ"));
    captions[cols - 1] = text(QStringLiteral("Дешевле всего"));
    for (size_t l = 0; l < cmp.lines.size(); ++l) {
        groups[3 + int(l)] = text(cmp.lines[l].group);
        names[3 + int(l)] = text(cmp.lines[l].name);
        captions[3 + int(l)] = Cell{QString(), cmp.lines[l].qty, false, true};
    }
    t.rows << groups << names << captions;

    std::vector<size_t> order;
    for (int32_t key : baseOrder) {
        for (size_t b = 0; b < cmp.bases.size(); ++b)
            if (cmp.bases[b].baseKey == key && std::find(order.begin(), order.end(), b) == order.end())
                order.push_back(b);
    }
    for (size_t b = 0; b < cmp.bases.size(); ++b)
        if (std::find(order.begin(), order.end(), b) == order.end()) order.push_back(b);

    for (size_t b : order) {
        const BaseRow& base = cmp.bases[b];
        QList<Cell> row(cols);
        row[0] = text(base.city);
        row[1] = text(base.base);
        QStringList best;
        if (base.total) row[2] = Cell{QString(), *base.total, d.cheapestTotal(b), false};
        if (d.cheapestTotal(b)) best << QStringLiteral("итог");
        for (size_t l = 0; l < cmp.lines.size(); ++l) {
            if (!base.prices[l]) continue;
            row[3 + int(l)] = Cell{QString(), *base.prices[l], d.cheapestPrice(b, l), false};
            if (d.cheapestPrice(b, l)) best << cmp.lines[l].name.trimmed();
        }
        row[cols - 1] = text(best.join(QStringLiteral("; ")));
        t.rows << row;
    }
    t.summary = d.summary(locale);
    return t;
}

QByteArray csvBytes(const Table& t, const QLocale& locale) {
    QString s;
    for (const QList<Cell>& row : t.rows) {
        QStringList fields;
        for (const Cell& c : row) fields << (c.number ? numberText(*c.number, locale) : csvField(c.text));
        s += fields.join(QLatin1Char(';')) + QStringLiteral("\r\n");
    }
    if (!t.summary.isEmpty()) {
        s += QStringLiteral("\r\n");
        for (const QString& line : t.summary) s += csvField(line) + QStringLiteral("\r\n");
    }
    return QByteArray("\xEF\xBB\xBF") + s.toUtf8();
}

bool writeTable(const Table& table, const QString& path, const QLocale& locale, QString* error) {
    QByteArray bytes;
    QString reason;
    const bool xlsx = QFileInfo(path).suffix().compare(QStringLiteral("xlsx"), Qt::CaseInsensitive) == 0;
    bool ok = xlsx ? xlsxBytes(table, &bytes, &reason) : true;
    if (!xlsx) bytes = csvBytes(table, locale);
    ok = ok && saveBytes(bytes, path, &reason);
    if (!ok && error) *error = QStringLiteral("Не удалось записать файл %1: %2").arg(path, reason);
    return ok;
}

QString proposedFileName(const clsZak& order, const QDate& today) {
    if (order.norder == 0)
        return QStringLiteral("Заявка не сохранена ") + today.toString(QStringLiteral("dd.MM.yyyy")) +
               QStringLiteral(".xlsx");
    const QString date = order.create_date.isEmpty() ? today.toString(QStringLiteral("dd.MM.yyyy")) : order.create_date;
    return QStringLiteral("Заявка ") + QString::number(order.norder) + QLatin1Char(' ') + date +
           QStringLiteral(".xlsx");
}

}  // namespace basket_export
