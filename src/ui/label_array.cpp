#include "ui/label_array.h"

#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>
#include <QPalette>
#include <QWidget>
#include <algorithm>

#include "ui/twips.h"
#include "ui/twips_layout.h"

namespace ui {
namespace {
// Room either side of the text, so that a caption never touches the label's edge.
constexpr int kPaddingPx = 4;
}  // namespace

LabelArray::LabelArray(QWidget* parent, const QString& name, int left, int firstTop, int spacing, int height)
    : QObject(parent),
      parent_(parent),
      name_(name),
      left_(left),
      firstTop_(firstTop),
      spacing_(spacing),
      height_(height) {
    setObjectName(name);
}

LabelArray::~LabelArray() = default;

LabelArray::Element& LabelArray::at(int i) {
    Q_ASSERT(i >= 0);
    while (count() <= i) {
        const int index = count();
        Element e;
        e.label = new QLabel(parent_);
        e.label->setObjectName(name_);
        e.label->setProperty("Index", index);
        e.label->setIndent(kPaddingPx);
        e.label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        e.label->setAutoFillBackground(true);
        // Hovering is what opens the lists, so the labels must hear moves without a button.
        e.label->setMouseTracking(true);
        e.label->installEventFilter(this);
        e.label->hide();
        e.left = left_;
        e.top = firstTop_ + index * spacing_;
        elements_.push_back(e);
        place(elements_.back());
    }
    return elements_[static_cast<size_t>(i)];
}

const LabelArray::Element* LabelArray::find(int i) const {
    if (i < 0 || i >= count()) return nullptr;
    return &elements_[static_cast<size_t>(i)];
}

void LabelArray::place(Element& e) {
    setGeometryTwips(*e.label, e.left, e.top, e.width, height_);
}

QLabel* LabelArray::label(int i) {
    return at(i).label;
}

const QLabel* LabelArray::existing(int i) const {
    const Element* e = find(i);
    return e ? e->label : nullptr;
}

QString LabelArray::caption(int i) const {
    const Element* e = find(i);
    return e ? e->label->text() : QString();
}

void LabelArray::setCaption(int i, const QString& text) {
    at(i).label->setText(text);
}

int LabelArray::tag(int i) const {
    const Element* e = find(i);
    return e ? e->tag : 0;
}

void LabelArray::setTag(int i, int tag) {
    at(i).tag = tag;
}

void LabelArray::setColors(int i, uint32_t back, uint32_t fore) {
    QLabel* l = at(i).label;
    QPalette p = l->palette();
    p.setColor(QPalette::Window, ui::bgr(back));
    p.setColor(QPalette::WindowText, ui::bgr(fore));
    l->setPalette(p);
}

uint32_t LabelArray::backColor(int i) const {
    const Element* e = find(i);
    return e ? ui::toBgr(e->label->palette().color(QPalette::Window)) : 0;
}

uint32_t LabelArray::foreColor(int i) const {
    const Element* e = find(i);
    return e ? ui::toBgr(e->label->palette().color(QPalette::WindowText)) : 0;
}

int LabelArray::left(int i) const {
    const Element* e = find(i);
    return e ? e->left : left_;
}

int LabelArray::top(int i) const {
    const Element* e = find(i);
    return e ? e->top : firstTop_ + i * spacing_;
}

int LabelArray::width(int i) const {
    const Element* e = find(i);
    return e ? e->width : 0;
}

void LabelArray::setLeft(int i, int twips) {
    Element& e = at(i);
    e.left = twips;
    place(e);
}

void LabelArray::setTop(int i, int twips) {
    Element& e = at(i);
    e.top = twips;
    place(e);
}

void LabelArray::setWidth(int i, int twips) {
    Element& e = at(i);
    e.width = twips;
    place(e);
}

bool LabelArray::isVisible(int i) const {
    const Element* e = find(i);
    return e && e->visible;
}

void LabelArray::setVisible(int i, bool visible) {
    Element& e = at(i);
    e.visible = visible;
    e.label->setVisible(visible);
}

int LabelArray::indexOf(const QObject* o) const {
    for (int i = 0; i < count(); ++i) {
        const QObject* l = elements_[static_cast<size_t>(i)].label;
        for (const QObject* p = o; p; p = p->parent()) {
            if (p == l) return i;
        }
    }
    return -1;
}

int LabelArray::measure(const QString& text) const {
    const QFont f = parent_ ? parent_->font() : QFont();
    const QFontMetrics fm(f);
    return ui::pxToTwips(fm.horizontalAdvance(text) + 2 * kPaddingPx);
}

int LabelArray::arrange(int n, int width) {
    if (n <= 0) {
        span_ = 0;
        return 0;
    }
    const int rows = maxRows_ > 0 ? std::min(n, maxRows_) : n;
    const int columns = (n + rows - 1) / rows;
    for (int i = 0; i < n; ++i) {
        Element& e = at(i);
        e.left = left_ + (i / rows) * (width + kColumnGap);
        e.top = firstTop_ + (i % rows) * spacing_;
        e.width = width;
        place(e);
    }
    span_ = columns * width + (columns - 1) * kColumnGap;
    return rows;
}

bool LabelArray::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::MouseMove && event->type() != QEvent::MouseButtonPress)
        return QObject::eventFilter(watched, event);
    const int index = indexOf(watched);
    if (index < 0) return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::MouseMove) {
        emit mouseMoved(index);
        return false;
    }
    // A press on an entry is the entry's own: it must not reach the frame or window
    // behind it as a click on free space.
    emit mousePressed(index, static_cast<QMouseEvent*>(event)->button());
    return true;
}

}  // namespace ui
