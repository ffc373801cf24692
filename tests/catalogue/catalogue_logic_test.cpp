// The catalogue's window-free logic: quantity bands and their captions, and the
// rounding of the layout's column widths. What the statements read is checked against
// the real store in tests/statements.
#include "catalogue/catalogue_logic.h"

#include <gtest/gtest.h>

using namespace catalogue;

namespace {

TEST(Bands, EachPriceBandFillsTheColumnsItCoversWholeUnderCaptionsInShortestNumbers) {
    const std::vector<double> breaks = bandBreaks({0, 5, 7, 10});
    ASSERT_EQ(breaks, (std::vector<double>{0, 5, 7, 10, kEndMark}));
    const struct { double from, to; std::vector<int> columns; } cases[] = {{0, 5, {1}}, {5, 10, {2, 3}}, {10, 0, {4}}, {0, 0, {1, 2, 3, 4}}, {5, 20, {2, 3}}};
    for (const auto& c : cases)
        EXPECT_EQ(bandsCovered(breaks, c.from, c.to), c.columns) << c.from << "-" << c.to;
    EXPECT_TRUE(bandsCovered(bandBreaks({}), 0, 0).empty()) << "no limits, no band column";
    std::vector<double> many;  // more limits than the hundred slots an array of fixed size would hold
    for (int i = 0; i < 150; ++i) many.push_back(i * 2.0);
    EXPECT_EQ(bandsCovered(bandBreaks(many), 298, 0), std::vector<int>{150});
    EXPECT_EQ(bandCaption(1.25, 2.5, QLatin1Char(',')), "1,25 - 2,5");
    EXPECT_EQ(bandCaption(1000, 25000, QLatin1Char('.')), "1000 - 25000");
}

TEST(Layout, RoundsHalvesToTheEvenNeighbourAndScalesColumnsOnTheirOwn) {
    const long long cases[][3] = {{5, 2, 2},  {7, 2, 4},   {9, 2, 4},   {10, 4, 2},
                                  {11, 4, 3}, {-5, 2, -2}, {-7, 2, -4}, {6, 3, 2}};
    for (const auto& c : cases) EXPECT_EQ(roundDivHalfEven(c[0], c[1]), c[2]) << c[0] << "/" << c[1];
    EXPECT_EQ(scaleColumns({0, 1, 1}, 5), (std::vector<int>{0, 2, 2}));
    EXPECT_EQ(scaleColumns({0, 0}, 500), (std::vector<int>{0, 0}));
}

}  // namespace
