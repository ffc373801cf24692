#pragma once
// What the comparison tells the operator, without any widget: the lowest price of every
// line and the cheapest complete base (ties included), the best split of the order across
// bases, what an incomplete base lacks, from which quantity a base offers what it does not
// offer at the ordered one, and the next price break of a line. The summary and the tool
// tips of the basket window, the export and the command line all read it.

#include <QLocale>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "basket/comparison.h"

namespace store {
class Connection;
}

namespace basket_cmp {

// One price band: the unit price from a quantity on.
struct Band {
    double from = 0.0;
    double price = 0.0;
};

// Every band of every base for the ordered positions, by (base key, position key), sorted
// by start (all of the base's price lists together).
using Offers = std::map<std::pair<int32_t, int32_t>, std::vector<Band>>;

// Reads the bands of the ordered positions, joined through TBL_CORD as the comparison has
// just filled it. Throws like the statement it sends.
Offers LoadOffers(store::Connection& cn);

// A band above the ordered quantity that lowers the unit price.
struct PriceBreak {
    double qty = 0.0;      // where the band starts
    double price = 0.0;    // the unit price from there on
    double percent = 0.0;  // the change against the price at the ordered quantity (negative)
    double cost = 0.0;     // qty x price
};

// Buying a line at the start of the next band costs less than the ordered quantity does.
struct Hint {
    size_t line = 0;
    size_t base = 0;
    PriceBreak brk;
    double oldCost = 0.0;  // ordered quantity x its price
};

// Every line bought where it is cheapest at its quantity.
struct Split {
    double total = 0.0;
    int baseCount = 0;
    std::vector<size_t> baseOfLine;      // the chosen base of each line (index into bases)
    std::optional<double> savingPercent;  // against the cheapest complete base, when there is one
};

class Decision {
public:
    Decision() = default;
    Decision(const Comparison& cmp, Offers offers);

    // Indexes are those of cmp.bases and cmp.lines.
    bool cheapestPrice(size_t base, size_t line) const;
    bool cheapestTotal(size_t base) const;
    const std::vector<size_t>& cheapestBases() const { return cheapestBases_; }
    const std::optional<Split>& split() const { return split_; }
    // Lines that no base prices at their quantity.
    const std::vector<size_t>& unoffered() const { return unoffered_; }
    const std::optional<Hint>& hint() const { return hint_; }
    // The lines a base has no price for.
    std::vector<size_t> lacking(size_t base) const;
    // For a line a base does not price: the first band above the ordered quantity.
    std::optional<Band> laterOffer(size_t base, size_t line) const;
    std::optional<PriceBreak> nextBreak(size_t base, size_t line) const;

    // One or two lines; none for an empty basket.
    QStringList summary(const QLocale& locale) const;
    // The tip of a price cell and of a total cell; empty where there is nothing to say.
    QString priceTip(size_t base, size_t line, const QLocale& locale) const;
    QString totalTip(size_t base) const;

private:
    const std::vector<Band>* bandsOf(size_t base, size_t line) const;
    void findSplit();
    void findHint();
    QString baseName(size_t base) const;

    Comparison cmp_;
    Offers offers_;
    std::vector<std::optional<double>> lowest_;  // per line
    std::optional<double> lowestTotal_;
    std::vector<size_t> cheapestBases_;
    std::vector<size_t> unoffered_;
    std::optional<Split> split_;
    std::optional<Hint> hint_;
};

// Money for the operator: whole amounts without decimals, others with two; the locale's
// digit grouping.
QString moneyText(double v, const QLocale& locale);
QString quantityText(double v, const QLocale& locale);

}  // namespace basket_cmp
