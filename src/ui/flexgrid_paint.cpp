// Painting the flex grid: the cells of the fixed and scrolled regions, merged region
// rows, grid lines and the current cell.
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include "ui/flexgrid.h"
#include "ui/twips.h"

namespace ui {
namespace {

constexpr int kPad = 2;  // px between a cell's edge and its text
const QColor kGridLine(0xD0, 0xD0, 0xD0);
const QColor kFixedGridLine(0xA0, 0xA0, 0xA0);

}  // namespace

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

}  // namespace ui
