#include "ui/flexgrid.h"

#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>

#include "core/guard.h"
#include "core/errors.h"
#include "core/seams.h"
#include "ui/twips.h"
#include "core/value.h"

namespace ui {

// ---------------------------------------------------------------------------------
// GridModel

namespace {

constexpr Qt::Alignment kDefaultAlign = Qt::AlignLeft | Qt::AlignVCenter;

int sizeOrDefault(int twips, int fallback) {
    return twips < 0 ? fallback : twips;
}

}  // namespace

GridModel::GridModel(int rows, int cols, int fixedRows, int fixedCols) {
    setCols(std::max(cols, 0));
    setRows(std::max(rows, 0));
    fixedRows_ = std::clamp(fixedRows, 0, static_cast<int>(rows_.size()));
    fixedCols_ = std::clamp(fixedCols, 0, cols_);
    row_ = rowSel_ = std::min(fixedRows_, std::max(this->rows() - 1, 0));
    col_ = colSel_ = std::min(fixedCols_, std::max(cols_ - 1, 0));
    topRow_ = fixedRows_;
}

bool GridModel::inRange(int row, int col) const {
    return row >= 0 && row < rows() && col >= 0 && col < cols_;
}

// Keeps the cursor inside the shape after rows or columns went away; a cursor in an
// empty grid rests at 0.
void GridModel::clampCursor() {
    const int lastRow = std::max(rows() - 1, 0);
    const int lastCol = std::max(cols_ - 1, 0);
    row_ = std::clamp(row_, 0, lastRow);
    rowSel_ = std::clamp(rowSel_, 0, lastRow);
    col_ = std::clamp(col_, 0, lastCol);
    colSel_ = std::clamp(colSel_, 0, lastCol);
    topRow_ = std::clamp(topRow_, std::min(fixedRows_, lastRow), std::max(lastRow, fixedRows_));
}

int GridModel::rows() const {
    return static_cast<int>(rows_.size());
}
int GridModel::cols() const {
    return cols_;
}

void GridModel::setRows(int n) {
    n = std::max(n, 0);
    const int old = rows();
    rows_.resize(n);
    for (int r = old; r < n; ++r) rows_[r].cells.resize(cols_);
    fixedRows_ = std::min(fixedRows_, n);
    clampCursor();
    ++layoutRev_;
}

void GridModel::setCols(int n) {
    n = std::max(n, 0);
    cols_ = n;
    colWidths_.resize(n, kDefaultColWidth);
    colAlign_.resize(n, kDefaultAlign);
    fixedAlign_.resize(n, kDefaultAlign);
    for (Row& r : rows_) r.cells.resize(n);
    fixedCols_ = std::min(fixedCols_, n);
    clampCursor();
    ++layoutRev_;
}

int GridModel::fixedRows() const {
    return fixedRows_;
}

void GridModel::setFixedRows(int n) {
    fixedRows_ = std::clamp(n, 0, rows());
    clampCursor();
    ++layoutRev_;
}

int GridModel::fixedCols() const {
    return fixedCols_;
}

void GridModel::setFixedCols(int n) {
    fixedCols_ = std::clamp(n, 0, cols_);
    ++layoutRev_;
}

QString GridModel::text(int row, int col) const {
    return inRange(row, col) ? rows_[row].cells[col].text : QString();
}

void GridModel::setText(int row, int col, const QString& text) {
    if (inRange(row, col)) rows_[row].cells[col].text = text;
}

int GridModel::colWidth(int col) const {
    return col >= 0 && col < cols_ ? colWidths_[col] : 0;
}

void GridModel::setColWidth(int col, int twips) {
    if (col < 0 || col >= cols_) return;
    colWidths_[col] = sizeOrDefault(twips, kDefaultColWidth);
    ++layoutRev_;
}

int GridModel::rowHeight(int row) const {
    return row >= 0 && row < rows() ? rows_[row].height : 0;
}

void GridModel::setRowHeight(int row, int twips) {
    if (row < 0 || row >= rows()) return;
    rows_[row].height = sizeOrDefault(twips, kDefaultRowHeight);
    ++layoutRev_;
}

Qt::Alignment GridModel::colAlignment(int col) const {
    return col >= 0 && col < cols_ ? colAlign_[col] : kDefaultAlign;
}

void GridModel::setColAlignment(int col, Qt::Alignment a) {
    if (col >= 0 && col < cols_) colAlign_[col] = a;
}

Qt::Alignment GridModel::fixedAlignment(int col) const {
    return col >= 0 && col < cols_ ? fixedAlign_[col] : kDefaultAlign;
}

void GridModel::setFixedAlignment(int col, Qt::Alignment a) {
    if (col >= 0 && col < cols_) fixedAlign_[col] = a;
}

std::optional<QColor> GridModel::cellBackColor(int row, int col) const {
    return inRange(row, col) ? rows_[row].cells[col].back : std::nullopt;
}

void GridModel::setCellBackColor(int row, int col, std::optional<QColor> c) {
    if (inRange(row, col)) rows_[row].cells[col].back = c;
}

bool GridModel::cellBold(int row, int col) const {
    return inRange(row, col) && rows_[row].cells[col].bold;
}

void GridModel::setCellBold(int row, int col, bool bold) {
    if (inRange(row, col)) rows_[row].cells[col].bold = bold;
}

bool GridModel::mergeRow(int row) const {
    return row >= 0 && row < rows() && rows_[row].merge;
}

void GridModel::setMergeRow(int row, bool merge) {
    if (row >= 0 && row < rows()) rows_[row].merge = merge;
}

void GridModel::addItem(const QString& tabSeparated, int index) {
    Row r;
    r.cells.resize(cols_);
    const QStringList parts = tabSeparated.split(QLatin1Char('\t'));
    for (int c = 0; c < cols_ && c < parts.size(); ++c) r.cells[c].text = parts[c];
    if (index < 0 || index > rows()) index = rows();
    rows_.insert(rows_.begin() + index, std::move(r));
    ++layoutRev_;
}

void GridModel::removeItem(int row) {
    if (row < 0 || row >= rows()) return;
    rows_.erase(rows_.begin() + row);
    fixedRows_ = std::min(fixedRows_, rows());
    clampCursor();
    ++layoutRev_;
}

void GridModel::clearCells() {
    for (Row& r : rows_) {
        r.merge = false;
        for (Cell& c : r.cells) c = Cell{};
    }
}

int GridModel::row() const {
    return row_;
}
int GridModel::col() const {
    return col_;
}

void GridModel::setRow(int r) {
    row_ = rowSel_ = std::clamp(r, 0, std::max(rows() - 1, 0));
}

void GridModel::setCol(int c) {
    col_ = colSel_ = std::clamp(c, 0, std::max(cols_ - 1, 0));
}

int GridModel::rowSel() const {
    return rowSel_;
}
int GridModel::colSel() const {
    return colSel_;
}

void GridModel::setRowSel(int r) {
    rowSel_ = std::clamp(r, 0, std::max(rows() - 1, 0));
}
void GridModel::setColSel(int c) {
    colSel_ = std::clamp(c, 0, std::max(cols_ - 1, 0));
}

int GridModel::topRow() const {
    return topRow_;
}

void GridModel::setTopRow(int r) {
    const int lastRow = std::max(rows() - 1, fixedRows_);
    topRow_ = std::clamp(r, fixedRows_, lastRow);
}

namespace {

// One cell's sort key, worked out once per row rather than once per comparison.
struct SortKey {
    bool isNumber = false;
    double number = 0;
    QString text;  // case-folded
};

int compareKeys(const SortKey& a, const SortKey& b) {
    if (a.isNumber && b.isNumber) return a.number < b.number ? -1 : (b.number < a.number ? 1 : 0);
    const int c = QString::localeAwareCompare(a.text, b.text);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// A plain merge sort: mixing numeric and text comparison is not a strict weak order
// (9 < 10 numerically, "10" < "9a" < "9b" as texts...), which std::stable_sort may not
// survive; merging only ever compares neighbours' keys and stays stable and in bounds.
void mergeSort(std::vector<int>& idx, std::vector<int>& tmp, size_t lo, size_t hi,
               const std::vector<SortKey>& keys, bool ascending) {
    if (hi - lo < 2) return;
    const size_t mid = lo + (hi - lo) / 2;
    mergeSort(idx, tmp, lo, mid, keys, ascending);
    mergeSort(idx, tmp, mid, hi, keys, ascending);
    size_t i = lo, j = mid, k = lo;
    while (i < mid && j < hi) {
        int c = compareKeys(keys[idx[j]], keys[idx[i]]);
        if (!ascending) c = -c;
        // Take from the right half only when strictly before, so equal rows keep their order.
        tmp[k++] = c < 0 ? idx[j++] : idx[i++];
    }
    while (i < mid) tmp[k++] = idx[i++];
    while (j < hi) tmp[k++] = idx[j++];
    std::copy(tmp.begin() + lo, tmp.begin() + hi, idx.begin() + lo);
}

}  // namespace

void GridModel::sort(int col, bool ascending) {
    if (col < 0 || col >= cols_ || rows() - fixedRows_ < 2) return;
    const int n = rows() - fixedRows_;
    std::vector<SortKey> keys(n);
    for (int i = 0; i < n; ++i) {
        const QString& t = rows_[fixedRows_ + i].cells[col].text;
        SortKey& k = keys[i];
        k.isNumber = core::parseNumber(t, &k.number);
        k.text = t.toLower();  // also needed for a number met by a text
    }
    std::vector<int> idx(n), tmp(n);
    for (int i = 0; i < n; ++i) idx[i] = i;
    mergeSort(idx, tmp, 0, idx.size(), keys, ascending);

    std::vector<Row> sorted;
    sorted.reserve(n);
    for (int i : idx) sorted.push_back(std::move(rows_[fixedRows_ + i]));
    std::move(sorted.begin(), sorted.end(), rows_.begin() + fixedRows_);
    ++layoutRev_;
}

QColor GridModel::backColor() const {
    return back_;
}
void GridModel::setBackColor(const QColor& c) {
    back_ = c;
}
QColor GridModel::fixedBackColor() const {
    return fixedBack_;
}
void GridModel::setFixedBackColor(const QColor& c) {
    fixedBack_ = c;
}

QStringList GridModel::rowTexts(int row) const {
    QStringList out;
    if (row < 0 || row >= rows()) return out;
    for (const Cell& c : rows_[row].cells) out << c.text;
    return out;
}

// ---------------------------------------------------------------------------------
// FlexGrid

namespace {

constexpr int kPad = 2;        // px between a cell's edge and its text
constexpr int kWheelRows = 3;  // rows per wheel notch
const QColor kGridLine(0xD0, 0xD0, 0xD0);
const QColor kFixedGridLine(0xA0, 0xA0, 0xA0);

}  // namespace

FlexGrid::FlexGrid(QWidget* parent) : QAbstractScrollArea(parent) {
    headerFont_ = font();
    headerFont_.setBold(true);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    verticalScrollBar()->setSingleStep(1);
    horizontalScrollBar()->setSingleStep(1);
    updateScrollBars();
}

void FlexGrid::setHeaderFont(const QFont& f) {
    headerFont_ = f;
    headerFontSet_ = true;
    refresh();
}

void FlexGrid::refresh() {
    layoutDirty_ = true;
    updateScrollBars();
    viewport()->update();
}

// Rows of the default height grow to the font, so a larger font never clips the text;
// explicit heights are kept as given.
int FlexGrid::rowPx(int row, int minHeaderPx, int minCellPx) const {
    const int h = model_.rowHeight(row);
    if (h <= 0) return 0;
    const int px = std::max(ui::twipsToPx(h), 1);
    if (h != GridModel::kDefaultRowHeight) return px;
    return std::max(px, row < model_.fixedRows() ? minHeaderPx : minCellPx);
}

void FlexGrid::ensureLayout() const {
    if (!layoutDirty_ && layoutRev_ == model_.layoutRevision()) return;
    const bool behindOurBack = !layoutDirty_;
    layoutDirty_ = false;
    layoutRev_ = model_.layoutRevision();

    auto build = [](Axis& a, int n, int fixed, auto sizeOf) {
        a.start.assign(n + 1, 0);
        a.visible.clear();
        a.fixed = std::clamp(fixed, 0, n);
        for (int i = 0; i < n; ++i) {
            const int s = sizeOf(i);
            a.start[i + 1] = a.start[i] + s;
            if (i >= a.fixed && s > 0) a.visible.push_back(i);
        }
    };
    const int minHeader = QFontMetrics(headerFont_).height() + 2;
    const int minCell = QFontMetrics(font()).height() + 2;
    build(rowAxis_, model_.rows(), model_.fixedRows(), [&](int r) { return rowPx(r, minHeader, minCell); });
    build(colAxis_, model_.cols(), model_.fixedCols(), [this](int c) {
        const int w = model_.colWidth(c);
        return w <= 0 ? 0 : std::max(ui::twipsToPx(w), 1);
    });

    // The model changed without refresh(): the picture is right already, the scroll
    // bars follow as soon as the event loop is free.
    if (behindOurBack) scheduleScrollSync();
}

void FlexGrid::scheduleScrollSync() const {
    if (scrollSyncPending_) return;
    scrollSyncPending_ = true;
    auto* self = const_cast<FlexGrid*>(this);
    QTimer::singleShot(0, self, [self] {
        self->scrollSyncPending_ = false;
        self->updateScrollBars();
        self->viewport()->update();
    });
}

int FlexGrid::maxFirstIndex(const Axis& a, int viewExtent) const {
    const int n = static_cast<int>(a.visible.size());
    if (n == 0) return 0;
    const int avail = viewExtent - a.fixedExtent();
    // The first index from which everything to the end fits in the view.
    int lo = 0, hi = n - 1;
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (a.total() - a.start[a.visible[mid]] <= avail)
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

int FlexGrid::firstIndex(const Axis& a, int item, int viewExtent) const {
    const auto it = std::lower_bound(a.visible.begin(), a.visible.end(), item);
    const int idx = static_cast<int>(it - a.visible.begin());
    return std::clamp(idx, 0, maxFirstIndex(a, viewExtent));
}

int FlexGrid::topIndex() const {
    ensureLayout();
    return firstIndex(rowAxis_, model_.topRow(), viewport()->height());
}

int FlexGrid::leftIndex() const {
    ensureLayout();
    return firstIndex(colAxis_, leftCol_, viewport()->width());
}

int FlexGrid::leftCol() const {
    const int idx = leftIndex();
    return colAxis_.visible.empty() ? model_.fixedCols() : colAxis_.visible[idx];
}

std::optional<int> FlexGrid::itemPos(const Axis& a, int firstIdx, int item) const {
    if (item < 0 || item >= a.count()) return std::nullopt;
    if (item < a.fixed) return a.start[item];
    if (a.visible.empty()) return std::nullopt;
    const int first = a.visible[firstIdx];
    if (item < first) return std::nullopt;
    return a.fixedExtent() + a.start[item] - a.start[first];
}

int FlexGrid::itemAt(const Axis& a, int firstIdx, int pos, int viewExtent) const {
    if (pos < 0 || pos >= viewExtent) return -1;
    int p = pos;
    int lo = 0, hi = a.fixed;  // search among start[lo..hi)
    if (pos >= a.fixedExtent()) {
        if (a.visible.empty()) return -1;
        const int first = a.visible[firstIdx];
        p = pos - a.fixedExtent() + a.start[first];
        if (p >= a.total()) return -1;
        lo = first;
        hi = a.count();
    }
    // The last item starting at or before p; hidden items share their start with the
    // next one, so this always lands on an item with a size.
    const auto it = std::upper_bound(a.start.begin() + lo, a.start.begin() + hi, p);
    const int item = static_cast<int>(it - a.start.begin()) - 1;
    if (item < lo || a.size(item) <= 0) return -1;
    return item;
}

int FlexGrid::rowAt(int y) const {
    ensureLayout();
    return itemAt(rowAxis_, topIndex(), y, viewport()->height());
}

int FlexGrid::colAt(int x) const {
    ensureLayout();
    return itemAt(colAxis_, leftIndex(), x, viewport()->width());
}

QRect FlexGrid::cellRect(int row, int col) const {
    ensureLayout();
    const auto y = itemPos(rowAxis_, topIndex(), row);
    const auto x = itemPos(colAxis_, leftIndex(), col);
    if (!x || !y || rowAxis_.size(row) <= 0 || colAxis_.size(col) <= 0) return {};
    return QRect(*x, *y, colAxis_.size(col), rowAxis_.size(row)) & viewport()->rect();
}

void FlexGrid::updateScrollBars() {
    // Showing or hiding a scroll bar resizes the viewport, which lands here again; the
    // outer call then simply goes round once more with the new size.
    if (syncingScrollBars_) {
        resyncWanted_ = true;
        return;
    }
    ensureLayout();
    QScrollBar* v = verticalScrollBar();
    QScrollBar* h = horizontalScrollBar();
    int top = 0, left = 0;
    // The scroll bars' signals must flow (the scroll area shows and hides them on range
    // changes); only our own reaction to the values is held back.
    syncingScrollBars_ = true;
    for (int pass = 0; pass < 3; ++pass) {
        resyncWanted_ = false;
        const QSize view = viewport()->size();
        top = topIndex();
        left = leftIndex();
        const int page = pageRows();
        v->setRange(0, maxFirstIndex(rowAxis_, view.height()));
        h->setRange(0, maxFirstIndex(colAxis_, view.width()));
        v->setPageStep(std::max(page, 1));
        h->setPageStep(1);
        v->setValue(top);
        h->setValue(left);
        if (!resyncWanted_ && viewport()->size() == view) break;
    }
    syncingScrollBars_ = false;
    // The model reports the top row actually shown, not one past the scroll range.
    if (!rowAxis_.visible.empty()) model_.setTopRow(rowAxis_.visible[top]);
    if (!colAxis_.visible.empty()) leftCol_ = colAxis_.visible[left];
}

int FlexGrid::pageRows() const {
    ensureLayout();
    const int avail = viewport()->height() - rowAxis_.fixedExtent();
    int n = 0, used = 0;
    for (size_t i = static_cast<size_t>(topIndex()); i < rowAxis_.visible.size(); ++i) {
        used += rowAxis_.size(rowAxis_.visible[i]);
        if (used > avail) break;
        ++n;
    }
    return std::max(n, 1);
}

void FlexGrid::setTopRow(int row) {
    ensureLayout();
    model_.setTopRow(row);
    const int idx = topIndex();
    if (!rowAxis_.visible.empty()) model_.setTopRow(rowAxis_.visible[idx]);
    if (verticalScrollBar()->value() != idx)
        verticalScrollBar()->setValue(idx);  // scrollContentsBy emits scrolled()
    viewport()->update();
}

void FlexGrid::setLeftCol(int col) {
    ensureLayout();
    leftCol_ = std::max(col, 0);
    const int idx = leftIndex();
    if (horizontalScrollBar()->value() != idx) horizontalScrollBar()->setValue(idx);
    viewport()->update();
}

void FlexGrid::ensureCellVisible(int row, int col) {
    ensureLayout();
    auto bring = [this](const Axis& a, int item, int firstIdx, int viewExtent) {
        if (item < a.fixed || item >= a.count() || a.size(item) <= 0 || a.visible.empty()) return firstIdx;
        const int idx =
            static_cast<int>(std::lower_bound(a.visible.begin(), a.visible.end(), item) - a.visible.begin());
        if (idx < firstIdx) return idx;
        // Scroll forward until the item's far edge is inside the view.
        const int avail = viewExtent - a.fixedExtent();
        int first = firstIdx;
        while (first < idx && a.start[item + 1] - a.start[a.visible[first]] > avail) ++first;
        return std::min(first, maxFirstIndex(a, viewExtent));
    };
    const int top = bring(rowAxis_, row, topIndex(), viewport()->height());
    const int left = bring(colAxis_, col, leftIndex(), viewport()->width());
    if (!rowAxis_.visible.empty()) setTopRow(rowAxis_.visible[top]);
    if (!colAxis_.visible.empty()) setLeftCol(colAxis_.visible[left]);
}

void FlexGrid::scrollContentsBy(int, int) {
    if (syncingScrollBars_) return;
    ensureLayout();
    const int v = verticalScrollBar()->value();
    const int h = horizontalScrollBar()->value();
    if (v >= 0 && v < static_cast<int>(rowAxis_.visible.size())) model_.setTopRow(rowAxis_.visible[v]);
    if (h >= 0 && h < static_cast<int>(colAxis_.visible.size())) leftCol_ = colAxis_.visible[h];
    viewport()->update();
    core::guarded([this] { emit scrolled(); });
}

void FlexGrid::resizeEvent(QResizeEvent* e) {
    QAbstractScrollArea::resizeEvent(e);
    updateScrollBars();
}

void FlexGrid::changeEvent(QEvent* e) {
    QAbstractScrollArea::changeEvent(e);
    if (e->type() == QEvent::FontChange) {
        if (!headerFontSet_) {
            headerFont_ = font();
            headerFont_.setBold(true);
        }
        refresh();
    } else if (e->type() == QEvent::PaletteChange) {
        viewport()->update();
    }
}

void FlexGrid::focusInEvent(QFocusEvent* e) {
    QAbstractScrollArea::focusInEvent(e);
    viewport()->update();
}

void FlexGrid::focusOutEvent(QFocusEvent* e) {
    QAbstractScrollArea::focusOutEvent(e);
    viewport()->update();
}

// ---------------------------------------------------------------------------------
// Painting

std::vector<FlexGrid::Span> FlexGrid::spansOf(int row, const std::vector<int>& colItems,
                                              bool scrolledCols) const {
    std::vector<Span> spans;
    if (!model_.mergeRow(row)) {
        spans.reserve(colItems.size());
        for (int c : colItems) spans.push_back({c, c});
        return spans;
    }
    if (colItems.empty()) return spans;
    // Runs are found over every visible column of the region, so that a caption that
    // starts left of the view is still centred on its whole run.
    std::vector<int> all;
    if (scrolledCols) {
        all = colAxis_.visible;
    } else {
        for (int c = 0; c < colAxis_.fixed; ++c)
            if (colAxis_.size(c) > 0) all.push_back(c);
    }
    const int firstShown = colItems.front(), lastShown = colItems.back();
    for (size_t i = 0; i < all.size();) {
        size_t j = i;
        const QString t = model_.text(row, all[i]);
        while (j + 1 < all.size() && model_.text(row, all[j + 1]) == t) ++j;
        if (all[j] >= firstShown && all[i] <= lastShown) spans.push_back({all[i], all[j]});
        if (all[i] > lastShown) break;
        i = j + 1;
    }
    return spans;
}

// What every cell of one paint shares, worked out once per paint rather than per cell.
struct FlexGrid::PaintContext {
    explicit PaintContext(const FlexGrid& g)
        : fonts{g.font(), bolded(g.font()), g.headerFont_, bolded(g.headerFont_)},
          metrics{QFontMetrics(fonts[0]), QFontMetrics(fonts[1]), QFontMetrics(fonts[2]),
                  QFontMetrics(fonts[3])} {
        const GridModel& m = g.model_;
        r0 = std::min(m.row(), m.rowSel());
        r1 = std::max(m.row(), m.rowSel());
        c0 = std::min(m.col(), m.colSel());
        c1 = std::max(m.col(), m.colSel());
        const QPalette& pal = g.palette();
        text = pal.color(QPalette::Active, QPalette::Text);
        highlight = pal.color(QPalette::Active, QPalette::Highlight);
        highlightedText = pal.color(QPalette::Active, QPalette::HighlightedText);
        translucent = highlight;
        translucent.setAlpha(90);
        focus = g.hasFocus();
    }
    static QFont bolded(QFont f) {
        f.setBold(true);
        return f;
    }
    // [header][bold]: plain cell, bold cell, header, bold header.
    QFont fonts[4];
    QFontMetrics metrics[4];
    int r0, r1, c0, c1;
    QColor text, highlight, highlightedText, translucent;
    bool focus;
};

void FlexGrid::paintCell(QPainter& p, const PaintContext& cx, const QRect& r, int row, int firstCol,
                         int lastCol) const {
    const bool fixed = row < model_.fixedRows() || firstCol < model_.fixedCols();
    const std::optional<QColor> own = model_.cellBackColor(row, firstCol);
    QColor back = own ? *own : (fixed ? model_.fixedBackColor() : model_.backColor());

    const bool selected = !fixed && row >= cx.r0 && row <= cx.r1 && lastCol >= cx.c0 && firstCol <= cx.c1;
    QColor textColor = cx.text;
    p.fillRect(r, back);
    if (selected) {
        if (own) {
            // A cell coloured on purpose keeps its colour under a translucent highlight.
            p.fillRect(r, cx.translucent);
        } else {
            p.fillRect(r, cx.highlight);
            textColor = cx.highlightedText;
        }
    }

    // Grid lines on the right and bottom edge; the cell's inside is what remains.
    p.setPen(fixed ? kFixedGridLine : kGridLine);
    p.drawLine(r.right(), r.top(), r.right(), r.bottom());
    p.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
    if (fixed) {
        // A light top-left edge gives header cells a raised look.
        p.setPen(back.lighter(112));
        p.drawLine(r.left(), r.top(), r.right() - 1, r.top());
        p.drawLine(r.left(), r.top(), r.left(), r.bottom() - 1);
    }

    const QString text = model_.text(row, firstCol);
    if (!text.isEmpty()) {
        const int which = (row < model_.fixedRows() ? 2 : 0) + (model_.cellBold(row, firstCol) ? 1 : 0);
        p.setFont(cx.fonts[which]);
        p.setPen(textColor);
        const QFontMetrics& fm = cx.metrics[which];
        Qt::Alignment align =
            row < model_.fixedRows() ? model_.fixedAlignment(firstCol) : model_.colAlignment(firstCol);
        if (model_.mergeRow(row) && firstCol != lastCol)
            align = (align & ~Qt::AlignHorizontal_Mask) | Qt::AlignHCenter;
        const QRect inside = r.adjusted(0, 0, -1, -1);
        QRect textRect = inside.adjusted(kPad, 0, -kPad, 0);
        QString shown = text;
        const int advance = fm.horizontalAdvance(text);
        if (advance > textRect.width()) {
            // Give up the padding before giving up characters.
            textRect = inside.adjusted(1, 0, -1, 0);
            if (advance > textRect.width()) shown = fm.elidedText(text, Qt::ElideRight, textRect.width());
        }
        p.drawText(textRect, static_cast<int>(align | Qt::TextSingleLine), shown);
    }

    if (cx.focus && row == model_.row() && model_.col() >= firstCol && model_.col() <= lastCol && !fixed) {
        QPen pen(cx.text);
        pen.setStyle(Qt::DotLine);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawRect(r.adjusted(0, 0, -2, -2));
    }
}

void FlexGrid::paintRegion(QPainter& p, const PaintContext& cx, const QRect& clip,
                           const std::vector<int>& rowItems, const std::vector<int>& colItems,
                           bool scrolledCols) const {
    if (clip.isEmpty() || rowItems.empty() || colItems.empty()) return;
    p.save();
    p.setClipRect(clip);
    const int top = topIndex(), left = leftIndex();
    const int firstScrolled = colAxis_.visible.empty() ? 0 : colAxis_.visible[left];
    auto colX = [&](int c) {
        return c < colAxis_.fixed
                   ? colAxis_.start[c]
                   : colAxis_.fixedExtent() + colAxis_.start[c] - colAxis_.start[firstScrolled];
    };
    for (int row : rowItems) {
        const auto y = itemPos(rowAxis_, top, row);
        if (!y) continue;
        const int h = rowAxis_.size(row);
        for (const Span& s : spansOf(row, colItems, scrolledCols)) {
            const int x = colX(s.first);
            const int w = colAxis_.start[s.last + 1] - colAxis_.start[s.first];
            paintCell(p, cx, QRect(x, *y, w, h), row, s.first, s.last);
        }
    }
    p.restore();
}

void FlexGrid::paintEvent(QPaintEvent*) {
    ensureLayout();
    // A top row set on the model directly shows at once; the scroll bars catch up.
    if (verticalScrollBar()->value() != topIndex() || horizontalScrollBar()->value() != leftIndex())
        scheduleScrollSync();
    QPainter p(viewport());
    const int width = viewport()->width(), height = viewport()->height();
    p.fillRect(viewport()->rect(), model_.backColor());

    const int fy = rowAxis_.fixedExtent(), fx = colAxis_.fixedExtent();
    auto collect = [](const Axis& a, int firstIdx, int extent) {
        std::pair<std::vector<int>, std::vector<int>> out;  // fixed, scrolled
        for (int i = 0; i < a.fixed; ++i)
            if (a.size(i) > 0 && a.start[i] < extent) out.first.push_back(i);
        if (!a.visible.empty()) {
            const int base = a.fixedExtent() - a.start[a.visible[firstIdx]];
            for (size_t k = static_cast<size_t>(firstIdx); k < a.visible.size(); ++k) {
                const int item = a.visible[k];
                if (base + a.start[item] >= extent) break;
                out.second.push_back(item);
            }
        }
        return out;
    };
    const auto [fixedRows, bodyRows] = collect(rowAxis_, topIndex(), height);
    const auto [fixedCols, bodyCols] = collect(colAxis_, leftIndex(), width);

    const PaintContext cx(*this);
    paintRegion(p, cx, QRect(fx, fy, width - fx, height - fy), bodyRows, bodyCols, true);
    paintRegion(p, cx, QRect(fx, 0, width - fx, fy), fixedRows, bodyCols, true);
    paintRegion(p, cx, QRect(0, fy, fx, height - fy), bodyRows, fixedCols, false);
    paintRegion(p, cx, QRect(0, 0, fx, fy), fixedRows, fixedCols, false);
}

// ---------------------------------------------------------------------------------
// Mouse and keyboard

void FlexGrid::updateMouseCell(const QPoint& pos) {
    mouseRow_ = rowAt(pos.y());
    mouseCol_ = colAt(pos.x());
    if (mouseRow_ < 0 || mouseCol_ < 0) mouseRow_ = mouseCol_ = -1;
}

void FlexGrid::mousePressEvent(QMouseEvent* e) {
    updateMouseCell(e->position().toPoint());
    suppressClick_ = false;
    const Qt::MouseButton button = e->button();
    const Qt::KeyboardModifiers mods = e->modifiers();
    const QPoint pos = e->position().toPoint();
    core::guarded([&] {
        // No scrolling here: a double click must land on the row its first press chose.
        if (mouseRow_ >= model_.fixedRows() && mouseCol_ >= model_.fixedCols())
            moveCurrent(mouseRow_, mouseCol_, false);
        emit mousePressed(button, mods, pos);
    });
}

void FlexGrid::mouseReleaseEvent(QMouseEvent* e) {
    updateMouseCell(e->position().toPoint());
    const Qt::MouseButton button = e->button();
    const Qt::KeyboardModifiers mods = e->modifiers();
    const QPoint pos = e->position().toPoint();
    // The release that ends a double click is not a click of its own.
    const bool click = button == Qt::LeftButton && !suppressClick_;
    suppressClick_ = false;
    core::guarded([&] {
        emit mouseReleased(button, mods, pos);
        if (click) emit clicked();
    });
}

void FlexGrid::mouseDoubleClickEvent(QMouseEvent* e) {
    updateMouseCell(e->position().toPoint());
    suppressClick_ = true;
    if (e->button() != Qt::LeftButton) return;
    core::guarded([this] {
        // The press before it made the cell current already, unless the double click
        // came on its own (synthesised input).
        if (mouseRow_ >= model_.fixedRows() && mouseCol_ >= model_.fixedCols())
            moveCurrent(mouseRow_, mouseCol_, false);
        emit doubleClicked();
    });
}

void FlexGrid::mouseMoveEvent(QMouseEvent* e) {
    updateMouseCell(e->position().toPoint());
}

bool FlexGrid::moveCurrent(int row, int col, bool scroll) {
    if (row < 0 || col < 0) return false;
    const bool changed = row != model_.row() || col != model_.col();
    model_.setRow(row);
    model_.setCol(col);
    if (scroll) ensureCellVisible(row, col);
    viewport()->update();
    if (changed) emit currentCellChanged();
    return changed;
}

namespace {

// Steps through a sorted list of navigable items from one that may itself be missing
// from it (hidden, or a fixed item).
int stepIn(const std::vector<int>& items, int from, int delta) {
    if (items.empty()) return -1;
    const int n = static_cast<int>(items.size());
    int idx = static_cast<int>(std::lower_bound(items.begin(), items.end(), from) - items.begin());
    if (idx < n && items[idx] == from)
        idx += delta;
    else
        idx += delta > 0 ? delta - 1 : delta;
    return items[std::clamp(idx, 0, n - 1)];
}

}  // namespace

int FlexGrid::stepRow(int from, int delta) const {
    ensureLayout();
    return stepIn(rowAxis_.visible, from, delta);
}

int FlexGrid::stepCol(int from, int delta) const {
    ensureLayout();
    return stepIn(colAxis_.visible, from, delta);
}

void FlexGrid::keyPressEvent(QKeyEvent* e) {
    const int key = e->key();
    const Qt::KeyboardModifiers mods = e->modifiers();
    core::guarded([&] {
        emit keyPressed(key, mods);
        ensureLayout();
        const int row = model_.row(), col = model_.col();
        const int big = std::max(model_.rows(), model_.cols()) + 1;
        int r = row, c = col;
        switch (key) {
            case Qt::Key_Up:
                r = stepRow(row, -1);
                break;
            case Qt::Key_Down:
                r = stepRow(row, 1);
                break;
            case Qt::Key_Left:
                c = stepCol(col, -1);
                break;
            case Qt::Key_Right:
                c = stepCol(col, 1);
                break;
            case Qt::Key_PageUp:
                r = stepRow(row, -pageRows());
                break;
            case Qt::Key_PageDown:
                r = stepRow(row, pageRows());
                break;
            case Qt::Key_Home:
                c = stepCol(col, -big);
                if (mods & Qt::ControlModifier) r = stepRow(row, -big);
                break;
            case Qt::Key_End:
                c = stepCol(col, big);
                if (mods & Qt::ControlModifier) r = stepRow(row, big);
                break;
            default:
                e->ignore();
                return;
        }
        // Moving along one axis keeps the other where it is, even on a fixed or hidden item.
        if (r < 0) r = row;
        if (c < 0) c = col;
        moveCurrent(r, c, true);
        e->accept();
    });
}

void FlexGrid::wheelEvent(QWheelEvent* e) {
    const int delta = e->angleDelta().y();
    core::guarded([&] {
        emit wheelTurned(delta);
        if (!wheelScrolls_ || delta == 0) return;
        wheelRemainder_ += delta;
        const int notches = wheelRemainder_ / 120;
        wheelRemainder_ %= 120;
        if (notches != 0) {
            QScrollBar* v = verticalScrollBar();
            v->setValue(v->value() - notches * kWheelRows);
        }
    });
    e->accept();
}

}  // namespace ui
