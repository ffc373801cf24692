// The supplier comparison built from the order through TBL_CORD over real table files:
// the statements it sends, the grid's texts, prices, totals and its edge cases.
#include "basket/comparison.h"

#include <gtest/gtest.h>

#include <set>

#include "basket_db.h"
#include "support/scripted_seams.h"

using basket_test::BasketDb;
using namespace basket_cmp;

namespace {

const QString kLineQuery = QStringLiteral(
    "SELECT b.IND, c.GRP_NM, b.PST_NM, a.VL FROM (TBL_CORD a INNER JOIN TBL_PSTS b ON a.IND_PST=b.IND) INNER "
    "JOIN "
    "TBL_GRPS c ON b.IND_GRP=c.IND");
const QString kBaseQuery = QStringLiteral(
    "SELECT DISTINCT e.IND, f.CT_NM, e.BS_NM FROM (((TBL_CORD a INNER JOIN TBL_STFS b on "
    "a.IND_PST=b.IND_PST) "
    "INNER JOIN TBL_PRSS c ON b.IND_PRS=c.IND) INNER JOIN TBL_BSS e ON c.IND_BS=e.IND) INNER JOIN TBL_CTS f "
    "ON "
    "e.IND_CT=f.IND ORDER BY f.CT_NM, e.BS_NM");
const QString kPriceQuery = QStringLiteral(
    "SELECT a.IND_PST, c.IND_BS, MIN(d.CST) as MIN_CST FROM ((TBL_CORD a INNER JOIN TBL_STFS b on "
    "a.IND_PST=b.IND_PST) INNER JOIN TBL_PRSS c ON b.IND_PRS=c.IND) INNER JOIN TBL_CSTS d ON b.IND=d.IND_STF "
    "WHERE "
    "d.VL_FRM<=a.VL GROUP BY a.IND_PST, c.IND_BS");

Comparison build() {
    return BuildComparison(Global::Cn(), Global::CurrentOrder());
}

// The grid row of a base by its key, or -1.
int rowOfBase(const QList<QStringList>& g, int key) {
    for (int r = kFixedRows; r < g.size(); ++r) {
        if (g[r][kKeyCol] == QString::number(key)) return r;
    }
    return -1;
}

TEST(Comparison, EmptyBasketGivesTheHeaderAndTheHiddenPlaceholderOnly) {
    BasketDb db;
    db.fillCatalogue();
    const Comparison cmp = build();
    const QList<QStringList> g = cmp.gridTexts();

    EXPECT_EQ(cmp.columnCount(), 5);
    ASSERT_EQ(g.size(), 5);
    EXPECT_TRUE(cmp.hasPlaceholderRow());
    EXPECT_EQ(g[3], (QStringList{"", "Отм", "Город", "Поставщик", "Итого\\Заказ"}));
    EXPECT_EQ(g[4], QStringList(5, QString()));
    EXPECT_EQ(db.recorder().statements(),
              (QStringList{"DELETE FROM TBL_CORD", kLineQuery, kBaseQuery, kPriceQuery}));
}

TEST(Comparison, ThreeLinesAreListedWithLowestPricesAndCompleteTotals) {
    BasketDb db;
    db.fillCatalogue();
    BasketDb::addLine(100, 4);
    BasketDb::addLine(101, 2.5);
    BasketDb::addLine(102, 1);
    const Comparison cmp = build();
    const QList<QStringList> g = cmp.gridTexts();

    EXPECT_EQ(
        db.recorder().statements(),
        (QStringList{"DELETE FROM TBL_CORD", "INSERT INTO TBL_CORD(IND_PST,VL) VALUES(100,4)",
                     "INSERT INTO TBL_CORD(IND_PST,VL) VALUES(101,2.5)",
                     "INSERT INTO TBL_CORD(IND_PST,VL) VALUES(102,1)", kLineQuery, kBaseQuery, kPriceQuery}));

    ASSERT_EQ(cmp.columnCount(), 8);
    EXPECT_EQ(g[0].mid(5), (QStringList{"100", "101", "102"}));
    EXPECT_EQ(g[1].mid(5), (QStringList{"Арматура", "Уголок", "Труба профильная"}));
    EXPECT_EQ(g[2].mid(5),
              (QStringList{"Арматура А500С ф12 11,7 м", "Уголок 50х50х5 ст3 12 м", "Труба 40х20х2 6 м"}));
    EXPECT_EQ(g[3].mid(5), (QStringList{"4", "2.5", "1"}));
    for (int c = 5; c < 8; ++c) EXPECT_EQ(cmp.slotOfColumn(c), c - 5);
    EXPECT_EQ(cmp.slotOfColumn(4), -1);

    // Bases by city, then by base name; each base once although base 1 has two price lists.
    ASSERT_EQ(g.size(), 8);
    EXPECT_EQ(g[4], (QStringList{"2", "", "Екатеринбург", "СтальСнаб", "428000", "51500", "60000", "72000"}));
    EXPECT_EQ(g[5],
              (QStringList{"1", "", "Москва", "Металлобаза Север", "424500", "50500", "61000", "70000"}));
    // Rebar only from 5 t: the 4 t line has no price there, so no total either.
    EXPECT_EQ(g[6], (QStringList{"4", "", "Москва", "Электросталь", "", "", "62000", "69000"}));
    // No tube at all.
    EXPECT_EQ(g[7], (QStringList{"3", "", "Челябинск", "УралМет", "", "49900", "59500", ""}));
    EXPECT_FALSE(cmp.hasPlaceholderRow());
}

TEST(Comparison, NumbersOnScreenFollowTheLocaleWhileStatementsKeepThePoint) {
    testsupport::LocaleGuard russian(QLocale(QLocale::Russian, QLocale::Russia));
    BasketDb db;
    db.fillCatalogue();
    BasketDb::addLine(101, 1.5);
    BasketDb::addLine(102, 0.75);
    const Comparison cmp = build();
    const QList<QStringList> g = cmp.gridTexts();

    EXPECT_TRUE(db.recorder().executed().contains("INSERT INTO TBL_CORD(IND_PST,VL) VALUES(101,1.5)"));
    EXPECT_TRUE(db.recorder().executed().contains("INSERT INTO TBL_CORD(IND_PST,VL) VALUES(102,0.75)"));
    // One and a half came back from the table as one and a half, not fifteen.
    EXPECT_EQ(g[3].mid(5), (QStringList{"1,5", "0,75"}));
    EXPECT_DOUBLE_EQ(cmp.lines[0].qty, 1.5);
    const int base2 = rowOfBase(g, 2);
    ASSERT_GE(base2, 0);
    // 1.5 x 60000 + 0.75 x 72000
    EXPECT_EQ(g[base2][kTotalCol], "144000");
    // Base 4 sells the tube only from 0.5 t: 0.75 t is enough.
    const int base4 = rowOfBase(g, 4);
    ASSERT_GE(base4, 0);
    EXPECT_EQ(g[base4][6], "69000");
}

TEST(Comparison, QuantityBelowEveryBandStartLeavesTheCellEmpty) {
    BasketDb db;
    db.fillCatalogue();
    BasketDb::addLine(102, 0.25);  // base 4 starts the tube at 0.5
    const QList<QStringList> g = build().gridTexts();
    const int base4 = rowOfBase(g, 4);
    ASSERT_GE(base4, 0);  // listed: it offers the position, just not at this quantity
    EXPECT_EQ(g[base4][5], "");
    EXPECT_EQ(g[base4][kTotalCol], "");
    EXPECT_EQ(g[rowOfBase(g, 1)][5], "70000");
}

TEST(Comparison, SeveralPriceListsAndBandsGiveTheSingleLowestPrice) {
    BasketDb db;
    db.fillCatalogue();
    struct Case {
        double qty;
        const char* price;  // at base 1
    } cases[] = {
        {1, "52000"},    // only the first band of list 1 starts at or below 1
        {3, "50500"},    // list 5 starts at 3 and is the cheapest
        {500, "50500"},  // the upper bound VL_TO plays no part
    };
    for (const Case& c : cases) {
        Global::CurrentOrder().Clear();
        BasketDb::addLine(100, c.qty);
        const QList<QStringList> g = build().gridTexts();
        EXPECT_EQ(g[rowOfBase(g, 1)][5], c.price) << "qty " << c.qty;
    }
}

TEST(Comparison, SamePositionTwiceGetsTwoPricedColumnsAndBothCountInTheTotal) {
    BasketDb db;
    db.fillCatalogue();
    BasketDb::addLine(101, 2);
    BasketDb::addLine(101, 3);
    const Comparison cmp = build();
    const QList<QStringList> g = cmp.gridTexts();

    ASSERT_EQ(cmp.columnCount(), 7);
    const int base2 = rowOfBase(g, 2);
    EXPECT_EQ(g[base2][5], "60000");
    EXPECT_EQ(g[base2][6], "60000");
    EXPECT_EQ(g[base2][kTotalCol], "300000");
    // Each column keeps its own line and quantity.
    EXPECT_EQ((std::set<int>{cmp.slotOfColumn(5), cmp.slotOfColumn(6)}), (std::set<int>{0, 1}));
    for (const LineColumn& l : cmp.lines) EXPECT_DOUBLE_EQ(l.qty, l.slot == 0 ? 2.0 : 3.0);
}

TEST(Comparison, LineWithUnknownPositionOrGroupShowsItsKeyAndTakesNoPrice) {
    BasketDb db;
    db.fillCatalogue();
    db.position(103, 99, QStringLiteral("Швеллер 10П"));  // its group 99 is missing
    db.offer(20, 103, 2);
    db.band(20, 20, "0", "1000", "55000");
    db.offer(21, 555, 2);  // an offer of a position the catalogue lacks
    db.band(21, 21, "0", "1000", "1000");
    BasketDb::addLine(101, 1);
    BasketDb::addLine(555, 2);
    BasketDb::addLine(103, 3);

    const Comparison cmp = build();
    const QList<QStringList> g = cmp.gridTexts();
    ASSERT_EQ(cmp.columnCount(), 8);
    EXPECT_EQ(g[0].mid(5), (QStringList{"101", "555", "103"}));
    EXPECT_EQ(g[2].mid(5), (QStringList{"Уголок 50х50х5 ст3 12 м", "555", "103"}));
    EXPECT_EQ(g[3].mid(5), (QStringList{"1", "2", "3"}));
    EXPECT_EQ(cmp.slotOfColumn(6), 1);
    EXPECT_EQ(cmp.slotOfColumn(7), 2);
    const int base2 = rowOfBase(g, 2);
    ASSERT_GE(base2, 0);
    EXPECT_EQ(g[base2][5], "60000");
    EXPECT_EQ(g[base2][6], "");
    EXPECT_EQ(g[base2][7], "");
    EXPECT_EQ(g[base2][kTotalCol], "");
}

TEST(Comparison, ColumnsFollowTheLinesSlotsAfterARemoval) {
    BasketDb db;
    db.fillCatalogue();
    BasketDb::addLine(100, 1);
    BasketDb::addLine(101, 1);
    BasketDb::addLine(102, 1);
    Global::CurrentOrder().RemoveRow(1);
    const Comparison cmp = build();
    ASSERT_EQ(cmp.columnCount(), 7);
    EXPECT_EQ(cmp.lines[0].positionKey, 100);
    EXPECT_EQ(cmp.slotOfColumn(5), 0);
    EXPECT_EQ(cmp.lines[1].positionKey, 102);
    EXPECT_EQ(cmp.slotOfColumn(6), 2);
    // The walk leaves the cursor past the last line, as every walk over the order does.
    EXPECT_EQ(Global::CurrentOrder().Field("pos").toInt32(), -1);
}

TEST(Comparison, RebuildStartsFromAnEmptyScratchTable) {
    BasketDb db;
    db.fillCatalogue();
    BasketDb::addLine(100, 1);
    build();
    BasketDb::addLine(101, 1);
    const Comparison cmp = build();
    EXPECT_EQ(cmp.columnCount(), 7);
    auto rs = db.store().open(QStringLiteral("SELECT COUNT(*) AS N FROM TBL_CORD"));
    EXPECT_EQ(rs->field("N").toInt32(), 2);
}

TEST(Comparison, TotalsNeedEveryLinePricedAndAreFormattedByMagnitude) {
    Comparison cmp;
    cmp.lines.resize(2);
    cmp.lines[0].positionKey = 1;
    cmp.lines[0].qty = 0.5;
    cmp.lines[1].positionKey = 2;
    cmp.lines[1].qty = 2;
    for (int key : {7, 8}) {
        BaseRow b;
        b.baseKey = key;
        b.prices.resize(2);
        cmp.bases.push_back(b);
    }
    cmp.setBasePrice(7, 1, 2.5);
    cmp.setBasePrice(7, 2, 0.6);
    cmp.setBasePrice(8, 2, 0.6);
    cmp.setBasePrice(9, 1, 1);  // no such base: nothing happens
    cmp.calcTotals();
    const QList<QStringList> g = cmp.gridTexts();
    EXPECT_EQ(g[4][kTotalCol], "2.5");  // 0.5 x 2.5 + 2 x 0.6 = 2.45, "0.0" rounds half up
    EXPECT_EQ(g[5][kTotalCol], "");
    EXPECT_EQ(g[5][6], "0.6");
}

TEST(Comparison, SqlQuantityKeepsThePointAndEveryDigit) {
    testsupport::LocaleGuard russian(QLocale(QLocale::Russian, QLocale::Russia));
    struct {
        double qty;
        const char* text;
    } cases[] = {{0, "0"}, {2.5, "2.5"}, {12, "12"}, {0.001, "0.001"}, {1234567.125, "1234567.125"}};
    for (const auto& c : cases) EXPECT_EQ(sqlQuantity(c.qty), QLatin1String(c.text));
}

}  // namespace
