#pragma once
// The flex grid every list of the program uses: fixed rows that stay in view while the
// body scrolls, a text per cell, hidden columns (width 0) and rows (height 0),
// per-column alignment, per-cell back colour and bold face, merged region rows, rows
// added from tab-separated text, a current cell with a selection, the cell under the
// mouse, and a generic sort. GridModel holds the data and the algorithms and paints
// nothing; FlexGrid is the widget that shows a GridModel.
//
// Sizes are twips (1440 per inch): widths and heights are kept in twips and converted
// to pixels only when painting.

#include <QAbstractScrollArea>
#include <QFont>

#include "ui/grid_model.h"

class QPainter;

namespace ui {

class FlexGrid : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit FlexGrid(QWidget* parent = nullptr);

    GridModel& model() { return model_; }
    const GridModel& model() const { return model_; }
    // Call after changing the model directly, so the widget relayouts and repaints.
    void refresh();

    // The cell under the mouse (as of the last mouse event over the grid); -1 outside.
    int mouseRow() const { return mouseRow_; }
    int mouseCol() const { return mouseCol_; }
    // The cell at a point of the viewport, -1 where there is none.
    int rowAt(int y) const;
    int colAt(int x) const;
    // The viewport rectangle of a cell (for tests that click on it); empty when hidden
    // or scrolled out of view.
    QRect cellRect(int row, int col) const;

    QFont headerFont() const { return headerFont_; }
    void setHeaderFont(const QFont& f);
    QFont cellFont() const { return font(); }

    // Scrolls so that row is the first data row below the fixed rows (as far as the
    // scroll range allows); emits scrolled() when the view moved.
    void setTopRow(int row);
    // The first scrolled column shown right of the fixed columns.
    int leftCol() const;
    void setLeftCol(int col);
    // Scrolls the least needed to bring the cell into view.
    void ensureCellVisible(int row, int col);
    // A window that scrolls on wheelTurned() by itself switches the grid's own scrolling off.
    void setWheelScrolls(bool on) { wheelScrolls_ = on; }
    bool wheelScrolls() const { return wheelScrolls_; }

signals:
    void mousePressed(Qt::MouseButton button, Qt::KeyboardModifiers mods, QPoint pos);
    void mouseReleased(Qt::MouseButton button, Qt::KeyboardModifiers mods, QPoint pos);
    void clicked();
    void doubleClicked();
    void keyPressed(int key, Qt::KeyboardModifiers mods);
    void currentCellChanged();  // the current row or column changed (mouse or keyboard)
    void scrolled();
    void wheelTurned(int delta);  // angle delta; positive = away from the operator

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;
    void changeEvent(QEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

private:
    // Pixel layout of one axis (rows or columns): prefix offsets of every item (hidden
    // items take no space) and the scrollable items that can be seen.
    struct Axis {
        std::vector<int> start;    // start[i] = offset of item i; start[n] = total extent
        std::vector<int> visible;  // non-fixed items with a size, in order
        int fixed = 0;             // number of fixed items
        int count() const { return static_cast<int>(start.size()) - 1; }
        int size(int i) const { return start[i + 1] - start[i]; }
        int fixedExtent() const { return start[fixed]; }
        int total() const { return start.back(); }
    };
    struct Span {
        int first, last;  // columns
    };

    void updateMouseCell(const QPoint& pos);
    void updateScrollBars();
    void ensureLayout() const;
    int rowPx(int row, int minHeaderPx, int minCellPx) const;
    void scheduleScrollSync() const;
    // Index into the axis' visible list of the first scrolled item shown.
    int firstIndex(const Axis& a, int item, int viewExtent) const;
    int maxFirstIndex(const Axis& a, int viewExtent) const;
    int topIndex() const;
    int leftIndex() const;
    int itemAt(const Axis& a, int firstIdx, int pos, int viewExtent) const;
    // Viewport offset of an item, or nullopt when it lies scrolled off before the view.
    std::optional<int> itemPos(const Axis& a, int firstIdx, int item) const;
    bool moveCurrent(int row, int col, bool scroll);
    int stepRow(int from, int delta) const;
    int stepCol(int from, int delta) const;
    int pageRows() const;
    struct PaintContext;
    void paintRegion(QPainter& p, const PaintContext& cx, const QRect& clip, const std::vector<int>& rowItems,
                     const std::vector<int>& colItems, bool scrolledCols) const;
    void paintCell(QPainter& p, const PaintContext& cx, const QRect& r, int row, int firstCol,
                   int lastCol) const;
    // Column spans of a row as painted: one per visible column, or runs of equal
    // adjacent cells in a merged row.
    std::vector<Span> spansOf(int row, const std::vector<int>& colItems, bool scrolledCols) const;

    GridModel model_;
    QFont headerFont_;
    bool headerFontSet_ = false;
    int mouseRow_ = -1;
    int mouseCol_ = -1;
    int leftCol_ = 0;
    bool wheelScrolls_ = true;
    bool suppressClick_ = false;
    int wheelRemainder_ = 0;
    mutable Axis rowAxis_, colAxis_;
    mutable quint64 layoutRev_ = ~quint64(0);
    mutable bool layoutDirty_ = true;
    mutable bool scrollSyncPending_ = false;
    bool syncingScrollBars_ = false;
    bool resyncWanted_ = false;
};

}  // namespace ui
