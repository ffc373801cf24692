// The child of the orders' crash test: in a folder holding the order tables it saves new
// orders, saves earlier ones again with lines removed and added, and deletes earlier ones,
// through the order object and the order list's deletion, the choices drawn from the seed.
// Before each step it prints "saving N <lines>" (N 0 for a new order) or "deleting N", after
// it "saved N <lines>" or "deleted N"; a line is "position:quantity". ZELVORIN_KILL_AT
// stops it at a write of the store.
#include <QCoreApplication>
#include <QStringList>
#include <cstdio>
#include <exception>
#include <vector>

#include "core/checkpoint.h"
#include "order/clsZak.h"
#include "orderlist/basket_list_logic.h"
#include "store/dbf_connection.h"

namespace {

QStringList linesOf(clsZak& order) {
    QStringList out;
    for (order.MoveFirst(); order.Field("pos").toInt32() >= 0; order.MoveNext())
        out << order.Field("idn").toText() + ':' + order.FieldSql("qty");
    out.sort();
    return out;
}

void say(const char* what, int32_t number, const QStringList& lines = {}) {
    std::printf("%s %d%s%s\n", what, number, lines.isEmpty() ? "" : " ", qPrintable(lines.join(' ')));
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3) return 2;
    uint32_t state = uint32_t(QByteArray(argv[2]).toUInt()) * 2654435761u + 1;
    auto draw = [&](int n) {
        state = state * 1103515245u + 12345u;
        return int((state >> 16) % uint32_t(n));
    };
    try {
        auto cn = store::openFolder(QString::fromLocal8Bit(argv[1]));
        core::installKillAtCheckpointFromEnvironment();
        std::vector<int32_t> stored;
        for (auto rs = cn->open("SELECT IND FROM TBL_APPS"); !rs->eof(); rs->moveNext())
            stored.push_back(rs->field("IND").toInt32());
        auto addLines = [&](clsZak& order, int count) {
            for (int k = 0; k < count; ++k) {
                order.InsertRow();
                const int idn = 100 + draw(900);
                order.setField("idn", idn);
                order.setField("qty", 1 + draw(50));
                order.setField("prim", idn % 3 == 0 ? QStringLiteral("note %1").arg(idn) : QString());
            }
        };
        for (int step = 0; step < 8; ++step) {
            const int what = stored.empty() ? 0 : draw(4);
            clsZak order;
            order.Init();
            order.setConnection(cn.get());
            if (what == 3) {
                const size_t at = size_t(draw(int(stored.size())));
                say("deleting", stored[at]);
                orderlist::deleteStoredOrder(*cn, stored[at]);
                say("deleted", stored[at]);
                stored.erase(stored.begin() + std::ptrdiff_t(at));
                continue;
            }
            if (what == 2) {
                order.LoadOrder(stored[size_t(draw(int(stored.size())))]);
                for (int drop = draw(3); drop > 0 && order.RecordCount() > 1; --drop) {
                    order.MoveFirst();
                    for (int skip = draw(order.RecordCount()); skip > 0; --skip) order.MoveNext();
                    order.RemoveRow(int16_t(order.Field("pos").toInt32()));
                }
                addLines(order, draw(3));
            } else {
                addLines(order, 2 + draw(5));
            }
            const int32_t before = order.norder;
            say("saving", before, linesOf(order));
            order.SaveOrder();
            say("saved", order.norder, linesOf(order));
            if (before == 0) stored.push_back(order.norder);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "order_churn: %s\n", e.what());
        return 1;
    }
    return 0;
}
