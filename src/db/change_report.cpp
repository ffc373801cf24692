#include "db/change_report.h"

#include <QHash>
#include <algorithm>
#include <cmath>
#include <functional>
#include <tuple>
#include <vector>

#include "core/errors.h"
#include "db/schema.h"

namespace db {
namespace {

// One price band with what identifies it across two versions of the tables.
struct Band {
    int position = 0;
    int base = 0;
    double from = 0, to = 0;
    double price = 0;
    auto key() const { return std::tie(position, base, from, to); }
};

// What the comparison needs of one version of the reference tables.
struct Tables {
    QList<qint64> rows;                          // per reference table
    QHash<int, QString> positions;               // IND -> name
    QHash<int, QString> bases;                   // IND -> name
    std::vector<std::pair<int, int>> offers;     // (position, base), sorted, unique
    std::vector<Band> bands;                     // sorted by key, one per key (the lowest price)
};

int whole(const core::Value& v) { return v.isNull() ? 0 : v.toInt32(); }
double number(const core::Value& v) { return v.isNull() ? 0.0 : v.toDouble(); }

// Runs the query and hands each record to `each`; a table that is not there reads as empty.
void scan(store::Connection& cn, const QString& sql, const std::function<void(const store::RecordSet&)>& each) {
    std::unique_ptr<store::RecordSet> rs;
    try {
        rs = cn.open(sql);
    } catch (const core::DbError&) {
        return;
    }
    for (; !rs->eof(); rs->moveNext()) each(*rs);
    rs->close();
}

Tables readTables(store::Connection& cn) {
    Tables t;
    for (const QString& name : referenceTables()) {
        qint64 n = 0;
        scan(cn, QStringLiteral("SELECT COUNT(*) AS N FROM ") + name,
             [&](const store::RecordSet& r) { n = r.field(QStringLiteral("N")).toInt32(); });
        t.rows << n;
    }
    scan(cn, QStringLiteral("SELECT IND, PST_NM FROM TBL_PSTS"), [&](const store::RecordSet& r) {
        t.positions.insert(whole(r.field(QStringLiteral("IND"))), r.field(QStringLiteral("PST_NM")).toText());
    });
    scan(cn, QStringLiteral("SELECT IND, BS_NM FROM TBL_BSS"), [&](const store::RecordSet& r) {
        t.bases.insert(whole(r.field(QStringLiteral("IND"))), r.field(QStringLiteral("BS_NM")).toText());
    });
    QHash<int, int> baseOfPrice;
    scan(cn, QStringLiteral("SELECT IND, IND_BS FROM TBL_PRSS"), [&](const store::RecordSet& r) {
        baseOfPrice.insert(whole(r.field(QStringLiteral("IND"))), whole(r.field(QStringLiteral("IND_BS"))));
    });
    QHash<int, std::pair<int, int>> offerOfStuff;
    scan(cn, QStringLiteral("SELECT IND, IND_PST, IND_PRS FROM TBL_STFS"), [&](const store::RecordSet& r) {
        const std::pair<int, int> offer(whole(r.field(QStringLiteral("IND_PST"))),
                                        baseOfPrice.value(whole(r.field(QStringLiteral("IND_PRS")))));
        offerOfStuff.insert(whole(r.field(QStringLiteral("IND"))), offer);
        t.offers.push_back(offer);
    });
    std::sort(t.offers.begin(), t.offers.end());
    t.offers.erase(std::unique(t.offers.begin(), t.offers.end()), t.offers.end());
    scan(cn, QStringLiteral("SELECT IND_STF, VL_FRM, VL_TO, CST FROM TBL_CSTS"), [&](const store::RecordSet& r) {
        const auto offer = offerOfStuff.constFind(whole(r.field(QStringLiteral("IND_STF"))));
        if (offer == offerOfStuff.cend()) return;
        t.bands.push_back({offer->first, offer->second, number(r.field(QStringLiteral("VL_FRM"))),
                           number(r.field(QStringLiteral("VL_TO"))), number(r.field(QStringLiteral("CST")))});
    });
    std::sort(t.bands.begin(), t.bands.end(), [](const Band& a, const Band& b) {
        return a.key() < b.key() || (a.key() == b.key() && a.price < b.price);
    });
    t.bands.erase(std::unique(t.bands.begin(), t.bands.end(),
                              [](const Band& a, const Band& b) { return a.key() == b.key(); }),
                  t.bands.end());
    return t;
}

// Counts what only one side holds, and hands pairs both hold to `both`.
template <class T, class Less, class Both>
void merge(const std::vector<T>& a, const std::vector<T>& b, Less less, qint64* onlyA, qint64* onlyB, Both both) {
    size_t i = 0, j = 0;
    while (i < a.size() || j < b.size()) {
        if (j == b.size() || (i < a.size() && less(a[i], b[j]))) {
            ++*onlyA;
            ++i;
        } else if (i == a.size() || less(b[j], a[i])) {
            ++*onlyB;
            ++j;
        } else {
            both(a[i++], b[j++]);
        }
    }
}

QStringList namesOnlyIn(const QHash<int, QString>& a, const QHash<int, QString>& b) {
    QStringList names;
    for (auto it = a.cbegin(); it != a.cend(); ++it)
        if (!b.contains(it.key())) names << it.value().trimmed();
    names.sort(Qt::CaseInsensitive);
    return names;
}

}  // namespace

double PriceChange::percent() const { return oldPrice == 0 ? 0.0 : (newPrice - oldPrice) / oldPrice * 100.0; }

ChangeReport compareReferenceTables(store::Connection& before, store::Connection& after) {
    const Tables old = readTables(before);
    const Tables now = readTables(after);
    ChangeReport r;
    const QStringList names = referenceTables();
    for (int k = 0; k < names.size(); ++k) r.rows << TableRows{names[k], old.rows[k], now.rows[k]};
    r.positionsAdded = namesOnlyIn(now.positions, old.positions);
    r.positionsRemoved = namesOnlyIn(old.positions, now.positions);
    merge(old.offers, now.offers, std::less<>(), &r.offersRemoved, &r.offersAdded, [](auto&, auto&) {});

    qint64 bandsGone = 0, bandsNew = 0;
    std::vector<PriceChange> changes;
    merge(old.bands, now.bands, [](const Band& a, const Band& b) { return a.key() < b.key(); }, &bandsGone,
          &bandsNew, [&](const Band& o, const Band& n) {
              if (o.price == n.price) return;
              ++(n.price > o.price ? r.bandsRose : r.bandsFell);
              changes.push_back({now.positions.value(n.position, QString::number(n.position)).trimmed(),
                                 now.bases.value(n.base, QString::number(n.base)).trimmed(), n.from, n.to,
                                 o.price, n.price});
          });
    auto larger = [](const PriceChange& a, const PriceChange& b) {
        return std::abs(a.percent()) > std::abs(b.percent());
    };
    const size_t keep = std::min(changes.size(), size_t(kLargestChanges));
    std::partial_sort(changes.begin(), changes.begin() + std::ptrdiff_t(keep), changes.end(), larger);
    for (size_t k = 0; k < keep; ++k) r.largest << changes[k];
    return r;
}

QString reportText(const ChangeReport& r, const QLocale& locale, int maxNames) {
    QStringList out;
    auto n = [&](qint64 v) { return locale.toString(v); };
    auto price = [&](double v) { return locale.toString(v, 'f', v == std::floor(v) ? 0 : 2); };
    out << QStringLiteral("Строк в таблицах (было → стало):");
    for (const TableRows& t : r.rows) {
        const QString change = t.after == t.before ? QString()
                                                   : QStringLiteral(" (%1%2)").arg(t.after > t.before ? QStringLiteral("+") : QStringLiteral("−"),
                                                                                   n(std::abs(t.after - t.before)));
        out << QStringLiteral("  %1: %2 → %3%4").arg(t.table, n(t.before), n(t.after), change);
    }
    auto names = [&](const QString& title, const QStringList& list, const QString& mark) {
        out << QStringLiteral("%1: %2").arg(title, n(list.size()));
        for (int k = 0; k < list.size() && k < maxNames; ++k) out << QStringLiteral("  %1 %2").arg(mark, list[k]);
        if (list.size() > maxNames) out << QStringLiteral("  … и ещё %1").arg(n(list.size() - maxNames));
    };
    names(QStringLiteral("Позиции добавлены"), r.positionsAdded, QStringLiteral("+"));
    names(QStringLiteral("Позиции удалены"), r.positionsRemoved, QStringLiteral("−"));
    out << QStringLiteral("Предложения: добавлено %1, удалено %2").arg(n(r.offersAdded), n(r.offersRemoved));
    out << QStringLiteral("Цены диапазонов: выросли %1, снизились %2").arg(n(r.bandsRose), n(r.bandsFell));
    if (!r.largest.isEmpty()) {
        out << QStringLiteral("Наибольшие изменения цен:");
        for (const PriceChange& c : r.largest) {
            const QString band = c.to == 0 ? QStringLiteral("от %1").arg(price(c.from))
                                           : QStringLiteral("%1–%2").arg(price(c.from), price(c.to));
            out << QStringLiteral("  %1; %2; %3: %4 → %5 (%6%7 %)")
                       .arg(c.position, c.base, band, price(c.oldPrice), price(c.newPrice),
                            c.percent() > 0 ? QStringLiteral("+") : QString(), locale.toString(c.percent(), 'f', 1));
        }
    }
    return out.join(QLatin1Char('\n'));
}

}  // namespace db
