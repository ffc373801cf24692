#include "basket/comparison.h"

#include <QString>
#include <memory>

#include "core/errors.h"
#include "core/helpers.h"
#include "order/clsZak.h"
#include "store/connection.h"

namespace basket_cmp {
namespace {

// A live order line as the walk over the order sees it.
struct OrderLine {
    int slot;
    int32_t idn;
    double qty;
    bool placed = false;  // already given a column
};

std::vector<OrderLine> liveLines(clsZak& order) {
    std::vector<OrderLine> lines;
    order.MoveFirst();
    while (order.Field(QStringLiteral("pos")).toInt32() >= 0) {
        lines.push_back({order.Field(QStringLiteral("pos")).toInt32(),
                         order.Field(QStringLiteral("idn")).toInt32(),
                         order.Field(QStringLiteral("qty")).toDouble()});
        order.MoveNext();
    }
    return lines;
}

double numberOr(const core::Value& v, double fallback) {
    return (v.isNull() || v.isEmpty()) ? fallback : v.toDouble();
}

// The line query names positions, not slots: TBL_CORD has no column for the slot. A
// record belongs to the first line not yet placed with the same position and
// quantity, so two lines of one position keep their own quantities and notes.
OrderLine* lineOfRecord(std::vector<OrderLine>& lines, int32_t idn, double qty) {
    OrderLine* samePosition = nullptr;
    for (OrderLine& l : lines) {
        if (l.placed || l.idn != idn) continue;
        if (l.qty == qty) return &l;
        if (!samePosition) samePosition = &l;
    }
    return samePosition;
}

// The known positions the order holds at more than one quantity, as a list for IN (…).
QString severalQuantities(const Comparison& cmp) {
    QStringList keys;
    for (size_t i = 0; i < cmp.lines.size(); ++i) {
        const LineColumn& a = cmp.lines[i];
        const QString key = QString::number(a.positionKey);
        if (!a.known || keys.contains(key)) continue;
        for (size_t j = i + 1; j < cmp.lines.size(); ++j) {
            if (cmp.lines[j].known && cmp.lines[j].positionKey == a.positionKey && cmp.lines[j].qty != a.qty) {
                keys << key;
                break;
            }
        }
    }
    return keys.join(QLatin1Char(','));
}

// Writes the records of a price statement (IND_PST, IND_BS, MIN_CST and, per quantity,
// VL) into the comparison, and closes it.
void applyPrices(store::RecordSet& rs, Comparison& cmp, bool perQuantity) {
    for (; !rs.eof(); rs.moveNext()) {
        const core::Value pst = rs.field(QStringLiteral("IND_PST"));
        const core::Value bs = rs.field(QStringLiteral("IND_BS"));
        const core::Value cst = rs.field(QStringLiteral("MIN_CST"));
        if (pst.isNull() || bs.isNull() || cst.isNull()) continue;  // a band without a price offers nothing
        std::optional<double> qty;
        if (perQuantity) {
            const core::Value vl = rs.field(QStringLiteral("VL"));
            if (vl.isNull()) continue;
            qty = vl.toDouble();
        }
        cmp.setBasePrice(bs.toInt32(), pst.toInt32(), cst.toDouble(), qty);
    }
    rs.close();
}

}  // namespace

QString sqlQuantity(double qty) {
    return core::doubleToText(qty, QLatin1Char('.'));
}

void Comparison::setBasePrice(int32_t baseKey, int32_t positionKey, double price, std::optional<double> qty) {
    for (BaseRow& row : bases) {
        if (row.baseKey != baseKey) continue;
        for (size_t c = 0; c < lines.size(); ++c) {
            if (lines[c].known && lines[c].positionKey == positionKey && (!qty || lines[c].qty == *qty))
                row.prices[c] = price;
        }
    }
}

void Comparison::clearPrices(const QString& positionKeys) {
    const QStringList keys = positionKeys.split(QLatin1Char(','));
    for (size_t c = 0; c < lines.size(); ++c) {
        if (!keys.contains(QString::number(lines[c].positionKey))) continue;
        for (BaseRow& row : bases) row.prices[c].reset();
    }
}

void Comparison::calcTotals() {
    for (BaseRow& row : bases) {
        bool complete = true;
        double sum = 0.0;
        for (size_t c = 0; c < lines.size() && complete; ++c) {
            if (!row.prices[c])
                complete = false;
            else
                sum += lines[c].qty * *row.prices[c];
        }
        // A base that lacks a line keeps what it had (nothing, in a fresh table).
        if (complete) row.total = sum;
    }
}

int Comparison::slotOfColumn(int col) const {
    const int i = col - kFirstLineCol;
    if (i < 0 || i >= static_cast<int>(lines.size())) return -1;
    return lines[static_cast<size_t>(i)].slot;
}

QList<QStringList> Comparison::gridTexts() const {
    const int cols = columnCount();
    QList<QStringList> rows;
    for (int r = 0; r < kFixedRows; ++r) rows.append(QStringList(cols, QString()));
    rows[kCaptionRow][kMarkCol] = QStringLiteral("Отм");
    rows[kCaptionRow][kCityCol] = QStringLiteral("Город");
    rows[kCaptionRow][kBaseCol] = QStringLiteral("Поставщик");
    rows[kCaptionRow][kTotalCol] = QStringLiteral("Итого\\Заказ");
    for (size_t i = 0; i < lines.size(); ++i) {
        const int c = kFirstLineCol + static_cast<int>(i);
        rows[kKeyRow][c] = QString::number(lines[i].positionKey);
        rows[kGroupRow][c] = lines[i].group;
        rows[kNameRow][c] = lines[i].name;
        rows[kCaptionRow][c] = lines[i].qtyText;
    }
    if (bases.empty()) {
        rows.append(QStringList(cols, QString()));
        return rows;
    }
    for (const BaseRow& b : bases) {
        QStringList row(cols, QString());
        row[kKeyCol] = QString::number(b.baseKey);
        row[kCityCol] = b.city;
        row[kBaseCol] = b.base;
        if (b.total) row[kTotalCol] = Global::FormatValue(core::Value::dbl(*b.total)).toText();
        for (size_t i = 0; i < lines.size(); ++i) {
            if (b.prices[i])
                row[kFirstLineCol + static_cast<int>(i)] = core::Value::dbl(*b.prices[i]).toText();
        }
        rows.append(row);
    }
    return rows;
}

Comparison BuildComparison(store::Connection& cn, clsZak& order) {
    Comparison cmp;
    std::vector<OrderLine> lines = liveLines(order);

    cn.execute(QStringLiteral("DELETE FROM TBL_CORD"));
    for (const OrderLine& l : lines) {
        cn.execute(QStringLiteral("INSERT INTO TBL_CORD(IND_PST,VL) VALUES(") + QString::number(l.idn) +
                   QLatin1Char(',') + sqlQuantity(l.qty) + QLatin1Char(')'));
    }

    // One result set at a time, each closed before the next query.
    std::unique_ptr<store::RecordSet> rs = cn.open(
        QStringLiteral("SELECT b.IND, c.GRP_NM, b.PST_NM, a.VL FROM (TBL_CORD a INNER JOIN TBL_PSTS b ON "
                       "a.IND_PST=b.IND) INNER JOIN TBL_GRPS c ON b.IND_GRP=c.IND"));
    for (; !rs->eof(); rs->moveNext()) {
        const core::Value vl = rs->field(QStringLiteral("VL"));
        LineColumn col;
        col.positionKey = rs->field(QStringLiteral("IND")).toInt32();
        col.group = rs->field(QStringLiteral("GRP_NM")).toText();
        col.name = rs->field(QStringLiteral("PST_NM")).toText();
        col.qty = numberOr(vl, 0.0);
        col.qtyText = vl.toText();
        OrderLine* line = lineOfRecord(lines, col.positionKey, col.qty);
        if (!line) continue;  // a record no line accounts for (TBL_CORD changed behind our back)
        line->placed = true;
        col.slot = line->slot;
        col.qty = line->qty;
        cmp.lines.push_back(col);
    }
    rs->close();

    // Lines whose position or group the reference tables lack: the key stands in for
    // the name, and the column takes no price, so no base can claim a complete total.
    for (const OrderLine& l : lines) {
        if (l.placed) continue;
        LineColumn col;
        col.slot = l.slot;
        col.positionKey = l.idn;
        col.known = false;
        col.name = QString::number(l.idn);
        col.qty = l.qty;
        col.qtyText = core::Value::dbl(l.qty).toText();
        cmp.lines.push_back(col);
    }

    rs = cn.open(
        QStringLiteral("SELECT DISTINCT e.IND, f.CT_NM, e.BS_NM FROM (((TBL_CORD a INNER JOIN TBL_STFS b on "
                       "a.IND_PST=b.IND_PST) INNER JOIN TBL_PRSS c ON b.IND_PRS=c.IND) INNER JOIN TBL_BSS e "
                       "ON c.IND_BS=e.IND) "
                       "INNER JOIN TBL_CTS f ON e.IND_CT=f.IND ORDER BY f.CT_NM, e.BS_NM"));
    for (; !rs->eof(); rs->moveNext()) {
        const core::Value key = rs->field(QStringLiteral("IND"));
        if (key.isNull()) continue;  // a base without a key can never be priced
        BaseRow row;
        row.baseKey = key.toInt32();
        row.city = rs->field(QStringLiteral("CT_NM")).toText();
        row.base = rs->field(QStringLiteral("BS_NM")).toText();
        row.prices.resize(cmp.lines.size());
        cmp.bases.push_back(row);
    }
    rs->close();

    rs = cn.open(QStringLiteral(
        "SELECT a.IND_PST, c.IND_BS, MIN(d.CST) as MIN_CST FROM ((TBL_CORD a INNER JOIN TBL_STFS b on "
        "a.IND_PST=b.IND_PST) INNER JOIN TBL_PRSS c ON b.IND_PRS=c.IND) INNER JOIN TBL_CSTS d ON "
        "b.IND=d.IND_STF "
        "WHERE d.VL_FRM<=a.VL GROUP BY a.IND_PST, c.IND_BS"));
    applyPrices(*rs, cmp, false);

    // The statement above takes the lowest price over the bands of every quantity a
    // position is ordered at; a position ordered at several quantities is priced once
    // more, per quantity, and each of its columns takes the price of its own quantity.
    const QString several = severalQuantities(cmp);
    if (!several.isEmpty()) {
        cmp.clearPrices(several);
        rs = cn.open(QStringLiteral(
                         "SELECT a.IND_PST, a.VL, c.IND_BS, MIN(d.CST) as MIN_CST FROM ((TBL_CORD a INNER JOIN "
                         "TBL_STFS b on a.IND_PST=b.IND_PST) INNER JOIN TBL_PRSS c ON b.IND_PRS=c.IND) INNER JOIN "
                         "TBL_CSTS d ON b.IND=d.IND_STF WHERE d.VL_FRM<=a.VL AND a.IND_PST IN (") +
                     several + QStringLiteral(") GROUP BY a.IND_PST, a.VL, c.IND_BS"));
        applyPrices(*rs, cmp, true);
    }

    cmp.calcTotals();
    return cmp;
}

}  // namespace basket_cmp
