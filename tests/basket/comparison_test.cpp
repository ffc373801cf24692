// The supplier comparison built from the order through TBL_CORD over real table files:
// the grid's texts, prices, totals and its edge cases.
#include "basket/comparison.h"

#include <gtest/gtest.h>

#include "basket_db.h"
#include "support/scripted_seams.h"

using basket_test::BasketDb;
using namespace basket_cmp;

namespace {

const auto build = [] { return BuildComparison(Global::Cn(), Global::CurrentOrder()); };

// Under a Russian locale the quantities go to the statements with a point (a comma would break
// the insert) and show with a comma.
TEST(Comparison, LinesAreListedWithLowestPricesAndCompleteTotals) {
    testsupport::LocaleGuard russian(QLocale(QLocale::Russian, QLocale::Russia));
    BasketDb db;
    db.fillCatalogue();
    BasketDb::addLine(100, 1);
    build();  // a rebuild starts from an empty scratch table
    BasketDb::addLine(101, 2.5);
    BasketDb::addLine(102, 0.75);
    Global::CurrentOrder().MoveFirst();
    Global::CurrentOrder().setField(QStringLiteral("qty"), core::Value::dbl(4));
    const QList<QStringList> g = build().gridTexts();
    EXPECT_EQ(db.first(QStringLiteral("SELECT COUNT(*) AS N FROM TBL_CORD")).toInt32(), 3);
    EXPECT_EQ(g[kKeyRow].mid(5), (QStringList{"100", "101", "102"}));
    EXPECT_EQ(g[kGroupRow].mid(5), (QStringList{"Арматура", "Уголок", "Труба профильная"}));
    EXPECT_EQ(g[kNameRow].mid(5),
              (QStringList{"Арматура А500С ф12 11,7 м", "Уголок 50х50х5 ст3 12 м", "Труба 40х20х2 6 м"}));
    EXPECT_EQ(g[kCaptionRow], (QStringList{"", "Отм", "Город", "Поставщик", "Итого\\Заказ", "4", "2,5", "0,75"}));
    // Bases by city, then by name; base 1 once although it has two price lists, the second
    // cheaper from 3 t. Rebar only from 5 t at base 4: no price for 4 t, so no total either,
    // but the tube from 0.5 t; base 3 has no tube.
    EXPECT_EQ(g.mid(kFixedRows),
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
    EXPECT_EQ(QList<int>({cmp.slotOfColumn(5), cmp.slotOfColumn(6), cmp.slotOfColumn(7), cmp.slotOfColumn(8)}),
        QList<int>({1, 4, 2, 3}));
    EXPECT_EQ(g[kFixedRows].mid(kCityCol), (QStringList{"Екатеринбург", "СтальСнаб", "", "60000", "60000", "", ""}));
    // The walk leaves the cursor past the last line, as every walk over the order does.
    EXPECT_EQ(Global::CurrentOrder().Field("pos").toInt32(), -1);
}

// One position in two lines: each column is priced at its own line's quantity (not at the
// lowest band of either), and the total counts each at its price. Two lines of one quantity
// keep the three queries and identical prices.
TEST(Comparison, APositionOrderedAtTwoQuantitiesIsPricedPerQuantity) {
    BasketDb db;
    db.exec("INSERT INTO TBL_GRPS VALUES (10,1,'Арматура')");
    db.exec("INSERT INTO TBL_PSTS VALUES (100,10,'Арматура ф12'),(101,10,'Арматура ф14')");
    db.exec("INSERT INTO TBL_CTS VALUES (1,1,'Москва')");
    db.exec("INSERT INTO TBL_BSS VALUES (1,1,1,'Север'),(2,1,2,'Юг')");
    db.exec("INSERT INTO TBL_PRSS VALUES (1,1,'прайс'),(2,2,'прайс')");
    db.exec("INSERT INTO TBL_STFS VALUES (1,100,1,'т'),(2,100,2,'т'),(3,101,1,'т')");
    db.exec("INSERT INTO TBL_CSTS VALUES (1,1,0,5,52000),(2,1,5,10,51000),(3,1,10,1000,50000),"
            "(4,2,3,1000,49000),(5,3,0,1000,60000)");
    for (const auto& [idn, qty] : {std::pair{100, 2.0}, {101, 1.0}, {100, 12.0}, {101, 1.0}})
        BasketDb::addLine(idn, qty);
    const Comparison cmp = build();
    const QList<QStringList> g = cmp.gridTexts();
    // Юг sells ф12 only from 3 t: nothing for 2 t, 49000 for 12 t.
    EXPECT_EQ(g[kCaptionRow].mid(5), (QStringList{"2", "12", "1", "1"}));
    EXPECT_EQ(g[kFixedRows].mid(kBaseCol), (QStringList{"Север", "824000", "52000", "50000", "60000", "60000"}));
    EXPECT_EQ(g[kFixedRows + 1].mid(kBaseCol), (QStringList{"Юг", "", "", "49000", "", ""}));
    const QStringList opened = db.recorder().opened();
    ASSERT_EQ(opened.size(), 4);
    EXPECT_TRUE(opened[3].contains("a.IND_PST IN (100) GROUP BY a.IND_PST, a.VL, c.IND_BS")) << opened[3].toStdString();

    Global::CurrentOrder().MoveFirst();
    Global::CurrentOrder().setField("qty", core::Value::dbl(12));
    db.recorder().clearCalls();
    EXPECT_EQ(build().gridTexts()[kFixedRows].mid(kBaseCol),
              (QStringList{"Север", "1320000", "50000", "50000", "60000", "60000"}));
    EXPECT_EQ(db.recorder().opened().size(), 3);
}

}  // namespace
