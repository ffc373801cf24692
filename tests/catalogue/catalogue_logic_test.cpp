// The catalogue's window-free logic: statement texts, the bases filter, quantity bands
// and their captions, and the layout arithmetic.
#include "catalogue/catalogue_logic.h"

#include <gtest/gtest.h>

#include <QLocale>
#include <map>
#include <set>

using namespace catalogue;

namespace {

// --- statements ------------------------------------------------------------------

TEST(CatalogueStatements, PositionsOfAGroupWithTheBasesFilter) {
    const QString cond = positionsCondition(10, QStringLiteral(" AND d.IND_BS IN (2,1)"));
    EXPECT_EQ(cond, QStringLiteral("a.IND_GRP=10 AND d.IND_BS IN (2,1)"));
    EXPECT_EQ(positionsStatement(cond),
              QStringLiteral(
                  "SELECT a.IND, a.PST_NM, MAX(c.CST) as MAX_CST, MIN(c.CST) as MIN_CST FROM ((TBL_PSTS a "
                  "INNER JOIN TBL_STFS b ON a.IND=b.IND_PST) INNER JOIN TBL_CSTS c ON b.IND=c.IND_STF) "
                  "INNER JOIN TBL_PRSS d ON b.IND_PRS=d.IND WHERE a.IND_GRP=10 AND d.IND_BS IN (2,1) "
                  "GROUP BY a.IND, a.PST_NM ORDER BY PST_NM"));
    EXPECT_EQ(positionsCondition(7, QString()), QStringLiteral("a.IND_GRP=7"));
}

TEST(CatalogueStatements, BandLimitsJoinTwoQueriesWithCarriageReturnLineFeed) {
    EXPECT_EQ(bandLimitsStatement(QStringLiteral("100")),
              QStringLiteral(
                  "SELECT DISTINCT VL FROM (SELECT c.VL_FRM AS VL FROM (TBL_STFS a INNER JOIN TBL_PRSS d "
                  "ON a.IND_PRS=d.IND) INNER JOIN TBL_CSTS c ON a.IND=c.IND_STF WHERE a.IND_PST=100\r\n"
                  "UNION ALL\r\n"
                  "SELECT c.VL_TO AS VL FROM (TBL_STFS a INNER JOIN TBL_PRSS d ON a.IND_PRS=d.IND) INNER "
                  "JOIN TBL_CSTS c ON a.IND=c.IND_STF WHERE a.IND_PST=100) ORDER BY VL"));
}

TEST(CatalogueStatements, OffersOfAPositionAtTheMarkedBases) {
    EXPECT_EQ(
        offersStatement(QStringLiteral("100"), QStringLiteral(" AND d.IND_BS IN (3)")),
        QStringLiteral("SELECT a.IND, g.RGN_NM, f.CT_NM, e.BS_NM, a.TO_OUT, c.VL_FRM, c.VL_TO, c.CST FROM "
                       "(((((TBL_STFS a INNER JOIN TBL_PRSS b ON a.IND_PRS=b.IND) INNER JOIN TBL_BSS e ON "
                       "b.IND_BS=e.IND) INNER JOIN TBL_CTS f ON e.IND_CT=f.IND) INNER JOIN TBL_RGNS g ON "
                       "f.IND_RGN=g.IND) INNER JOIN TBL_PRSS d ON a.IND_PRS=d.IND) INNER JOIN TBL_CSTS c ON "
                       "a.IND=c.IND_STF WHERE a.IND_PST=100 AND d.IND_BS IN (3) ORDER BY g.RGN_NM, f.CT_NM, "
                       "e.BS_NM, a.TO_OUT, a.IND"));
}

TEST(CatalogueStatements, Bases) {
    EXPECT_EQ(
        basesStatement(),
        QStringLiteral("SELECT a.RGN_NM, b.CT_NM, c.IND, c.BS_NM FROM (TBL_RGNS a INNER JOIN TBL_CTS b ON "
                       "a.IND=b.IND_RGN) INNER JOIN TBL_BSS c ON b.IND=c.IND_CT ORDER BY a.RGN_NM, b.CT_NM, "
                       "c.BS_NM"));
}

// --- bases filter ----------------------------------------------------------------

struct FilterCase {
    const char* name;
    std::vector<BaseMark> rows;
    const char* expected;
};

TEST(BasesFilter, MarkedKeysInGridOrder) {
    const std::vector<FilterCase> cases = {
        {"every base marked, region rows unmarked",
         {{"0", "Урал"}, {"2", "V"}, {"0", "Центр"}, {"1", "V"}, {"3", "V"}},
         " AND d.IND_BS IN (2,1,3)"},
        {"none marked restricts nothing", {{"0", "Урал"}, {"2", ""}, {"1", ""}}, ""},
        {"empty grid", {}, ""},
        {"only exactly V counts", {{"2", "v"}, {"1", " V"}, {"3", "V"}}, " AND d.IND_BS IN (3)"},
        {"a marked region row adds key 0", {{"0", "V"}, {"2", "V"}}, " AND d.IND_BS IN (0,2)"},
    };
    for (const FilterCase& c : cases) EXPECT_EQ(BasesFilter(c.rows), QString::fromUtf8(c.expected)) << c.name;
}

// --- quantity bands --------------------------------------------------------------

struct Band {
    double from, to, price;
};
using Offer = std::vector<Band>;

// What the offers grid shows: the band captions and, per offer, the price text of
// every band column (empty where no band of the offer covers it). Limits are the
// distinct VL_FRM and VL_TO values in ascending order, as the statement returns them.
struct Grid {
    QStringList captions;
    std::vector<std::vector<double>> prices;  // 0 = empty cell
};

Grid offersGrid(const std::vector<Offer>& offers, QChar point = QLatin1Char('.')) {
    std::set<double> distinct;
    for (const Offer& o : offers)
        for (const Band& b : o) {
            distinct.insert(b.from);
            distinct.insert(b.to);
        }
    const std::vector<double> breaks = bandBreaks(std::vector<double>(distinct.begin(), distinct.end()));
    Grid g;
    for (size_t i = 1; i < breaks.size(); ++i) g.captions << bandCaption(breaks[i - 1], breaks[i], point);
    for (const Offer& o : offers) {
        std::vector<double> row(breaks.size() - 1, 0.0);
        for (const Band& b : o)
            for (int i : bandsCovered(breaks, b.from, b.to)) row[static_cast<size_t>(i - 1)] = b.price;
        g.prices.push_back(row);
    }
    return g;
}

const Offer kStepped = {{0, 5, 52}, {5, 10, 51}, {10, 0, 50}};

TEST(Bands, EachSteppedBandLandsInItsOwnColumn) {
    const Grid g = offersGrid({kStepped});
    EXPECT_EQ(g.captions, (QStringList{"до 5", "5 - 10", "от 10"}));
    EXPECT_EQ(g.prices[0], (std::vector<double>{52, 51, 50}));
}

TEST(Bands, AnOfferWithoutLimitsCoversEveryColumn) {
    const Grid g = offersGrid({kStepped, {{0, 0, 53}}});
    EXPECT_EQ(g.captions, (QStringList{"до 5", "5 - 10", "от 10"}));
    EXPECT_EQ(g.prices[1], (std::vector<double>{53, 53, 53}));
}

TEST(Bands, AnotherOffersLimitSplitsTheColumns) {
    const Grid g = offersGrid({kStepped, {{0, 7, 49}}});
    EXPECT_EQ(g.captions, (QStringList{"до 5", "5 - 7", "7 - 10", "от 10"}));
    EXPECT_EQ(g.prices[0], (std::vector<double>{52, 51, 51, 50}));
    EXPECT_EQ(g.prices[1], (std::vector<double>{49, 49, 0, 0}));
}

TEST(Bands, OnlyWholeRangeOffersGiveOneColumnCalledPrice) {
    const Grid g = offersGrid({{{0, 0, 10}}, {{0, 0, 11}}});
    EXPECT_EQ(g.captions, QStringList{"Цена"});
    EXPECT_EQ(g.prices[0], std::vector<double>{10});
    EXPECT_EQ(g.prices[1], std::vector<double>{11});
}

TEST(Bands, AGapBetweenBandsLeavesItsColumnEmpty) {
    const Grid g = offersGrid({{{0, 5, 3}, {10, 20, 2}}});
    EXPECT_EQ(g.captions, (QStringList{"до 5", "5 - 10", "10 - 20", "от 20"}));
    EXPECT_EQ(g.prices[0], (std::vector<double>{3, 0, 2, 0}));
}

TEST(Bands, ALaterBandCoveringTheSameColumnOverwritesIt) {
    const Grid g = offersGrid({{{0, 0, 9}, {0, 5, 8}}});
    EXPECT_EQ(g.prices[0], (std::vector<double>{8, 9}));
}

TEST(Bands, CaptionsUseTheGivenDecimalSeparatorAndShortestNumbers) {
    const QChar comma = QLocale(QLocale::Russian).decimalPoint().at(0);
    ASSERT_EQ(comma, QLatin1Char(','));
    EXPECT_EQ(offersGrid({{{0, 0.5, 1}, {0.5, 0, 2}}}, comma).captions, (QStringList{"до 0,5", "от 0,5"}));
    EXPECT_EQ(bandCaption(1.25, 2.5, comma), QStringLiteral("1,25 - 2,5"));
    EXPECT_EQ(bandCaption(1.25, 2.5, QLatin1Char('.')), QStringLiteral("1.25 - 2.5"));
    EXPECT_EQ(bandCaption(1000, 25000, QLatin1Char('.')), QStringLiteral("1000 - 25000"));
}

TEST(Bands, ManyLimitsAreAllKept) {
    // More limits than the hundred slots an array of fixed size would hold.
    std::vector<double> limits;
    for (int i = 0; i < 150; ++i) limits.push_back(i * 2.0);
    const std::vector<double> breaks = bandBreaks(limits);
    ASSERT_EQ(breaks.size(), 151u);
    EXPECT_EQ(breaks.back(), kEndMark);
    EXPECT_EQ(bandCaption(breaks[149], breaks[150], QLatin1Char('.')), QStringLiteral("от 298"));
    EXPECT_EQ(bandsCovered(breaks, 298, 0), std::vector<int>{150});
    EXPECT_EQ(bandsCovered(breaks, 0, 0).size(), 150u);
}

TEST(Bands, NoLimitsAtAllGiveNoBandColumn) {
    EXPECT_EQ(bandBreaks({}), std::vector<double>{kEndMark});
    EXPECT_TRUE(bandsCovered(bandBreaks({}), 0, 0).empty());
}

// --- layout ----------------------------------------------------------------------

TEST(LayoutRounding, HalvesGoToTheEvenNeighbour) {
    const std::vector<std::pair<std::pair<long long, long long>, long long>> cases = {
        {{5, 2}, 2},  {{7, 2}, 4},   {{9, 2}, 4},   {{10, 4}, 2},
        {{11, 4}, 3}, {{-5, 2}, -2}, {{-7, 2}, -4}, {{6, 3}, 2},
    };
    for (const auto& [in, expected] : cases)
        EXPECT_EQ(roundDivHalfEven(in.first, in.second), expected) << in.first << "/" << in.second;
    EXPECT_EQ(scaleColumns({0, 1, 1}, 5), (std::vector<int>{0, 2, 2}));
    EXPECT_EQ(scaleColumns({0, 0}, 500), (std::vector<int>{0, 0}));
}

LayoutInput normalWindow(int W, int H) {
    LayoutInput in;
    in.W = W;
    in.H = H;
    in.screenW = 28800;
    in.screenH = 16200;
    in.dgCols = {0, 3000, 1000, 1000};
    in.basesCols = {0, 1500, 400, 2000};
    in.basesTop = 300;
    in.label2Left = 150;
    in.waitingW = 4800;
    in.waitingH = 1100;
    return in;
}

TEST(Layout, A15000TwipsWideWindow) {
    const Layout L = computeLayout(normalWindow(15000, 10500));
    ASSERT_TRUE(L.laidOut);
    EXPECT_FALSE(L.correctedSize);
    EXPECT_EQ(L.frame1Width, 4500);
    EXPECT_EQ(L.frame1Left, 10250);
    EXPECT_EQ(L.dgWidth, 9950);
    EXPECT_EQ(L.command3Left, 12770);
    EXPECT_EQ(*L.frBasketLeft, 13750);
    EXPECT_EQ(L.dgCols, (std::vector<int>{0, 5790, 1930, 1930}));
    EXPECT_EQ(L.dgHeight, 10500 - 5300);
    EXPECT_EQ(L.frame1Height, 10500 - 5000);
    EXPECT_EQ(L.basesWidth, 4500);
    EXPECT_EQ(L.basesHeight, 10500 - 5000 - 300);
    EXPECT_EQ(L.line2Y, 10500 - 3885);
    EXPECT_EQ(L.label2Top, L.line2Y + 20);
    EXPECT_EQ(L.pricesTop, L.line2Y + 240);
    EXPECT_EQ(L.pricesWidth, 14600);
    EXPECT_EQ(L.pricesHeight, 3070);
    EXPECT_EQ(L.zagWidth, 7200);
    EXPECT_EQ(L.waitingLeft, (15000 - 4800) / 2);
    EXPECT_EQ(L.shape2_1Left, 14760);
}

TEST(Layout, TheMarkColumnKeeps400AndTheOthersShareTheRest) {
    const Layout L = computeLayout(normalWindow(15000, 10500));
    // 3900 twips shared 1500 : 2000.
    EXPECT_EQ(L.basesCols, (std::vector<int>{0, 1671, 400, 2229}));
    LayoutInput in = normalWindow(20000, 12000);
    in.basesCols = L.basesCols;
    EXPECT_EQ(computeLayout(in).basesCols[2], 400);
}

TEST(Layout, ColumnsShareTheWidthTheGridTakes) {
    // dg becomes 20000 - 6000 - 550 = 13450 wide: 13150 to share 3 : 1 : 1.
    LayoutInput in = normalWindow(20000, 12000);
    const Layout L = computeLayout(in);
    EXPECT_EQ(L.dgWidth, 13450);
    EXPECT_EQ(L.dgCols, (std::vector<int>{0, 7890, 2630, 2630}));
    // Laid out again at the same size, nothing moves.
    in.dgCols = L.dgCols;
    EXPECT_EQ(computeLayout(in).dgCols, L.dgCols);
}

struct BoundCase {
    const char* name;
    int W, H;
    WindowState state;
    std::optional<QSize> corrected;
    bool laidOut;
};

TEST(Layout, SizeBounds) {
    const std::vector<BoundCase> cases = {
        {"too small springs back", 9000, 7000, WindowState::Normal, QSize(12000, 8500), true},
        {"wider than the screen", 30000, 10000, WindowState::Normal, QSize(28800, 10000), true},
        {"taller than the screen less 500", 15000, 16000, WindowState::Normal, QSize(15000, 15700), true},
        {"within bounds", 12000, 8500, WindowState::Normal, std::nullopt, true},
        {"a small maximised window is not laid out", 10000, 9000, WindowState::Maximized, std::nullopt,
         false},
        {"a short maximised window is not laid out", 11000, 8000, WindowState::Maximized, std::nullopt,
         false},
        {"a maximised window is never corrected", 30000, 20000, WindowState::Maximized, std::nullopt, true},
        {"a minimised window keeps its layout", 15000, 10000, WindowState::Minimized, std::nullopt, false},
    };
    for (const BoundCase& c : cases) {
        LayoutInput in = normalWindow(c.W, c.H);
        in.state = c.state;
        const Layout L = computeLayout(in);
        EXPECT_EQ(L.correctedSize, c.corrected) << c.name;
        EXPECT_EQ(L.laidOut, c.laidOut) << c.name;
        ASSERT_TRUE(L.frBasketLeft) << c.name;
        EXPECT_EQ(*L.frBasketLeft, c.W - 1250) << c.name;
    }
}

TEST(Layout, NothingMovesWhileTheMainWindowIsMinimised) {
    LayoutInput in = normalWindow(9000, 7000);
    in.mainMinimized = true;
    const Layout L = computeLayout(in);
    EXPECT_FALSE(L.frBasketLeft);
    EXPECT_FALSE(L.correctedSize);
    EXPECT_FALSE(L.laidOut);
}

TEST(EditorPlace, BottomRightCornerMeetsTheGrids) {
    EXPECT_EQ(editorPlace(QRect(100, 200, 600, 300), QSize(250, 120)), QPoint(450, 380));
}

}  // namespace
