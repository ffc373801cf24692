#pragma once
// The order list: stored orders filtered by state and creation date, with reopening,
// deleting and refreshing.

#include <QWidget>

class BasketList : public QWidget {
    Q_OBJECT
public:
    explicit BasketList(QWidget* parent = nullptr);
    ~BasketList() override;
};
