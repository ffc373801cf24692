#pragma once
// The catalogue window: product type and group lists, the positions of the chosen
// group with their price range, the supplier offers of the selected position by
// quantity band, and the bases filter.

#include <QWidget>

class positions : public QWidget {
    Q_OBJECT
public:
    explicit positions(QWidget* parent = nullptr);
    ~positions() override;
};
