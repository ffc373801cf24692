#include "ui/program_icon.h"

#include <QPainter>
#include <QPixmap>

namespace ui {
namespace {

// The drawing on a 64-unit square, scaled to `size` pixels.
QPixmap paintIcon(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1f, 0x4e, 0x79));
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 10, 10);
    p.setBrush(QColor(0x9f, 0xb7, 0xcc));
    p.drawRoundedRect(QRectF(8, 53, 48, 3), 1.5, 1.5);
    const QPointF ends[] = {{21, 42}, {43, 42}, {32, 23}};
    p.setPen(QPen(QColor(0x5a, 0x6b, 0x78), 2));
    p.setBrush(QColor(0xc9, 0xd3, 0xdb));
    for (const QPointF& c : ends) p.drawEllipse(c, 10, 10);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x7c, 0x8c, 0x99));
    for (const QPointF& c : ends) p.drawEllipse(c, 3.5, 3.5);
    return pm;
}

}  // namespace

QIcon programIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) icon.addPixmap(paintIcon(size));
    return icon;
}

}  // namespace ui
