#pragma once
// Sizes every visible column of a grid to its widest text, measured in the grid's own
// font families at the size of a window's measuring label.

class QLabel;

namespace ui {

class FlexGrid;

// Each column whose width is not 0 becomes as wide as its widest trimmed cell text plus
// 100 twips. Rows above boldRows are measured in the header font's family, bold; the
// others in the cell font's family, not bold; both at the point size of widthLabel's
// font. Hidden columns stay hidden. The grid is refreshed afterwards.
void FitColumns(FlexGrid& grid, QLabel& widthLabel, int boldRows = 1);

}  // namespace ui
