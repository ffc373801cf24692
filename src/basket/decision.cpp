#include "basket/decision.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "store/connection.h"

namespace basket_cmp {
namespace {

// Sums of the same prices in the same order are equal; other sums may differ in the last
// bits only.
bool same(double a, double b) {
    return std::fabs(a - b) <= 1e-9 * std::max(1.0, std::fabs(a));
}

// The lowest price of the bands that start at or below the quantity, as the price
// statement takes it.
std::optional<double> priceAt(const std::vector<Band>& bands, double qty) {
    std::optional<double> best;
    for (const Band& b : bands) {
        if (b.from > qty) break;
        if (!best || b.price < *best) best = b.price;
    }
    return best;
}

QString quoted(const QString& s) {
    return QStringLiteral("«") + s.trimmed() + QStringLiteral("»");
}

// "A", "A и B", "A, B и C".
QString listed(const QStringList& items) {
    if (items.size() <= 1) return items.value(0);
    return items.mid(0, items.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" и ") + items.last();
}

// "у 1 базы", "у 21 базы", "у 3 баз".
QString basesText(int n) {
    const bool one = n % 10 == 1 && n % 100 != 11;
    return QStringLiteral("у %1 %2").arg(n).arg(one ? QStringLiteral("базы") : QStringLiteral("баз"));
}

}  // namespace

QString moneyText(double v, const QLocale& locale) {
    const double whole = std::round(v);
    if (same(v, whole) && std::fabs(whole) < 1e15) return locale.toString(static_cast<qlonglong>(whole));
    return locale.toString(v, 'f', 2);
}

QString quantityText(double v, const QLocale& locale) {
    QLocale l = locale;
    l.setNumberOptions(QLocale::OmitGroupSeparator);
    return l.toString(v, 'f', QLocale::FloatingPointShortest);
}

Offers LoadOffers(store::Connection& cn) {
    Offers offers;
    std::unique_ptr<store::RecordSet> rs = cn.open(QStringLiteral(
        "SELECT DISTINCT b.IND_PST, c.IND_BS, d.VL_FRM, d.CST FROM ((TBL_CORD a INNER JOIN TBL_STFS b on "
        "a.IND_PST=b.IND_PST) INNER JOIN TBL_PRSS c ON b.IND_PRS=c.IND) INNER JOIN TBL_CSTS d ON "
        "b.IND=d.IND_STF"));
    for (; !rs->eof(); rs->moveNext()) {
        const core::Value pst = rs->field(QStringLiteral("IND_PST"));
        const core::Value bs = rs->field(QStringLiteral("IND_BS"));
        const core::Value from = rs->field(QStringLiteral("VL_FRM"));
        const core::Value cst = rs->field(QStringLiteral("CST"));
        // A band without a start or a price is never taken by the price statement either.
        if (pst.isNull() || bs.isNull() || from.isNull() || cst.isNull()) continue;
        offers[{bs.toInt32(), pst.toInt32()}].push_back({from.toDouble(), cst.toDouble()});
    }
    rs->close();
    for (auto& [key, bands] : offers)
        std::stable_sort(bands.begin(), bands.end(), [](const Band& a, const Band& b) { return a.from < b.from; });
    return offers;
}

Decision::Decision(const Comparison& cmp, Offers offers) : cmp_(cmp), offers_(std::move(offers)) {
    lowest_.resize(cmp_.lines.size());
    for (const BaseRow& b : cmp_.bases) {
        for (size_t l = 0; l < cmp_.lines.size(); ++l) {
            if (b.prices[l] && (!lowest_[l] || *b.prices[l] < *lowest_[l])) lowest_[l] = b.prices[l];
        }
        if (b.total && (!lowestTotal_ || *b.total < *lowestTotal_)) lowestTotal_ = b.total;
    }
    for (size_t i = 0; i < cmp_.bases.size(); ++i)
        if (cheapestTotal(i)) cheapestBases_.push_back(i);
    for (size_t l = 0; l < cmp_.lines.size(); ++l)
        if (!lowest_[l]) unoffered_.push_back(l);
    findSplit();
    findHint();
}

bool Decision::cheapestPrice(size_t base, size_t line) const {
    if (base >= cmp_.bases.size() || line >= lowest_.size() || !lowest_[line]) return false;
    const std::optional<double>& p = cmp_.bases[base].prices[line];
    return p && *p == *lowest_[line];
}

bool Decision::cheapestTotal(size_t base) const {
    if (base >= cmp_.bases.size() || !lowestTotal_) return false;
    const std::optional<double>& t = cmp_.bases[base].total;
    return t && same(*t, *lowestTotal_);
}

std::vector<size_t> Decision::lacking(size_t base) const {
    std::vector<size_t> out;
    if (base >= cmp_.bases.size()) return out;
    for (size_t l = 0; l < cmp_.lines.size(); ++l)
        if (!cmp_.bases[base].prices[l]) out.push_back(l);
    return out;
}

const std::vector<Band>* Decision::bandsOf(size_t base, size_t line) const {
    if (base >= cmp_.bases.size() || line >= cmp_.lines.size() || !cmp_.lines[line].known) return nullptr;
    const auto it = offers_.find({cmp_.bases[base].baseKey, cmp_.lines[line].positionKey});
    return it == offers_.end() ? nullptr : &it->second;
}

std::optional<Band> Decision::laterOffer(size_t base, size_t line) const {
    const std::vector<Band>* bands = bandsOf(base, line);
    if (!bands) return std::nullopt;
    const double qty = cmp_.lines[line].qty;
    for (const Band& b : *bands) {
        if (b.from > qty) return Band{b.from, *priceAt(*bands, b.from)};
    }
    return std::nullopt;
}

std::optional<PriceBreak> Decision::nextBreak(size_t base, size_t line) const {
    const std::vector<Band>* bands = bandsOf(base, line);
    if (!bands || !cmp_.bases[base].prices[line]) return std::nullopt;
    const double qty = cmp_.lines[line].qty;
    const double now = *cmp_.bases[base].prices[line];
    for (const Band& b : *bands) {
        if (b.from <= qty || b.price >= now) continue;
        const double price = *priceAt(*bands, b.from);
        return PriceBreak{b.from, price, (price - now) / now * 100.0, b.from * price};
    }
    return std::nullopt;
}

void Decision::findSplit() {
    if (cmp_.lines.empty() || !unoffered_.empty()) return;
    // Lines whose lowest price several bases share go, one base at a time, to the base that
    // takes most of the lines still open, so that the split needs as few bases as it can.
    Split s;
    s.baseOfLine.assign(cmp_.lines.size(), cmp_.bases.size());
    size_t open = cmp_.lines.size();
    while (open > 0) {
        size_t best = 0, bestCount = 0;
        for (size_t b = 0; b < cmp_.bases.size(); ++b) {
            size_t n = 0;
            for (size_t l = 0; l < cmp_.lines.size(); ++l)
                n += s.baseOfLine[l] == cmp_.bases.size() && cheapestPrice(b, l);
            if (n > bestCount) best = b, bestCount = n;
        }
        for (size_t l = 0; l < cmp_.lines.size(); ++l) {
            if (s.baseOfLine[l] == cmp_.bases.size() && cheapestPrice(best, l)) {
                s.baseOfLine[l] = best;
                --open;
            }
        }
        ++s.baseCount;
    }
    for (size_t l = 0; l < cmp_.lines.size(); ++l) s.total += cmp_.lines[l].qty * *lowest_[l];
    if (lowestTotal_ && *lowestTotal_ > 0) s.savingPercent = (*lowestTotal_ - s.total) / *lowestTotal_ * 100.0;
    split_ = s;
}

void Decision::findHint() {
    for (size_t l = 0; l < cmp_.lines.size(); ++l) {
        if (!lowest_[l]) continue;
        const double oldCost = cmp_.lines[l].qty * *lowest_[l];
        for (size_t b = 0; b < cmp_.bases.size(); ++b) {
            if (!cheapestPrice(b, l)) continue;
            const std::optional<PriceBreak> brk = nextBreak(b, l);
            if (!brk || brk->cost >= oldCost || same(brk->cost, oldCost)) continue;
            if (!hint_ || oldCost - brk->cost > hint_->oldCost - hint_->brk.cost) hint_ = Hint{l, b, *brk, oldCost};
        }
    }
}

QString Decision::baseName(size_t base) const {
    const BaseRow& b = cmp_.bases[base];
    return b.base.trimmed() + QStringLiteral(" (") + b.city.trimmed() + QLatin1Char(')');
}

QStringList Decision::summary(const QLocale& locale) const {
    if (cmp_.lines.empty()) return {};
    QStringList out;
    if (cheapestBases_.empty()) {
        out << QStringLiteral("Ни одна база не предлагает все позиции заявки.");
    } else {
        QStringList names;
        for (size_t b : cheapestBases_) names << baseName(b);
        out << QStringLiteral("Целиком дешевле всего: ") + listed(names) + QStringLiteral(" — ") +
                   moneyText(*lowestTotal_, locale) + QLatin1Char('.');
    }

    QStringList second;
    if (!unoffered_.empty()) {
        QStringList names;
        for (size_t l : unoffered_)
            names << quoted(cmp_.lines[l].name) + QStringLiteral(" (") + quantityText(cmp_.lines[l].qty, locale) +
                         QLatin1Char(')');
        second << QStringLiteral("Лучшей разбивки нет: ни одна база не предлагает ") + listed(names) +
                      QLatin1Char('.');
    } else if (split_) {
        QString s = QStringLiteral("Лучшая разбивка: ") + moneyText(split_->total, locale) + QLatin1Char(' ') +
                    basesText(split_->baseCount);
        if (split_->savingPercent && *split_->savingPercent > 0.05)
            s += QStringLiteral(", на ") + locale.toString(*split_->savingPercent, 'f', 1) +
                 QStringLiteral(" % дешевле");
        second << s + QLatin1Char('.');
    }
    if (hint_) {
        const LineColumn& line = cmp_.lines[hint_->line];
        second << QStringLiteral("Больше — дешевле: ") + quoted(line.name) + QStringLiteral(" от ") +
                      quantityText(hint_->brk.qty, locale) + QStringLiteral(" обойдётся в ") +
                      moneyText(hint_->brk.cost, locale) + QStringLiteral(" вместо ") +
                      moneyText(hint_->oldCost, locale) + QStringLiteral(" за ") +
                      quantityText(line.qty, locale) + QStringLiteral(" (") + baseName(hint_->base) +
                      QStringLiteral(").");
    }
    if (!second.isEmpty()) out << second.join(QLatin1Char(' '));
    return out;
}

QString Decision::priceTip(size_t base, size_t line, const QLocale& locale) const {
    if (base >= cmp_.bases.size() || line >= cmp_.lines.size()) return {};
    if (!cmp_.bases[base].prices[line]) {
        const std::optional<Band> later = laterOffer(base, line);
        if (!later) return QStringLiteral("Нет предложения");
        return QStringLiteral("Предлагает от ") + quantityText(later->from, locale) + QStringLiteral(" по ") +
               moneyText(later->price, locale);
    }
    const std::optional<PriceBreak> brk = nextBreak(base, line);
    if (!brk) return {};
    return QStringLiteral("От ") + quantityText(brk->qty, locale) + QStringLiteral(" — ") +
           moneyText(brk->price, locale) + QStringLiteral(" (") + locale.toString(brk->percent, 'f', 1) +
           QStringLiteral(" %)");
}

QString Decision::totalTip(size_t base) const {
    const std::vector<size_t> missing = lacking(base);
    if (missing.empty()) return {};
    QStringList names;
    for (size_t l : missing) names << quoted(cmp_.lines[l].name);
    return QStringLiteral("Нет позиций: ") + names.join(QStringLiteral(", "));
}

}  // namespace basket_cmp
