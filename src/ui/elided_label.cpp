#include "ui/elided_label.h"

#include <QPainter>
#include <QStyle>

namespace ui {

QString ElidedLabel::shownText() const {
    const int room = contentsRect().width() - 2 * margin();
    return fontMetrics().elidedText(text(), Qt::ElideRight, room);
}

void ElidedLabel::paintEvent(QPaintEvent*) {
    const QString shown = shownText();
    const QString tip = shown == text() ? QString() : text();
    if (toolTip() != tip) setToolTip(tip);
    QPainter p(this);
    style()->drawItemText(&p, contentsRect().adjusted(margin(), margin(), -margin(), -margin()), int(alignment()),
                          palette(), isEnabled(), shown, foregroundRole());
}

}  // namespace ui
