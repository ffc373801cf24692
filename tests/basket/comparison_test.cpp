// The supplier comparison built from the order through TBL_CORD over real table files:
// the statements it sends, the grid's texts, prices, totals and its edge cases.
#include "basket/comparison.h"

#include <gtest/gtest.h>

#include "basket_db.h"
#include "support/scripted_seams.h"

using basket_test::BasketDb;
using namespace basket_cmp;

namespace {

const QString kLineQuery = QStringLiteral(
    "SELECT b.IND, c.GRP_NM, b.PST_NM, a.VL FROM (TBL_CORD a INNER JOIN TBL_PSTS b ON a.IND_PST=b.IND) "
    "INNER JOIN TBL_GRPS c ON b.IND_GRP=c.IND");
const QString kBaseQuery = QStringLiteral(
    "SELECT DISTINCT e.IND, f.CT_NM, e.BS_NM FROM (((TBL_CORD a INNER JOIN TBL_STFS b on "
    "a.IND_PST=b.IND_PST) "
    "INNER JOIN TBL_PRSS c ON b.IND_PRS=c.IND) INNER JOIN TBL_BSS e ON c.IND_BS=e.IND) INNER JOIN TBL_CTS f "
    "ON e.IND_CT=f.IND ORDER BY f.CT_NM, e.BS_NM");
const QString kPriceQuery = QStringLiteral(
    "SELECT a.IND_PST, c.IND_BS, MIN(d.CST) as MIN_CST FROM ((TBL_CORD a INNER JOIN TBL_STFS b on "
    "a.IND_PST=b.IND_PST) INNER JOIN TBL_PRSS c ON b.IND_PRS=c.IND) INNER JOIN TBL_CSTS d ON b.IND=d.IND_STF "
    "WHERE d.VL_FRM<=a.VL GROUP BY a.IND_PST, c.IND_BS");

const auto build = [] { return BuildComparison(Global::Cn(), Global::CurrentOrder()); };

// Under a Russian locale the quantities go to the statements with a point and show with a comma.
TEST(Comparison, EmptyThenThreeLinesAreListedWithLowestPricesAndCompleteTotals) {
    testsupport::LocaleGuard russian(QLocale(QLocale::Russian, QLocale::Russia));
    BasketDb db;
    db.fillCatalogue();
    const QStringList blank(5);  // the header and the hidden placeholder only
    EXPECT_EQ(
        build().gridTexts(),
        (QList<QStringList>{blank, blank, blank, {"", "Отм", "Город", "Поставщик", "Итого\\Заказ"}, blank}));
    BasketDb::addLine(100, 1);
    build();  // a rebuild starts from an empty scratch table
    db.recorder().clearCalls();
    BasketDb::addLine(101, 2.5);
    BasketDb::addLine(102, 0.75);
    Global::CurrentOrder().MoveFirst();
    Global::CurrentOrder().setField(QStringLiteral("qty"), core::Value::dbl(4));
    const QList<QStringList> g = build().gridTexts();
    EXPECT_EQ(db.recorder().statements(),
              (QStringList{"DELETE FROM TBL_CORD", "INSERT INTO TBL_CORD(IND_PST,VL) VALUES(100,4)",
                           "INSERT INTO TBL_CORD(IND_PST,VL) VALUES(101,2.5)",
                           "INSERT INTO TBL_CORD(IND_PST,VL) VALUES(102,0.75)", kLineQuery, kBaseQuery,
                           kPriceQuery}));
    EXPECT_EQ(db.first(QStringLiteral("SELECT COUNT(*) AS N FROM TBL_CORD")).toInt32(), 3);
    EXPECT_EQ(g[kKeyRow].mid(5), (QStringList{"100", "101", "102"}));
    EXPECT_EQ(g[kGroupRow].mid(5), (QStringList{"Арматура", "Уголок", "Труба профильная"}));
    EXPECT_EQ(g[kNameRow].mid(5),
              (QStringList{"Арматура А500С ф12 11,7 м", "Уголок 50х50х5 ст3 12 м", "Труба 40х20х2 6 м"}));
    EXPECT_EQ(g[kCaptionRow].mid(5), (QStringList{"4", "2,5", "0,75"}));
    // Bases by city, then by name; base 1 once although it has two price lists, the second
    // cheaper from 3 t. Rebar only from 5 t at base 4: no price for 4 t, so no total either,
    // but the tube from 0.5 t; base 3 has no tube.
    EXPECT_EQ(
        g.mid(kFixedRows),
        (QList<QStringList>{{"2", "", "Екатеринбург", "СтальСнаб", "410000", "51500", "60000", "72000"},
                            {"1", "", "Москва", "Металлобаза Север", "407000", "50500", "61000", "70000"},
                            {"4", "", "Москва", "Электросталь", "", "", "62000", "69000"},
                            {"3", "", "Челябинск", "УралМет", "", "49900", "59500", ""}}));
}

TEST(Comparison, UnknownPositionsShowTheirKeyTakeNoPriceAndColumnsFollowTheSlots) {
    BasketDb db;
    db.fillCatalogue();
    db.exec("INSERT INTO TBL_PSTS VALUES (103,99,'Швеллер 10П')");  // group 99 is missing
    db.exec("INSERT INTO TBL_STFS VALUES (20,103,2,'т'),(21,555,2,'т')");
    db.exec("INSERT INTO TBL_CSTS VALUES (20,20,0,1000,55000),(21,21,0,1000,1000)");
    // Position 101 is ordered twice: each column keeps its own line. Every digit of 555's
    // quantity is kept, in the statement as in the caption.
    for (const auto& [idn, qty] : {std::pair{100, 1.0}, {101, 1.0}, {555, 1234567.1}, {103, 3.0}, {101, 5.0}})
        BasketDb::addLine(idn, qty);
    Global::CurrentOrder().RemoveRow(0);

    const Comparison cmp = build();
    const QList<QStringList> g = cmp.gridTexts();
    EXPECT_EQ(g[0].mid(5), (QStringList{"101", "101", "555", "103"}));
    EXPECT_EQ(g[2].mid(7), (QStringList{"555", "103"}));
    EXPECT_EQ(g[3].mid(5), (QStringList{"1", "5", "1234567.1", "3"}));
    EXPECT_TRUE(db.recorder().executed().contains("INSERT INTO TBL_CORD(IND_PST,VL) VALUES(555,1234567.1)"));
    EXPECT_EQ(
        QList<int>({cmp.slotOfColumn(5), cmp.slotOfColumn(6), cmp.slotOfColumn(7), cmp.slotOfColumn(8)}),
        QList<int>({1, 4, 2, 3}));
    EXPECT_EQ(g[kFixedRows].mid(kCityCol),
              (QStringList{"Екатеринбург", "СтальСнаб", "", "60000", "60000", "", ""}));
    // The walk leaves the cursor past the last line, as every walk over the order does.
    EXPECT_EQ(Global::CurrentOrder().Field("pos").toInt32(), -1);
}

}  // namespace
