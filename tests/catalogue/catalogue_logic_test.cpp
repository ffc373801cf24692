// The catalogue's window-free logic: statement texts, quantity bands and their
// captions, and the rounding of the layout's column widths.
#include "catalogue/catalogue_logic.h"

#include <gtest/gtest.h>

using namespace catalogue;

namespace {

TEST(CatalogueStatements, ReadExactlySo) {
    const struct {
        QString built, expected;
    } cases[] = {
        {positionsCondition(7, QString()), "a.IND_GRP=7"},
        {positionsStatement(positionsCondition(10, " AND d.IND_BS IN (2,1)")),
         "SELECT a.IND, a.PST_NM, MAX(c.CST) as MAX_CST, MIN(c.CST) as MIN_CST FROM ((TBL_PSTS a INNER JOIN "
         "TBL_STFS b ON a.IND=b.IND_PST) INNER JOIN TBL_CSTS c ON b.IND=c.IND_STF) INNER JOIN TBL_PRSS d ON "
         "b.IND_PRS=d.IND WHERE a.IND_GRP=10 AND d.IND_BS IN (2,1) GROUP BY a.IND, a.PST_NM ORDER BY PST_NM"},
        {bandLimitsStatement("100"),
         "SELECT DISTINCT VL FROM (SELECT c.VL_FRM AS VL FROM (TBL_STFS a INNER JOIN TBL_PRSS d ON "
         "a.IND_PRS=d.IND) INNER JOIN TBL_CSTS c ON a.IND=c.IND_STF WHERE a.IND_PST=100\r\nUNION ALL\r\n"
         "SELECT c.VL_TO AS VL FROM (TBL_STFS a INNER JOIN TBL_PRSS d ON a.IND_PRS=d.IND) INNER JOIN "
         "TBL_CSTS c "
         "ON a.IND=c.IND_STF WHERE a.IND_PST=100) ORDER BY VL"},
        {offersStatement("100", " AND d.IND_BS IN (3)"),
         "SELECT a.IND, g.RGN_NM, f.CT_NM, e.BS_NM, a.TO_OUT, c.VL_FRM, c.VL_TO, c.CST FROM (((((TBL_STFS a "
         "INNER JOIN TBL_PRSS b ON a.IND_PRS=b.IND) INNER JOIN TBL_BSS e ON b.IND_BS=e.IND) INNER JOIN "
         "TBL_CTS "
         "f ON e.IND_CT=f.IND) INNER JOIN TBL_RGNS g ON f.IND_RGN=g.IND) INNER JOIN TBL_PRSS d ON "
         "a.IND_PRS=d.IND) INNER JOIN TBL_CSTS c ON a.IND=c.IND_STF WHERE a.IND_PST=100 AND d.IND_BS IN (3) "
         "ORDER BY g.RGN_NM, f.CT_NM, e.BS_NM, a.TO_OUT, a.IND"},
        {basesStatement(),
         "SELECT a.RGN_NM, b.CT_NM, c.IND, c.BS_NM FROM (TBL_RGNS a INNER JOIN TBL_CTS b ON a.IND=b.IND_RGN) "
         "INNER JOIN TBL_BSS c ON b.IND=c.IND_CT ORDER BY a.RGN_NM, b.CT_NM, c.BS_NM"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.built, c.expected);
}

TEST(Bands, EachPriceBandFillsTheColumnsItCoversWholeUnderCaptionsInShortestNumbers) {
    const std::vector<double> breaks = bandBreaks({0, 5, 7, 10});
    ASSERT_EQ(breaks, (std::vector<double>{0, 5, 7, 10, kEndMark}));
    const struct {
        double from, to;
        std::vector<int> columns;
    } cases[] = {{0, 5, {1}}, {5, 10, {2, 3}}, {10, 0, {4}}, {0, 0, {1, 2, 3, 4}}, {5, 20, {2, 3}}};
    for (const auto& c : cases)
        EXPECT_EQ(bandsCovered(breaks, c.from, c.to), c.columns) << c.from << "-" << c.to;
    EXPECT_TRUE(bandsCovered(bandBreaks({}), 0, 0).empty()) << "no limits, no band column";
    std::vector<double> many;  // more limits than the hundred slots an array of fixed size would hold
    for (int i = 0; i < 150; ++i) many.push_back(i * 2.0);
    EXPECT_EQ(bandsCovered(bandBreaks(many), 298, 0), std::vector<int>{150});
    EXPECT_EQ(bandCaption(1.25, 2.5, QLatin1Char(',')), "1,25 - 2,5");
    EXPECT_EQ(bandCaption(1000, 25000, QLatin1Char('.')), "1000 - 25000");
    EXPECT_EQ(bandCaption(0, kEndMark, QLatin1Char('.')), "Цена");
}

TEST(Layout, RoundsHalvesToTheEvenNeighbourAndScalesColumnsOnTheirOwn) {
    const long long cases[][3] = {{5, 2, 2},  {7, 2, 4},   {9, 2, 4},   {10, 4, 2},
                                  {11, 4, 3}, {-5, 2, -2}, {-7, 2, -4}, {6, 3, 2}};
    for (const auto& c : cases) EXPECT_EQ(roundDivHalfEven(c[0], c[1]), c[2]) << c[0] << "/" << c[1];
    EXPECT_EQ(scaleColumns({0, 1, 1}, 5), (std::vector<int>{0, 2, 2}));
    EXPECT_EQ(scaleColumns({0, 0}, 500), (std::vector<int>{0, 0}));
}

}  // namespace
