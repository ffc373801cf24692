#pragma once
// What the catalogue window computes without any widget: its statement texts, the
// bases filter fragment, the quantity bands of the offers grid and the arithmetic of
// its layout. Kept free of Qt Widgets so that it is tested on its own.

#include <QChar>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <optional>
#include <vector>

namespace catalogue {

// --- statements -----------------------------------------------------------------

// "a.IND_GRP=<group>" followed by the bases filter fragment: the WHERE condition of
// the positions list.
QString positionsCondition(int groupKey, const QString& basesFilter);
// The positions of a group with each one's lowest and highest price.
QString positionsStatement(const QString& condition);
// The distinct band limits of one position, from every offer at every base.
QString bandLimitsStatement(const QString& positionKey);
// Every price band of every offer of one position at the marked bases.
QString offersStatement(const QString& positionKey, const QString& basesFilter);
// Every base with its city and region, for the bases grid.
QString basesStatement();

// --- bases filter ---------------------------------------------------------------

struct BaseMark {
    QString key;   // column 0 of the bases grid
    QString mark;  // column 2: "V" when the base is kept
};
// " AND d.IND_BS IN (k1,k2,...)" over the rows marked exactly "V", or "" when none is.
QString BasesFilter(const std::vector<BaseMark>& rows);

// --- quantity bands --------------------------------------------------------------

// Stands for "no upper limit" at the end of the band limits.
inline constexpr double kEndMark = 100000.0;

// The band limits of the offers grid: the position's distinct limits as the statement
// returned them (ascending), followed by the end mark. Band i (1 .. size-1) runs from
// breaks[i-1] to breaks[i]. There is no cap on the number of limits.
std::vector<double> bandBreaks(const std::vector<double>& limits);

// The header of band i: "Цена", "до u", "от l" or "l - u", numbers in their shortest
// form with the given decimal separator.
QString bandCaption(double lower, double upper, QChar decimalPoint);

// The bands (1-based, as columns i + 4 of the grid) that a price band from `from` to
// `to` covers completely; a `to` of 0 means no upper limit.
std::vector<int> bandsCovered(const std::vector<double>& breaks, double from, double to);

// --- layout ----------------------------------------------------------------------

// Rounds num / den to the nearest integer, a half to the even neighbour (den > 0).
long long roundDivHalfEven(long long num, long long den);

// Scales column widths so that they share `available` twips in their current
// proportions, each rounded on its own; columns of width 0 stay hidden. Widths that
// are all 0 come back unchanged.
std::vector<int> scaleColumns(const std::vector<int>& widths, int available);

enum class WindowState { Normal, Minimized, Maximized };

struct LayoutInput {
    int W = 0, H = 0;              // the window's size, twips
    int screenW = 0, screenH = 0;  // twips
    bool mainMinimized = false;
    WindowState state = WindowState::Normal;
    std::vector<int> dgCols;     // current column widths of dg
    std::vector<int> basesCols;  // current column widths of bases
    int basesTop = 0;            // top of bases inside Frame1
    int label2Left = 0;
    int waitingW = 0, waitingH = 0;  // size of frmWaiting
};

struct Layout {
    std::optional<int> frBasketLeft;     // set unless the main window is minimised
    std::optional<QSize> correctedSize;  // the window's new size when it broke a bound
    bool laidOut = false;                // false: the controls keep their earlier layout
    int W = 0, H = 0;                    // the size laid out for, after the corrections
    int shape3_0Width = 0, shape3_0Top = 0, shape2_0Height = 0, shape3_2Width = 0, shape3_1Width = 0;
    int shape2_1Left = 0, shape2_1Height = 0;
    int line2Y = 0, line2X2 = 0;
    int label2Top = 0;
    int pricesTop = 0, pricesLeft = 0, pricesWidth = 0, pricesHeight = 0;
    int dgHeight = 0, dgWidth = 0;
    std::vector<int> dgCols;
    int descrTop = 0, descrWidth = 0;
    int frame1Left = 0, frame1Width = 0, frame1Height = 0;
    int basesWidth = 0, basesHeight = 0;
    std::vector<int> basesCols;
    int command3Left = 0;
    int waitingLeft = 0, waitingTop = 0;
    int zagWidth = 0;
};

// The smallest size a normal catalogue window keeps.
inline constexpr int kMinWidth = 12000;
inline constexpr int kMinHeight = 8500;

Layout computeLayout(const LayoutInput& in);

// Where the line editor goes so that its bottom-right corner meets the bottom-right
// corner of the positions grid, both in screen coordinates.
QPoint editorPlace(const QRect& gridOnScreen, const QSize& editor);

}  // namespace catalogue
