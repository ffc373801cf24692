#pragma once
// The basket's supplier comparison without any widget: one column per order line, one
// row per supplier base offering an ordered position, the lowest unit price at the
// ordered quantity in each cell and the order's total where a base prices every line.

#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/value.h"

class clsZak;
namespace store {
class Connection;
}

namespace basket_cmp {

// The grid's shape: four fixed rows, then base rows; five base columns, then lines.
constexpr int kKeyRow = 0;  // hidden: the position key of each line column
constexpr int kGroupRow = 1;
constexpr int kNameRow = 2;
constexpr int kCaptionRow = 3;  // captions and ordered quantities
constexpr int kFixedRows = 4;
constexpr int kKeyCol = 0;  // hidden: the base key of each base row
constexpr int kMarkCol = 1;
constexpr int kCityCol = 2;
constexpr int kBaseCol = 3;
constexpr int kTotalCol = 4;
constexpr int kFirstLineCol = 5;

// One line column.
struct LineColumn {
    int slot = -1;            // the order line's slot in CurrentOrder
    int32_t positionKey = 0;  // idn of the line
    bool known = true;        // false: position or group missing from the reference tables
    QString group;            // GRP_NM
    QString name;             // PST_NM (the key's text for an unknown position)
    double qty = 0.0;
    QString qtyText;  // as shown in the caption row
};

// One base row.
struct BaseRow {
    int32_t baseKey = 0;
    QString city;
    QString base;
    std::vector<std::optional<double>> prices;  // one per line column
    std::optional<double> total;                // set by calcTotals for a complete base
};

class Comparison {
public:
    std::vector<LineColumn> lines;
    std::vector<BaseRow> bases;

    // Writes the price into every base row with the base key and every known line
    // column with the position key (a position ordered twice is priced in both columns).
    // With a quantity, only the columns ordered at that quantity.
    void setBasePrice(int32_t baseKey, int32_t positionKey, double price, std::optional<double> qty = {});
    // Empties every base's price in the columns of the listed positions ("k1,k2,…").
    void clearPrices(const QString& positionKeys);
    // Sum of quantity x price for each base that prices every line; others get none.
    void calcTotals();

    int columnCount() const { return kFirstLineCol + static_cast<int>(lines.size()); }
    // The order slot of a grid column, or -1 for the base columns.
    int slotOfColumn(int col) const;

    // The texts of the grid, row by row, exactly as the basket window shows them: the
    // four header rows, then one row per base, or the hidden empty placeholder row when
    // no base offers anything. Prices are plain numbers in the operator's locale, totals
    // go through FormatValue.
    QList<QStringList> gridTexts() const;
    bool hasPlaceholderRow() const { return bases.empty(); }
};

// The text of a quantity for SQL: a point as decimal separator whatever the operator's
// locale, every significant digit kept.
QString sqlQuantity(double qty);

// Rebuilds the comparison of the order through the scratch table TBL_CORD: empties it,
// writes one record per live order line, and reads the lines, the bases and the prices
// back with three queries. Walks the order's cursor (it ends past the last line).
// Throws core::DbError / core::ConversionError like the statements it sends.
Comparison BuildComparison(store::Connection& cn, clsZak& order);

}  // namespace basket_cmp
