#pragma once
// Places and sizes widgets in twips, the unit of every window layout of the program;
// the conversion to pixels happens here and nowhere else.

#include <QRect>

class QWidget;

namespace ui {

// Edges are converted rather than widths, so that widgets laid edge to edge in twips
// also touch in pixels.
void setGeometryTwips(QWidget& w, int left, int top, int width, int height);
void moveTwips(QWidget& w, int left, int top);
void resizeTwips(QWidget& w, int width, int height);
void setWidthTwips(QWidget& w, int width);
void setHeightTwips(QWidget& w, int height);
void setLeftTwips(QWidget& w, int left);
void setTopTwips(QWidget& w, int top);

int leftTwips(const QWidget& w);
int topTwips(const QWidget& w);
int widthTwips(const QWidget& w);
int heightTwips(const QWidget& w);
// left, top, width and height in twips.
QRect geometryTwips(const QWidget& w);

}  // namespace ui
