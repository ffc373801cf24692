#pragma once
// A one-line caption that ends in "…" when it is too long for its width and then shows
// the whole text in its tool tip; text() stays the whole text.

#include <QLabel>

namespace ui {

class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
    // The text as painted at the current width.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent* e) override;
};

}  // namespace ui
