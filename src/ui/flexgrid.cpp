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

#include "core/errors.h"
#include "core/guard.h"
#include "core/seams.h"
#include "core/value.h"
#include "ui/twips.h"

namespace ui {

// ---------------------------------------------------------------------------------
// FlexGrid

namespace {

constexpr int kWheelRows = 3;  // rows per wheel notch

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
        // Each key's step in rows and columns; Home and End with Ctrl go to the corner.
        const bool ctrl = mods & Qt::ControlModifier;
        const struct {
            int key, rows, cols;
        } steps[] = {
            {Qt::Key_Up, -1, 0},
            {Qt::Key_Down, 1, 0},
            {Qt::Key_Left, 0, -1},
            {Qt::Key_Right, 0, 1},
            {Qt::Key_PageUp, -pageRows(), 0},
            {Qt::Key_PageDown, pageRows(), 0},
            {Qt::Key_Home, ctrl ? -big : 0, -big},
            {Qt::Key_End, ctrl ? big : 0, big},
        };
        const auto step =
            std::find_if(std::begin(steps), std::end(steps), [&](const auto& s) { return s.key == key; });
        if (step == std::end(steps)) {
            e->ignore();
            return;
        }
        int r = step->rows ? stepRow(row, step->rows) : row;
        int c = step->cols ? stepCol(col, step->cols) : col;
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
