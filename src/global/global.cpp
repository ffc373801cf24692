#include "global/global.h"

#include "core/errors.h"

namespace Global {
namespace {
std::unique_ptr<store::Connection> g_cn;
std::unique_ptr<clsZak> g_order;
BasketIndicator* g_indicator = nullptr;
}  // namespace

int16_t CatalogueOpen = 0;

store::Connection& Cn() {
    if (!g_cn)
        throw core::DbError(QStringLiteral("Соединение с базой данных не открыто."));
    return *g_cn;
}

bool hasCn() { return g_cn != nullptr; }

std::unique_ptr<store::Connection> setCn(std::unique_ptr<store::Connection> cn) {
    std::swap(g_cn, cn);
    if (g_order)
        g_order->setConnection(g_cn.get());
    return cn;
}

clsZak& CurrentOrder() {
    if (!g_order) {
        g_order = std::make_unique<clsZak>();
        g_order->setConnection(g_cn.get());
    }
    return *g_order;
}

void registerBasketIndicator(BasketIndicator* indicator) { g_indicator = indicator; }

void RefreshBasketIndicator() {
    try {
        if (!CatalogueOpen || !g_indicator)
            return;
        const int16_t n = CurrentOrder().RecordCount();
        g_indicator->setBasketIndicator(n > 0, QString::number(n));
    } catch (const std::exception&) {
        ReportError(QStringLiteral("Не могу проверить корзину!"));
    }
}

void ClearBasket() {
    CurrentOrder().Clear();
    RefreshBasketIndicator();
}

Dialogs& dialogs() {
    static Dialogs d;
    return d;
}

}  // namespace Global
