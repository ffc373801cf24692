#include "ui/twips_layout.h"

#include <QWidget>
#include <algorithm>

#include "core/twips.h"

namespace ui {
namespace {

int spanPx(int start, int length) {
    return std::max(core::twipsToPx(start + std::max(length, 0)) - core::twipsToPx(start), 0);
}

}  // namespace

void setGeometryTwips(QWidget& w, int left, int top, int width, int height) {
    w.setGeometry(core::twipsToPx(left), core::twipsToPx(top), spanPx(left, width), spanPx(top, height));
}

void moveTwips(QWidget& w, int left, int top) {
    w.move(core::twipsToPx(left), core::twipsToPx(top));
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
    w.move(core::twipsToPx(left), w.y());
}

void setTopTwips(QWidget& w, int top) {
    w.move(w.x(), core::twipsToPx(top));
}

int leftTwips(const QWidget& w) {
    return core::pxToTwips(w.x());
}
int topTwips(const QWidget& w) {
    return core::pxToTwips(w.y());
}
int widthTwips(const QWidget& w) {
    return core::pxToTwips(w.width());
}
int heightTwips(const QWidget& w) {
    return core::pxToTwips(w.height());
}

QRect geometryTwips(const QWidget& w) {
    return QRect(leftTwips(w), topTwips(w), widthTwips(w), heightTwips(w));
}

}  // namespace ui
