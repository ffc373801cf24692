#include "ui/grid_model.h"

#include <algorithm>

#include "core/value.h"

namespace ui {

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
    insertRow(tabSeparated.split(QLatin1Char('\t')), index);
}

void GridModel::addRow(QStringList cells) {
    insertRow(std::move(cells), rows());
}

void GridModel::insertRow(QStringList parts, int index) {
    Row r;
    r.cells.resize(cols_);
    for (int c = 0; c < cols_ && c < parts.size(); ++c) r.cells[c].text = std::move(parts[c]);
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

int GridModel::highlightedRow() const {
    for (size_t r = 0; r < rows_.size(); ++r)
        if (rows_[r].highlighted) return int(r);
    return -1;
}

void GridModel::setHighlightedRow(int row, int firstCol) {
    const int old = highlightedRow();
    if (old >= 0) {
        rows_[size_t(old)].highlighted = false;
        for (int c = highlightFrom_; c < cols_; ++c) setCellBackColor(old, c, std::nullopt);
    }
    if (row < fixedRows_ || row >= rows()) return;
    rows_[size_t(row)].highlighted = true;
    highlightFrom_ = std::max(firstCol, 0);
    for (int c = highlightFrom_; c < cols_; ++c) setCellBackColor(row, c, kHighlightColour);
}

QStringList GridModel::rowTexts(int row) const {
    QStringList out;
    if (row < 0 || row >= rows()) return out;
    for (const Cell& c : rows_[row].cells) out << c.text;
    return out;
}

}  // namespace ui
