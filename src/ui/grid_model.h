#pragma once
// The data of a flex grid, without any widget: fixed rows and columns, a text per cell,
// hidden columns (width 0) and rows (height 0), per-column alignment, per-cell back
// colour and bold face, merged region rows, rows added from tab-separated text, a current
// cell with a selection, the highlighted row, and a generic sort.
//
// Sizes are twips (1440 per inch).

#include <QColor>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace ui {

// The back colour of a highlighted row (a chosen position, a marked base).
inline const QColor kHighlightColour{0xC2, 0xD6, 0xEB};

class GridModel {
public:
    static constexpr int kDefaultColWidth = 960;   // twips
    static constexpr int kDefaultRowHeight = 255;  // twips

    GridModel(int rows = 2, int cols = 2, int fixedRows = 1, int fixedCols = 0);

    int rows() const;
    int cols() const;
    // Growing adds empty rows/columns (default sizes); shrinking drops the last ones.
    void setRows(int n);
    void setCols(int n);
    int fixedRows() const;
    void setFixedRows(int n);
    int fixedCols() const;
    void setFixedCols(int n);

    QString text(int row, int col) const;  // "" out of range
    void setText(int row, int col, const QString& text);

    int colWidth(int col) const;  // twips; 0 = hidden
    void setColWidth(int col, int twips);
    int rowHeight(int row) const;  // twips; 0 = hidden
    void setRowHeight(int row, int twips);

    Qt::Alignment colAlignment(int col) const;  // data cells; default left | vcenter
    void setColAlignment(int col, Qt::Alignment a);
    Qt::Alignment fixedAlignment(int col) const;  // fixed cells of the column; default left | vcenter
    void setFixedAlignment(int col, Qt::Alignment a);

    // Per-cell back colour; nullopt = the grid's own colour (fixed cells: the header colour).
    std::optional<QColor> cellBackColor(int row, int col) const;
    void setCellBackColor(int row, int col, std::optional<QColor> c);
    bool cellBold(int row, int col) const;
    void setCellBold(int row, int col, bool bold);

    // A merged row shows adjacent equal cells as one caption across the row.
    bool mergeRow(int row) const;
    void setMergeRow(int row, bool merge);

    // Adds a row whose cells are the tab-separated parts of text (missing parts are
    // empty, surplus parts ignored), at the end (index < 0) or before row index.
    void addItem(const QString& tabSeparated, int index = -1);
    // Appends a row of these cell texts (the same as addItem of them joined by tabs).
    void addRow(QStringList cells);
    void removeItem(int row);
    // Empties every cell, colour and flag, keeping the shape.
    void clearCells();

    // Current cell and the selection: rows row()..rowSel(), columns col()..colSel().
    int row() const;
    int col() const;
    void setRow(int r);  // also sets rowSel
    void setCol(int c);  // also sets colSel
    int rowSel() const;
    int colSel() const;
    void setRowSel(int r);
    void setColSel(int c);
    int topRow() const;  // first data row shown below the fixed rows
    void setTopRow(int r);

    // Sorts the data rows (fixedRows()..rows()-1) by the column, moving whole rows
    // with their colours and flags. Two cells compare as numbers when both read as
    // numbers (point or the locale's separator), otherwise as texts. Stable.
    void sort(int col, bool ascending);

    QColor backColor() const;
    void setBackColor(const QColor& c);
    QColor fixedBackColor() const;
    void setFixedBackColor(const QColor& c);

    // The highlighted row, or -1: its cells from the first highlighted column on have the
    // highlight colour, and it stays the highlighted row as sorting moves it. A fixed row
    // or -1 clears the highlight.
    int highlightedRow() const;
    void setHighlightedRow(int row, int firstCol = 0);

    QStringList rowTexts(int row) const;  // for tests and printing

    // Changes with every change of shape or size (rows, columns, widths, heights,
    // fixed counts, row order), so that a view can cache its layout and notice when the
    // model was changed behind its back.
    quint64 layoutRevision() const { return layoutRev_; }

private:
    void insertRow(QStringList parts, int index);
    struct Cell {
        QString text;
        std::optional<QColor> back;
        bool bold = false;
    };
    struct Row {
        std::vector<Cell> cells;
        int height = kDefaultRowHeight;
        bool merge = false;
        bool highlighted = false;
    };
    std::vector<Row> rows_;
    std::vector<int> colWidths_;
    std::vector<Qt::Alignment> colAlign_, fixedAlign_;
    int cols_ = 0;
    int fixedRows_ = 1;
    int fixedCols_ = 0;
    int highlightFrom_ = 0;  // the first column the highlight colours
    int row_ = 0, col_ = 0, rowSel_ = 0, colSel_ = 0, topRow_ = 1;
    QColor back_ = Qt::white;
    QColor fixedBack_ = QColor(0xD4, 0xD0, 0xC8);
    quint64 layoutRev_ = 0;

    bool inRange(int row, int col) const;
    void clampCursor();
};

}  // namespace ui
