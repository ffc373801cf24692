// Measures the basket's supplier comparison for a 100-line order on a large folder: the
// comparison alone (the scratch table, its three queries, prices and totals) and the
// whole basket window's opening (comparison, grid fill, column fitting). Optionally
// renders the window to a PNG file.
//
//   basket_bench [--db DIR | --build DIR] [--lines N] [--runs N] [--shot FILE.png]
//
// Without --db it builds its own folder through the store's INSERT statements (in a
// temporary directory, or in the empty folder --build names, which is kept for a later
// --db run): 50 000 positions, 300 000 offers and 1 500 000 price bands over 160 bases.
// With --central it synchronises the folder from a central database instead (for example
// the demo database of zelvorin-demo-gen at scale 25). With --db it uses a folder built
// earlier. Either way the order holds positions spread evenly over TBL_PSTS.
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "bench_timing.h"
#include "global/global.h"
#include "basket/basket.h"
#include "basket/comparison.h"
#include "basket/decision.h"
#include "core/errors.h"
#include "ui/twips.h"
#include "db/central_link.h"
#include "db/schema.h"
#include "db/sync.h"
#include "store/dbf_connection.h"
#include "ui/flexgrid.h"

namespace {

using bench::msOf;

void report(const char* what, const std::vector<double>& v) {
    bench::report(what, v, 52);
}

// Rows gathered into multi-row INSERT statements, so that building the folder takes
// minutes rather than hours.
struct Batch {
    store::Connection& cn;
    QString head;
    QStringList rows;
    long long count = 0;
    void add(const QString& row) {
        rows << row;
        ++count;
        if (rows.size() >= 500) flush();
    }
    void flush() {
        if (!rows.isEmpty()) cn.execute(head + rows.join(QLatin1Char(',')));
        rows.clear();
    }
};

void buildFolder(store::Connection& cn) {
    for (const QString& t : db::allTables()) cn.execute(db::createStatement(t));

    const QStringList types = {"Сортовой прокат", "Листовой прокат", "Трубы", "Фасонный прокат", "Метизы"};
    const QStringList groupWords = {
        "Арматура",  "Круг",         "Квадрат",       "Полоса",    "Лист г/к",
        "Лист х/к",  "Профнастил",   "Труба ВГП",     "Труба э/с", "Труба профильная",
        "Уголок",    "Швеллер",      "Балка",         "Катанка",   "Сетка",
        "Проволока", "Шестигранник", "Лист рифлёный", "Рельс",     "Шпунт",
        "Лента",     "Штрипс",       "Тавр",          "Отвод",     "Фланец"};
    const QStringList steels = {"ст3сп", "09Г2С", "А500С", "ст20", "ст45", "12Х18Н10Т", "А240", "ст10"};
    const QStringList cities = {
        "Москва",          "Санкт-Петербург", "Екатеринбург", "Челябинск", "Новосибирск",
        "Нижний Новгород", "Самара",          "Казань",       "Пермь",     "Уфа",
        "Ростов-на-Дону",  "Краснодар",       "Воронеж",      "Волгоград", "Омск",
        "Тюмень",          "Магнитогорск",    "Череповец",    "Липецк",    "Тула",
        "Ярославль",       "Саратов",         "Ижевск",       "Оренбург",  "Курган",
        "Барнаул",         "Красноярск",      "Иркутск",      "Хабаровск", "Владивосток",
        "Белгород",        "Курск",           "Тверь",        "Рязань",    "Пенза",
        "Киров",           "Чебоксары",       "Ульяновск",    "Сургут",    "Нижний Тагил"};
    const QStringList baseWords = {"Металлобаза", "МеталлСервис", "СтальСнаб", "Металлоторг",
                                   "ПромМет",     "УралСталь",    "СибМеталл", "ТрубоСталь"};

    Batch tps{cn, "INSERT INTO TBL_TPS (IND, TP_NM) VALUES ", {}};
    for (int t = 0; t < types.size(); ++t) tps.add(QString("(%1, '%2')").arg(t + 1).arg(types[t]));
    tps.flush();

    const int regions = 10, orgs = 120, bases = 160, groups = 250, perGroup = 200;
    Batch rgns{cn, "INSERT INTO TBL_RGNS (IND, RGN_NM) VALUES ", {}};
    for (int r = 1; r <= regions; ++r) rgns.add(QString("(%1, 'Регион %1')").arg(r));
    rgns.flush();
    Batch cts{cn, "INSERT INTO TBL_CTS (IND, IND_RGN, CT_NM) VALUES ", {}};
    for (int c = 0; c < cities.size(); ++c)
        cts.add(QString("(%1, %2, '%3')").arg(c + 1).arg(c % regions + 1).arg(cities[c]));
    cts.flush();
    Batch org{cn, "INSERT INTO TBL_ORGS (IND, ORG_NM) VALUES ", {}};
    for (int o = 1; o <= orgs; ++o)
        org.add(QString("(%1, 'ООО \"%2-%1\"')").arg(o).arg(baseWords[o % baseWords.size()]));
    org.flush();
    Batch bss{cn, "INSERT INTO TBL_BSS (IND, IND_CT, IND_ORG, BS_NM) VALUES ", {}};
    Batch prss{cn, "INSERT INTO TBL_PRSS (IND, IND_BS, PRS_NM) VALUES ", {}};
    int priceLists = 0;
    for (int b = 1; b <= bases; ++b) {
        bss.add(QString("(%1, %2, %3, '%4 №%1')")
                    .arg(b)
                    .arg((b - 1) % cities.size() + 1)
                    .arg((b - 1) % orgs + 1)
                    .arg(baseWords[b % baseWords.size()]));
        prss.add(QString("(%1, %2, 'Прайс %2 основной')").arg(++priceLists).arg(b));
        if (b % 2 == 0)  // every second base sends a second price list
            prss.add(QString("(%1, %2, 'Прайс %2 склад')").arg(++priceLists).arg(b));
    }
    bss.flush();
    prss.flush();

    Batch grps{cn, "INSERT INTO TBL_GRPS (IND, IND_TP, GRP_NM) VALUES ", {}};
    Batch psts{cn, "INSERT INTO TBL_PSTS (IND, IND_GRP, PST_NM) VALUES ", {}};
    Batch stfs{cn, "INSERT INTO TBL_STFS (IND, IND_PST, IND_PRS, TO_OUT) VALUES ", {}};
    Batch csts{cn, "INSERT INTO TBL_CSTS (IND, IND_STF, VL_FRM, VL_TO, CST) VALUES ", {}};
    const double from[] = {0, 1, 5, 10, 20};
    const double to[] = {1, 5, 10, 20, 0};
    int position = 0, stf = 0, cst = 0;
    for (int g = 1; g <= groups; ++g) {
        const QString word = groupWords[(g - 1) % groupWords.size()];
        grps.add(QString("(%1, %2, '%3 %4')")
                     .arg(g)
                     .arg((g - 1) % types.size() + 1)
                     .arg(word)
                     .arg(steels[g % steels.size()]));
        for (int k = 0; k < perGroup; ++k) {
            ++position;
            psts.add(QString("(%1, %2, '%3 %4 мм %5')")
                         .arg(position)
                         .arg(g)
                         .arg(word)
                         .arg(6 + k % 40)
                         .arg(steels[(g + k) % steels.size()]));
            // Six offers from price lists spread over the bases, five bands each.
            for (int o = 0; o < 6; ++o) {
                ++stf;
                const int list = (position * 7 + o * 41) % priceLists + 1;
                stfs.add(QString("(%1, %2, %3, '%4 %5')")
                             .arg(stf)
                             .arg(position)
                             .arg(list)
                             .arg(word)
                             .arg(6 + k % 40));
                const double base = 38000 + (position * 37 + o * 911) % 30000;
                for (int b = 0; b < 5; ++b) {
                    csts.add(QString("(%1, %2, %3, %4, %5)")
                                 .arg(++cst)
                                 .arg(stf)
                                 .arg(from[b])
                                 .arg(to[b])
                                 .arg(base - b * 350 + 0.5));
                }
            }
        }
    }
    grps.flush();
    psts.flush();
    stfs.flush();
    csts.flush();
    std::printf("built: %d positions in %d groups, %d offers, %d price bands, %d bases, %d price lists\n",
                position, groups, stf, cst, bases, priceLists);
}

// n positions spread evenly over the folder's positions.
std::vector<int> pickPositions(store::Connection& cn, int n) {
    std::vector<int> all;
    auto rs = cn.open("SELECT IND FROM TBL_PSTS");
    for (; !rs->eof(); rs->moveNext()) all.push_back(rs->field("IND").toInt32());
    rs->close();
    if (all.empty()) throw core::DbError("TBL_PSTS is empty");
    std::sort(all.begin(), all.end());
    std::vector<int> picked;
    for (int i = 0; i < n; ++i)
        picked.push_back(all[static_cast<size_t>(i) * all.size() / static_cast<size_t>(n)]);
    return picked;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QString dbDir, buildDir, shot, central;
    int runs = 9, lines = 100;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == "--db" && i + 1 < args.size())
            dbDir = args[++i];
        else if (a == "--build" && i + 1 < args.size())
            buildDir = args[++i];
        else if (a == "--central" && i + 1 < args.size())
            central = args[++i];
        else if (a == "--shot" && i + 1 < args.size())
            shot = args[++i];
        else if (a == "--runs" && i + 1 < args.size())
            runs = std::max(1, args[++i].toInt());
        else if (a == "--lines" && i + 1 < args.size())
            lines = std::clamp(args[++i].toInt(), 1, 101);
        else {
            std::fprintf(
                stderr,
                "usage: basket_bench [--db DIR | [--central FILE] [--build DIR]] [--lines N] [--runs N] "
                "[--shot FILE.png]\n");
            return 2;
        }
    }

    try {
        QTemporaryDir temp;
        QString folder = dbDir;
        if (folder.isEmpty()) {
            folder = buildDir.isEmpty() ? temp.path() : buildDir;
            QDir().mkpath(folder);
            auto cn = store::openFolder(folder);
            double ms = 0;
            if (central.isEmpty()) {
                ms = msOf([&] { buildFolder(*cn); });
            } else {
                // The way a new installation gets its data: every reference table copied
                // from the central database, one statement per record.
                store::RoutedConnection routed(std::move(cn), db::openCentralLink(central));
                const QStringList refs = db::referenceTables();
                ms = msOf([&] { db::synchronise(routed, QSet<QString>(refs.begin(), refs.end())); });
            }
            std::printf("folder built in %.1f s: %s\n", ms / 1000, qPrintable(folder));
        }

        std::unique_ptr<store::Connection> cn;
        const double openMs = msOf([&] { cn = store::openFolder(folder); });
        std::printf("folder opened in %.1f ms\n", openMs);
        store::Connection* raw = cn.get();
        Global::setCn(std::move(cn));

        clsZak& order = Global::CurrentOrder();
        order.Init();
        const std::vector<int> positions = pickPositions(*raw, lines);
        for (size_t i = 0; i < positions.size(); ++i) {
            order.InsertRow();
            order.setField("idn", positions[i]);
            order.setField("qty", core::Value::dbl(0.5 + static_cast<double>((i * 37) % 120) / 2));
        }
        std::printf("order: %d lines\n", order.RecordCount());

        // The first comparison after opening the folder also reads the tables it joins
        // and builds the store's look-up indexes; later ones find them in memory.
        basket_cmp::Comparison cmp;
        std::vector<double> build, window;
        const double first = msOf([&] { cmp = basket_cmp::BuildComparison(*raw, order); });
        std::printf("  %-52s %8.1f ms\n", "first BuildComparison after opening the folder", first);
        for (int r = 0; r < runs; ++r)
            build.push_back(msOf([&] { cmp = basket_cmp::BuildComparison(*raw, order); }));
        int complete = 0;
        for (const basket_cmp::BaseRow& b : cmp.bases) complete += b.total ? 1 : 0;
        std::printf("comparison: %d line columns, %zu bases, %d with a total\n", cmp.columnCount() - 5,
                    cmp.bases.size(), complete);
        report("BuildComparison (TBL_CORD, 3 queries, totals)", build);

        // The same rebuild with what the window shows beside the grid: the bands query,
        // the marks, the best split, the price breaks and the summary; then every tool tip
        // the grid can show, worked out once.
        basket_cmp::Decision decision;
        std::vector<double> aided, tips;
        for (int r = 0; r < runs; ++r) {
            aided.push_back(msOf([&] {
                cmp = basket_cmp::BuildComparison(*raw, order);
                decision = basket_cmp::Decision(cmp, basket_cmp::LoadOffers(*raw));
                (void)decision.summary(QLocale());
            }));
        }
        report("rebuild with bands, marks, split, breaks, summary", aided);
        size_t tipChars = 0;
        for (int r = 0; r < runs; ++r) {
            tips.push_back(msOf([&] {
                for (size_t b = 0; b < cmp.bases.size(); ++b) {
                    tipChars += decision.totalTip(b).size();
                    for (size_t l = 0; l < cmp.lines.size(); ++l) tipChars += decision.priceTip(b, l, QLocale()).size();
                }
            }));
        }
        report("every tool tip of the grid (bases x lines)", tips);
        std::printf("tool tips: %zu characters over %d runs\n", tipChars, runs);
        for (const QString& line : decision.summary(QLocale())) std::printf("  %s\n", qPrintable(line));

        for (int r = 0; r < runs; ++r) {
            window.push_back(msOf([&] {
                basket w;
                (void)w.gbasket->model().rows();
            }));
        }
        report("basket window load (all of it, grid, fitting)", window);

        if (!shot.isEmpty()) {
            basket w;
            w.show();
            QApplication::processEvents();
            w.grab().save(shot);
            std::printf("picture: %s\n", qPrintable(shot));
        }
        Global::setCn(nullptr);
    } catch (const core::Error& e) {
        std::fprintf(stderr, "basket_bench: %s\n", qPrintable(e.message()));
        return 1;
    }
    return 0;
}
