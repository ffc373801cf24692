#include "catalogue/catalogue_logic.h"

#include <numeric>

#include "ui/twips.h"
#include "core/value.h"

namespace catalogue {

QString positionsCondition(int groupKey, const QString& basesFilter) {
    return QStringLiteral("a.IND_GRP=") + QString::number(groupKey) + basesFilter;
}

QString positionsStatement(const QString& condition) {
    return QStringLiteral(
               "SELECT a.IND, a.PST_NM, MAX(c.CST) as MAX_CST, MIN(c.CST) as MIN_CST FROM ((TBL_PSTS a "
               "INNER JOIN TBL_STFS b ON a.IND=b.IND_PST) INNER JOIN TBL_CSTS c ON b.IND=c.IND_STF) INNER "
               "JOIN TBL_PRSS d ON b.IND_PRS=d.IND WHERE ") +
           condition + QStringLiteral(" GROUP BY a.IND, a.PST_NM ORDER BY PST_NM");
}

QString bandLimitsStatement(const QString& positionKey) {
    return QStringLiteral("SELECT DISTINCT VL FROM (") +
           QStringLiteral(
               "SELECT c.VL_FRM AS VL FROM (TBL_STFS a INNER JOIN TBL_PRSS d ON a.IND_PRS=d.IND) "
               "INNER JOIN TBL_CSTS c ON a.IND=c.IND_STF WHERE a.IND_PST=") +
           positionKey + QStringLiteral("\r\nUNION ALL\r\n") +
           QStringLiteral(
               "SELECT c.VL_TO AS VL FROM (TBL_STFS a INNER JOIN TBL_PRSS d ON a.IND_PRS=d.IND) "
               "INNER JOIN TBL_CSTS c ON a.IND=c.IND_STF WHERE a.IND_PST=") +
           positionKey + QStringLiteral(") ORDER BY VL");
}

QString offersStatement(const QString& positionKey, const QString& basesFilter) {
    return QStringLiteral(
               "SELECT a.IND, g.RGN_NM, f.CT_NM, e.BS_NM, a.TO_OUT, c.VL_FRM, c.VL_TO, c.CST FROM "
               "(((((TBL_STFS "
               "a INNER JOIN TBL_PRSS b ON a.IND_PRS=b.IND) INNER JOIN TBL_BSS e ON b.IND_BS=e.IND) INNER "
               "JOIN "
               "TBL_CTS f ON e.IND_CT=f.IND) INNER JOIN TBL_RGNS g ON f.IND_RGN=g.IND) INNER JOIN TBL_PRSS d "
               "ON "
               "a.IND_PRS=d.IND) INNER JOIN TBL_CSTS c ON a.IND=c.IND_STF WHERE a.IND_PST=") +
           positionKey + basesFilter +
           QStringLiteral(" ORDER BY g.RGN_NM, f.CT_NM, e.BS_NM, a.TO_OUT, a.IND");
}

QString basesStatement() {
    return QStringLiteral(
        "SELECT a.RGN_NM, b.CT_NM, c.IND, c.BS_NM FROM (TBL_RGNS a INNER JOIN TBL_CTS b ON a.IND=b.IND_RGN) "
        "INNER JOIN TBL_BSS c ON b.IND=c.IND_CT ORDER BY a.RGN_NM, b.CT_NM, c.BS_NM");
}

QString BasesFilter(const std::vector<BaseMark>& rows) {
    QString list;
    for (const BaseMark& r : rows) {
        if (r.mark != QLatin1String("V")) continue;
        if (!list.isEmpty()) list += QLatin1Char(',');
        list += r.key;
    }
    if (list.isEmpty()) return QString();
    return QStringLiteral(" AND d.IND_BS IN (") + list + QLatin1Char(')');
}

std::vector<double> bandBreaks(const std::vector<double>& limits) {
    std::vector<double> breaks;
    breaks.reserve(limits.size() + 1);
    breaks.insert(breaks.end(), limits.begin(), limits.end());
    breaks.push_back(kEndMark);
    return breaks;
}

QString bandCaption(double lower, double upper, QChar decimalPoint) {
    const bool open = upper == kEndMark;
    if (lower == 0.0)
        return open ? QStringLiteral("Цена")
                    : QStringLiteral("до ") + core::doubleToText(upper, decimalPoint);
    if (open) return QStringLiteral("от ") + core::doubleToText(lower, decimalPoint);
    return core::doubleToText(lower, decimalPoint) + QStringLiteral(" - ") +
           core::doubleToText(upper, decimalPoint);
}

std::vector<int> bandsCovered(const std::vector<double>& breaks, double from, double to) {
    if (to == 0.0) to = kEndMark;
    std::vector<int> bands;
    for (size_t i = 1; i < breaks.size(); ++i) {
        if (from <= breaks[i - 1] && to >= breaks[i]) bands.push_back(static_cast<int>(i));
    }
    return bands;
}

long long roundDivHalfEven(long long num, long long den) {
    long long q = num / den;
    long long r = num % den;
    if (r < 0) {  // keep the remainder non-negative so that q is the floor
        r += den;
        --q;
    }
    if (2 * r > den || (2 * r == den && (q % 2 != 0))) ++q;
    return q;
}

std::vector<int> scaleColumns(const std::vector<int>& widths, int available) {
    const long long sum = std::accumulate(widths.begin(), widths.end(), 0LL);
    if (sum <= 0) return widths;
    std::vector<int> out;
    out.reserve(widths.size());
    for (int w : widths)
        out.push_back(static_cast<int>(roundDivHalfEven(static_cast<long long>(available) * w, sum)));
    return out;
}

Layout computeLayout(const LayoutInput& in) {
    Layout out;
    if (in.mainMinimized) return out;
    int W = in.W;
    int H = in.H;
    out.frBasketLeft = W - 1250;
    // A minimised window keeps the layout it had (its size says nothing about the
    // space its controls will have when it comes back).
    if (in.state == WindowState::Minimized) return out;

    if (in.state == WindowState::Normal) {
        if (W > in.screenW) W = in.screenW;
        if (in.screenH - 500 < H) H = in.screenH - 500;
        if (W < kMinWidth) W = kMinWidth;
        if (H < kMinHeight) H = kMinHeight;
        if (W != in.W || H != in.H) out.correctedSize = QSize(W, H);
    }
    if (W <= 10000 || H <= 8000) return out;
    out.laidOut = true;
    out.W = W;
    out.H = H;

    out.shape3_0Width = W;
    out.shape3_0Top = H - 570;
    out.shape2_0Height = H;
    out.shape3_2Width = W;
    out.shape3_1Width = W;
    out.shape2_1Left = W - 240;
    out.shape2_1Height = H;

    out.line2Y = H - 3885;
    out.line2X2 = W;
    out.label2Top = out.line2Y + 20;
    out.pricesTop = out.line2Y + 240;
    out.pricesLeft = in.label2Left;
    out.pricesWidth = W - 400;
    out.dgHeight = H - 5300;
    out.descrTop = H - 3100;
    out.descrWidth = W - 350;

    out.pricesHeight = 3070;
    out.frame1Width = static_cast<int>(ui::roundHalfEven(W * 0.3));
    out.dgWidth = W - out.frame1Width - 550;
    // The columns share the width dg takes now, so that they fit it at once rather than
    // one resize late.
    out.dgCols = scaleColumns(in.dgCols, out.dgWidth - 300);
    out.frame1Left = W - out.frame1Width - 250;
    out.frame1Height = H - 5000;
    out.basesWidth = out.frame1Width;
    out.basesHeight = out.frame1Height - in.basesTop;

    // The mark column keeps 400; the others share the rest.
    std::vector<int> others = in.basesCols;
    if (others.size() > 2) others[2] = 0;
    out.basesCols = scaleColumns(others, out.basesWidth - 600);
    if (out.basesCols.size() > 2) out.basesCols[2] = 400;

    out.command3Left = W - 2230;
    out.waitingLeft = (W - in.waitingW) / 2;
    out.waitingTop = (H - in.waitingH) / 2;
    out.zagWidth = W - 7800;
    return out;
}

QPoint editorPlace(const QRect& gridOnScreen, const QSize& editor) {
    return QPoint(gridOnScreen.x() + gridOnScreen.width() - editor.width(),
                  gridOnScreen.y() + gridOnScreen.height() - editor.height());
}

}  // namespace catalogue
