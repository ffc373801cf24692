#pragma once
// A growable array of labels inside one frame (the catalogue's type list lb1 and group
// list lb2): per element a caption, a tag, colours, a place in twips and visibility;
// it reports the mouse moving over an element and buttons pressed on one by index.

#include <QObject>
#include <QString>
#include <Qt>
#include <cstdint>
#include <vector>

class QLabel;
class QWidget;

namespace ui {

class LabelArray : public QObject {
    Q_OBJECT
public:
    // Elements go down `parent` from (left, firstTop), `spacing` twips apart, each
    // `height` twips high. Every element's objectName is `name`; its property "Index"
    // holds its index.
    LabelArray(QWidget* parent, const QString& name, int left, int firstTop, int spacing, int height);
    ~LabelArray() override;

    // Elements created so far. Any index may be used: the array grows to hold it.
    int count() const { return static_cast<int>(elements_.size()); }
    QLabel* label(int i);
    const QLabel* existing(int i) const;  // nullptr when element i was never used

    QString caption(int i) const;
    void setCaption(int i, const QString& text);
    int tag(int i) const;
    void setTag(int i, int tag);
    // Colours 0xBBGGRR.
    void setColors(int i, uint32_t back, uint32_t fore);
    uint32_t backColor(int i) const;
    uint32_t foreColor(int i) const;
    // Places and sizes, twips.
    int left(int i) const;
    int top(int i) const;
    int width(int i) const;
    int height() const { return height_; }
    void setLeft(int i, int twips);
    void setTop(int i, int twips);
    void setWidth(int i, int twips);
    // The element's own visibility setting (true although the frame may be hidden).
    bool isVisible(int i) const;
    void setVisible(int i, bool visible);
    // The index of the element that is (or contains) the object; -1 for none.
    int indexOf(const QObject* o) const;

    int spacing() const { return spacing_; }
    // The width an auto-sized element takes for the text, twips.
    int measure(const QString& text) const;

    // A list longer than this many rows continues in a further column (0: no limit),
    // so that it never runs out of the window.
    int maxRows() const { return maxRows_; }
    void setMaxRows(int rows) { maxRows_ = rows; }
    // Places elements 0..n-1 in columns of at most maxRows() rows, each `width` wide.
    // Returns the rows of the first (tallest) column: n when one column holds them all.
    int arrange(int n, int width);
    // The width the last arrangement covers, from the left of element 0; 0 when empty.
    int span() const { return span_; }

    static constexpr int kColumnGap = 60;  // twips between wrapped columns

signals:
    void mouseMoved(int index);
    void mousePressed(int index, Qt::MouseButton button);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Element {
        QLabel* label = nullptr;
        int tag = 0;
        int left = 0, top = 0, width = 0;
        bool visible = false;
    };
    Element& at(int i);
    const Element* find(int i) const;
    void place(Element& e);

    QWidget* parent_;
    QString name_;
    int left_, firstTop_, spacing_, height_;
    int maxRows_ = 0;
    int span_ = 0;
    std::vector<Element> elements_;
};

}  // namespace ui
