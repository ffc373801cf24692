#pragma once
// Layout numbers are twips (1440 per inch). Layout arithmetic stays in twips; these
// convert once, at the widget, with the screen's logical dpi.

#include <QColor>
#include <QRect>
#include <cmath>
#include <cstdint>

namespace ui {

// The logical dpi used for conversions: the primary screen's when a GUI application
// runs, else 96. Tests may pin it.
double logicalDpi();
void setLogicalDpiForTests(double dpi);  // 0 restores the screen's value

inline int twipsToPx(double twips) {
    return static_cast<int>(std::lround(twips * logicalDpi() / 1440.0));
}
inline int pxToTwips(double px) {
    return static_cast<int>(std::lround(px * 1440.0 / logicalDpi()));
}
inline QRect twipsToPx(int left, int top, int width, int height) {
    return QRect(twipsToPx(left), twipsToPx(top), twipsToPx(width), twipsToPx(height));
}

// Colours are written 0xBBGGRR (blue in the high byte, red in the low byte).
inline QColor bgr(uint32_t v) {
    return QColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
}
inline uint32_t toBgr(const QColor& c) {
    return static_cast<uint32_t>(c.red()) | (static_cast<uint32_t>(c.green()) << 8) |
           (static_cast<uint32_t>(c.blue()) << 16);
}

// Rounds half to the even neighbour (the layout's column scaling uses it).
inline long roundHalfEven(double v) {
    return static_cast<long>(std::nearbyint(v));
}

}  // namespace ui
