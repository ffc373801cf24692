#include "orderlist/BasketList.h"

BasketList::BasketList(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("BasketList"));
    setWindowTitle(QStringLiteral("Обработка заявок"));
}

BasketList::~BasketList() = default;
