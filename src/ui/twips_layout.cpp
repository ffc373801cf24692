#include "ui/twips_layout.h"

#include <QWidget>
#include <algorithm>

#include "ui/twips.h"

namespace ui {
namespace {

int spanPx(int start, int length) {
    return std::max(ui::twipsToPx(start + std::max(length, 0)) - ui::twipsToPx(start), 0);
}

}  // namespace

void setGeometryTwips(QWidget& w, int left, int top, int width, int height) {
    w.setGeometry(ui::twipsToPx(left), ui::twipsToPx(top), spanPx(left, width), spanPx(top, height));
}

void moveTwips(QWidget& w, int left, int top) {
    w.move(ui::twipsToPx(left), ui::twipsToPx(top));
}

void resizeTwips(QWidget& w, int width, int height) {
    w.resize(spanPx(leftTwips(w), width), spanPx(topTwips(w), height));
}

void setWidthTwips(QWidget& w, int width) {
    w.resize(spanPx(leftTwips(w), width), w.height());
}

void setHeightTwips(QWidget& w, int height) {
    w.resize(w.width(), spanPx(topTwips(w), height));
}

void setLeftTwips(QWidget& w, int left) {
    w.move(ui::twipsToPx(left), w.y());
}

void setTopTwips(QWidget& w, int top) {
    w.move(w.x(), ui::twipsToPx(top));
}

int leftTwips(const QWidget& w) {
    return ui::pxToTwips(w.x());
}
int topTwips(const QWidget& w) {
    return ui::pxToTwips(w.y());
}
int widthTwips(const QWidget& w) {
    return ui::pxToTwips(w.width());
}
int heightTwips(const QWidget& w) {
    return ui::pxToTwips(w.height());
}

QRect geometryTwips(const QWidget& w) {
    return QRect(leftTwips(w), topTwips(w), widthTwips(w), heightTwips(w));
}

}  // namespace ui
