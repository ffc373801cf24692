#include "ui/fit_columns.h"

#include <QFontMetrics>
#include <QLabel>
#include <QSet>
#include <algorithm>

#include "ui/flexgrid.h"
#include "ui/twips.h"

namespace ui {
namespace {

// The measuring font: one family from the grid, the size from the label, so that a
// window can change how generously its columns are sized through its label alone.
QFont measuringFont(const QFont& family, const QFont& sizeSource, bool bold) {
    QFont f = sizeSource;
    f.setFamilies(family.families().isEmpty() ? QStringList{family.family()} : family.families());
    f.setBold(bold);
    return f;
}

}  // namespace

void FitColumns(FlexGrid& grid, QLabel& widthLabel, int boldRows) {
    GridModel& m = grid.model();
    const QFontMetrics bold(measuringFont(grid.headerFont(), widthLabel.font(), true));
    const QFontMetrics plain(measuringFont(grid.cellFont(), widthLabel.font(), false));
    for (int c = 0; c < m.cols(); ++c) {
        if (m.colWidth(c) == 0) continue;
        int widest = 0;
        // Columns repeat their texts (regions, cities, bases); measuring is the slow part.
        QSet<QString> measured[2];
        for (int r = 0; r < m.rows(); ++r) {
            const bool header = r < boldRows;
            const QString t = m.text(r, c).trimmed();
            if (t.isEmpty() || measured[header].contains(t)) continue;
            measured[header].insert(t);
            widest = std::max(widest, (header ? bold : plain).horizontalAdvance(t));
        }
        m.setColWidth(c, ui::pxToTwips(widest) + 100);
    }
    grid.refresh();
}

}  // namespace ui
