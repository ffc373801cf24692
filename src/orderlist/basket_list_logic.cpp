#include "orderlist/basket_list_logic.h"

#include "core/sql_text.h"
#include "order/line_notes.h"
#include "store/connection.h"

#include <algorithm>
#include <cmath>

namespace orderlist {

void deleteStoredOrder(store::Connection& cn, int32_t number) {
    const QString n = QString::number(number);
    store::AtomicUnit unit(cn);
    order::notes::removeOfOrder(cn, number);
    cn.execute(QStringLiteral("DELETE FROM TBL_APTS WHERE IND_APP=") + n);
    cn.execute(QStringLiteral("DELETE FROM TBL_APPS WHERE IND=") + n);
    unit.commit();
}
namespace {

const QString& captionOf(int state) {
    static const QString captions[] = {QString(), QStringLiteral("Новая"), QStringLiteral("Отложена"),
                                       QStringLiteral("Обработана")};
    return (state >= 1 && state <= 3) ? captions[state] : captions[0];
}

}  // namespace

const QStringList& stateFilterItems() {
    static const QStringList items = {QStringLiteral("<Все>"), captionOf(1), captionOf(2), captionOf(3)};
    return items;
}

QString stateCaption(const core::Value& indStt) {
    if (!indStt.isNumber()) return captionOf(1);
    // A fraction or a huge number can only come from a foreign writer; no state of ours.
    const double d = indStt.toDouble();
    if (d < 1 || d > 3 || d != std::floor(d)) return QString();
    return captionOf(static_cast<int>(d));
}

QString refreshedStateCaption(const QString& state) {
    bool ok = false;
    const int n = state.trimmed().toInt(&ok);
    return ok ? captionOf(n) : state;
}

QString listStatement(const QString& stateFilter, const QDate& from, const QDate& to) {
    QString condition;
    const int state = stateFilterItems().indexOf(stateFilter);
    if (state >= 1) condition = QStringLiteral("IND_STT=") + QString::number(state);
    if (!condition.isEmpty()) condition += QStringLiteral(" AND ");
    condition +=
        QStringLiteral(" CR_DT>'") + from.toString(QStringLiteral("yyyy.MM.dd")) + QStringLiteral("'");
    condition += QStringLiteral(" AND ");
    condition += QStringLiteral(" CR_DT<'") + to.addDays(1).toString(QStringLiteral("yyyy.MM.dd")) +
                 QStringLiteral("'");
    condition = QStringLiteral(" WHERE ") + condition;
    return QStringLiteral("SELECT * FROM TBL_APPS ") + condition + QStringLiteral(" ORDER BY IND");
}

QString delAppStatement(const QString& orderNumber, const QString& userName) {
    return QStringLiteral("exec nom_command 'delApp', ") + orderNumber + QStringLiteral(", '") +
           core::sql::escaped(userName) + QStringLiteral("'");
}

QString sngAppStatement(const QDate& from, const QDate& to, const QString& orderNumber) {
    const QString f = QStringLiteral("yyyyMMdd");
    return QStringLiteral("nom_command1 'sngApp', '") + from.toString(f) + QStringLiteral("', '") +
           to.toString(f) + QStringLiteral("', ") + orderNumber;
}

int wheelStep(int gridHeightTwips, int row1HeightTwips) {
    if (row1HeightTwips <= 0) return 2;
    return std::max(2, gridHeightTwips / (10 * row1HeightTwips));
}

int wheelTopRow(int topRow, int step, int rotation, int lastRow) {
    if (rotation < 1) return std::min(topRow + step, lastRow);
    return std::max(topRow - step, 1);
}

}  // namespace orderlist
